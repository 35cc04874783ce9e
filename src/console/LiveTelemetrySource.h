#pragma once

#include <memory>

#include "console/TelemetrySource.h"
#include "inspector/StatusIndication.h"

namespace orvane {

class DeviceConnection;

// The live session as a source of telemetry: the connected device's values (none from a
// bootloader, which reports nothing), marked stale while the device does not respond; after a
// link ended, its last values marked stale with the wheel upright. Its series and traffic are the
// session's own, which go on filling while a replay is shown in its place.
class LiveTelemetrySource : public TelemetrySource {
public:
    LiveTelemetrySource(std::weak_ptr<const DeviceConnection> connection, std::shared_ptr<TelemetrySeries> series,
                        std::shared_ptr<TrafficLog> traffic);

    // The console's status row shows the connection's own status; this is only what a source
    // must say.
    StatusIndication status() const override { return StatusIndication::unknown("Live"); }
    ShownTelemetry shown() const override;
    std::optional<DeviceTelemetry> telemetry() const override;
    KnownTelemetryFields knownFields() const override { return KnownTelemetryFields().set(); }
    const std::shared_ptr<TelemetrySeries>& series() const override { return series_; }
    const std::shared_ptr<TrafficLog>& traffic() const override { return traffic_; }

    // Adds what the device last sent, with the requests in force, to the series: only what it
    // sent, so before its first message and while it is silent the plots' lines break.
    void appendToSeries(double lateralRequest, double longitudinalRequest);

private:
    // Weak: the console's connection ends the session as the console goes, whoever holds this.
    std::weak_ptr<const DeviceConnection> connection_;
    std::shared_ptr<TelemetrySeries> series_;
    std::shared_ptr<TrafficLog> traffic_;
    DeviceTelemetry scratch_;  // reused by every append, so a tick allocates nothing
};

}  // namespace orvane
