#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "maneuver/ManeuverResults.h"

namespace orvane {
namespace {

// A: steps with every expectation, one with a tolerance; B: a brake step, nothing expected; C:
// steps the suite is aborted in (its first) and never reaches (its second).
const char* const kSuite = R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 2},
  "maneuvers": [
    {"name": "A", "channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 3, "repeats": 3, "settle": 4,
     "expect": {"delayMax": 0.2, "riseMax": 0.7, "overshootMaxPercent": 5, "heldWithin": [-40, -32],
                "tolerance": {"riseMax": 0.05}}},
    {"name": "B", "channel": "longitudinal", "profile": "step", "amplitude": -0.1, "duration": 1},
    {"name": "C", "channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 3, "repeats": 2,
     "expect": {"delayMax": 0.2}}]})";

// A repeat of 3 s and its 4 s settle (long enough for a lag of 0.5 s to die away): -36 degrees after 0.12 s through a lag of `lag` seconds (10 %
// at 0.152 s, 10-90 % in lag ln 9), or `angle` throughout when given.
ManeuverRepeatRecord repeatOf(std::size_t maneuver, int repeat, double lag, bool completed = true,
                              std::optional<double> angle = std::nullopt) {
    ManeuverRepeatRecord record{.maneuver = maneuver,
                                .repeat = repeat,
                                .runSeconds = 3,
                                .settleSeconds = 4,
                                .runCompleted = completed,
                                .settleCompleted = completed};
    auto answer = [lag](double s) { return s < 0.12 ? 0 : -36 * (1 - std::exp(-(s - 0.12) / lag)); };
    for (int i = 0; i < (completed ? 350 : 40); ++i) {
        const double t = i * 0.02;
        record.samples.push_back({.time = t,
                                  .phase = t < 3 - 1e-9 ? ManeuverPhase::run : ManeuverPhase::settle,
                                  .wheelAngle = angle ? *angle : answer(t) - (t < 3 ? 0 : answer(t - 3))});
    }
    return record;
}

struct SuiteRun {
    ManeuverSuite suite = ManeuverSuite::fromJsonText(kSuite);
    std::vector<ManeuverRepeatRecord> records;
    ManeuverEnd end{.completed = false, .reason = "stopped by SIGINT", .maneuver = 2};
    ManeuverReportInfo info{.fileName = "suite.json",
                            .firmwareVersion = "1.1.9",
                            .serialNumber = "OV-1",
                            .suiteSha256 = std::string(64, 'a')};
};

// A's first repeat meets everything; its second rises too slowly (about 0.5 ln 9 = 1.10 s; 1.08 s to 90 % of the 99.7 % it holds at the run's end), also
// against a baseline that rose in 0.3 ln 9 = 0.66 s; its third has no plausible angle, so every
// expectation fails as not measured. B has no verdict, nor C's aborted repeat.
TEST(ManeuverResultsTest, VerdictsOfExpectationsAndTolerancesAgainstABaseline) {
    SuiteRun run;
    run.records = {repeatOf(0, 0, 0.3), repeatOf(0, 1, 0.5), repeatOf(0, 2, 0.3, true, NAN), repeatOf(1, 0, 0.3),
                   repeatOf(2, 0, 0.3, false)};
    SuiteRun before;
    before.records = {repeatOf(0, 0, 0.3), repeatOf(0, 1, 0.3), repeatOf(0, 2, 0.3)};
    const ManeuverBaseline baseline = ManeuverBaseline::fromJsonText(
        maneuverMetricsJson(before.suite, evaluateManeuvers(before.suite, before.records, before.end), before.info));
    EXPECT_FALSE(baselineMismatch(baseline, std::string(64, 'a')));
    EXPECT_TRUE(baselineMismatch(baseline, std::string(64, 'b')));

    struct Expected {
        ManeuverVerdict verdict;
        std::vector<std::string> failures;
        std::vector<std::string> againstBaseline;  // besides
    };
    const std::vector<Expected> expected{
        {ManeuverVerdict::passed, {}, {}},
        {ManeuverVerdict::failed,
         {"riseMax: rise 1.077 s, expected at most 0.700 s"},
         {"riseMax tolerance: rise 1.077 s, 0.418 s worse than the baseline's 0.659 s, more than 0.050 s"}},
        {ManeuverVerdict::failed,
         {"delayMax: delay not measured, expected at most 0.200 s",
          "riseMax: rise not measured, expected at most 0.700 s",
          "overshootMaxPercent: overshoot not measured, expected at most 5.0 %",
          "heldWithin: held not measured, expected within [-40.0, -32.0] deg"},
         {}},
        {ManeuverVerdict::none, {}, {}},
        {ManeuverVerdict::none, {}, {}},
        {ManeuverVerdict::none, {}, {}},
    };
    for (const ManeuverBaseline* against : {static_cast<const ManeuverBaseline*>(nullptr), &baseline}) {
        SCOPED_TRACE(against ? "with the baseline" : "alone");
        const auto results = evaluateManeuvers(run.suite, run.records, run.end, against);
        EXPECT_EQ(results.verdict, ManeuverVerdict::failed);
        ASSERT_EQ(results.repeats.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i);
            const auto& result = results.repeats[i];
            EXPECT_EQ(result.verdict, expected[i].verdict);
            std::vector<std::string> failures = expected[i].failures, texts;
            if (against)
                failures.insert(failures.end(), expected[i].againstBaseline.begin(), expected[i].againstBaseline.end());
            for (const auto& failure : result.failures) texts.push_back(failure.text);
            EXPECT_EQ(texts, failures);
        }
        const auto& change = results.repeats[1].baselineChange[static_cast<std::size_t>(ResponseMetric::riseTime)];
        ASSERT_EQ(change.has_value(), against != nullptr);
        if (change) {
            EXPECT_NEAR(*change, 0.2 * std::log(9.0), 0.03);
        }
    }

    // Only the lateral channel, and only a step or points, have the metrics expected of them; a
    // range must not be empty, and a tolerance belongs to an expectation.
    const std::pair<const char*, const char*> refusals[] = {
        {R"("channel": "longitudinal", "profile": "step", "amplitude": 0.1, "duration": 1, "expect": {"delayMax": 1})",
         "\"expect\": \"delayMax\" cannot be met: the device reports no measured response to a longitudinal request"},
        {R"("channel": "lateral", "profile": "sine", "amplitude": 0.1, "frequency": 1, "duration": 1,
            "expect": {"riseMax": 1})",
         "\"expect\": \"riseMax\" cannot be met: a sine has no rise time"},
        {R"("channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 1, "expect": {"heldWithin": [3, 2]})",
         "\"expect\": \"heldWithin\" [3.0, 2.0] is empty"},
        {R"("channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 1, "expect": {"delayMax": -0.1})",
         "\"expect\": \"delayMax\" -0.1 is negative"},
        {R"("channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 1, "expect": {"riseMin": 1})",
         "\"expect\": unknown key \"riseMin\""},
        {R"("channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 1,
            "expect": {"delayMax": 1, "tolerance": {"riseMax": 0.1}})",
         "\"expect\" \"tolerance\": \"riseMax\" has no expectation \"riseMax\" beside it"},
    };
    for (const auto& [maneuver, reason] : refusals) {
        const std::string text = R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 2},
            "maneuvers": [{"name": "m", )" +
                                 std::string(maneuver) + "}]}";
        try {
            ManeuverSuite::fromJsonText(text);
            ADD_FAILURE() << "read without an error: " << text;
        } catch (const ManeuverFileError& error) {
            EXPECT_EQ(std::string(error.what()).rfind("maneuver 1 \"m\": " + std::string(reason), 0), 0u)
                << error.what();
        }
    }
}

