#include "console/LiveTelemetrySource.h"

#include "console/DeviceConnection.h"
#include "console/TelemetrySeries.h"
#include "device/DeviceSerialInterface.h"

namespace orvane {

LiveTelemetrySource::LiveTelemetrySource(std::weak_ptr<const DeviceConnection> connection,
                                         std::shared_ptr<TelemetrySeries> series, std::shared_ptr<TrafficLog> traffic)
    : connection_(std::move(connection)), series_(std::move(series)), traffic_(std::move(traffic)) {}

ShownTelemetry LiveTelemetrySource::shown() const {
    const auto connection = connection_.lock();
    if (!connection) return {};
    const auto& session = connection->session();
    // The last values of a link that ended stay readable, marked stale; the wheel goes straight,
    // as no device steers it. A bootloader reports nothing: no values, an upright wheel.
    if (!session) return {.valuesStale = true};
    if (connection->isInBootloader()) return {};
    // While the device does not respond, the values it last reported are marked stale and the
    // wheel fades where it stands; the next report makes them live again.
    const bool stale = connection->isNotResponding() && session->decodedMessageCount() > 0;
    return {.wheelAngle = session->steeringWheelAngle(), .wheelStale = stale, .valuesStale = stale};
}

std::optional<DeviceTelemetry> LiveTelemetrySource::telemetry() const {
    const auto connection = connection_.lock();
    if (!connection) return std::nullopt;
    const auto& session = connection->session();
    if (!session) return connection->staleTelemetry();
    if (connection->isInBootloader()) return std::nullopt;
    return session->telemetry();
}

void LiveTelemetrySource::appendToSeries(double lateralRequest, double longitudinalRequest) {
    const auto connection = connection_.lock();
    if (!series_ || !connection) return;
    const auto& session = connection->session();
    if (!session || connection->isInBootloader()) return;
    // The message time first: the telemetry read after it is at least as new.
    const auto received = session->lastMessageTime();
    if (!received) return;
    session->copyTelemetry(scratch_);
    series_->append(scratch_, lateralRequest, longitudinalRequest, *received);
}

}  // namespace orvane
