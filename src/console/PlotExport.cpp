#include "console/PlotExport.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "console/PlotAxes.h"
#include "device/NumberText.h"
#include "device/TelemetryRecorder.h"

namespace orvane {

namespace {

// Points closer than this (seconds) are one moment; the times are written to the millisecond.
constexpr double kSameMoment = 0.001;

const char* unitOf(PlotAxis axis) {
    switch (axis) {
        case PlotAxis::angle: return "deg";
        case PlotAxis::torque: return "Nm";
        case PlotAxis::request: return "%";
    }
    return "";
}

}  // namespace

std::string plotColumnName(TelemetrySeriesKind kind) {
    return std::string(seriesTitle(kind)) + " (" + unitOf(plotAxisOf(kind)) + ")";
}

std::string plotCsv(const std::vector<PlottedSeries>& series, double windowSeconds) {
    std::string out;
    std::vector<std::string> fields{"time (s)"};
    for (const PlottedSeries& one : series) fields.push_back(one.name);
    appendCsvRow(out, fields);

    const auto inWindow = [windowSeconds](const SeriesPoint& point) {
        return point.seconds >= -windowSeconds && point.seconds <= 0 && std::isfinite(point.value);
    };
    // Merges the series by time: each step writes the earliest point left in any series, with
    // the next point of each other series less than kSameMoment after it. The series of one
    // sampling are read one after the other against a window's end that moves meanwhile, so
    // their times differ by microseconds.
    std::vector<std::size_t> next(series.size(), 0);
    const auto skipOutside = [&](std::size_t index) {
        const auto& points = series[index].points;
        while (next[index] < points.size() && !inWindow(points[next[index]])) ++next[index];
    };
    for (;;) {
        double moment = std::numeric_limits<double>::infinity();
        for (std::size_t index = 0; index < series.size(); ++index) {
            skipOutside(index);
            if (next[index] < series[index].points.size()) {
                moment = std::min(moment, series[index].points[next[index]].seconds);
            }
        }
        if (std::isinf(moment)) break;
        fields.assign({fixedText(moment, 3)});
        for (std::size_t index = 0; index < series.size(); ++index) {
            const auto& points = series[index].points;
            if (next[index] < points.size() && points[next[index]].seconds - moment < kSameMoment) {
                fields.push_back(numberText(points[next[index]++].value));
            } else {
                fields.emplace_back();
            }
        }
        appendCsvRow(out, fields);
    }
    return out;
}

std::string svgWithFontFamily(const std::string& svg, const std::string& family) {
    std::string value;
    if (family == "sans-serif" || family == "serif" || family == "monospace") {
        value = family;
    } else {
        value = "'";
        for (char c : family) {
            if (std::string_view("'\"\\<&").find(c) == std::string_view::npos) value += c;
        }
        value += "', sans-serif";
    }
    static const std::string attribute = "font-family=\"";
    std::string out;
    out.reserve(svg.size());
    std::size_t from = 0;
    for (std::size_t at = svg.find(attribute); at != std::string::npos; at = svg.find(attribute, from)) {
        const std::size_t start = at + attribute.size();
        const std::size_t end = svg.find('"', start);
        if (end == std::string::npos) break;
        out.append(svg, from, start - from);
        out += value;
        from = end;
    }
    out.append(svg, from, std::string::npos);
    return out;
}

}  // namespace orvane
