#include "maneuver/ManeuverReport.h"

#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <system_error>

#include "device/NumberText.h"
#include "maneuver/ManeuverMetrics.h"
#include "maneuver/ManeuverSchedule.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

const char* const kRepeatColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e",
                                      "#9467bd", "#8c564b", "#e377c2", "#17becf"};

const char* repeatColour(int repeat) { return kRepeatColours[repeat % std::size(kRepeatColours)]; }

// Locale-free fixed-point text; "-0.00" loses its sign, and a value that is not finite is a dash.
std::string fixed(double value, int decimals) { return std::isfinite(value) ? fixedText(value, decimals) : "\u2013"; }

std::string dateText(std::chrono::system_clock::time_point date) {
    const std::time_t time = std::chrono::system_clock::to_time_t(date);
    std::tm parts{};
    if (!::gmtime_r(&time, &parts)) return "unknown";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d UTC", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return buffer;
}

std::string orUnreported(const std::string& text) { return text.empty() ? "not reported" : htmlEscaped(text); }

std::string percentText(double magnitude) { return fixed(magnitude * 100, 1) + " %"; }

std::string profileText(const Maneuver& maneuver) {
    const ManeuverProfile& profile = maneuver.profile;
    std::string text = std::string(channelName(maneuver.channel)) + ", " + profileName(profile.kind);
    switch (profile.kind) {
        case ManeuverProfile::Kind::step:
            text += " to " + percentText(profile.amplitude) + " for " + fixed(profile.duration, 2) + " s";
            break;
        case ManeuverProfile::Kind::ramp:
            text += " from " + percentText(profile.from) + " to " + percentText(profile.to) + " over " +
                    fixed(profile.duration, 2) + " s";
            break;
        case ManeuverProfile::Kind::sine:
            text += " of " + percentText(profile.amplitude) + " at " + fixed(profile.frequency, 2) + " Hz for " +
                    fixed(profile.duration, 2) + " s";
            break;
        case ManeuverProfile::Kind::points:
            text += " through " + std::to_string(profile.points.size()) + " points over " + fixed(profile.duration, 2) +
                    " s";
            break;
    }
    text += ", " + std::to_string(maneuver.repeats) + (maneuver.repeats == 1 ? " run" : " runs") + ", " +
            fixed(maneuver.settle, 2) + " s settle after each";
    return text;
}

// Lamp colours of the control methods in the band.
const char* methodColour(const LateralControlMethod& method) {
    switch (method.kind) {
        case LateralControlMethod::half: return "#43a047";
        case LateralControlMethod::apa: return "#1e88e5";
        case LateralControlMethod::configuring: return "#fdd835";
        case LateralControlMethod::unknown: return "#bdbdbd";
        case LateralControlMethod::other: return "#8e24aa";
    }
    return "#bdbdbd";
}

const char* methodColour(const LongitudinalControlMethod& method) {
    switch (method.kind) {
        case LongitudinalControlMethod::dasm: return "#43a047";
        case LongitudinalControlMethod::unknown: return "#bdbdbd";
        case LongitudinalControlMethod::other: return "#8e24aa";
    }
    return "#bdbdbd";
}

struct Series {
    std::vector<CurvePoint> points;
    const char* colour;
};

struct Panel {
    std::string title;
    double minimumSpan;  // of the value axis, so that a still curve shows as still
    std::vector<Series> series = {};
    std::vector<double> limitLines = {};  // horizontal, dashed red
};

// 1, 2 or 5 times a power of ten, near `raw`.
double niceStep(double raw) {
    if (!(raw > 0) || !std::isfinite(raw)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double fraction = raw / power;
    return (fraction <= 1 ? 1 : fraction <= 2 ? 2 : fraction <= 5 ? 5 : 10) * power;
}

// The labelled values of an axis over [low, high]: `first` and then every `step`, `count` of them.
// Asked for about `wanted`; never more than kMostTicks whatever the range, and none for a range
// that is not finite.
struct AxisTicks {
    static constexpr int kMostTicks = 50;
    double first = 0;
    double step = 1;
    int count = 0;
};

AxisTicks axisTicks(double low, double high, int wanted) {
    AxisTicks ticks;
    if (!std::isfinite(low) || !std::isfinite(high) || !(high > low)) return ticks;
    ticks.step = niceStep((high - low) / wanted);
    ticks.first = std::ceil(low / ticks.step) * ticks.step;
    const double span = std::floor((high - ticks.first) / ticks.step + 1e-6) + 1;
    if (std::isfinite(span) && span > 0) ticks.count = static_cast<int>(std::min<double>(span, AxisTicks::kMostTicks));
    return ticks;
}

int decimalsFor(double step) { return std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9))); }

