#include "maneuver/ManeuverResults.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <system_error>

#include <nlohmann/json.hpp>

#include "device/NumberText.h"
#include "platform/OneLineText.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

using nlohmann::json;
using nlohmann::ordered_json;

constexpr const char* kMetricsFormat = "orvane-maneuver-metrics";
constexpr int kMetricsFormatVersion = 1;

std::size_t metricIndex(ResponseMetric metric) { return static_cast<std::size_t>(metric); }

std::string isoDate(std::chrono::system_clock::time_point date) {
    const std::time_t time = std::chrono::system_clock::to_time_t(date);
    std::tm parts{};
    if (!::gmtime_r(&time, &parts)) return "";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", parts.tm_year + 1900, parts.tm_mon + 1,
                  parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
    return buffer;
}

// What the expectation asks for: "at most 0.300 s", "within [-40, -30] deg".
std::string expectedText(const ManeuverExpectation& expectation) {
    const ResponseMetric metric = expectedMetric(expectation.kind);
    if (expectation.kind == ManeuverExpectation::Kind::heldWithin) {
        return "within [" + numberText(expectation.low) + ", " + numberText(expectation.high) + "]" +
               metricUnit(metric);
    }
    return "at most " + metricText(metric, expectation.high);
}

// How much worse `measured` is than `baseline` for the expectation's metric: later, slower,
// further beyond; for the held value, a difference either way.
double worseBy(const ManeuverExpectation& expectation, double measured, double baseline) {
    return expectation.kind == ManeuverExpectation::Kind::heldWithin ? std::fabs(measured - baseline)
                                                                     : measured - baseline;
}

std::vector<ManeuverExpectationFailure> check(const Maneuver& maneuver, const std::optional<ResponseMetrics>& response,
                                              const ManeuverBaseline* baseline, std::size_t index, int repeat) {
    std::vector<ManeuverExpectationFailure> failures;
    for (const ManeuverExpectation& expectation : maneuver.expectations) {
        const ResponseMetric metric = expectedMetric(expectation.kind);
        const std::string key = expectationKey(expectation.kind);
        const std::optional<double> measured = response ? metricValue(*response, metric) : std::nullopt;
        if (!measured) {
            failures.push_back(
                {expectation, std::nullopt, std::nullopt,
                 key + ": " + metricWord(metric) + " not measured, expected " + expectedText(expectation)});
            continue;
        }
        const bool within = expectation.kind == ManeuverExpectation::Kind::heldWithin
                                ? *measured >= expectation.low && *measured <= expectation.high
                                : *measured <= expectation.high;
        if (!within) {
            failures.push_back({expectation, measured, std::nullopt,
                                key + ": " + metricWord(metric) + " " + metricText(metric, measured) + ", expected " +
                                    expectedText(expectation)});
        }
        if (!expectation.tolerance || !baseline) continue;
        const auto before = baseline->value(index, repeat, metric);
        if (!before) continue;
        const double worse = worseBy(expectation, *measured, *before);
        if (worse > *expectation.tolerance) {
            failures.push_back(
                {expectation, measured, before,
                 key + " tolerance: " + metricWord(metric) + " " + metricText(metric, measured) + ", " +
                     metricText(metric, worse) +
                     (expectation.kind == ManeuverExpectation::Kind::heldWithin ? " off" : " worse than") +
                     " the baseline's " + metricText(metric, before) + ", more than " +
                     metricText(metric, *expectation.tolerance)});
        }
    }
    return failures;
}

// A number for JSON, or null for nothing or a value that is not finite.
ordered_json orderedNumber(const std::optional<double>& value) {
    return value && std::isfinite(*value) ? ordered_json(*value) : ordered_json(nullptr);
}

