#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "ManeuverTestSupport.h"
#include "maneuver/ManeuverSchedule.h"
#include "maneuver/ManeuverSuite.h"
#include "support/TemporaryDirectory.h"

namespace orvane {
namespace {

// A file with the given maneuvers under the example's limits.
std::string fileWith(const std::string& maneuvers,
                     const std::string& limits = R"({"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1.0})") {
    return R"({"limits": )" + limits + R"(, "maneuvers": [)" + maneuvers + "]}";
}

const std::string kStep = R"({"name": "s", "channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 1})";

TEST(ManeuverSuiteTest, ReadsTheExampleAndAShortSineBelowItsAmplitude) {
    const auto suite = ManeuverSuite::fromJsonText(testing::kExampleSuite);
    ASSERT_EQ(suite.maneuvers.size(), 4u);
    EXPECT_EQ(suite.limits.driverTorqueAbort, 1.0);
    EXPECT_EQ(suite.maneuvers[0].repeats, 3);
    EXPECT_EQ(suite.maneuvers[1].repeats, 1);
    EXPECT_EQ(suite.maneuvers[1].settle, 2.0);
    EXPECT_EQ(suite.maneuvers[3].channel, ManeuverChannel::longitudinal);
    EXPECT_EQ(suite.maneuvers[3].profile.duration, 1.6);

    // A sine cut off before its first peak only reaches 0.5 * sin(2 pi 0.1 0.5) = 0.155.
    const auto shortSine = ManeuverSuite::fromJsonText(fileWith(
        R"({"name": "x", "channel": "lateral", "profile": "sine", "amplitude": 0.5, "frequency": 0.1, "duration": 0.5})"));
    EXPECT_NEAR(shortSine.maneuvers[0].profile.peakMagnitude(), 0.1545, 1e-4);
}