// The SVG of one maneuver: stacked panels over a shared time axis and the control-method band.
class Chart {
public:
    Chart(std::string id, double seconds, double runSeconds, std::optional<double> abortAt)
        : id_(std::move(id)), seconds_(seconds), runSeconds_(runSeconds), abortAt_(abortAt) {}

    void addPanel(Panel panel) { panels_.push_back(std::move(panel)); }

    // One row per repeat, a rectangle per stretch of one colour; `label` names the row's content.
    struct BandRow {
        std::string label;
        std::vector<std::pair<double, const char*>> stretches;  // start time, colour
        double end = 0;                                         // of the last stretch
    };
    void setBand(std::string title, std::vector<BandRow> rows) {
        bandTitle_ = std::move(title);
        band_ = std::move(rows);
    }

    std::string svg() const {
        const double bandHeight = band_.empty() ? 0 : kBandTitle + band_.size() * (kBandRow + kBandGap);
        const double height = kTop + panels_.size() * (kPanelHeight + kPanelGap) + bandHeight + kAxis;
        std::string out = "<svg class=\"chart\" width=\"" + fixed(kWidth, 0) + "\" height=\"" + fixed(height, 0) +
                          "\" viewBox=\"0 0 " + fixed(kWidth, 0) + " " + fixed(height, 0) + "\" role=\"img\">\n";
        double top = kTop;
        for (std::size_t i = 0; i < panels_.size(); ++i) {
            panelSvg(out, panels_[i], top, i);
            top += kPanelHeight + kPanelGap;
        }
        if (!band_.empty()) {
            out += "<text class=\"title\" x=\"" + fixed(kLeft, 0) + "\" y=\"" + fixed(top - 6, 1) + "\">" +
                   htmlEscaped(bandTitle_) + "</text>\n";
            for (const BandRow& row : band_) {
                out += "<text x=\"" + fixed(kLeft - 6, 0) + "\" y=\"" + fixed(top + kBandRow - 2, 1) +
                       "\" text-anchor=\"end\">" + htmlEscaped(row.label) + "</text>\n";
                for (std::size_t s = 0; s < row.stretches.size(); ++s) {
                    const double from = row.stretches[s].first;
                    const double to = s + 1 < row.stretches.size() ? row.stretches[s + 1].first : row.end;
                    out += "<rect x=\"" + fixed(x(from), 1) + "\" y=\"" + fixed(top, 1) + "\" width=\"" +
                           fixed(std::max(0.5, x(to) - x(from)), 1) + "\" height=\"" + fixed(kBandRow, 0) +
                           "\" fill=\"" + row.stretches[s].second + "\"/>\n";
                }
                top += kBandRow + kBandGap;
            }
        }
        timeAxis(out, top + 4);
        out += "</svg>\n";
        return out;
    }

private:
    static constexpr double kWidth = 960;
    static constexpr double kLeft = 74;
    static constexpr double kRight = 16;
    static constexpr double kTop = 22;
    static constexpr double kPanelHeight = 120;
    static constexpr double kPanelGap = 34;
    static constexpr double kBandTitle = 4;
    static constexpr double kBandRow = 11;
    static constexpr double kBandGap = 3;
    static constexpr double kAxis = 40;

    double plotWidth() const { return kWidth - kLeft - kRight; }
    double x(double t) const { return kLeft + std::clamp(t / seconds_, 0.0, 1.0) * plotWidth(); }

    void timeAxis(std::string& out, double top) const {
        const AxisTicks ticks = axisTicks(0, seconds_, 10);
        for (int i = 0; i < ticks.count; ++i) {
            const double t = ticks.first + i * ticks.step;
            out += "<text x=\"" + fixed(x(t), 1) + "\" y=\"" + fixed(top + 10, 1) + "\" text-anchor=\"middle\">" +
                   fixed(t, decimalsFor(ticks.step)) + "</text>\n";
        }
        out += "<text x=\"" + fixed(kLeft + plotWidth() / 2, 1) + "\" y=\"" + fixed(top + 26, 1) +
               "\" text-anchor=\"middle\">time from the start of the run (s)</text>\n";
    }