// Text for XML: the five predefined entities, and no control character (XML 1.0 has none but
// tab, newline and carriage return).
std::string xmlText(std::string_view text) {
    std::string out;
    for (char c : withoutControlCharacters(text)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string secondsText(double seconds) { return fixedText(std::isfinite(seconds) ? seconds : 0, 3); }

[[noreturn]] void notMetrics(const std::string& why) {
    throw ManeuverFileError(withArgs(translate("ManeuverBaseline", "not a maneuver metrics file: %1"), why));
}

}  // namespace

const char* verdictName(ManeuverVerdict verdict) {
    switch (verdict) {
        case ManeuverVerdict::none: return "none";
        case ManeuverVerdict::passed: return "passed";
        case ManeuverVerdict::failed: return "failed";
    }
    return "";
}

std::string metricText(ResponseMetric metric, const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return "none";
    return fixedText(*value, metricDigits(metric)) + metricUnit(metric);
}

std::optional<double> ManeuverBaseline::value(std::size_t maneuver, int repeat, ResponseMetric metric) const {
    auto found = metrics.find({maneuver, repeat});
    return found == metrics.end() ? std::nullopt : found->second[metricIndex(metric)];
}

ManeuverBaseline ManeuverBaseline::fromJsonText(std::string_view text) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::exception& error) {  // a syntax error, or a number beyond a double
        std::string what = error.what();
        if (auto close = what.find("] "); close != std::string::npos) what = what.substr(close + 2);
        notMetrics(withoutControlCharacters(what));
    }
    if (!document.is_object() || document.value("format", json()) != kMetricsFormat) {
        notMetrics(withArgs(translate("ManeuverBaseline", "it has no \"format\": \"%1\""), kMetricsFormat));
    }
    if (document.value("formatVersion", json()) != kMetricsFormatVersion) {
        notMetrics(withArgs(translate("ManeuverBaseline", "its \"formatVersion\" is not %1"),
                            std::to_string(kMetricsFormatVersion)));
    }
    ManeuverBaseline baseline;
    const json suite = document.value("suite", json());
    if (!suite.is_object() || !suite.value("sha256", json()).is_string())
        notMetrics(translate("ManeuverBaseline", "it names no suite SHA-256"));
    baseline.suiteSha256 = suite["sha256"].get<std::string>();
    const json repeats = document.value("repeats", json());
    if (!repeats.is_array()) notMetrics(translate("ManeuverBaseline", "it has no list of \"repeats\""));
    for (const json& repeat : repeats) {
        const json index = repeat.is_object() ? repeat.value("index", json()) : json();
        const json number = repeat.is_object() ? repeat.value("repeat", json()) : json();
        if (!index.is_number_unsigned() || !number.is_number_unsigned() || index.get<std::size_t>() < 1 ||
            number.get<long long>() < 1 || number.get<long long>() > 1000) {
            notMetrics(translate("ManeuverBaseline", "a repeat has no \"index\" and \"repeat\" counting from 1"));
        }
        auto& values = baseline.metrics[{index.get<std::size_t>() - 1, number.get<int>() - 1}];
        const json metrics = repeat.value("metrics", json());
        if (metrics.is_null()) continue;
        if (!metrics.is_object()) notMetrics(translate("ManeuverBaseline", "a repeat's \"metrics\" is not an object"));
        for (ResponseMetric metric : kResponseMetrics) {
            const json value = metrics.value(metricKey(metric), json());
            if (value.is_number()) {
                values[metricIndex(metric)] = value.get<double>();
            } else if (!value.is_null()) {
                notMetrics(
                    withArgs(translate("ManeuverBaseline", "a repeat's \"%1\" is not a number"), metricKey(metric)));
            }
        }
    }
    return baseline;
}

ManeuverBaseline ManeuverBaseline::fromFile(const std::filesystem::path& path) {
    std::string text;
    try {
        text = ManeuverSuite::readFileText(path);
    } catch (const ManeuverFileError& error) {
        throw ManeuverFileError(withArgs(translate("ManeuverBaseline", "the baseline: %1"), error.what()));
    }
    try {
        return fromJsonText(text);
    } catch (const ManeuverFileError& error) {
        throw ManeuverFileError(withArgs(translate("ManeuverBaseline", "the baseline \"%1\" is %2"),
                                         withoutControlCharacters(path.string()), error.what()));
    }
}