TEST(ManeuverSuiteTest, RefusesWhatCannotRunWithTheManeuverAndTheFault) {
    const std::pair<std::string, std::string> cases[] = {
        {"{\"limits\": ", "the file is not JSON: "},
        {"{\"limits\": {\"lateral\": 1e400}}", "the file is not JSON: number overflow"},
        {"[1, 2]", "the file is not a JSON object"},
        {R"({"maneuvers": []})", "\"limits\" is missing"},
        {fileWith(kStep, R"({"lateral": 1.5, "longitudinal": 0.2, "driverTorqueAbort": 1})"),
         "limits: \"lateral\" 1.5 is above 1, the largest request"},
        {fileWith(kStep, R"({"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 0})"),
         "limits: \"driverTorqueAbort\" 0.0 Nm is not above 0"},
        {fileWith(kStep, R"({"lateral": 0.3, "longitudinal": 0.2})"), "limits: \"driverTorqueAbort\" is missing"},
        {fileWith(kStep, R"({"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1e300})"),
         "limits: \"driverTorqueAbort\" 1e+300 Nm is beyond 200.0 Nm"},
        {R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1}, "maneuvers": [], "x": 1})",
         "the file: unknown key \"x\""},
        {fileWith(""), "\"maneuvers\" is empty"},
        {fileWith(
             R"({"name": "big step", "channel": "lateral", "profile": "step", "amplitude": -0.35, "duration": 1})"),
         "maneuver 1 \"big step\": the profile reaches 0.35, beyond the lateral limit 0.3"},
        // The ramp's end, not any one parameter, is beyond the limit.
        {fileWith(kStep + R"(, {"name": "r", "channel": "lateral", "profile": "ramp", "from": 0.1, "to": 0.31,
                  "duration": 2})"),
         "maneuver 2 \"r\": the profile reaches 0.31, beyond the lateral limit 0.3"},
        {fileWith(
             R"({"name": "p", "channel": "longitudinal", "profile": "points", "points": [[0, 0], [1, -0.25], [2, 0]]})"),
         "maneuver 1 \"p\": the profile reaches 0.25, beyond the longitudinal limit 0.2"},
        {fileWith(R"({"name": "q", "channel": "lateral", "profile": "square", "amplitude": 0.1, "duration": 1})"),
         "maneuver 1 \"q\": unknown profile \"square\""},
        {fileWith(R"({"name": "s", "channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 1,
                  "frequency": 2})"),
         "maneuver 1 \"s\": unknown key \"frequency\""},
        {fileWith(R"({"name": "s", "channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": -1})"),
         "maneuver 1 \"s\": \"duration\" -1.0 is not above 0"},
        {fileWith(R"({"name": "s", "channel": "lateral", "profile": "step", "amplitude": 0.1})"),
         "maneuver 1 \"s\": \"duration\" is missing"},
        {fileWith(R"({"name": "p", "channel": "lateral", "profile": "points", "points": [[0, 0], [1, 0.1]],
                  "duration": 1})"),
         "maneuver 1 \"p\": unknown key \"duration\""},
        {fileWith(R"({"name": "p", "channel": "lateral", "profile": "points", "points": [[0, 0], [1, 0.1], [1, 0]]})"),
         "maneuver 1 \"p\": point 3 at 1.0 s does not come after the one before"},
        {fileWith(R"({"name": "w", "channel": "lateral", "profile": "sine", "amplitude": 0.1, "frequency": 30,
                  "duration": 1})"),
         "maneuver 1 \"w\": \"frequency\" 30.0 Hz is outside"},
        {fileWith(R"({"name": "s", "channel": "vertical", "profile": "step", "amplitude": 0.1, "duration": 1})"),
         "maneuver 1 \"s\": \"channel\" \"vertical\" is neither"},
        {fileWith(R"({"name": "s", "channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 1,
                  "repeats": 0})"),
         "maneuver 1 \"s\": \"repeats\" 0 is not a whole number from 1 to 1000"},
        {fileWith(R"({"name": "s", "channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 1,
                  "settle": -2})"),
         "maneuver 1 \"s\": \"settle\" -2.0 is negative"},
        {fileWith(
             R"({"name": "two\nlines", "channel": "lateral", "profile": "step", "amplitude": "0.1", "duration": 1})"),
         "maneuver 1 \"two lines\": \"amplitude\" is not a number"},
    };
    for (const auto& [text, expected] : cases) {
        try {
            ManeuverSuite::fromJsonText(text);
            ADD_FAILURE() << "read without an error: " << text;
        } catch (const ManeuverFileError& error) {
            const std::string message = error.what();
            EXPECT_EQ(message.rfind(expected, 0), 0u) << "got: " << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        }
    }
}

// Only a regular file up to 1 MiB is read: a FIFO nobody writes and a device such as /dev/zero are
// refused at once, without reading. Every example suite shipped in docs/examples reads.
TEST(ManeuverSuiteTest, ReadsOnlyASmallRegularFile) {
    testing::TemporaryDirectory directory;
    const auto fifo = directory.path() / "fifo.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto large = directory.path() / "large.json";
    // Valid JSON just over the cap: only its size is wrong.
    std::ofstream(large) << fileWith(kStep) << std::string(ManeuverSuite::kMostFileBytes, ' ');
    const auto examples = std::filesystem::path(ORVANE_SOURCE_DIR) / "docs" / "examples";
    std::vector<std::pair<std::filesystem::path, std::string>> cases{
        {"/dev/zero", "\"/dev/zero\" is not a regular file"},
        {fifo, "\"" + fifo.string() + "\" is not a regular file"},
        {directory.path(), "\"" + directory.path().string() + "\" is a directory"},
        {directory.path() / "missing.json", "cannot read \""},
        {large, "\"" + large.string() + "\" is larger than 1 MiB"},
    };
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        if (entry.path().extension() == ".json") cases.emplace_back(entry.path(), "");
    }
    ASSERT_GT(cases.size(), 5u) << "no example in " << examples;
    for (const auto& [path, expected] : cases) {
        SCOPED_TRACE(path);
        try {
            const auto suite = ManeuverSuite::fromFile(path);
            EXPECT_EQ(expected, "") << "read without an error";
            EXPECT_FALSE(suite.maneuvers.empty());
        } catch (const ManeuverFileError& error) {
            const std::string message = error.what();
            EXPECT_NE(expected, "") << message;
            EXPECT_EQ(message.rfind(expected, 0), 0u) << "got: " << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        }
    }
}

