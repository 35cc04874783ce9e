#include <chrono>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "console/TelemetrySeries.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using Kind = TelemetrySeriesKind;

// A clock the test moves by hand.
struct ManualClock {
    std::chrono::steady_clock::time_point now{1000s};
    TelemetrySeries::Clock function() {
        return [this] { return now; };
    }
};

DeviceTelemetry angle(double degrees) {
    DeviceTelemetry telemetry;
    telemetry.steeringWheelAngle = degrees;
    telemetry.steeringReported = true;
    return telemetry;
}

std::vector<double> values(const std::vector<SeriesPoint>& points) {
    std::vector<double> result;
    for (const auto& point : points) result.push_back(point.value);
    return result;
}

TEST(TelemetrySeries, EachSeriesTakesItsOwnValue) {
    ManualClock clock;
    TelemetrySeries series(clock.function());
    // Before the device has reported its steering, only the requests are plotted.
    series.append(DeviceTelemetry{}, 0.5, -0.25);
    EXPECT_EQ(series.size(Kind::steeringWheelAngle), 0u);
    EXPECT_EQ(series.size(Kind::steeringDriverTorque), 0u);
    series.clear();
    DeviceTelemetry telemetry;
    telemetry.steeringReported = true;
    telemetry.steeringWheelAngle = 12.5;
    telemetry.steeringAssistanceTorque = 0.75;
    telemetry.steeringDriverTorque = -1.25;
    series.append(telemetry, 0.5, -0.25);
    EXPECT_EQ(series.points(Kind::steeringWheelAngle), (std::vector<SeriesPoint>{{0, 12.5}}));
    EXPECT_EQ(series.points(Kind::steeringAssistanceTorque), (std::vector<SeriesPoint>{{0, 0.75}}));
    EXPECT_EQ(series.points(Kind::steeringDriverTorque), (std::vector<SeriesPoint>{{0, -1.25}}));
    EXPECT_EQ(series.points(Kind::requestLateral), (std::vector<SeriesPoint>{{0, 0.5}}));
    EXPECT_EQ(series.points(Kind::requestLongitudinal), (std::vector<SeriesPoint>{{0, -0.25}}));

    // A value that cannot be drawn is left out of its series only.
    telemetry.steeringWheelAngle = std::nan("");
    telemetry.steeringDriverTorque = std::numeric_limits<double>::infinity();
    clock.now += 1s;
    series.append(telemetry, 0.5, -0.25);
    EXPECT_EQ(series.size(Kind::steeringWheelAngle), 1u);
    EXPECT_EQ(series.size(Kind::steeringDriverTorque), 1u);
    EXPECT_EQ(series.points(Kind::steeringAssistanceTorque), (std::vector<SeriesPoint>{{-1, 0.75}, {0, 0.75}}));
}

TEST(TelemetrySeries, KeepsTheLastWindowOfTime) {
    ManualClock clock;
    TelemetrySeries series(clock.function(), 30s);
    for (int second = 0; second <= 40; ++second) {
        series.append(angle(second), 0, 0);
        if (second < 40) clock.now += 1s;
    }
    // Samples at 10 s to 40 s remain: the window's start is inclusive.
    auto points = series.points(Kind::steeringWheelAngle);
    ASSERT_EQ(points.size(), 31u);
    EXPECT_EQ(points.front(), (SeriesPoint{-30, 10}));
    EXPECT_EQ(points.back(), (SeriesPoint{0, 40}));
    EXPECT_EQ(series.size(Kind::steeringWheelAngle), 31u) << "trimmed as appended, not only when read";

    // Time passing without samples (no device) moves the window on.
    clock.now += 10s + 500ms;
    points = series.points(Kind::steeringWheelAngle);
    ASSERT_EQ(points.size(), 20u);
    EXPECT_EQ(points.front(), (SeriesPoint{-29.5, 21}));
    EXPECT_EQ(points.back(), (SeriesPoint{-10.5, 40}));
    clock.now += 31s;
    EXPECT_TRUE(series.points(Kind::steeringWheelAngle).empty());
    series.append(angle(99), 0, 0);
    EXPECT_EQ(series.size(Kind::steeringWheelAngle), 1u) << "the next append trims what the window left";
}

