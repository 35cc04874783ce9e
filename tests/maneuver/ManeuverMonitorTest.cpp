#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "device/TelemetryRecorder.h"
#include "support/ChildProcess.h"
#include "support/Csv.h"
#include "support/PtyPeer.h"
#include "support/TemporaryDirectory.h"
#include "support/WaitFor.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A step of 2 x 0.3 s repeats (repeats and expectations as given) and a brake pulse.
std::string suiteText(int repeats, const std::string& expect = "{}") {
    return R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1.0},
               "maneuvers": [
                 {"name": "steer step", "channel": "lateral", "profile": "step", "amplitude": 0.2,
                  "duration": 0.3, "repeats": )" +
           std::to_string(repeats) + R"(, "settle": 0.2, "expect": )" + expect + R"(},
                 {"name": "brake pulse", "channel": "longitudinal", "profile": "points",
                  "points": [[0.0, 0.0], [0.1, -0.1], [0.3, 0.0]], "settle": 0.1}]})";
}

// orvane-monitor --maneuvers against the simulator: how the suite ends gives the exit status (4
// for an expectation not met), the requests in force are 0 when it ends whichever way, and the
// recording, the report and the JUnit file are written either way.
TEST(ManeuverMonitorTest, RunsTheSuiteAndLeavesTheRequestsAtZero) {
    const auto simulatorTool = testing::kToolsDirectory / "orvane-sim";
    const auto monitorTool = testing::kToolsDirectory / "orvane-monitor";

    struct Case {
        const char* what;
        std::vector<std::string> simulatorOptions;
        int repeats;
        bool terminate;  // SIGTERM after the second repeat's line
        int status;
        const char* error;  // in the standard error when aborted
        std::string expect = "{}";
        const char* junitCounts = "";
    };
    // The simulator's wheel reaches 10 % of its step about 40 ms after the request.
    const std::vector<Case> cases{
        {"completes", {}, 2, false, 0, nullptr, R"({"delayMax": 0.3})", R"(tests="3" failures="0" errors="0")"},
        {"an expectation fails",
         {},
         2,
         false,
         4,
         nullptr,
         R"({"heldWithin": [10, 20]})",
         R"(tests="3" failures="2" errors="0")"},
        // After the lead-in of 1 s and two repeats of 0.5 s.
        {"the driver grabs the wheel", {"--driver-grab", "2.2"}, 40, false, 3, "orque"},
        {"SIGTERM", {}, 40, true, 3, "SIGTERM"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        testing::TemporaryDirectory directory;
        const std::string link = (directory.path() / "ttyACM0").string();
        std::vector<std::string> simulatorArguments{simulatorTool.string(), "--link", link, "--swing", "0"};
        simulatorArguments.insert(simulatorArguments.end(), c.simulatorOptions.begin(), c.simulatorOptions.end());
        testing::Child simulator(simulatorArguments);
        ASSERT_TRUE(simulator.started());
        ASSERT_TRUE(simulator.readLine());  // the device's path: it is ready

        const auto suite = directory.path() / "suite.json";
        std::ofstream(suite) << suiteText(c.repeats, c.expect);
        const auto csv = directory.path() / "run.csv";
        const auto report = directory.path() / "report.html";
        const auto errors = directory.path() / "errors.txt";
        const auto junit = directory.path() / "junit.xml";
        testing::Child monitor({monitorTool.string(), link, "--maneuvers", suite.string(), "--csv", csv.string(),
                                "--report", report.string(), "--junit", junit.string()},
                               errors.string());
        ASSERT_TRUE(monitor.started());
        std::vector<std::string> lines;
        if (c.terminate) {
            for (int i = 0; i < 2; ++i) {
                const auto line = monitor.readLine();
                ASSERT_TRUE(line);
                lines.push_back(*line);
            }
            monitor.signal(SIGTERM);
        }
        for (auto& line : monitor.readLines()) lines.push_back(line);
        EXPECT_EQ(monitor.wait(15s), c.status) << readText(errors);

        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front().rfind("steer step, repeat 1 of " + std::to_string(c.repeats) + ": completed, held ", 0),
                  0u)
            << lines.front();
        if (c.status == 0 || c.status == 4) {
            // Two repeats, the brake pulse, the step's spread and the suite's verdict.
            ASSERT_EQ(lines.size(), 5u);
            EXPECT_NE(lines[0].find(c.status == 0 ? "; verdict passed" : "; verdict failed: heldWithin: held "),
                      std::string::npos)
                << lines[0];
            EXPECT_EQ(lines[2], "brake pulse, repeat 1 of 1: completed; verdict none");
            EXPECT_EQ(lines[3].rfind("steer step, over 2 measured repeats: held ", 0), 0u) << lines[3];
            EXPECT_EQ(lines[4], c.status == 0
                                    ? "suite verdict passed (repeats: 2 passed, 0 failed, 1 without a verdict)"
                                    : "suite verdict failed (repeats: 0 passed, 2 failed, 1 without a verdict)");
            EXPECT_NE(readText(junit).find(c.junitCounts), std::string::npos) << readText(junit);
        } else {
            EXPECT_NE(readText(junit).find(R"(errors="1")"), std::string::npos) << readText(junit);
            EXPECT_NE(readText(errors).find(c.error), std::string::npos) << readText(errors);
        }

        // The recording: the console's columns and the maneuver's; the last request in force is 0.
        const auto recording = testing::parseCsv(readText(csv));
        ASSERT_EQ(recording.error, "");
        ASSERT_GE(recording.rows.size(), 2u);
        auto header = telemetryCsvColumns();
        header.push_back("maneuver");
        header.push_back("repeat");
        ASSERT_EQ(recording.rows.front(), header);
        const auto column = [&](const std::string& name) {
            return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
        };
        bool sawSecondRepeat = false;
        for (const auto& row : recording.rows) {
            if (row[column("maneuver")] == "steer step" && row[column("repeat")] == "2") sawSecondRepeat = true;
        }
        EXPECT_TRUE(sawSecondRepeat);
        EXPECT_EQ(std::stod(recording.rows.back()[column("requestLateral")]), 0.0);
        EXPECT_EQ(std::stod(recording.rows.back()[column("requestLongitudinal")]), 0.0);
        EXPECT_EQ(recording.rows.back()[column("maneuver")], "");

        const std::string html = readText(report);
        EXPECT_NE(html.find("suite.json"), std::string::npos);
        EXPECT_NE(html.find("steer step"), std::string::npos);

        simulator.signal(SIGTERM);
        EXPECT_EQ(simulator.wait(15s), 0);
    }
}

