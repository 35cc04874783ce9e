#include "maneuver/ManeuverMetrics.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <tuple>

namespace orvane {

namespace {

// A straight line: value = offset + slope * (time - at).
struct Line {
    double at = 0;
    double offset = 0;
    double slope = 0;
    double value(double time) const { return offset + slope * (time - at); }
};

// The least-squares line through the samples in [from, to); nothing without any. One sample
// (or all at one time) gives a flat line.
std::optional<Line> fittedLine(std::span<const CurvePoint> points, double from, double to) {
    double n = 0, st = 0, sv = 0;
    for (const CurvePoint& point : points) {
        if (point.time < from - 1e-9 || point.time >= to) continue;
        n += 1;
        st += point.time;
        sv += point.value;
    }
    if (n == 0) return std::nullopt;
    Line line{.at = st / n, .offset = sv / n};
    double stt = 0, stv = 0;
    for (const CurvePoint& point : points) {
        if (point.time < from - 1e-9 || point.time >= to) continue;
        stt += (point.time - line.at) * (point.time - line.at);
        stv += (point.time - line.at) * (point.value - line.offset);
    }
    if (stt > 1e-12) line.slope = stv / stt;
    return line;
}

// The quantity's own motion through the run: the line fitted before the run carried on, or,
// when the quantity is also known after the run, the cubic that leaves the line before the run
// and joins the line fitted after it (both with their value and slope), which follows a slow
// swing over the run where a straight line drifts away from it.
class OwnMotion {
public:
    OwnMotion(std::span<const CurvePoint> before, std::span<const CurvePoint> after, double fallback) {
        before_ = fittedLine(before, -kBaselineSeconds, 0).value_or(Line{.offset = fallback});
        if (!after.empty()) {
            const double end = after.back().time + 1e-9;
            after_ = fittedLine(after, end - kBaselineSeconds, end + 1);
            if (after_ && !(after_->at > 0)) after_.reset();
        }
    }

    double at(double time) const {
        if (!after_) return before_.value(time);
        // Cubic Hermite from (0, value, slope) before to (t1, value, slope) after.
        const double t1 = after_->at;
        const double u = std::clamp(time / t1, 0.0, 1.0);
        const double p0 = before_.value(0), m0 = before_.slope * t1;
        const double p1 = after_->offset, m1 = after_->slope * t1;
        const double u2 = u * u, u3 = u2 * u;
        return (2 * u3 - 3 * u2 + 1) * p0 + (u3 - 2 * u2 + u) * m0 + (-2 * u3 + 3 * u2) * p1 + (u3 - u2) * m1;
    }

private:
    Line before_;
    std::optional<Line> after_;
};

// The time the response (times `sign`) first reaches `level`, from sample `from` on, interpolated
// between the samples around the crossing; and the sample index that reached it.
std::optional<std::pair<double, std::size_t>> crossing(std::span<const CurvePoint> response, double sign, double level,
                                                       std::size_t from) {
    for (std::size_t i = from; i < response.size(); ++i) {
        const double value = sign * response[i].value;
        if (value < level) continue;
        if (i == 0) return std::pair{response[0].time, i};
        const double before = sign * response[i - 1].value;
        if (before >= level || value == before) return std::pair{response[i].time, i};
        const double fraction = (level - before) / (value - before);
        return std::pair{response[i - 1].time + fraction * (response[i].time - response[i - 1].time), i};
    }
    return std::nullopt;
}

// Solves the 3x3 system by Gaussian elimination with partial pivoting; nothing when singular.
std::optional<std::array<double, 3>> solve(std::array<std::array<double, 4>, 3> m) {
    for (int col = 0; col < 3; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 3; ++row) {
            if (std::fabs(m[row][col]) > std::fabs(m[pivot][col])) pivot = row;
        }
        if (!(std::fabs(m[pivot][col]) > 1e-12)) return std::nullopt;
        std::swap(m[col], m[pivot]);
        for (int row = 0; row < 3; ++row) {
            if (row == col) continue;
            const double factor = m[row][col] / m[col][col];
            for (int k = col; k < 4; ++k) m[row][k] -= factor * m[col][k];
        }
    }
    return std::array{m[0][3] / m[0][0], m[1][3] / m[1][1], m[2][3] / m[2][2]};
}

// Gain and phase of the response at `frequency`: least squares of a sin + b cos + c over the
// run's last whole periods, leaving out the first one (where the response is still getting
// under way) when there are at least two.
void fitSine(std::span<const CurvePoint> response, double runSeconds, double frequency, double peakPercent,
             ResponseMetrics& metrics) {
    if (!(frequency > 0) || peakPercent == 0) return;
    const double period = 1 / frequency;
    const double whole = std::floor(runSeconds / period + 1e-9);
    const double periods = whole >= 2 ? whole - 1 : whole;
    const double from = periods >= 1 ? runSeconds - periods * period : 0;
    const double omega = 2 * std::numbers::pi * frequency;
    std::array<std::array<double, 4>, 3> normal{};
    int count = 0;
    for (const CurvePoint& point : response) {
        if (point.time < from - 1e-9) continue;
        const std::array<double, 3> basis{std::sin(omega * point.time), std::cos(omega * point.time), 1};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 3; ++c) normal[r][c] += basis[r] * basis[c];
            normal[r][3] += basis[r] * point.value;
        }
        ++count;
    }
    if (count < 3) return;
    const auto solved = solve(normal);
    if (!solved) return;
    const auto [a, b, c] = *solved;
    metrics.gain = std::hypot(a, b) / std::fabs(peakPercent);
    double phase = std::atan2(b, a) * 180 / std::numbers::pi;
    if (peakPercent < 0) phase += 180;
    phase = std::remainder(phase, 360.0);
    metrics.phaseDegrees = phase == -180 ? 180 : phase;
}

}  // namespace

