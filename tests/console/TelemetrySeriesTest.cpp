#include <chrono>
#include <cmath>
#include <limits>
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
    DeviceTelemetry telemetry;
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
