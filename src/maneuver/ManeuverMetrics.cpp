#include "maneuver/ManeuverMetrics.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// The time the response (in held's direction, `sign`) first reaches `level`, from sample `from`
// on, interpolated between the samples around the crossing; and the sample index that reached it.
std::optional<std::pair<double, std::size_t>> crossing(std::span<const CurvePoint> curve, double origin, double sign,
                                                       double level, std::size_t from) {
    for (std::size_t i = from; i < curve.size(); ++i) {
        const double value = sign * (curve[i].value - origin);
        if (value < level) continue;
        if (i == 0) return std::pair{curve[0].time, i};
        const double before = sign * (curve[i - 1].value - origin);
        if (before >= level || value == before) return std::pair{curve[i].time, i};
        const double fraction = (level - before) / (value - before);
        return std::pair{curve[i - 1].time + fraction * (curve[i].time - curve[i - 1].time), i};
    }
    return std::nullopt;
}

}  // namespace

std::optional<ResponseMetrics> responseMetrics(std::span<const CurvePoint> curve, double runSeconds, double threshold) {
    if (curve.empty()) return std::nullopt;
    const double origin = curve.front().value;
    ResponseMetrics metrics;

    double sum = 0;
    int count = 0;
    for (const CurvePoint& point : curve) {
        if (point.time >= runSeconds - kHeldWindowSeconds) {
            sum += point.value - origin;
            ++count;
        }
    }
    metrics.held = count > 0 ? sum / count : curve.back().value - origin;

    for (const CurvePoint& point : curve) {
        if (std::fabs(point.value - origin) > threshold) {
            metrics.delay = point.time;
            break;
        }
    }

    const double size = std::fabs(metrics.held);
    if (!(size > threshold)) return metrics;
    const double sign = metrics.held > 0 ? 1 : -1;

    double peak = 0;
    for (const CurvePoint& point : curve) peak = std::max(peak, sign * (point.value - origin));
    metrics.overshootPercent = std::max(0.0, (peak - size) / size * 100);

    if (auto ten = crossing(curve, origin, sign, 0.1 * size, 0)) {
        if (auto ninety = crossing(curve, origin, sign, 0.9 * size, ten->second)) {
            metrics.riseTime = ninety->first - ten->first;
        }
    }
    return metrics;
}

bool channelHasMeasuredResponse(ManeuverChannel channel) { return channel == ManeuverChannel::lateral; }

std::vector<CurvePoint> measuredRunCurve(const ManeuverRepeatRecord& record) {
    std::vector<CurvePoint> curve;
    for (const ManeuverSample& sample : record.samples) {
        if (sample.phase == ManeuverPhase::run && plausibleWheelAngle(sample.wheelAngle)) {
            curve.push_back({sample.time, sample.wheelAngle});
        }
    }
    return curve;
}

bool profileHoldsItsEnd(ManeuverProfile::Kind kind) {
    return kind == ManeuverProfile::Kind::step || kind == ManeuverProfile::Kind::points;
}

std::optional<RepeatMetrics> repeatMetrics(const ManeuverRepeatRecord& record, const Maneuver& maneuver) {
    if (!channelHasMeasuredResponse(maneuver.channel) || !record.runCompleted) return std::nullopt;
    const auto curve = measuredRunCurve(record);
    RepeatMetrics metrics;
    metrics.runSamples = static_cast<std::size_t>(std::count_if(
        record.samples.begin(), record.samples.end(), [](const auto& s) { return s.phase == ManeuverPhase::run; }));
    metrics.implausibleSamples = metrics.runSamples - curve.size();
    metrics.response = responseMetrics(curve, record.runSeconds);
    if (metrics.response && !profileHoldsItsEnd(maneuver.profile.kind)) {
        metrics.response->riseTime.reset();
        metrics.response->overshootPercent.reset();
    }
    return metrics;
}

}  // namespace orvane
