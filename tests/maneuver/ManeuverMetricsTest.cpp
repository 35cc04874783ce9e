#include <cmath>
#include <functional>
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
};

TEST(ManeuverMetricsTest, DelayRiseOvershootAndHeldValueOfSyntheticResponses) {
    // A dead time of 0.2 s, then a first-order lag of 0.3 s to -72 degrees: its 10-90 % rise is
    // 0.3 ln 9 = 0.659 s, and it first moves 0.5 degrees 2 ms after the dead time.
    auto lagged = [](double offset) {
        return sampled([offset](double t) { return offset + (t < 0.2 ? 0 : -72 * (1 - std::exp(-(t - 0.2) / 0.3))); });
    };
    const MetricsCase cases[] = {
        {"delayed first-order lag", lagged(0), -72, 0.22, 0.3 * std::log(9.0), 0},
        {"the same from an offset", lagged(15), -72, 0.22, 0.3 * std::log(9.0), 0},
        {"straight rise with overshoot", sampled([](double t) { return piecewise(t, 10); }), 10, 0.56, 0.8, 20},
        {"the same turning the other way", sampled([](double t) { return piecewise(t, -10); }), -10, 0.56, 0.8, 20},
        // Noise of +-0.2 degrees: 0 or 0.4 from the first sample.
        {"noise below the threshold", sampled([](double t) { return std::lround(t / 0.02) % 2 ? 0.2 : -0.2; }), 0.2,
         std::nullopt, std::nullopt, std::nullopt},
        {"moves, but ends where it began", sampled([](double t) { return t < 2.5 ? 8 * std::sin(3 * t) : 0; }), 0, 0.04,
         std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto metrics = responseMetrics(c.curve, 3.0);
        ASSERT_TRUE(metrics);
        EXPECT_NEAR(metrics->held, c.held, 0.05);
        ASSERT_EQ(metrics->delay.has_value(), c.delay.has_value());
        if (c.delay) {
            EXPECT_NEAR(*metrics->delay, *c.delay, 1e-9);
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
    EXPECT_FALSE(responseMetrics({}, 3.0));

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
    EXPECT_EQ(sineMetrics->response->delay, clean->response->delay);
    EXPECT_FALSE(sineMetrics->response->riseTime || sineMetrics->response->overshootPercent);
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

}  // namespace
}  // namespace orvane