    void verticalMarker(std::string& out, double t, double top, const char* colour, const char* label) const {
        out += "<line x1=\"" + fixed(x(t), 1) + "\" y1=\"" + fixed(top, 1) + "\" x2=\"" + fixed(x(t), 1) + "\" y2=\"" +
               fixed(top + kPanelHeight, 1) + "\" stroke=\"" + colour + "\" stroke-dasharray=\"4 3\"/>\n";
        if (label) {
            out += "<text x=\"" + fixed(x(t) + 3, 1) + "\" y=\"" + fixed(top + 10, 1) + "\" fill=\"" + colour + "\">" +
                   label + "</text>\n";
        }
    }

    void panelSvg(std::string& out, const Panel& panel, double top, std::size_t index) const {
        double low = 0, high = 0;
        for (const Series& series : panel.series) {
            for (const CurvePoint& point : series.points) {
                if (!std::isfinite(point.value)) continue;
                low = std::min(low, point.value);
                high = std::max(high, point.value);
            }
        }
        for (double line : panel.limitLines) {
            low = std::min(low, line);
            high = std::max(high, line);
        }
        if (high - low < panel.minimumSpan) {
            const double middle = (high + low) / 2;
            low = middle - panel.minimumSpan / 2;
            high = middle + panel.minimumSpan / 2;
        }
        const double pad = (high - low) * 0.06;
        low -= pad;
        high += pad;
        auto y = [&](double value) { return top + (high - value) / (high - low) * kPanelHeight; };

        const std::string clip = id_ + "-clip-" + std::to_string(index);
        out += "<clipPath id=\"" + clip + "\"><rect x=\"" + fixed(kLeft, 0) + "\" y=\"" + fixed(top, 1) +
               "\" width=\"" + fixed(plotWidth(), 0) + "\" height=\"" + fixed(kPanelHeight, 0) + "\"/></clipPath>\n";
        out += "<text class=\"title\" x=\"" + fixed(kLeft, 0) + "\" y=\"" + fixed(top - 6, 1) + "\">" +
               htmlEscaped(panel.title) + "</text>\n";
        out += "<rect class=\"frame\" x=\"" + fixed(kLeft, 0) + "\" y=\"" + fixed(top, 1) + "\" width=\"" +
               fixed(plotWidth(), 0) + "\" height=\"" + fixed(kPanelHeight, 0) + "\"/>\n";

        const AxisTicks values = axisTicks(low, high, 4);
        for (int i = 0; i < values.count; ++i) {
            const double value = values.first + i * values.step;
            out += "<line class=\"grid\" x1=\"" + fixed(kLeft, 0) + "\" y1=\"" + fixed(y(value), 1) + "\" x2=\"" +
                   fixed(kLeft + plotWidth(), 0) + "\" y2=\"" + fixed(y(value), 1) + "\"/>\n";
            out += "<text x=\"" + fixed(kLeft - 6, 0) + "\" y=\"" + fixed(y(value) + 4, 1) + "\" text-anchor=\"end\">" +
                   fixed(value, decimalsFor(values.step)) + "</text>\n";
        }
        const AxisTicks times = axisTicks(0, seconds_, 10);
        for (int i = 1; i < times.count; ++i) {
            const double t = times.first + i * times.step;
            if (t >= seconds_) break;
            out += "<line class=\"grid\" x1=\"" + fixed(x(t), 1) + "\" y1=\"" + fixed(top, 1) + "\" x2=\"" +
                   fixed(x(t), 1) + "\" y2=\"" + fixed(top + kPanelHeight, 1) + "\"/>\n";
        }
        for (double line : panel.limitLines) {
            out += "<line x1=\"" + fixed(kLeft, 0) + "\" y1=\"" + fixed(y(line), 1) + "\" x2=\"" +
                   fixed(kLeft + plotWidth(), 0) + "\" y2=\"" + fixed(y(line), 1) +
                   "\" stroke=\"#c62828\" stroke-dasharray=\"6 4\"/>\n";
        }
        verticalMarker(out, runSeconds_, top, "#757575", index == 0 ? "run ends" : nullptr);
        if (abortAt_) verticalMarker(out, *abortAt_, top, "#c62828", index == 0 ? "abort" : nullptr);

        out += "<g clip-path=\"url(#" + clip + ")\">\n";
        for (const Series& series : panel.series) {
            out += "<polyline fill=\"none\" stroke=\"" + std::string(series.colour) +
                   "\" stroke-width=\"1.6\" stroke-linejoin=\"round\" points=\"";
            for (const CurvePoint& point : series.points) {
                if (!std::isfinite(point.value)) continue;
                out += fixed(x(point.time), 1) + "," + fixed(y(point.value), 1) + " ";
            }
            out += "\"/>\n";
        }
        out += "</g>\n";
    }

