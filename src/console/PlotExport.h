#pragma once

#include <string>
#include <vector>

#include "console/TelemetrySeries.h"

namespace orvane {

// One line of a plot as it is drawn: the column name it is exported under and its points
// (seconds relative to the end of the plotted window, value in its axis' unit), oldest first.
struct PlottedSeries {
    std::string name;
    std::vector<SeriesPoint> points;
};

// The column name of a series in an export: its title and its axis' unit, "Steering Wheel
// Angle (deg)", "Driver Torque (Nm)", "Lateral Request (%)".
std::string plotColumnName(TelemetrySeriesKind kind);

// The CSV (RFC 4180, CR LF) of what a plot shows over its window of `windowSeconds`: a header
// row, "time (s)" and each series' name, then one row for each moment at which any series has a
// point inside the window (from -windowSeconds to 0, both included), oldest first; points of
// different series less than a millisecond apart share the row of the first. The time is
// in seconds relative to the window's end with three fraction digits, the values as plotted
// (numberText, in the C locale whatever the process' locale). A series without a point at
// a row's moment has an empty field there: nothing is filled in where a series has no data,
// so where a plotted line breaks there are no rows at all.
std::string plotCsv(const std::vector<PlottedSeries>& series, double windowSeconds);

// The SVG `svg` with the value of each font-family attribute replaced by `family`, quoted, then
// the generic sans-serif: `font-family="'DejaVu Sans', sans-serif"`. A viewer without that family
// shows a sans-serif one, not its default (often serif) one. Characters that cannot stand in the
// quoted name (quotes, backslash, < and &) are left out of it; a `family` that is itself a generic
// name (sans-serif, serif, monospace) stands alone.
std::string svgWithFontFamily(const std::string& svg, const std::string& family);

}  // namespace orvane
