#pragma once

#include <memory>
#include <optional>

#include "console/TelemetryDisplay.h"
#include "device/DeviceTelemetry.h"
#include "inspector/StatusIndication.h"

namespace orvane {

class TelemetrySeries;
class TrafficLog;

// A source of telemetry the window shows instead of the live session (ViewController::
// setTelemetrySource): the inspector and the wheel read telemetry() on the console's refresh
// ticks, the Plots panel draws series() and the Traffic panel lists traffic(), exactly as they
// read the live session's values, its series and its traffic log.
class TelemetrySource {
public:
    virtual ~TelemetrySource() = default;

    // What the status row says while the source is shown.
    virtual StatusIndication status() const = 0;
    // The telemetry to show now; none before the source has any (the rows' defaults are shown).
    virtual std::optional<DeviceTelemetry> telemetry() const = 0;
    // Which of telemetry()'s values the source holds; the others show as "Unknown".
    virtual KnownTelemetryFields knownFields() const = 0;
    virtual const std::shared_ptr<TelemetrySeries>& series() const = 0;
    virtual const std::shared_ptr<TrafficLog>& traffic() const = 0;
};

}  // namespace orvane