std::optional<std::string> baselineMismatch(const ManeuverBaseline& baseline, const std::string& suiteSha256) {
    if (baseline.suiteSha256 == suiteSha256) return std::nullopt;
    return withArgs(translate("ManeuverBaseline",
                              "the baseline was measured with another suite (SHA-256 %1, this suite's is %2): its "
                              "repeats are not this suite's"),
                    withoutControlCharacters(baseline.suiteSha256), suiteSha256);
}

ManeuverRepeatResult evaluateRepeat(const Maneuver& maneuver, std::size_t index, int repeat,
                                    const ManeuverRepeatRecord* record, const ManeuverBaseline* baseline) {
    ManeuverRepeatResult result{.maneuver = index, .repeat = repeat};
    if (record) {
        result.reached = true;
        result.runCompleted = record->runCompleted;
        result.seconds =
            record->settleCompleted
                ? record->runSeconds + record->settleSeconds
                : (record->samples.empty() ? 0 : record->samples.back().time + ManeuverSchedule::kTickSeconds);
        result.metrics = repeatMetrics(*record, maneuver);
    }
    const std::optional<ResponseMetrics> response =
        result.metrics ? result.metrics->response : std::optional<ResponseMetrics>();
    if (response && baseline) {
        for (ResponseMetric metric : kResponseMetrics) {
            const auto value = metricValue(*response, metric);
            const auto before = baseline->value(index, repeat, metric);
            if (value && before && maneuverHasMetric(maneuver, metric)) {
                result.baselineChange[metricIndex(metric)] = *value - *before;
            }
        }
    }
    if (result.runCompleted && !maneuver.expectations.empty()) {
        result.failures = check(maneuver, response, baseline, index, repeat);
        result.verdict = result.failures.empty() ? ManeuverVerdict::passed : ManeuverVerdict::failed;
    }
    return result;
}

ManeuverSuiteResults evaluateManeuvers(const ManeuverSuite& suite, const std::vector<ManeuverRepeatRecord>& records,
                                       const ManeuverEnd& end, const ManeuverBaseline* baseline) {
    ManeuverSuiteResults results;
    results.completed = end.completed;
    results.abortReason = end.completed ? std::string() : end.reason;
    results.comparedWithBaseline = baseline != nullptr;
    std::map<std::pair<std::size_t, int>, const ManeuverRepeatRecord*> byRepeat;
    for (const ManeuverRepeatRecord& record : records) byRepeat[{record.maneuver, record.repeat}] = &record;

    bool anyPassed = false, anyFailed = false;
    for (std::size_t index = 0; index < suite.maneuvers.size(); ++index) {
        const Maneuver& maneuver = suite.maneuvers[index];
        std::array<std::vector<double>, kResponseMetrics.size()> values;
        for (int repeat = 0; repeat < maneuver.repeats; ++repeat) {
            auto found = byRepeat.find({index, repeat});
            ManeuverRepeatResult result =
                evaluateRepeat(maneuver, index, repeat, found == byRepeat.end() ? nullptr : found->second, baseline);
            if (result.metrics && result.metrics->response) {
                for (ResponseMetric metric : kResponseMetrics) {
                    const auto value = metricValue(*result.metrics->response, metric);
                    if (value && maneuverHasMetric(maneuver, metric)) values[metricIndex(metric)].push_back(*value);
                }
            }
            anyPassed |= result.verdict == ManeuverVerdict::passed;
            anyFailed |= result.verdict == ManeuverVerdict::failed;
            results.repeats.push_back(std::move(result));
        }
        auto& spread = results.spread.emplace_back();
        for (ResponseMetric metric : kResponseMetrics) {
            spread[metricIndex(metric)] = spreadOf(values[metricIndex(metric)]);
        }
    }
    results.verdict = anyFailed                    ? ManeuverVerdict::failed
                      : anyPassed && end.completed ? ManeuverVerdict::passed
                                                   : ManeuverVerdict::none;
    return results;
}