std::optional<ResponseMetrics> responseMetrics(std::span<const CurvePoint> curve, const ResponseContext& context,
                                               double threshold) {
    if (curve.empty()) return std::nullopt;
    const OwnMotion own(context.before, context.after, curve.front().value);
    std::vector<CurvePoint> response;
    response.reserve(curve.size());
    for (const CurvePoint& point : curve) response.push_back({point.time, point.value - own.at(point.time)});

    ResponseMetrics metrics;
    double sum = 0;
    int count = 0;
    for (const CurvePoint& point : response) {
        if (point.time >= context.runSeconds - kHeldWindowSeconds) {
            sum += point.value;
            ++count;
        }
    }
    metrics.held = count > 0 ? sum / count : response.back().value;

    // The change the run made, and its direction: the way the request first asks for, unless the
    // quantity never goes that way (a device that counts the other way round).
    auto change = [&](int direction) {
        double sign = direction != 0 ? direction : metrics.held > 0 ? 1 : -1;
        if (direction == 0 && (!context.holdsEnd || !(std::fabs(metrics.held) > threshold))) {
            const auto largest = std::max_element(response.begin(), response.end(), [](const auto& a, const auto& b) {
                return std::fabs(a.value) < std::fabs(b.value);
            });
            sign = largest->value > 0 ? 1 : -1;
        }
        double furthest = 0;
        for (const CurvePoint& point : response) furthest = std::max(furthest, sign * point.value);
        const double heldThatWay = sign * metrics.held;
        return std::pair{
            context.holdsEnd && heldThatWay > threshold && heldThatWay >= 0.5 * furthest ? heldThatWay : furthest,
            sign};
    };
    auto [size, sign] = change(context.firstDirection);
    if (!(size > threshold) && context.firstDirection != 0) std::tie(size, sign) = change(0);
    if (size > threshold) {
        if (auto first = crossing(response, sign, kFirstResponseShare * size, 0)) metrics.delay = first->first;
    }
    if (context.sineFrequency) {
        fitSine(response, context.runSeconds, *context.sineFrequency, context.sinePeakPercent, metrics);
    }

    const double heldSize = std::fabs(metrics.held);
    if (!context.holdsEnd || !(heldSize > threshold)) return metrics;
    const double heldSign = metrics.held > 0 ? 1 : -1;
    double peak = 0;
    for (const CurvePoint& point : response) peak = std::max(peak, heldSign * point.value);
    metrics.overshootPercent = std::max(0.0, (peak - heldSize) / heldSize * 100);
    if (auto ten = crossing(response, heldSign, 0.1 * heldSize, 0)) {
        if (auto ninety = crossing(response, heldSign, 0.9 * heldSize, ten->second)) {
            metrics.riseTime = ninety->first - ten->first;
        }
    }
    return metrics;
}

const char* metricKey(ResponseMetric metric) {
    switch (metric) {
        case ResponseMetric::held: return "held";
        case ResponseMetric::delay: return "delay";
        case ResponseMetric::riseTime: return "riseTime";
        case ResponseMetric::overshootPercent: return "overshootPercent";
        case ResponseMetric::gain: return "gain";
        case ResponseMetric::phaseDegrees: return "phaseDegrees";
    }
    return "";
}

const char* metricWord(ResponseMetric metric) {
    switch (metric) {
        case ResponseMetric::held: return "held";
        case ResponseMetric::delay: return "delay";
        case ResponseMetric::riseTime: return "rise";
        case ResponseMetric::overshootPercent: return "overshoot";
        case ResponseMetric::gain: return "gain";
        case ResponseMetric::phaseDegrees: return "phase";
    }
    return "";
}

const char* metricUnit(ResponseMetric metric) {
    switch (metric) {
        case ResponseMetric::held: return " deg";
        case ResponseMetric::delay:
        case ResponseMetric::riseTime: return " s";
        case ResponseMetric::overshootPercent: return " %";
        case ResponseMetric::gain: return " deg/%";
        case ResponseMetric::phaseDegrees: return " deg";
    }
    return "";
}

