#pragma once

#include <optional>

#include "device/DeviceTelemetry.h"
#include "device/Recording.h"
#include "platform/Transform3D.h"

namespace orvane {

class InspectorManager;

// Which values of shown telemetry are known: a recording without a value's column leaves it
// unknown. A live session's telemetry knows them all.
using KnownTelemetryFields = std::bitset<kRecordingFieldCount>;

// Shows a session's telemetry in the inspector's rows; no telemetry (no session) shows the
// rows' defaults: "Unknown" statuses, zero angles, torques and counts. Stale telemetry (the last
// of a link that ended) is shown with every row marked stale. A value `known` leaves out shows
// as "Unknown".
void showTelemetry(const std::optional<DeviceTelemetry>& telemetry, InspectorManager& inspector, bool stale = false,
                   const std::optional<KnownTelemetryFields>& known = std::nullopt);

// The steering wheel's layer transform for `degrees` (positive turns counterclockwise) on an
// image `width` points wide whose anchor is its centre.
Transform3D steeringWheelTransform(double degrees, double width);

}  // namespace orvane
