#include <array>
#include <optional>

#include <gtest/gtest.h>

#include "console/PlotAxes.h"

namespace orvane {
namespace {

TEST(PlotAxes, EachAxisFitsTheLargestMagnitudeShownOnIt) {
    constexpr std::nullopt_t hidden = std::nullopt;
    struct Case {
        // Largest magnitude per series: angle, assistance torque, driver torque, lateral and
        // longitudinal request (percent).
        std::array<std::optional<double>, kTelemetrySeriesCount> largest;
        std::array<double, kPlotAxisCount> limits;  // angle, torque, request
    };
    const Case cases[] = {
        {{hidden, hidden, hidden, hidden, hidden}, {10, 1, 100}},  // nothing shown: the least limits
        {{0.0, 0.0, 0.0, 0.0, 0.0}, {10, 1, 100}},
        {{37.0, 0.3, 0.0, 0.0, 0.0}, {50, 1, 100}},              // below the least torque limit
        {{50.0, 1.5, 3.0, 0.0, 0.0}, {50, 5, 100}},              // a limit met exactly stays
        {{50 * (1 + 1e-12), 2.0, 0.0, 0.0, 0.0}, {50, 2, 100}},  // a rounding error above it too
        {{50.1, 1.5, hidden, 0.0, 0.0}, {100, 2, 100}},
        {{120.0, 0.0, 20.5, 0.0, 0.0}, {200, 50, 100}},
        {{999.0, 0.0, 0.0, 250.0, 100.0}, {1000, 1, 100}},  // requests stay on their fixed axis
        {{hidden, 7.0, 0.0, hidden, hidden}, {10, 10, 100}},
    };
    for (const auto& c : cases) {
        const auto limits = fitPlotAxes(c.largest);
        for (std::size_t axis = 0; axis < kPlotAxisCount; ++axis) {
            EXPECT_DOUBLE_EQ(limits[axis], c.limits[axis])
                << "axis " << axis << " for the angle " << c.largest[0].value_or(-1) << ", torques "
                << c.largest[1].value_or(-1) << " and " << c.largest[2].value_or(-1) << ", requests "
                << c.largest[3].value_or(-1) << " and " << c.largest[4].value_or(-1);
        }
    }

    // Below the least limits the rounding goes on by decades; requests are drawn as percent.
    const std::pair<double, double> ceilings[] = {{0.03, 0.05}, {0.1, 0.1}, {0.11, 0.2}, {0.2001, 0.5}, {7, 10}};
    for (const auto& [value, ceiling] : ceilings) EXPECT_DOUBLE_EQ(niceCeiling(value), ceiling) << value;
    EXPECT_EQ(plotScaleOf(TelemetrySeriesKind::requestLongitudinal), 100);
    EXPECT_EQ(plotScaleOf(TelemetrySeriesKind::steeringDriverTorque), 1);
}

}  // namespace
}  // namespace orvane