struct TickCase {
    const char* suite;
    std::int64_t tick;
    std::size_t maneuver;
    int repeat;
    ManeuverPhase phase;
    double lateral;
    double longitudinal;
};

TEST(ManeuverScheduleTest, EachTickCarriesTheProfileValueAndEveryRunEndsAtZero) {
    const char* const example = testing::kExampleSuite;
    // Two runs of 5 ticks with a settle of 0 s still get one tick at 0 between them.
    const char* const noSettle =
        R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1}, "maneuvers": [{"name": "n",
        "channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 0.1, "repeats": 2, "settle": 0}]})";
    using enum ManeuverPhase;
    const TickCase cases[] = {
        {example, 0, 0, 0, run, 0.2, 0},         // the step is there from the first tick
        {example, 149, 0, 0, run, 0.2, 0},       // 2.98 s
        {example, 150, 0, 0, settle, 0, 0},      // 3 s: the run's end
        {example, 249, 0, 0, settle, 0, 0},      // the last of 2 s settle
        {example, 250, 0, 1, run, 0.2, 0},       // the second repeat
        {example, 650, 0, 2, settle, 0, 0},      // the third repeat's end
        {example, 750, 1, 0, run, 0, 0},         // ramp from 0
        {example, 850, 1, 0, run, 0.125, 0},     // half way
        {example, 949, 1, 0, run, 0.24875, 0},   // 3.98 of 4 s
        {example, 950, 1, 0, settle, 0, 0},      // ends at 0, not at 0.25
        {example, 1075, 2, 0, run, 0.15, 0},     // sine at 0.5 s: a quarter period
        {example, 1100, 2, 0, run, 0, 0},        // 1 s: half a period
        {example, 1125, 2, 0, run, -0.15, 0},    // 1.5 s
        {example, 1460, 3, 0, run, 0, -0.04},    // brake, 0.2 s: between (0, 0) and (0.5, -0.1)
        {example, 1500, 3, 0, run, 0, -0.1},     // 1 s: held
        {example, 1529, 3, 0, run, 0, -0.02},    // 1.58 s: between (1.5, -0.1) and (1.6, 0)
        {example, 1530, 3, 0, settle, 0, 0},     // 1.6 s, the last point's time
        {example, 1629, 3, 0, settle, 0, 0},     // the suite's last tick
        {example, 1630, 4, 0, finished, 0, 0},   // and then finished
        {example, 99999, 4, 0, finished, 0, 0},  //
        {noSettle, 4, 0, 0, run, 0.1, 0},       {noSettle, 5, 0, 0, settle, 0, 0},    {noSettle, 6, 0, 1, run, 0.1, 0},
        {noSettle, 11, 0, 1, settle, 0, 0},     {noSettle, 12, 1, 0, finished, 0, 0},
    };
    for (const auto& c : cases) {
        const ManeuverSchedule schedule(ManeuverSuite::fromJsonText(c.suite));
        const ManeuverTick tick = schedule.at(c.tick);
        SCOPED_TRACE("tick " + std::to_string(c.tick));
        EXPECT_EQ(tick.maneuver, c.maneuver);
        EXPECT_EQ(tick.phase, c.phase);
        if (c.phase != finished) {
            EXPECT_EQ(tick.repeat, c.repeat);
        }
        EXPECT_NEAR(tick.lateral, c.lateral, 1e-12);
        EXPECT_NEAR(tick.longitudinal, c.longitudinal, 1e-12);
        if (c.phase != run) {
            EXPECT_EQ(tick.lateral, 0.0);  // exactly
            EXPECT_EQ(tick.longitudinal, 0.0);
        }
    }
}

}  // namespace
}  // namespace orvane
