#pragma once

#include <memory>
#include <optional>

#include "console/RequestArbiter.h"
#include "console/TelemetryDisplay.h"
#include "device/DeviceTelemetry.h"
#include "inspector/StatusIndication.h"

namespace orvane {

class TelemetrySeries;
class TrafficLog;

// What the console shows on every refresh tick, cheap to read 50 times a second.
struct ShownTelemetry {
    double wheelAngle = 0;     // degrees; 0 (upright) when nothing steers the wheel
    bool wheelStale = false;   // the wheel fades: its angle no longer holds
    bool valuesStale = false;  // the inspector marks its values stale
    // The requests the sliders and their labels show: a replay's recorded ones at its playhead.
    // None shows the requests the console decided (the live session's).
    std::optional<ControlRequest> requests;
};

// A source of the telemetry the window shows: the live session (LiveTelemetrySource) or a replay
// shown in its place (ViewController::setTelemetrySource). The wheel reads shown() on every refresh
// tick, the inspector telemetry() on every tenth, the Plots panel draws series() and the Traffic
// panel lists traffic(): the views read whichever source is shown the same way. The sliders and
// their labels show the requests shown() offers, if any.
class TelemetrySource {
public:
    virtual ~TelemetrySource() = default;

    virtual ShownTelemetry shown() const = 0;

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
