#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

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

}  // namespace
}  // namespace orvane
