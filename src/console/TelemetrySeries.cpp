#include "console/TelemetrySeries.h"

#include <algorithm>
#include <cmath>

#include "platform/Translation.h"

namespace orvane {

std::string_view seriesTitle(TelemetrySeriesKind kind) {
    switch (kind) {
        case TelemetrySeriesKind::steeringWheelAngle:
            return ORVANE_TRANSLATE_NOOP("TelemetrySeries", "Steering Wheel Angle");
        case TelemetrySeriesKind::steeringAssistanceTorque:
            return ORVANE_TRANSLATE_NOOP("TelemetrySeries", "Assistance Torque");
        case TelemetrySeriesKind::steeringDriverTorque:
            return ORVANE_TRANSLATE_NOOP("TelemetrySeries", "Driver Torque");
        case TelemetrySeriesKind::requestLateral: return ORVANE_TRANSLATE_NOOP("TelemetrySeries", "Lateral Request");
        case TelemetrySeriesKind::requestLongitudinal:
            return ORVANE_TRANSLATE_NOOP("TelemetrySeries", "Longitudinal Request");
    }
    return "";
}

std::vector<std::size_t> lineStarts(const std::vector<SeriesPoint>& points, std::chrono::duration<double> gap) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (i == 0 || points[i].seconds - points[i - 1].seconds > gap.count()) starts.push_back(i);
    }
    return starts;
}

void TelemetrySeries::Ring::push(Sample sample) {
    if (count == samples.size()) dropOldest();
    samples[(head + count) % samples.size()] = sample;
    ++count;
}

void TelemetrySeries::Ring::dropOldest() {
    head = (head + 1) % samples.size();
    --count;
}

TelemetrySeries::TelemetrySeries(Clock clock, std::chrono::steady_clock::duration window, std::size_t capacity,
                                 std::chrono::steady_clock::duration gap)
    : clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })),
      window_(window),
      capacity_(std::max<std::size_t>(capacity, 1)),
      gap_(gap) {
    for (auto& ring : rings_) ring.samples.resize(capacity_);
}

void TelemetrySeries::append(const DeviceTelemetry& telemetry, double requestLateral, double requestLongitudinal) {
    if (paused_) return;
    const auto now = clock_();
    // The angle and torques are plotted once the device has reported them: a connection's
    // first messages may be others, and the zeros they leave in place were never measured.
    if (telemetry.steeringReported) {
        append(TelemetrySeriesKind::steeringWheelAngle, now, telemetry.steeringWheelAngle);
        append(TelemetrySeriesKind::steeringAssistanceTorque, now, telemetry.steeringAssistanceTorque);
        append(TelemetrySeriesKind::steeringDriverTorque, now, telemetry.steeringDriverTorque);
    }
    append(TelemetrySeriesKind::requestLateral, now, requestLateral);
    append(TelemetrySeriesKind::requestLongitudinal, now, requestLongitudinal);
}

void TelemetrySeries::append(const DeviceTelemetry& telemetry, double requestLateral, double requestLongitudinal,
                             std::chrono::steady_clock::time_point received) {
    if (paused_ || (lastReceived_ && received <= *lastReceived_)) return;
    lastReceived_ = received;
    append(telemetry, requestLateral, requestLongitudinal);
}

void TelemetrySeries::append(TelemetrySeriesKind kind, std::chrono::steady_clock::time_point time, double value) {
    Ring& ring = rings_[static_cast<std::size_t>(kind)];
    while (ring.count > 0 && ring.at(0).time < time - window_) ring.dropOldest();
    if (std::isfinite(value)) ring.push({time, value});
}

void TelemetrySeries::setPaused(bool paused) {
    if (paused && !paused_) pausedAt_ = clock_();
    paused_ = paused;
}

void TelemetrySeries::clear() {
    for (auto& ring : rings_) ring.head = ring.count = 0;
}

std::chrono::steady_clock::time_point TelemetrySeries::windowEnd() const { return paused_ ? pausedAt_ : clock_(); }

std::vector<SeriesPoint> TelemetrySeries::points(TelemetrySeriesKind kind) const {
    const Ring& ring = rings_[static_cast<std::size_t>(kind)];
    const auto end = windowEnd();
    std::vector<SeriesPoint> points;
    points.reserve(ring.count);
    for (std::size_t i = 0; i < ring.count; ++i) {
        const Sample& sample = ring.at(i);
        // Samples stop coming while no device is connected: the window moves on without them.
        if (sample.time < end - window_ || sample.time > end) continue;
        points.push_back({std::chrono::duration<double>(sample.time - end).count(), sample.value});
    }
    return points;
}

std::size_t TelemetrySeries::size(TelemetrySeriesKind kind) const {
    return rings_[static_cast<std::size_t>(kind)].count;
}

}  // namespace orvane