    std::string id_;
    double seconds_;
    double runSeconds_;
    std::optional<double> abortAt_;
    std::vector<Panel> panels_;
    std::string bandTitle_;
    std::vector<BandRow> band_;
};

template <typename Method>
std::vector<std::pair<double, const char*>> methodStretches(const ManeuverRepeatRecord& record,
                                                            Method ManeuverSample::*field) {
    std::vector<std::pair<double, const char*>> stretches;
    const Method* last = nullptr;
    for (const ManeuverSample& sample : record.samples) {
        if (last && *last == sample.*field) continue;
        last = &(sample.*field);
        stretches.emplace_back(sample.time, methodColour(sample.*field));
    }
    return stretches;
}

// The methods seen in a maneuver's samples, for the band's legend.
template <typename Method>
std::string methodLegend(const std::vector<const ManeuverRepeatRecord*>& records, Method ManeuverSample::*field) {
    std::vector<Method> seen;
    for (const ManeuverRepeatRecord* record : records) {
        for (const ManeuverSample& sample : record->samples) {
            if (std::find(seen.begin(), seen.end(), sample.*field) == seen.end()) seen.push_back(sample.*field);
        }
    }
    std::string legend;
    for (const Method& method : seen) {
        legend += "<span><i class=\"lamp\" style=\"background:" + std::string(methodColour(method)) + "\"></i>" +
                  htmlEscaped(description(method)) + "</span>";
    }
    return legend;
}

const std::string& implausibleRule() {
    static const std::string rule = "not a finite number, or a wheel angle beyond \u00b1" +
                                    fixed(kMostPlausibleWheelAngle, 0) + "\u00b0 or a torque beyond \u00b1" +
                                    fixed(kMostPlausibleTorque, 0) + " Nm";
    return rule;
}

// "passed" with a tick, "failed" with a cross, or a dash for no verdict.
std::string verdictMark(ManeuverVerdict verdict) {
    switch (verdict) {
        case ManeuverVerdict::passed: return "<span class=\"passed\">\u2713 passed</span>";
        case ManeuverVerdict::failed: return "<span class=\"failed\">\u2717 failed</span>";
        case ManeuverVerdict::none: break;
    }
    return "<span class=\"noverdict\">\u2013</span>";
}

// " (+0.02 s)" against the baseline, or nothing.
std::string changeText(const ManeuverRepeatResult* result, ResponseMetric metric) {
    if (!result) return "";
    const auto& change = result->baselineChange[static_cast<std::size_t>(metric)];
    if (!change) return "";
    const std::string number = fixed(*change, metricDigits(metric));
    return " <span class=\"change\">(" + (number.starts_with('-') ? "" : std::string("+")) + number + ")</span>";
}

