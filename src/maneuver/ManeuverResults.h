#pragma once

#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "maneuver/ManeuverMetrics.h"
#include "maneuver/ManeuverRunner.h"
#include "maneuver/ManeuverSuite.h"

namespace orvane {

// What the report and the files for machines say about the run besides its samples.
struct ManeuverReportInfo {
    std::string fileName;                        // the maneuver file's name
    std::string firmwareVersion;                 // empty: the device did not report one
    std::string serialNumber;                    // empty: the device did not report one
    std::chrono::system_clock::time_point date;  // when the suite started
    std::string suiteSha256;                     // of the maneuver file's bytes; empty: not known
};

// A repeat's or a suite's verdict on its expectations.
enum class ManeuverVerdict {
    none,    // nothing was expected of it, or it did not complete
    passed,  // every expectation was met
    failed,  // at least one was not (a metric not measured fails the expectation that needs it)
};

// "none", "passed" or "failed".
const char* verdictName(ManeuverVerdict verdict);

// The metrics of a run kept as a baseline: a metrics file written earlier with the same suite.
struct ManeuverBaseline {
    std::string suiteSha256;
    // Per (maneuver, repeat), both from 0: each metric's value, in kResponseMetrics' order.
    std::map<std::pair<std::size_t, int>, std::array<std::optional<double>, kResponseMetrics.size()>> metrics;

    // Reads a metrics file (see maneuverMetricsJson). Throws ManeuverFileError with one line when
    // it cannot be read, is not a metrics file or is cut short.
    static ManeuverBaseline fromFile(const std::filesystem::path& path);
    static ManeuverBaseline fromJsonText(std::string_view text);

    std::optional<double> value(std::size_t maneuver, int repeat, ResponseMetric metric) const;
};

// One expectation a repeat did not meet.
struct ManeuverExpectationFailure {
    ManeuverExpectation expectation;
    std::optional<double> measured;  // nothing: the metric was not measured
    // Set when it failed against the baseline (worse by more than the tolerance).
    std::optional<double> baseline;
    // "rise 0.512 s, expected at most 0.300 s"
    std::string text;
};

// One repeat of the suite, reached or not.
struct ManeuverRepeatResult {
    std::size_t maneuver = 0;
    int repeat = 0;             // from 0
    bool reached = false;       // the suite got to it
    bool runCompleted = false;  // its run reached its end
    double seconds = 0;         // run and settle, as far as they got
    std::optional<RepeatMetrics> metrics;
    ManeuverVerdict verdict = ManeuverVerdict::none;
    std::vector<ManeuverExpectationFailure> failures;
    // Each metric minus the baseline's for the same repeat, when both were measured.
    std::array<std::optional<double>, kResponseMetrics.size()> baselineChange;
};

struct ManeuverSuiteResults {
    std::vector<ManeuverRepeatResult> repeats;  // every repeat of every maneuver, in order
    // Per maneuver, the spread of each metric over its measured repeats.
    std::vector<std::array<std::optional<MetricSpread>, kResponseMetrics.size()>> spread;
    ManeuverVerdict verdict = ManeuverVerdict::none;
    bool completed = false;
    std::string abortReason;
    bool comparedWithBaseline = false;

    bool anyFailed() const { return verdict == ManeuverVerdict::failed; }
};

// The verdicts of a run: each completed repeat of a maneuver with expectations passes or fails
// them (and their tolerances against `baseline`, when given); the suite fails when any repeat
// failed, passes when it completed with every expectation met, and has no verdict otherwise.
ManeuverSuiteResults evaluateManeuvers(const ManeuverSuite& suite, const std::vector<ManeuverRepeatRecord>& records,
                                       const ManeuverEnd& end, const ManeuverBaseline* baseline = nullptr);

// One repeat's result (`record` null: not reached).
ManeuverRepeatResult evaluateRepeat(const Maneuver& maneuver, std::size_t index, int repeat,
                                    const ManeuverRepeatRecord* record, const ManeuverBaseline* baseline = nullptr);

// Why a baseline cannot be compared with a run of the suite whose file has `suiteSha256`: a
// baseline of another suite. Nothing when it can.
std::optional<std::string> baselineMismatch(const ManeuverBaseline& baseline, const std::string& suiteSha256);

// JUnit XML: one testsuite for the suite, one testcase per repeat named "MANEUVER #REPEAT" with
// its run and settle's time in seconds, a failure with the measured and expected values of each
// expectation not met, an error for the repeat the suite was aborted in, and skipped for those
// it never reached.
std::string maneuverJunitXml(const ManeuverSuite& suite, const ManeuverSuiteResults& results,
                             const ManeuverReportInfo& info);

// The metrics file: JSON with every repeat's metrics, verdict and failures, the spread per
// maneuver, the device's firmware version and serial number, and the suite file's SHA-256. A
// later run reads it back as its baseline.
std::string maneuverMetricsJson(const ManeuverSuite& suite, const ManeuverSuiteResults& results,
                                const ManeuverReportInfo& info);

// Writes `text` to `path` through a temporary file beside it that is renamed over it, so that no
// reader ever sees half a file. Throws std::runtime_error ("cannot write the WHAT PATH: cause").
void writeFileWhole(const std::filesystem::path& path, const std::string& text, const std::string& what);

// A one-line text of a metric's value: "0.512 s", "none".
std::string metricText(ResponseMetric metric, const std::optional<double>& value);

}  // namespace orvane