int metricDigits(ResponseMetric metric) {
    switch (metric) {
        case ResponseMetric::held: return 2;
        case ResponseMetric::delay:
        case ResponseMetric::riseTime: return 3;
        case ResponseMetric::overshootPercent: return 1;
        case ResponseMetric::gain: return 3;
        case ResponseMetric::phaseDegrees: return 1;
    }
    return 3;
}

std::optional<double> metricValue(const ResponseMetrics& metrics, ResponseMetric metric) {
    switch (metric) {
        case ResponseMetric::held: return metrics.held;
        case ResponseMetric::delay: return metrics.delay;
        case ResponseMetric::riseTime: return metrics.riseTime;
        case ResponseMetric::overshootPercent: return metrics.overshootPercent;
        case ResponseMetric::gain: return metrics.gain;
        case ResponseMetric::phaseDegrees: return metrics.phaseDegrees;
    }
    return std::nullopt;
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

ResponseMetric expectedMetric(ManeuverExpectation::Kind kind) {
    switch (kind) {
        case ManeuverExpectation::Kind::delayMax: return ResponseMetric::delay;
        case ManeuverExpectation::Kind::riseMax: return ResponseMetric::riseTime;
        case ManeuverExpectation::Kind::overshootMaxPercent: return ResponseMetric::overshootPercent;
        case ManeuverExpectation::Kind::heldWithin: return ResponseMetric::held;
    }
    return ResponseMetric::held;
}

bool maneuverHasMetric(const Maneuver& maneuver, ResponseMetric metric) {
    if (!channelHasMeasuredResponse(maneuver.channel)) return false;
    switch (metric) {
        case ResponseMetric::held:
        case ResponseMetric::delay: return true;
        case ResponseMetric::riseTime:
        case ResponseMetric::overshootPercent: return profileHoldsItsEnd(maneuver.profile.kind);
        case ResponseMetric::gain:
        case ResponseMetric::phaseDegrees: return maneuver.profile.kind == ManeuverProfile::Kind::sine;
    }
    return false;
}

std::optional<RepeatMetrics> repeatMetrics(const ManeuverRepeatRecord& record, const Maneuver& maneuver) {
    if (!channelHasMeasuredResponse(maneuver.channel) || !record.runCompleted) return std::nullopt;
    const auto curve = measuredRunCurve(record);
    std::vector<CurvePoint> before, after;
    for (const ManeuverSample& sample : record.before) {
        if (plausibleWheelAngle(sample.wheelAngle)) before.push_back({sample.time, sample.wheelAngle});
    }
    // The settle's end, when it ran whole and long enough for the response to have died away.
    if (record.settleCompleted && record.settleSeconds >= kShortestSettleAfterSeconds) {
        for (const ManeuverSample& sample : record.samples) {
            if (sample.phase == ManeuverPhase::settle && plausibleWheelAngle(sample.wheelAngle)) {
                after.push_back({sample.time, sample.wheelAngle});
            }
        }
    }
    RepeatMetrics metrics;
    metrics.runSamples = static_cast<std::size_t>(std::count_if(
        record.samples.begin(), record.samples.end(), [](const auto& s) { return s.phase == ManeuverPhase::run; }));
    metrics.implausibleSamples = metrics.runSamples - curve.size();
    ResponseContext context{.runSeconds = record.runSeconds,
                            .before = before,
                            .after = after,
                            .holdsEnd = profileHoldsItsEnd(maneuver.profile.kind)};
    // A clockwise (positive) lateral request turns the wheel to a negative angle.
    for (std::int64_t tick = 0; tick <= ManeuverSchedule::ticksOf(maneuver.profile.duration); ++tick) {
        const double value = maneuver.profile.valueAt(static_cast<double>(tick) * ManeuverSchedule::kTickSeconds);
        if (value != 0) {
            context.firstDirection = value > 0 ? -1 : 1;
            break;
        }
    }
    if (maneuver.profile.kind == ManeuverProfile::Kind::sine) {
        context.sineFrequency = maneuver.profile.frequency;
        // A clockwise (positive) request turns the wheel to a negative angle.
        context.sinePeakPercent = -100 * maneuver.profile.amplitude;
    }
    metrics.response = responseMetrics(curve, context);
    return metrics;
}

std::optional<MetricSpread> spreadOf(std::span<const double> values) {
    if (values.empty()) return std::nullopt;
    MetricSpread spread{.count = values.size(), .min = values.front(), .max = values.front()};
    double sum = 0;
    for (double value : values) {
        sum += value;
        spread.min = std::min(spread.min, value);
        spread.max = std::max(spread.max, value);
    }
    spread.mean = sum / static_cast<double>(values.size());
    if (values.size() > 1) {
        double squares = 0;
        for (double value : values) squares += (value - spread.mean) * (value - spread.mean);
        spread.standardDeviation = std::sqrt(squares / static_cast<double>(values.size() - 1));
    }
    return spread;
}

}  // namespace orvane