std::string metricsTable(const Maneuver& maneuver, std::size_t index,
                         const std::vector<const ManeuverRepeatRecord*>& records, const ManeuverSuiteResults& results) {
    if (!channelHasMeasuredResponse(maneuver.channel)) {
        return "<p class=\"note\">The device reports no measured response to a longitudinal request (no engine or "
               "brake quantity), so this maneuver has no response metrics; its requests and the steering values "
               "are charted above.</p>\n";
    }
    auto resultOf = [&](int repeat) -> const ManeuverRepeatResult* {
        for (const ManeuverRepeatResult& result : results.repeats) {
            if (result.maneuver == index && result.repeat == repeat) return &result;
        }
        return nullptr;
    };
    std::string out =
        "<table class=\"metrics\">\n<tr><th>Repeat</th><th>Run</th><th>First response</th><th>Rise 10\u201390 "
        "%</th><th>Overshoot</th><th>Held at end</th><th>Verdict</th></tr>\n";
    std::string notes;
    for (const ManeuverRepeatRecord* record : records) {
        const ManeuverRepeatResult* result = resultOf(record->repeat);
        const std::string verdict =
            "<td class=\"text\">" + verdictMark(result ? result->verdict : ManeuverVerdict::none) + "</td>";
        out += "<tr><td><i class=\"swatch\" style=\"background:" + std::string(repeatColour(record->repeat)) +
               "\"></i>" + std::to_string(record->repeat + 1) + "</td>";
        if (result) {
            for (const auto& failure : result->failures) {
                notes += "<p class=\"note failure\">Repeat " + std::to_string(record->repeat + 1) + " failed " +
                         htmlEscaped(failure.text) + ".</p>\n";
            }
        }
        const auto repeat = repeatMetrics(*record, maneuver);
        if (!repeat) {
            out += "<td class=\"text\" colspan=\"5\">cut short: the suite ended during this run</td>" + verdict +
                   "</tr>\n";
            continue;
        }
        if (repeat->implausibleSamples > 0) {
            notes += "<p class=\"note\">Repeat " + std::to_string(record->repeat + 1) + ": " +
                     std::to_string(repeat->implausibleSamples) + " of the run's " +
                     std::to_string(repeat->runSamples) +
                     " wheel angles were not plausible and are left out of its metrics.</p>\n";
        }
        const auto& metrics = repeat->response;
        if (!metrics) {
            out +=
                "<td>complete</td><td class=\"text\" colspan=\"4\">not measured: no wheel angle reported during "
                "the run was plausible</td>" +
                verdict + "</tr>\n";
            continue;
        }
        // A ramp or a sine has no end value to rise to: not applicable rather than not reached.
        const std::string absent = profileHoldsItsEnd(maneuver.profile.kind) ? "none" : "n/a";
        auto seconds = [&](const std::optional<double>& value) { return value ? fixed(*value, 2) + " s" : absent; };
        out += "<td>complete</td><td>" + (metrics->delay ? fixed(*metrics->delay, 2) + " s" : "none") +
               changeText(result, ResponseMetric::delay) + "</td><td>" + seconds(metrics->riseTime) +
               changeText(result, ResponseMetric::riseTime) + "</td><td>" +
               (metrics->overshootPercent ? fixed(*metrics->overshootPercent, 1) + " %" : absent) +
               changeText(result, ResponseMetric::overshootPercent) + "</td><td>" + fixed(metrics->held, 1) + "\u00b0" +
               changeText(result, ResponseMetric::held) + "</td>" + verdict + "</tr>\n";
        if (metrics->gain && metrics->phaseDegrees) {
            notes += "<p class=\"note\">Repeat " + std::to_string(record->repeat + 1) + ": gain " +
                     fixed(*metrics->gain, 3) + "\u00b0 per %" + changeText(result, ResponseMetric::gain) + ", phase " +
                     fixed(*metrics->phaseDegrees, 1) + "\u00b0" + changeText(result, ResponseMetric::phaseDegrees) +
                     " at " + fixed(maneuver.profile.frequency, 2) + " Hz.</p>\n";
        }
    }
    out += "</table>\n" + notes;
    if (index < results.spread.size() && maneuver.repeats > 1) {
        std::string spread;
        for (ResponseMetric metric : kResponseMetrics) {
            const auto& s = results.spread[index][static_cast<std::size_t>(metric)];
            if (!s || s->count < 2) continue;
            spread += (spread.empty() ? "" : "; ") + std::string(metricWord(metric)) + " " +
                      fixed(s->mean, metricDigits(metric)) + " \u00b1 " +
                      fixed(s->standardDeviation, metricDigits(metric)) + " (" + fixed(s->min, metricDigits(metric)) +
                      " to " + fixed(s->max, metricDigits(metric)) + ")";
        }
        if (!spread.empty()) {
            out +=
                "<p class=\"note spread\">Over the measured repeats, mean \u00b1 standard deviation (least to "
                "most): " +
                htmlEscaped(spread) + ".</p>\n";
        }
    }
    return out;
}

const char* const kStyle = R"(
body { font-family: "DejaVu Sans", Helvetica, Arial, sans-serif; color: #212121; background: #fff;
       margin: 24px auto; max-width: 980px; font-size: 14px; }