TEST(TelemetrySeries, CapacityBoundsEverySeries) {
    ManualClock clock;
    TelemetrySeries series(clock.function(), 30s, 10);
    for (int n = 0; n < 25; ++n) {
        series.append(angle(n), n, -n);
        clock.now += 1ms;
    }
    clock.now -= 1ms;
    for (Kind kind : {Kind::steeringWheelAngle, Kind::steeringAssistanceTorque, Kind::steeringDriverTorque,
                      Kind::requestLateral, Kind::requestLongitudinal}) {
        EXPECT_EQ(series.size(kind), 10u) << seriesTitle(kind);
    }
    EXPECT_EQ(values(series.points(Kind::steeringWheelAngle)),
              (std::vector<double>{15, 16, 17, 18, 19, 20, 21, 22, 23, 24}));
    EXPECT_EQ(values(series.points(Kind::requestLongitudinal)).front(), -15);
    EXPECT_DOUBLE_EQ(series.points(Kind::steeringWheelAngle).front().seconds, -0.009);

    series.clear();
    EXPECT_EQ(series.size(Kind::steeringWheelAngle), 0u);
    EXPECT_TRUE(series.points(Kind::requestLateral).empty());
    series.append(angle(1), 0, 0);
    EXPECT_EQ(values(series.points(Kind::steeringWheelAngle)), (std::vector<double>{1}));
}

TEST(TelemetrySeries, PauseFreezesThePlot) {
    ManualClock clock;
    TelemetrySeries series(clock.function(), 30s);
    series.append(angle(1), 0, 0);
    clock.now += 1s;
    series.append(angle(2), 0, 0);
    series.setPaused(true);
    EXPECT_TRUE(series.isPaused());
    const auto frozen = series.points(Kind::steeringWheelAngle);
    EXPECT_EQ(frozen, (std::vector<SeriesPoint>{{-1, 1}, {0, 2}}));

    clock.now += 45s;
    series.append(angle(3), 0, 0);
    EXPECT_EQ(series.points(Kind::steeringWheelAngle), frozen) << "neither new samples nor the passing time show";

    series.setPaused(false);
    series.append(angle(4), 0, 0);
    EXPECT_EQ(series.points(Kind::steeringWheelAngle), (std::vector<SeriesPoint>{{0, 4}}));
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

using namespace std::chrono_literals;

// The console appends 50 times a second whatever the device does; the lines break where no
// message came for longer than the gap (500 ms), and only there.
TEST(TelemetrySeries, BreaksTheLinesWhereNoMessageCameForLongerThanTheGap) {
    // A step: the time since the step before, and whether a message came meanwhile.
    struct Step {
        std::chrono::milliseconds after;
        bool message = true;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        std::size_t points;               // plotted
        std::vector<std::size_t> starts;  // of the lines, as indexes of the plotted points
    };
    auto repeat = [](int times, Step step) { return std::vector<Step>(std::size_t(times), step); };
    auto join = [](std::vector<std::vector<Step>> parts) {
        std::vector<Step> all;
        for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const std::vector<Case> cases{
        {"messages at every tick", repeat(20, {20ms}), 20, {0}},
        {"a slow device, a message every 300 ms", join({repeat(4, {300ms}), repeat(15, {20ms, false})}), 4, {0}},
        {"a device silent for 3 s",
         join({repeat(10, {20ms}), repeat(150, {20ms, false}), repeat(10, {20ms})}),
         20,
         {0, 10}},
        {"silent for 500 ms: still joined", join({repeat(3, {20ms}), repeat(24, {20ms, false}), {{20ms}}}), 4, {0}},
        {"silent for 520 ms: broken", join({repeat(3, {20ms}), repeat(25, {20ms, false}), {{20ms}}}), 4, {0, 3}},
        {"disconnected for 5 s, then two short connections",
         {{20ms}, {20ms}, {5s}, {20ms}, {1s}, {20ms}, {20ms}},
         7,
         {0, 2, 4}},
        {"no message at all", repeat(10, {20ms, false}), 0, {}},
    };
    for (const Case& c : cases) {
        ManualClock clock;
        TelemetrySeries series(clock.function());
        std::optional<std::chrono::steady_clock::time_point> received;
        double angleNow = 0;
        for (const Step& step : c.steps) {
            clock.now += step.after;
            if (step.message) {
                received = clock.now;
                ++angleNow;
            }
            // As the console does: nothing before the first message, else the time of the last.
            if (received) series.append(angle(angleNow), 0, 0, *received);
        }
        const auto points = series.points(Kind::steeringWheelAngle);
        EXPECT_EQ(points.size(), c.points) << c.what;
        EXPECT_EQ(lineStarts(points, series.gap()), c.starts) << c.what;
        // Each plotted value is a message's, once: the silent ticks added no repeats.
        for (std::size_t i = 1; i < points.size(); ++i) EXPECT_EQ(points[i].value, points[i - 1].value + 1) << c.what;
    }
}

}  // namespace
}  // namespace orvane