// A file that cannot run is a usage error before any device is touched; a device that cannot be
// opened is the other failure.
TEST(ManeuverMonitorTest, ABadFileOrAMissingDeviceEndsAtOnce) {
    const auto monitorTool = testing::kToolsDirectory / "orvane-monitor";
    testing::TemporaryDirectory directory;
    const auto bad = directory.path() / "bad.json";
    std::ofstream(bad) << R"({"limits": {"lateral": 0.1, "longitudinal": 0.1, "driverTorqueAbort": 1.0},
        "maneuvers": [{"name": "too far", "channel": "lateral", "profile": "step", "amplitude": 0.5, "duration": 1}]})";
    const auto good = directory.path() / "good.json";
    std::ofstream(good) << suiteText(1);
    const std::string missing = (directory.path() / "nothing").string();
    // Neither is read at all (a FIFO nobody writes would block, /dev/zero never ends), and the
    // file is refused before the device is tried.
    const auto fifo = directory.path() / "fifo.json";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* error;
        bool oneLine;
    };
    const std::vector<Case> cases{
        {{missing, "--maneuvers", bad.string()}, 2, "too far", true},
        {{missing, "--maneuvers", good.string()}, 1, "nothing", true},
        {{missing, "--maneuvers", "/dev/zero"}, 2, "\"/dev/zero\" is not a regular file", true},
        {{missing, "--maneuvers", fifo.string()}, 2, "fifo.json\" is not a regular file", true},
        {{missing, "--report", "r.html"}, 2, "--maneuvers", false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{monitorTool.string()};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const auto errors = directory.path() / "errors.txt";
        testing::Child monitor(arguments, errors.string());
        ASSERT_TRUE(monitor.started());
        EXPECT_EQ(monitor.wait(15s), c.status) << c.arguments.back();
        const std::string text = readText(errors);
        EXPECT_NE(text.find(c.error), std::string::npos) << text;
        if (c.oneLine) {
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        }
    }
}

std::string field(const DeviceReport& request, const char* name) {
    auto found = request.fields.find(name);
    return found == request.fields.end() ? std::string() : found->second;
}

