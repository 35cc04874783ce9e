#pragma once

#include <optional>

#include "device/DeviceTelemetry.h"
#include "platform/Transform3D.h"

namespace orvane {

class InspectorManager;

// Shows a session's telemetry in the inspector's rows; no telemetry (no session) shows the
// rows' defaults: "Unknown" statuses, zero angles, torques and counts. Stale telemetry (the last
// of a link that ended) is shown with every row marked stale.
void showTelemetry(const std::optional<DeviceTelemetry>& telemetry, InspectorManager& inspector, bool stale = false);

// The steering wheel's layer transform for `degrees` (positive turns counterclockwise) on an
// image `width` points wide whose anchor is its centre.
Transform3D steeringWheelTransform(double degrees, double width);

}  // namespace orvane