// The JUnit file has the shape CI servers read: counts on the suite, one test case per repeat
// named "MANEUVER #REPEAT" with its seconds, a failure with measured and expected values, an
// error for the aborted run, skipped for the one never reached. The metrics file reads back as a
// baseline with the same values; one cut short, or not ours, is refused.
TEST(ManeuverResultsTest, JunitShapeAndMetricsFileReadBack) {
    SuiteRun run;
    run.records = {repeatOf(0, 0, 0.3), repeatOf(0, 1, 0.5), repeatOf(0, 2, 0.3), repeatOf(1, 0, 0.3),
                   repeatOf(2, 0, 0.3, false)};
    const auto results = evaluateManeuvers(run.suite, run.records, run.end);
    const std::string xml = maneuverJunitXml(run.suite, results, run.info);
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites ", 0), 0u);
    EXPECT_NE(xml.find("<testsuite name=\"suite.json\" tests=\"6\" failures=\"1\" errors=\"1\" skipped=\"1\" "
                       "time=\"28.800\""),
              std::string::npos)
        << xml;
    const std::regex testcase(R"re(<testcase classname="suite" name="([^"]+)" time="([0-9.]+)"(/>|>\s*<(\w+)))re");
    std::vector<std::string> cases;
    for (auto it = std::sregex_iterator(xml.begin(), xml.end(), testcase); it != std::sregex_iterator(); ++it) {
        cases.push_back((*it)[1].str() + " " + (*it)[2].str() + " " + ((*it)[4].matched ? (*it)[4].str() : "ok"));
    }
    EXPECT_EQ(cases, (std::vector<std::string>{"A #1 7.000 ok", "A #2 7.000 failure", "A #3 7.000 ok", "B #1 7.000 ok",
                                               "C #1 0.800 error", "C #2 0.000 skipped"}));
    EXPECT_NE(xml.find("<failure message=\"riseMax: rise 1.077 s, expected at most 0.700 s\" type=\"expectation\">"),
              std::string::npos);
    EXPECT_NE(xml.find("<error message=\"the suite was aborted: stopped by SIGINT\" type=\"aborted\"/>"),
              std::string::npos);
    EXPECT_EQ(std::count(xml.begin(), xml.end(), '<') - std::count(xml.begin(), xml.end(), '>'), 0);

    const std::string json = maneuverMetricsJson(run.suite, results, run.info);
    const auto baseline = ManeuverBaseline::fromJsonText(json);
    EXPECT_EQ(baseline.suiteSha256, run.info.suiteSha256);
    for (int repeat = 0; repeat < 3; ++repeat) {
        for (ResponseMetric metric : kResponseMetrics) {
            // A step has no gain or phase: they are neither written nor read back.
            const auto written = maneuverHasMetric(run.suite.maneuvers[0], metric)
                                     ? metricValue(*results.repeats[repeat].metrics->response, metric)
                                     : std::nullopt;
            EXPECT_EQ(baseline.value(0, repeat, metric), written) << metricKey(metric);
        }
    }
    for (const std::string& bad :
         {json.substr(0, json.size() / 2), std::string(R"({"format": "something else"})"), std::string("[]")}) {
        EXPECT_THROW(ManeuverBaseline::fromJsonText(bad), ManeuverFileError);
    }
}

}  // namespace
}  // namespace orvane