// The monitor against a pty peer. Stopped by Ctrl+C or SIGTERM in the plain mode it sets both
// requests to 0 and exits 0 once a request of 0 has gone out: the last request the device gets
// carries 0. A suite run on a device that reports values no wheel can have completes, and its
// lines and report say the angles were not plausible instead of printing "inf" (the report used
// to never end on them). A suite waits for the device's first report: nothing off 0 goes out
// before it, and the run's origin is the angle reported (a wheel that stays at 10 deg has held
// 0 deg); a device that never reports ends the run with status 1 and one line saying why.
TEST(ManeuverMonitorTest, AgainstAPeerItLeavesZeroAndNeverPrintsInf) {
    const auto monitorTool = testing::kToolsDirectory / "orvane-monitor";
    testing::TemporaryDirectory directory;
    const auto suite = directory.path() / "suite.json";
    std::ofstream(suite) << suiteText(1);
    const auto report = directory.path() / "report.html";
    struct Case {
        const char* what;
        std::vector<std::string> options;
        const char* answer;          // empty: the peer never answers
        int signal;                  // sent once the device was sent the requests asked for; 0: none
        const char* line;            // a line printed contains it; nullptr: none is printed
        std::size_t unanswered = 0;  // the first requests left unanswered: the session asks again after 1 s
        int status = 0;
        const char* error = nullptr;  // the one line on standard error contains it
    };
    const std::vector<std::string> maneuvers{"--maneuvers", suite.string(), "--report", report.string()};
    const Case cases[] = {
        {"Ctrl+C",
         {"--lat", "0.5", "--long", "-0.25"},
         "STEERING{angle:-3.5\n}",
         SIGINT,
         "\"steeringWheelAngle\":-3.5"},
        {"SIGTERM", {"--lat", "0.5"}, "STEERING{angle:-3.5\n}", SIGTERM, "\"steeringWheelAngle\":-3.5"},
        {"--count", {"--lat", "0.5", "--count", "3"}, "STEERING{angle:-3.5\n}", 0, "\"steeringWheelAngle\":-3.5"},
        {"a suite on implausible angles", maneuvers, "STEERING{angle:1.7e308\nassist-torque:-1e300\n}", 0,
         "wheel angles not plausible, left out)"},
        {"a suite on a device silent for its first second, whose wheel stays at 10 deg", maneuvers,
         "STEERING{angle:10\n}", 0, "steer step, repeat 1 of 1: completed, held 0.00 deg, delay none", 1},
        {"a suite on a device that never reports", maneuvers, "", 0, nullptr, 0, 1, "no report"},
    };
    const std::regex shownNumber("(^|[^a-z])(inf|nan)([^a-z]|$)", std::regex::icase);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PtyPeer device;
        // The requests up to the first one answered (all of them when none is), as the peer reads
        // them: the peer keeps only the latest requests, and an answered suite runs to thousands.
        std::mutex earlyMutex;
        std::vector<DeviceReport> early;
        std::size_t read = 0;
        bool answered = false;
        device.startAnswering([&](const DeviceReport& request) {
            std::lock_guard lock(earlyMutex);
            if (!answered) early.push_back(request);
            if (++read <= c.unanswered || !*c.answer) return std::string();
            answered = true;
            return std::string(c.answer);
        });
        const auto errors = directory.path() / "errors.txt";
        std::vector<std::string> arguments{monitorTool.string(), device.devicePath()};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        testing::Child monitor(arguments, errors.string());
        ASSERT_TRUE(monitor.started());
        if (c.signal) {
            ASSERT_TRUE(testing::waitFor([&] { return field(device.lastRequest(), "lat") == "50.0"; }));
            monitor.signal(c.signal);
        }
        const auto lines = monitor.readLines();
        EXPECT_EQ(monitor.wait(15s), c.status) << readText(errors);
        if (c.line) {
            EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
                return line.find(c.line) != std::string::npos;
            })) << (lines.empty() ? "no line" : lines.back());
        } else {
            EXPECT_TRUE(lines.empty()) << lines.front();
        }
        if (c.error) {
            const std::string text = readText(errors);
            EXPECT_NE(text.find(c.error), std::string::npos) << text;
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
        }
        for (const auto& line : lines) EXPECT_FALSE(std::regex_search(line, shownNumber)) << line;
        if (c.line && std::string_view(c.line).find("not plausible") != std::string_view::npos) {
            const std::string html = readText(report);
            EXPECT_FALSE(std::regex_search(html, shownNumber));
            EXPECT_NE(html.find("were not plausible"), std::string::npos);
        }
        // The monitor has gone: once the peer has read what it wrote, the last request is 0.
        EXPECT_TRUE(testing::waitFor([&] {
            const DeviceReport last = device.lastRequest();
            return field(last, "lat") == "0.0" && field(last, "long") == "0.0";
        })) << field(device.lastRequest(), "lat");
        if (c.options == maneuvers) {
            // A suite sends nothing off 0 until the device has reported: every request up to the
            // first one answered (all of them when none was) carries 0 on both.
            device.stopAnswering();
            ASSERT_FALSE(early.empty());
            for (std::size_t i = 0; i < early.size(); ++i) {
                EXPECT_EQ(field(early[i], "lat"), "0.0") << "request " << i + 1;
                EXPECT_EQ(field(early[i], "long"), "0.0") << "request " << i + 1;
            }
        }
    }
}

}  // namespace
}  // namespace orvane
