#pragma once

#include <array>
#include <cstddef>
#include <optional>

#include "console/TelemetrySeries.h"

namespace orvane {

// The value axes of the live plots. Each runs from -limit to +limit.
enum class PlotAxis {
    angle,    // the steering wheel angle, degrees
    torque,   // the assistance and driver torques, Nm
    request,  // the lateral and longitudinal requests, percent
};
inline constexpr std::size_t kPlotAxisCount = 3;

// The axis a series is drawn against.
PlotAxis plotAxisOf(TelemetrySeriesKind kind);
// The factor from a series' unit to its axis' unit: 100 for the requests (-1 to 1 drawn as
// percent), 1 for the others.
double plotScaleOf(TelemetrySeriesKind kind);

// The smallest of 1, 2 or 5 times a power of ten that is at least `value` (> 0), with a
// relative tolerance of 1e-9 so that a value a rounding error above such a number keeps it.
double niceCeiling(double value);

// The limit of each axis for what is shown on it. `largestShown` holds, for each series, the
// largest magnitude it draws (in its axis' unit), or none while the series is hidden. The angle
// and torque axes grow and shrink with the largest magnitude of their shown series, never below
// 10 degrees and 1 Nm, rounded up with niceCeiling; the request axis stays at 100 %.
std::array<double, kPlotAxisCount> fitPlotAxes(
    const std::array<std::optional<double>, kTelemetrySeriesCount>& largestShown);

}  // namespace orvane