std::string maneuverJunitXml(const ManeuverSuite& suite, const ManeuverSuiteResults& results,
                             const ManeuverReportInfo& info) {
    std::size_t failures = 0, errors = 0, skipped = 0;
    double total = 0;
    std::string cases;
    const std::string classname = xmlText(std::filesystem::path(info.fileName).stem().string());
    for (const ManeuverRepeatResult& result : results.repeats) {
        const Maneuver& maneuver = suite.maneuvers.at(result.maneuver);
        total += result.seconds;
        cases += "    <testcase classname=\"" + classname + "\" name=\"" +
                 xmlText(maneuver.name + " #" + std::to_string(result.repeat + 1)) + "\" time=\"" +
                 secondsText(result.seconds) + "\"";
        if (result.verdict == ManeuverVerdict::failed) {
            ++failures;
            std::string message, body;
            for (const auto& failure : result.failures) {
                message += (message.empty() ? "" : "; ") + failure.text;
                body += xmlText(failure.text) + "\n";
            }
            cases += ">\n      <failure message=\"" + xmlText(message) + "\" type=\"expectation\">" + body +
                     "</failure>\n    </testcase>\n";
        } else if (result.reached && !result.runCompleted) {
            ++errors;
            cases += ">\n      <error message=\"" + xmlText("the suite was aborted: " + results.abortReason) +
                     "\" type=\"aborted\"/>\n    </testcase>\n";
        } else if (!result.reached) {
            ++skipped;
            cases += ">\n      <skipped message=\"not run: the suite was aborted before it\"/>\n    </testcase>\n";
        } else {
            cases += "/>\n";
        }
    }
    const std::string name = xmlText(info.fileName.empty() ? "maneuvers" : info.fileName);
    const std::string counts = " tests=\"" + std::to_string(results.repeats.size()) + "\" failures=\"" +
                               std::to_string(failures) + "\" errors=\"" + std::to_string(errors) + "\"";
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" + name + "\"" + counts +
                      " time=\"" + secondsText(total) + "\">\n  <testsuite name=\"" + name + "\"" + counts +
                      " skipped=\"" + std::to_string(skipped) + "\" time=\"" + secondsText(total) + "\" timestamp=\"" +
                      isoDate(info.date) + "\">\n";
    out += "    <properties>\n";
    for (const auto& [key, value] :
         {std::pair{"firmwareVersion", info.firmwareVersion}, std::pair{"serialNumber", info.serialNumber},
          std::pair{"suiteSha256", info.suiteSha256},
          std::pair{"verdict", std::string(verdictName(results.verdict))}}) {
        out += "      <property name=\"" + std::string(key) + "\" value=\"" + xmlText(value) + "\"/>\n";
    }
    out += "    </properties>\n" + cases + "  </testsuite>\n</testsuites>\n";
    return out;
}

