#include "console/PlotAxes.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// The least limit of each axis (the request axis' only one).
constexpr std::array<double, kPlotAxisCount> kMinimumLimits{10, 1, 100};

}  // namespace

PlotAxis plotAxisOf(TelemetrySeriesKind kind) {
    switch (kind) {
        case TelemetrySeriesKind::steeringWheelAngle: return PlotAxis::angle;
        case TelemetrySeriesKind::steeringAssistanceTorque:
        case TelemetrySeriesKind::steeringDriverTorque: return PlotAxis::torque;
        case TelemetrySeriesKind::requestLateral:
        case TelemetrySeriesKind::requestLongitudinal: return PlotAxis::request;
    }
    return PlotAxis::angle;
}

double plotScaleOf(TelemetrySeriesKind kind) { return plotAxisOf(kind) == PlotAxis::request ? 100 : 1; }

double niceCeiling(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 5.0, 10.0}) {
        if (step * power >= value * (1 - 1e-9)) return step * power;
    }
    return 10 * power;
}

std::array<double, kPlotAxisCount> fitPlotAxes(
    const std::array<std::optional<double>, kTelemetrySeriesCount>& largestShown) {
    std::array<double, kPlotAxisCount> largest{};
    for (std::size_t kind = 0; kind < kTelemetrySeriesCount; ++kind) {
        double& axis = largest[std::size_t(plotAxisOf(TelemetrySeriesKind(kind)))];
        if (largestShown[kind]) axis = std::max(axis, *largestShown[kind]);
    }
    std::array<double, kPlotAxisCount> limits{};
    for (std::size_t axis = 0; axis < kPlotAxisCount; ++axis) {
        limits[axis] = PlotAxis(axis) == PlotAxis::request ? kMinimumLimits[axis]
                                                           : niceCeiling(std::max(largest[axis], kMinimumLimits[axis]));
    }
    return limits;
}

}  // namespace orvane