h1 { font-size: 22px; margin-bottom: 8px; }
h2 { font-size: 17px; margin: 32px 0 4px; padding-bottom: 4px; border-bottom: 1px solid #ccc; }
table.facts th { text-align: left; font-weight: normal; color: #616161; padding: 2px 16px 2px 0; }
table.facts td { padding: 2px 0; }
.completed { color: #2e7d32; font-weight: bold; }
.aborted { color: #c62828; font-weight: bold; }
.passed { color: #2e7d32; font-weight: bold; }
.failed { color: #c62828; font-weight: bold; }
.noverdict { color: #9e9e9e; }
.change { color: #616161; }
.note { color: #616161; margin: 4px 0; }
.legend { margin: 8px 0 2px; }
.legend span { display: inline-block; margin-right: 18px; }
.swatch { display: inline-block; width: 18px; height: 3px; vertical-align: middle; margin-right: 6px; }
.lamp { display: inline-block; width: 12px; height: 10px; vertical-align: middle; margin-right: 5px; }
svg.chart { display: block; margin: 4px 0 8px; }
svg.chart text { font-size: 11px; fill: #424242; font-family: "DejaVu Sans", Helvetica, Arial, sans-serif; }
svg.chart text.title { font-size: 12px; font-weight: bold; fill: #212121; }
svg.chart .frame { fill: none; stroke: #9e9e9e; }
svg.chart .grid { stroke: #eeeeee; }
table.metrics { border-collapse: collapse; margin-top: 6px; }
table.metrics th, table.metrics td { border: 1px solid #d0d0d0; padding: 4px 10px; text-align: right; }
table.metrics th { background: #f5f5f5; font-weight: normal; }
table.metrics td.text { text-align: left; color: #616161; }
dl.definitions dt { font-weight: bold; margin-top: 6px; }
dl.definitions dd { margin-left: 16px; color: #424242; }
)";

}  // namespace

std::string htmlEscaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string maneuverReportHtml(const ManeuverSuite& suite, const std::vector<ManeuverRepeatRecord>& records,
                               const ManeuverEnd& end, const ManeuverReportInfo& info,
                               const ManeuverSuiteResults* given) {
    const ManeuverSuiteResults evaluated = given ? ManeuverSuiteResults() : evaluateManeuvers(suite, records, end);
    const ManeuverSuiteResults& results = given ? *given : evaluated;
    const ManeuverSchedule schedule(suite);
    constexpr double kTick = ManeuverSchedule::kTickSeconds;
    std::string out =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Maneuver report: " +
        htmlEscaped(info.fileName) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    out += "<h1>Maneuver report</h1>\n<table class=\"facts\">\n";
    {
        std::size_t passed = 0, failed = 0;
        for (const ManeuverRepeatResult& result : results.repeats) {
            passed += result.verdict == ManeuverVerdict::passed;
            failed += result.verdict == ManeuverVerdict::failed;
        }
        out += "<tr><th>Verdict</th><td class=\"suite-verdict\">" + verdictMark(results.verdict);
        if (passed + failed > 0) {
            out += ": " + std::to_string(passed) + " repeats passed, " + std::to_string(failed) + " failed";
        } else {
            out += " no expectations were checked";
        }
        if (results.comparedWithBaseline) out += "; changes in brackets are against the baseline";
        out += "</td></tr>\n";
    }
    out += "<tr><th>File</th><td>" + htmlEscaped(info.fileName) + "</td></tr>\n";
    out += "<tr><th>Date</th><td>" + dateText(info.date) + "</td></tr>\n";
    out += "<tr><th>Firmware version</th><td>" + orUnreported(info.firmwareVersion) + "</td></tr>\n";
    out += "<tr><th>Serial number</th><td>" + orUnreported(info.serialNumber) + "</td></tr>\n";
    out += "<tr><th>Limits</th><td>lateral " + percentText(suite.limits.lateral) + ", longitudinal " +
           percentText(suite.limits.longitudinal) + ", driver torque " + fixed(suite.limits.driverTorqueAbort, 2) +
           " Nm</td></tr>\n";
    out += "<tr><th>Ending</th><td>";
    if (end.completed) {
        out += "<span class=\"completed\">Completed</span>: every maneuver ran to its end, in " +
               fixed(end.seconds, 1) + " s";
    } else {
        out += "<span class=\"aborted\">Aborted</span>: " + htmlEscaped(end.reason);
        if (end.maneuver < suite.maneuvers.size()) {
            out += " (in \u201c" + htmlEscaped(suite.maneuvers[end.maneuver].name) + "\u201d, repeat " +
                   std::to_string(end.repeat + 1) + ", " + phaseName(end.phase) + ", " + fixed(end.seconds, 2) +
                   " s into the suite); the requests went to 0 at once";
        }
    }
    out += "</td></tr>\n</table>\n";

    for (std::size_t m = 0; m < suite.maneuvers.size(); ++m) {
        const Maneuver& maneuver = suite.maneuvers[m];
        out += "<section>\n<h2>" + std::to_string(m + 1) + ". " + htmlEscaped(maneuver.name) + "</h2>\n";
        out += "<p class=\"note\">" + htmlEscaped(profileText(maneuver)) + "</p>\n";
        std::vector<const ManeuverRepeatRecord*> mine;
        for (const ManeuverRepeatRecord& record : records) {
            if (record.maneuver == m && !record.samples.empty()) mine.push_back(&record);
        }
        if (mine.empty()) {
            out += "<p class=\"note\">Not run: the suite ended before this maneuver.</p>\n</section>\n";
            continue;
        }

        const double runSeconds = static_cast<double>(schedule.runTicks(m)) * kTick;
        double seconds = runSeconds + static_cast<double>(schedule.settleTicks(m)) * kTick;
        for (const ManeuverRepeatRecord* record : mine) seconds = std::max(seconds, record->samples.back().time);
        std::optional<double> abortAt;
        if (!end.completed && end.maneuver == m) {
            abortAt = end.seconds - static_cast<double>(schedule.runStart(m, end.repeat)) * kTick;
        }

        const bool lateral = maneuver.channel == ManeuverChannel::lateral;
        Chart chart("m" + std::to_string(m + 1), seconds, runSeconds, abortAt);
        // A value that is not plausible is not drawn: it would stretch the axis past every real one.
        auto curve = [](const ManeuverRepeatRecord& record, const std::function<double(const ManeuverSample&)>& of,
                        bool (*plausible)(double), std::size_t& leftOut) {
            std::vector<CurvePoint> points;
            for (const ManeuverSample& sample : record.samples) {
                const double value = of(sample);
                if (plausible(value)) {
                    points.push_back({sample.time, value});
                } else {
                    ++leftOut;
                }
            }
            return points;
        };
        auto anything = [](double value) { return std::isfinite(value); };
        std::size_t requestsLeftOut = 0, anglesLeftOut = 0, assistLeftOut = 0, driverLeftOut = 0;
        Panel request{std::string(lateral ? "Lateral" : "Longitudinal") + " request (%)", 10};
        Panel angle{"Wheel angle (\u00b0)", 4};
        Panel assist{"Assist torque (Nm)", 1};
        Panel driver{"Driver torque (Nm)", 1};
        if (plausibleTorque(suite.limits.driverTorqueAbort)) {
            driver.limitLines = {suite.limits.driverTorqueAbort, -suite.limits.driverTorqueAbort};
        }
        std::vector<Chart::BandRow> band;
        for (const ManeuverRepeatRecord* record : mine) {
            const char* colour = repeatColour(record->repeat);
            request.series.push_back({curve(
                                          *record,
                                          [lateral](const ManeuverSample& s) {
                                              return 100 * (lateral ? s.lateralRequest : s.longitudinalRequest);
                                          },
                                          anything, requestsLeftOut),
                                      colour});
            angle.series.push_back(
                {curve(
                     *record, [](const ManeuverSample& s) { return s.wheelAngle; }, plausibleWheelAngle, anglesLeftOut),
                 colour});
            assist.series.push_back(
                {curve(
                     *record, [](const ManeuverSample& s) { return s.assistTorque; }, plausibleTorque, assistLeftOut),
                 colour});
            driver.series.push_back(
                {curve(
                     *record, [](const ManeuverSample& s) { return s.driverTorque; }, plausibleTorque, driverLeftOut),
                 colour});
            band.push_back({"repeat " + std::to_string(record->repeat + 1),
                            lateral ? methodStretches(*record, &ManeuverSample::lateralControlMethod)
                                    : methodStretches(*record, &ManeuverSample::longitudinalControlMethod),
                            record->samples.back().time + kTick});
        }
        chart.addPanel(std::move(request));
        chart.addPanel(std::move(angle));
        chart.addPanel(std::move(assist));
        chart.addPanel(std::move(driver));
        chart.setBand(lateral ? "Lateral control method" : "Longitudinal control method", std::move(band));

        out += "<div class=\"legend\">";
        for (const ManeuverRepeatRecord* record : mine) {
            out += "<span><i class=\"swatch\" style=\"background:" + std::string(repeatColour(record->repeat)) +
                   "\"></i>repeat " + std::to_string(record->repeat + 1) + "</span>";
        }
        out += "<span>dashed red: driver torque limit</span></div>\n";
        out += chart.svg();
        std::string leftOut;
        for (const auto& [count, what] :
             {std::pair{anglesLeftOut, "wheel angles"}, std::pair{assistLeftOut, "assist torques"},
              std::pair{driverLeftOut, "driver torques"}}) {
            if (count > 0) leftOut += (leftOut.empty() ? "" : ", ") + std::to_string(count) + " " + what;
        }
        if (!leftOut.empty()) {
            out += "<p class=\"note implausible\">Values the device reported that were not plausible (" +
                   implausibleRule() + ") are not charted: " + leftOut + ".</p>\n";
        }
        out += "<div class=\"legend\">" +
               (lateral ? methodLegend(mine, &ManeuverSample::lateralControlMethod)
                        : methodLegend(mine, &ManeuverSample::longitudinalControlMethod)) +
               "</div>\n";
        out += metricsTable(maneuver, m, mine, results);
        out += "</section>\n";
    }

    const std::string threshold = fixed(kWheelAngleResponseThreshold, 1) + "\u00b0";
    out +=
        "<h2>How the metrics are taken</h2>\n<dl class=\"definitions\">\n"
        "<dt>Response</dt><dd>The wheel angle during the run minus the wheel's own motion: the straight line "
        "fitted to the angle over the last " +
        fixed(kBaselineSeconds, 1) +
        " s before the run, carried on through it, or, when the settle after the run lasted at least " +
        fixed(kShortestSettleAfterSeconds, 0) +
        " s, the curve that joins it to the line fitted over the settle's last " + fixed(kBaselineSeconds, 1) +
        " s. A wheel that drifts or swings by itself does not count as answering. A longitudinal request has no "
        "measured response.</dd>\n"
        "<dt>First response</dt><dd>The time from the start of the run until the response first reaches 10 % of "
        "the change the run made (the held value for a step or points, else the largest response), interpolated "
        "between samples; none when that change is within " +
        threshold +
        ".</dd>\n"
        "<dt>Gain and phase</dt><dd>For a sine: a sine of its frequency fitted to the response over the run's "
        "last whole periods (after the first, when there are two or more), in degrees of wheel angle per % of "
        "request, and its phase against the angle the request asks for (negative: it lags).</dd>\n"
        "<dt>Held at end</dt><dd>The mean response over the last " +
        fixed(kHeldWindowSeconds, 1) +
        " s of the run.</dd>\n"
        "<dt>Rise 10\u201390 %</dt><dd>The time the response takes from 10 % to 90 % of the held value (in its "
        "direction), each crossing interpolated between samples; none when the held value is within " +
        threshold +
        " of the wheel's own motion.</dd>\n"
        "<dt>Overshoot</dt><dd>How far the response's peak goes beyond the held value, in % of the held "
        "value.</dd>\n<dt>Plausible values</dt><dd>A value the device reported that is " +
        implausibleRule() +
        " cannot be a measurement: it is left out of the charts and the metrics, and a response with no plausible "
        "wheel angle is not measured.</dd>\n</dl>\n<p class=\"note\">Rise and overshoot are given for step and points "
        "profiles only "
        "(n/a otherwise): a ramp ends still moving and a sine oscillating, with no value to settle at.</p>\n"
        "</body>\n</html>\n";
    return out;
}

void writeManeuverReport(const std::filesystem::path& path, const std::string& html) {
    writeFileWhole(path, html, translate("ManeuverReport", "report"));
}

}  // namespace orvane