std::string maneuverMetricsJson(const ManeuverSuite& suite, const ManeuverSuiteResults& results,
                                const ManeuverReportInfo& info) {
    ordered_json repeats = ordered_json::array();
    for (const ManeuverRepeatResult& result : results.repeats) {
        const Maneuver& maneuver = suite.maneuvers.at(result.maneuver);
        ordered_json entry{{"maneuver", maneuver.name},
                           {"index", result.maneuver + 1},
                           {"repeat", result.repeat + 1},
                           {"reached", result.reached},
                           {"completed", result.runCompleted},
                           {"seconds", result.seconds},
                           {"verdict", verdictName(result.verdict)}};
        if (result.metrics && result.metrics->response) {
            ordered_json metrics = ordered_json::object();
            for (ResponseMetric metric : kResponseMetrics) {
                if (maneuverHasMetric(maneuver, metric)) {
                    metrics[metricKey(metric)] = orderedNumber(metricValue(*result.metrics->response, metric));
                }
            }
            entry["metrics"] = metrics;
        } else {
            entry["metrics"] = nullptr;
        }
        if (result.metrics) entry["implausibleSamples"] = result.metrics->implausibleSamples;
        ordered_json failures = ordered_json::array();
        for (const auto& failure : result.failures) {
            ordered_json item{{"expectation", expectationKey(failure.expectation.kind)},
                              {"metric", metricKey(expectedMetric(failure.expectation.kind))},
                              {"measured", orderedNumber(failure.measured)},
                              {"text", failure.text}};
            if (failure.expectation.kind == ManeuverExpectation::Kind::heldWithin) {
                item["expected"] = ordered_json::array({failure.expectation.low, failure.expectation.high});
            } else {
                item["expected"] = failure.expectation.high;
            }
            if (failure.baseline) {
                item["baseline"] = *failure.baseline;
                item["tolerance"] = orderedNumber(failure.expectation.tolerance);
            }
            failures.push_back(std::move(item));
        }
        entry["failures"] = std::move(failures);
        if (results.comparedWithBaseline) {
            ordered_json change = ordered_json::object();
            for (ResponseMetric metric : kResponseMetrics) {
                if (const auto& value = result.baselineChange[static_cast<std::size_t>(metric)]) {
                    change[metricKey(metric)] = *value;
                }
            }
            entry["baselineChange"] = std::move(change);
        }
        repeats.push_back(std::move(entry));
    }
    ordered_json spread = ordered_json::array();
    for (std::size_t index = 0; index < results.spread.size(); ++index) {
        ordered_json metrics = ordered_json::object();
        for (ResponseMetric metric : kResponseMetrics) {
            if (const auto& s = results.spread[index][static_cast<std::size_t>(metric)]) {
                metrics[metricKey(metric)] = {{"count", s->count},
                                              {"mean", s->mean},
                                              {"min", s->min},
                                              {"max", s->max},
                                              {"standardDeviation", s->standardDeviation}};
            }
        }
        spread.push_back({{"maneuver", suite.maneuvers.at(index).name}, {"index", index + 1}, {"metrics", metrics}});
    }
    const ordered_json document{
        {"format", kMetricsFormat},
        {"formatVersion", kMetricsFormatVersion},
        {"suite", {{"file", info.fileName}, {"sha256", info.suiteSha256}}},
        {"firmwareVersion", info.firmwareVersion.empty() ? ordered_json(nullptr) : ordered_json(info.firmwareVersion)},
        {"serialNumber", info.serialNumber.empty() ? ordered_json(nullptr) : ordered_json(info.serialNumber)},
        {"date", isoDate(info.date)},
        {"completed", results.completed},
        {"abortReason", results.completed ? ordered_json(nullptr) : ordered_json(results.abortReason)},
        {"verdict", verdictName(results.verdict)},
        {"spread", std::move(spread)},
        {"repeats", std::move(repeats)},
    };
    // Invalid UTF-8 in a name becomes U+FFFD rather than an exception.
    return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

void writeFileWhole(const std::filesystem::path& path, const std::string& text, const std::string& what) {
    namespace fs = std::filesystem;
    const fs::path temporary = path.string() + ".part-" + std::to_string(::getpid());
    const auto failed = [&](const std::string& cause) {
        return withArgs(translate("ManeuverResults", "cannot write the %1 %2: %3"), what,
                        withoutControlCharacters(path.string()), cause);
    };
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (file) file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.flush();
        if (!file) {
            const std::string cause = std::strerror(errno);
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw std::runtime_error(failed(cause));
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw std::runtime_error(failed(error.message()));
    }
}

}  // namespace orvane
