#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "maneuver/ManeuverMetrics.h"

namespace orvane {
namespace {

// Samples every 20 ms over a 3 s run.
std::vector<CurvePoint> sampled(const std::function<double(double)>& curve) {
    std::vector<CurvePoint> points;
    for (int i = 0; i < 150; ++i) points.push_back({i * 0.02, curve(i * 0.02)});
    return points;
}

// Still until 0.5 s, a straight rise to `size` at 1.5 s, a peak of 1.2 x size at 1.7 s, back at
// 1.9 s and held: 10 % at 0.6 s, 90 % at 1.4 s, 20 % overshoot.
double piecewise(double t, double size) {
    if (t < 0.5) return 0;
    if (t < 1.5) return size * (t - 0.5);
    if (t < 1.7) return size * (1 + (t - 1.5));
    if (t < 1.9) return size * (1.2 - (t - 1.7));
    return size;
}

struct MetricsCase {
    const char* what;
    std::vector<CurvePoint> curve;
    double held;
    std::optional<double> delay;
    std::optional<double> rise;
    std::optional<double> overshoot;
    int firstDirection = 0;
};

TEST(ManeuverMetricsTest, DelayRiseOvershootAndHeldValueOfSyntheticResponses) {
    // A dead time of 0.2 s, then a first-order lag of 0.3 s to -72 degrees: its 10-90 % rise is
    // 0.3 ln 9 = 0.659 s, and it reaches 10 % 0.3 ln(10/9) = 32 ms after the dead time.
    auto lagged = [](double offset) {
        return sampled([offset](double t) { return offset + (t < 0.2 ? 0 : -72 * (1 - std::exp(-(t - 0.2) / 0.3))); });
    };
    const MetricsCase cases[] = {
        {"delayed first-order lag", lagged(0), -72, 0.2316, 0.3 * std::log(9.0), 0},
        {"the same from an offset", lagged(15), -72, 0.2316, 0.3 * std::log(9.0), 0},
        {"straight rise with overshoot", sampled([](double t) { return piecewise(t, 10); }), 10, 0.6, 0.8, 20},
        {"the same turning the other way", sampled([](double t) { return piecewise(t, -10); }), -10, 0.6, 0.8, 20},
        // Noise of +-0.2 degrees: 0 or 0.4 from the first sample.
        {"noise below the threshold", sampled([](double t) { return std::lround(t / 0.02) % 2 ? 0.2 : -0.2; }), 0.2,
         std::nullopt, std::nullopt, std::nullopt},
        // 10 % of its largest excursion, 8 degrees, at asin(0.1) / 3 s.
        {"moves, but ends where it began", sampled([](double t) { return t < 2.5 ? 8 * std::sin(3 * t) : 0; }), 0,
         0.0334, std::nullopt, std::nullopt},
        // Points that go one way (to 5), then further the other (to -15) and back to 0: the first
        // response is 10 % of the way the request first asked for (0.5 at 0.6 s), not of where
        // the response went furthest.
        {"there and back", sampled([](double t) {
             return t < 1.5 ? piecewise(t, 5) : t < 2.5 ? 5 - 20 * (t - 1.5) : 0;
         }),
         0, 0.6, std::nullopt, std::nullopt, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto metrics = responseMetrics(c.curve, {.runSeconds = 3.0, .firstDirection = c.firstDirection});
        ASSERT_TRUE(metrics);
        EXPECT_NEAR(metrics->held, c.held, 0.05);
        ASSERT_EQ(metrics->delay.has_value(), c.delay.has_value());
        if (c.delay) {
            EXPECT_NEAR(*metrics->delay, *c.delay, 0.002);
        }
        ASSERT_EQ(metrics->riseTime.has_value(), c.rise.has_value());
        if (c.rise) {
            EXPECT_NEAR(*metrics->riseTime, *c.rise, 0.005);
        }
        ASSERT_EQ(metrics->overshootPercent.has_value(), c.overshoot.has_value());
        if (c.overshoot) {
            EXPECT_NEAR(*metrics->overshootPercent, *c.overshoot, 0.05);
        }
    }
    EXPECT_FALSE(responseMetrics({}, {.runSeconds = 3.0}));

    // Only the lateral channel has a measured response, only a complete run gets metrics, and a
    // ramp or sine has no end value to rise to or overshoot. Wheel angles no wheel can have are
    // left out, and a run with none but those is not measured.
    ManeuverRepeatRecord record{.runSeconds = 3.0, .runCompleted = true};
    for (const auto& point : lagged(0)) record.samples.push_back({.time = point.time, .wheelAngle = point.value});
    record.samples.push_back({.time = 3.0, .phase = ManeuverPhase::settle, .wheelAngle = NAN});
    Maneuver step{.channel = ManeuverChannel::lateral, .profile = {.kind = ManeuverProfile::Kind::step}};
    const auto clean = repeatMetrics(record, step);
    ASSERT_TRUE(clean && clean->response && clean->response->riseTime);
    EXPECT_EQ(clean->implausibleSamples, 0u);
    EXPECT_EQ(clean->runSamples, 150u);
    Maneuver sine = step;
    sine.profile.kind = ManeuverProfile::Kind::sine;
    const auto sineMetrics = repeatMetrics(record, sine);
    ASSERT_TRUE(sineMetrics && sineMetrics->response);
    EXPECT_FALSE(sineMetrics->response->riseTime || sineMetrics->response->overshootPercent);
    EXPECT_FALSE(clean->response->gain || clean->response->phaseDegrees);
    Maneuver brake = step;
    brake.channel = ManeuverChannel::longitudinal;
    EXPECT_FALSE(repeatMetrics(record, brake));

    const std::pair<std::size_t, double> faults[] = {{12, NAN}, {30, 1.7e308}, {140, -3601}};
    for (const auto& [i, angle] : faults) record.samples[i].wheelAngle = angle;
    const auto faulty = repeatMetrics(record, step);
    ASSERT_TRUE(faulty && faulty->response);
    EXPECT_EQ(faulty->implausibleSamples, 3u);
    EXPECT_NEAR(faulty->response->held, -72, 0.05);
    ASSERT_TRUE(faulty->response->overshootPercent);
    EXPECT_NEAR(*faulty->response->overshootPercent, 0, 0.05);
    for (auto& sample : record.samples) sample.wheelAngle = -INFINITY;
    const auto none = repeatMetrics(record, step);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->response);
    EXPECT_EQ(none->implausibleSamples, 150u);
    record.runCompleted = false;
    EXPECT_FALSE(repeatMetrics(record, step));
}

// The wheel moving on its own (a constant offset, a steady drift, the simulator's slow swing)
// during a delayed first-order response: a step of 10 % clockwise (-36 degrees after 0.12 s
// through a lag of 0.3 s) and a 0.5 Hz sine of 15 % (gain 3.6 / sqrt(1 + (0.3 pi)^2) = 2.620 deg
// per percent, phase -atan(0.3 pi) - 0.12 * 180 = -64.9 degrees). The response is measured
// against the motion over the second before the run, so the metrics are those of the response
// alone, and repeats at different points of the swing agree. With the settle after the run
// known (2 s, the response long gone) the motion is followed through the run, not only carried
// on as a line.
TEST(ManeuverMetricsTest, ResponseIsMeasuredAgainstTheWheelsOwnMotion) {
    constexpr double delay = 0.12, lag = 0.3, omega = std::numbers::pi;
    const double sineGain = 3.6 / std::hypot(1.0, omega * lag);
    const double sinePhase = -std::atan(omega * lag) * 180 / std::numbers::pi - delay * 180;
    auto step = [&](double t) { return t < delay ? 0 : -36 * (1 - std::exp(-(t - delay) / lag)); };
    auto sine = [&](double t) { return -15 * sineGain * std::sin(omega * t + sinePhase * std::numbers::pi / 180); };
    struct Drift {
        const char* what;
        std::function<double(double)> angle;
        double heldTolerance;
        bool settleKnown = true;
    };
    const Drift drifts[] = {
        // The response's own tail at the settle's end (0.1 % of it) bends the motion a little.
        {"still", [](double) { return 0.0; }, 0.5},
        {"an offset", [](double) { return 15.0; }, 0.5},
        {"drifting 8 deg/s", [](double t) { return 15 + 8 * t; }, 0.05, false},
        // The simulator's swing, 25 sin(0.4 t), passing through 0 and at its fastest at the run's
        // start (as fast as it gets), and half a period later.
        {"swinging up", [](double t) { return 25 * std::sin(0.4 * t); }, 1.5},
        {"swinging down", [](double t) { return 25 * std::sin(0.4 * t + std::numbers::pi); }, 1.5},
        {"at the swing's top", [](double t) { return 25 * std::cos(0.4 * t); }, 1.5},
    };
    Maneuver stepManeuver{.channel = ManeuverChannel::lateral,
                          .profile = {.kind = ManeuverProfile::Kind::step, .amplitude = 0.1, .duration = 3}};
    Maneuver sineManeuver{
        .channel = ManeuverChannel::lateral,
        .profile = {.kind = ManeuverProfile::Kind::sine, .amplitude = 0.15, .frequency = 0.5, .duration = 4}};
    std::vector<double> delays;
    for (const Drift& drift : drifts) {
        SCOPED_TRACE(drift.what);
        for (const Maneuver* maneuver : {&stepManeuver, &sineManeuver}) {
            const bool isStep = maneuver == &stepManeuver;
            const auto& response = isStep ? std::function<double(double)>(step) : sine;
            ManeuverRepeatRecord record{.runSeconds = maneuver->profile.duration,
                                        .settleSeconds = 2,
                                        .runCompleted = true,
                                        .settleCompleted = drift.settleKnown};
            for (int i = -50; i < 0; ++i)
                record.before.push_back({.time = i * 0.02, .wheelAngle = drift.angle(i * 0.02)});
            const double end = record.runSeconds;
            for (int i = 0; i * 0.02 < end + 2 - 1e-9; ++i) {
                const double t = i * 0.02;
                // After the run the response dies away through the lag.
                const double answer = t < end ? response(t) : response(end) * std::exp(-(t - end) / lag);
                record.samples.push_back({.time = t,
                                          .phase = t < end - 1e-9 ? ManeuverPhase::run : ManeuverPhase::settle,
                                          .wheelAngle = drift.angle(t) + answer});
            }
            const auto metrics = repeatMetrics(record, *maneuver);
            ASSERT_TRUE(metrics && metrics->response);
            const ResponseMetrics& m = *metrics->response;
            if (isStep) {
                EXPECT_NEAR(m.held, -36, drift.heldTolerance);
                ASSERT_TRUE(m.delay && m.riseTime && m.overshootPercent);
                EXPECT_NEAR(*m.delay, delay + lag * std::log(10.0 / 9), 0.005);
                EXPECT_NEAR(*m.riseTime, lag * std::log(9.0), 0.06);
                EXPECT_NEAR(*m.overshootPercent, 0, 1.0);
                delays.push_back(*m.delay);
            } else {
                ASSERT_TRUE(m.gain && m.phaseDegrees);
                EXPECT_NEAR(*m.gain, sineGain, 0.05);
                EXPECT_NEAR(*m.phaseDegrees, sinePhase, 2.0);
            }
        }
    }
    // The spread over the repeats: six delays within a few milliseconds of each other.
    const auto spread = spreadOf(delays);
    ASSERT_TRUE(spread);
    EXPECT_EQ(spread->count, 6u);
    EXPECT_NEAR(spread->mean, delay + lag * std::log(10.0 / 9), 0.005);
    EXPECT_LT(spread->max - spread->min, 0.01);
    EXPECT_LT(spread->standardDeviation, 0.005);
    const double twoValues[] = {1, 3};
    EXPECT_DOUBLE_EQ(spreadOf(twoValues)->standardDeviation, std::sqrt(2.0));
}

}  // namespace
}  // namespace orvane
