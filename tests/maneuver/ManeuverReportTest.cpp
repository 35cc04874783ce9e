#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <numbers>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ManeuverTestSupport.h"
#include "maneuver/ManeuverReport.h"
#include "support/TemporaryDirectory.h"

namespace orvane {
namespace {

using namespace std::chrono;

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The example suite on a simulated wheel (0.1 s delay, 0.15 s lag), with the driver's hands
// on the wheel from `grabTick` on.
ManeuverRunner runSynthetically(int grabTick) {
    auto clock = std::make_shared<testing::FakeClock>();
    testing::SimulatedWheel wheel;
    ManeuverRunner runner(ManeuverSuite::fromJsonText(testing::kExampleSuite), {}, {}, [clock] { return clock->now; });
    for (int tick = 0; tick < 2000 && !runner.hasEnded(); ++tick, clock->advance(0.02)) {
        const auto& state = runner.state();
        ManeuverObservation observed{.wheelAngle = wheel.angle,
                                     .assistTorque = wheel.assist,
                                     .driverTorque = tick >= grabTick ? 1.5 : 0.007 * wheel.angle};
        observed.lateralControlMethod = {state.lateral != 0 ? LateralControlMethod::half
                                                            : LateralControlMethod::configuring};
        observed.longitudinalControlMethod = {state.longitudinal != 0 ? LongitudinalControlMethod::dasm
                                                                      : LongitudinalControlMethod::unknown};
        runner.tick(observed);
        wheel.lag = 0.12 + 0.04 * runner.state().repeat;  // repeats that differ a little
        wheel.step(runner.state().lateral, 0.02);
    }
    return runner;
}

TEST(ManeuverReportTest, ASyntheticRunMakesOneSelfContainedPageWithChartsAndMetrics) {
    const ManeuverRunner completed = runSynthetically(1 << 30);
    ASSERT_TRUE(completed.end() && completed.end()->completed);
    const ManeuverReportInfo info{.fileName = "steering-checks.json",
                                  .firmwareVersion = "1.1.9.0",
                                  .serialNumber = "OV-SIM-0001",
                                  .date = sys_days{2024y / June / 14} + 10h + 30min};
    const std::string html = maneuverReportHtml(completed.suite(), completed.records(), *completed.end(), info);
    for (const char* part : {"steering-checks.json", "1.1.9.0", "OV-SIM-0001", "2024-06-14 10:30:00 UTC", "Completed",
                             "steer sine 0.5 Hz", "no measured response to a longitudinal request"}) {
        EXPECT_NE(html.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(occurrences(html, "<svg"), 4u);
    EXPECT_EQ(occurrences(html, "<td>complete</td>"), 5u);  // 3 steps, the ramp, the sine: all lateral
    for (const char* outside : {"<script", "http:", "https:", "src=", "href=", "@import"}) {
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    }

    testing::TemporaryDirectory directory;
    const auto path = directory.path() / "report.html";
    writeManeuverReport(path, html);
    std::ifstream file(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), html);
    EXPECT_THROW(writeManeuverReport(directory.path() / "missing" / "report.html", html), std::runtime_error);
    // Set ORVANE_MANEUVER_REPORT to a path to look at the page (and the aborted one beside it).
    if (const char* keep = std::getenv("ORVANE_MANEUVER_REPORT")) writeManeuverReport(keep, html);

    // Aborted by the driver in the ramp: the ramp is cut short, the sine and the brake never ran,
    // and every text from outside is escaped.
    const ManeuverRunner aborted = runSynthetically(800);
    ASSERT_TRUE(aborted.end() && !aborted.end()->completed);
    const std::string page = maneuverReportHtml(aborted.suite(), aborted.records(), *aborted.end(),
                                                {.fileName = "a<b>&\"c'.json", .firmwareVersion = "<1.0>"});
    for (const char* part : {"a&lt;b&gt;&amp;&quot;c&#39;.json", "&lt;1.0&gt;", "not reported", "Aborted",
                             "the driver torque of 1.5 Nm went beyond the limit of 1.0 Nm", "cut short"}) {
        EXPECT_NE(page.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(page.find("a<b>"), std::string::npos);
    EXPECT_EQ(occurrences(page, "Not run"), 2u);
    EXPECT_EQ(occurrences(page, "<svg"), 2u);
    if (const char* keep = std::getenv("ORVANE_MANEUVER_REPORT"))
        writeManeuverReport(keep + std::string(".aborted.html"), page);
}

// One lateral step of 40 % for 3 s with 1 s to settle, and a record of each curve as one repeat:
// the wheel angle is `angle(t)`, the torques `torque`, sampled every 20 ms.
struct KnownRun {
    ManeuverSuite suite = ManeuverSuite::fromJsonText(
        R"({"limits": {"lateral": 0.5, "longitudinal": 0.2, "driverTorqueAbort": 2.0}, "maneuvers": [{"name": "s",
        "channel": "lateral", "profile": "step", "amplitude": 0.4, "duration": 3, "repeats": 2, "settle": 1,
        "expect": {"riseMax": 0.5}}]})");
    std::vector<ManeuverRepeatRecord> records;
    ManeuverEnd end{.completed = true, .maneuver = 1, .seconds = 8};

    void add(const std::function<double(double)>& angle, const std::function<double(int)>& torque) {
        ManeuverRepeatRecord record{
            .repeat = int(records.size()), .runSeconds = 3, .settleSeconds = 1, .runCompleted = true};
        for (int i = 0; i < 200; ++i) {
            const double t = i * 0.02;
            record.samples.push_back({.time = t,
                                      .phase = i < 150 ? ManeuverPhase::run : ManeuverPhase::settle,
                                      .lateralRequest = i < 150 ? 0.4 : 0,
                                      .wheelAngle = angle(t),
                                      .assistTorque = torque(i),
                                      .driverTorque = torque(i)});
        }
        records.push_back(std::move(record));
    }
    std::string html() const { return maneuverReportHtml(suite, records, end, {.fileName = "known.json"}); }
};

// The metrics table's cells of a repeat (from 1) after the repeat's own, without their markup.
std::vector<std::string> metricsRow(const std::string& html, int repeat) {
    std::vector<std::string> cells;
    const auto table = html.find("<table class=\"metrics\">");
    auto row = html.find("</i>" + std::to_string(repeat) + "</td>", table);
    if (table == std::string::npos || row == std::string::npos) return cells;
    const auto rowEnd = html.find("</tr>", row);
    for (auto cell = html.find("<td", row); cell < rowEnd; cell = html.find("<td", cell + 1)) {
        const auto open = html.find('>', cell) + 1;
        cells.push_back(html.substr(open, html.find("</td>", open) - open));
    }
    return cells;
}

// The table's numbers for responses whose metrics are known in closed form, to the printed digits.
TEST(ManeuverReportTest, TabulatesTheMetricsOfKnownResponses) {
    // A dead time of 0.2 s and a first-order lag of 0.3 s to -72 degrees: it reaches 10 % 0.3
    // ln(10/9) = 32 ms after the dead time, rises 10-90 % in 0.3 ln 9 = 0.659 s and does not
    // overshoot. A second-order response (natural frequency 10 rad/s, damping 0.5) to 40 degrees
    // after 0.1 s: it reaches 10 % 49 ms later, and overshoots by exp(-pi 0.5 / sqrt(0.75)) =
    // 16.3 %.
    const double damping = 0.5, natural = 10, damped = natural * std::sqrt(1 - damping * damping);
    KnownRun run;
    run.add([](double t) { return t < 0.2 ? 0 : -72 * (1 - std::exp(-(t - 0.2) / 0.3)); }, [](int) { return 0.1; });
    run.add(
        [&](double t) {
            const double s = t - 0.1;
            return s <= 0 ? 0
                          : 40 * (1 - std::exp(-damping * natural * s) *
                                          (std::cos(damped * s) +
                                           damping / std::sqrt(1 - damping * damping) * std::sin(damped * s)));
        },
        [](int) { return -0.1; });
    const std::string html = run.html();
    struct Expected {
        double delay, rise, overshoot, held;
        double riseTolerance, overshootTolerance;
    };
    const Expected expected[] = {
        {0.2316, 0.3 * std::log(9.0), 0, -72, 0.01, 0.05},
        {0.1488, 0, 100 * std::exp(-std::numbers::pi * damping / std::sqrt(1 - damping * damping)), 40, -1, 0.6}};
    for (int repeat = 1; repeat <= 2; ++repeat) {
        SCOPED_TRACE(repeat);
        const auto cells = metricsRow(html, repeat);
        ASSERT_EQ(cells.size(), 6u) << html;
        const Expected& e = expected[repeat - 1];
        EXPECT_EQ(cells[0], "complete");
        EXPECT_NEAR(std::stod(cells[1]), e.delay, 0.005) << cells[1];
        if (e.riseTolerance > 0) {
            EXPECT_NEAR(std::stod(cells[2]), e.rise, e.riseTolerance) << cells[2];
        }
        EXPECT_NEAR(std::stod(cells[3]), e.overshoot, e.overshootTolerance) << cells[3];
        EXPECT_NEAR(std::stod(cells[4]), e.held, 0.05) << cells[4];
        // The first rises slower than "riseMax" 0.5 s allows, the second well within it.
        EXPECT_NE(cells[5].find(repeat == 1 ? "failed" : "passed"), std::string::npos) << cells[5];
    }
    EXPECT_NE(html.find("<td class=\"suite-verdict\"><span class=\"failed\">\u2717 failed</span>: 1 repeats passed, 1 "
                        "failed"),
              std::string::npos);
    EXPECT_NE(html.find("Repeat 1 failed riseMax: rise 0.659 s, expected at most 0.500 s."), std::string::npos);
}

// Values no wheel can have (not finite, or far beyond any real angle or torque) in the wheel
// angle and both torques: the report still comes, no larger than with real values, never shows
// "inf" or "nan", and says what it left out. Before, an angle of 1.7e308 made the chart's axis
// infinite and its tick loop never ended.
TEST(ManeuverReportTest, ValuesNoWheelCanHaveAreLeftOutAndSaidToBe) {
    auto smooth = [](double t) { return t < 0.2 ? 0 : -72 * (1 - std::exp(-(t - 0.2) / 0.3)); };
    KnownRun real;
    real.add(smooth, [](int) { return 0.1; });
    real.add(smooth, [](int) { return 0.1; });
    const std::size_t realSize = real.html().size();
    const std::regex shownNumber("(^|[^a-z])(inf|infinity|nan)([^a-z]|$)", std::regex::icase);
    for (const double value : {1.7e308, double(INFINITY), double(NAN), -1e300, -3601.0}) {
        SCOPED_TRACE(value);
        // Every sample of the first repeat, every other one of the second.
        KnownRun run;
        run.add([&](double) { return value; }, [&](int) { return value; });
        run.add([&](double t) { return std::lround(t / 0.02) % 2 ? value : smooth(t); },
                [&](int i) { return i % 2 ? value : 0.1; });
        const std::string html = run.html();
        EXPECT_LT(html.size(), realSize + 2048);
        EXPECT_FALSE(std::regex_search(html, shownNumber));
        EXPECT_NE(html.find("not measured: no wheel angle reported during the run was plausible"), std::string::npos);
        EXPECT_NE(html.find("Repeat 2: 75 of the run's 150 wheel angles were not plausible"), std::string::npos);
        EXPECT_NE(
            html.find("not plausible (not a finite number, or a wheel angle beyond \u00b13600\u00b0 or a torque beyond "
                      "\u00b1200 Nm) are not charted: 300 wheel angles, 300 assist torques, 300 driver torques"),
            std::string::npos);
        const auto measured = metricsRow(html, 2);
        ASSERT_EQ(measured.size(), 6u);
        EXPECT_NEAR(std::stod(measured[4]), -72, 0.05);
    }
}

}  // namespace
}  // namespace orvane
