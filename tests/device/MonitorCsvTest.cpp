#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "device/TelemetryRecorder.h"
#include "support/ChildProcess.h"
#include "support/Csv.h"
#include "support/TemporaryDirectory.h"
#include "support/WaitFor.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using testing::Child;
using testing::kToolsDirectory;
using testing::parseCsv;
namespace fs = std::filesystem;

std::string contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::size_t column(const std::string& name) {
    const auto& columns = telemetryCsvColumns();
    return static_cast<std::size_t>(std::find(columns.begin(), columns.end(), name) - columns.begin());
}

// orvane-monitor --csv against orvane-sim.
class MonitorCsvTest : public ::testing::Test {
protected:
    void SetUp() override {
        link_ = (directory_.path() / "ttyACM0").string();
        csv_ = directory_.path() / "telemetry.csv";
        simulator_ = std::make_unique<Child>(
            std::vector<std::string>{(kToolsDirectory / "orvane-sim").string(), "--link", link_});
        ASSERT_TRUE(simulator_->started());
        const auto path = simulator_->readLine();
        ASSERT_TRUE(path && path->rfind("/dev/pts/", 0) == 0) << path.value_or("(nothing)");
    }

    void TearDown() override {
        if (simulator_) {
            simulator_->signal(SIGTERM);
            simulator_->wait(15s);
        }
    }

    std::unique_ptr<Child> startMonitor(std::vector<std::string> options) {
        std::vector<std::string> arguments{(kToolsDirectory / "orvane-monitor").string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        return std::make_unique<Child>(arguments);
    }

    testing::TemporaryDirectory directory_;
    std::string link_;
    fs::path csv_;
    std::unique_ptr<Child> simulator_;
};

TEST_F(MonitorCsvTest, OneRowPerPrintedMessage) {
    auto monitor = startMonitor({"--lat", "0.5", "--long", "-0.25", "--count", "30", "--csv", csv_.string(), link_});
    const auto lines = monitor->readLines();
    ASSERT_EQ(monitor->wait(15s), 0);
    ASSERT_EQ(lines.size(), 30u);

    const auto parsed = parseCsv(contents(csv_));
    EXPECT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.rows.size(), 31u);
    EXPECT_EQ(parsed.rows[0], telemetryCsvColumns());
    double previousTime = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto& row = parsed.rows[i + 1];
        ASSERT_EQ(row.size(), telemetryCsvColumns().size()) << i;
        // The row and the JSON line tell of the same message and the same telemetry.
        const auto line = nlohmann::json::parse(lines[i]);
        EXPECT_EQ(row[column("message")], line["message"].get<std::string>()) << i;
        EXPECT_EQ(row[column("parkTOI")], line["parkTOI"].get<std::string>()) << i;
        EXPECT_EQ(row[column("serialNumber")], line["serialNumber"].get<std::string>()) << i;
        EXPECT_EQ(row[column("lateralControlMethod")], line["lateralControlMethod"].get<std::string>()) << i;
        EXPECT_DOUBLE_EQ(std::stod(row[column("steeringDriverTorque")]), line["steeringDriverTorque"].get<double>())
            << i;
        EXPECT_EQ(row[column("requestLateral")], "0.5");
        EXPECT_EQ(row[column("requestLongitudinal")], "-0.25");
        const double time = std::stod(row[column("time")]);
        EXPECT_GE(time, previousTime) << i;
        previousTime = time;
        EXPECT_TRUE(row[column("wallClockTime")].ends_with("Z")) << row[column("wallClockTime")];
    }
    EXPECT_EQ(parsed.rows[1][column("version")], nlohmann::json::parse(lines[0])["version"].get<std::string>());
}

// The file fills while the monitor runs, so a killed monitor leaves the rows it had written.
TEST_F(MonitorCsvTest, AKilledMonitorLeavesTheRowsWrittenSoFar) {
    auto monitor = startMonitor({"--csv", csv_.string(), link_});
    ASSERT_TRUE(orvane::testing::waitFor([&] { return parseCsv(contents(csv_)).rows.size() >= 5; }));
    monitor->signal(SIGKILL);
    ASSERT_TRUE(monitor->wait(15s).has_value());

    // A kill that lands during a write may cut that write short (the kernel stops copying at a
    // page boundary): then only the text ends early, inside the last row.
    const auto parsed = parseCsv(contents(csv_));
    EXPECT_TRUE(parsed.error.empty() || parsed.error.starts_with("a row without CR LF") ||
                parsed.error.starts_with("an unterminated quoted field"))
        << parsed.error;
    ASSERT_GE(parsed.rows.size(), 5u);
    EXPECT_EQ(parsed.rows[0], telemetryCsvColumns());
    for (std::size_t i = 1; i < parsed.rows.size(); ++i) EXPECT_EQ(parsed.rows[i].size(), parsed.rows[0].size()) << i;
}

// Ctrl+C and SIGTERM end the monitor through its shutdown: exit 0 with a row for every line it
// printed, the rows of its last interval included.
TEST_F(MonitorCsvTest, AStoppedMonitorKeepsEveryRow) {
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        auto monitor = startMonitor({"--csv", csv_.string(), link_});
        std::vector<std::string> lines;
        while (lines.size() < 20) {
            const auto line = monitor->readLine();
            ASSERT_TRUE(line);
            lines.push_back(*line);
        }
        monitor->signal(signal);
        for (auto& line : monitor->readLines()) lines.push_back(line);
        ASSERT_EQ(monitor->wait(15s), 0);
        const auto parsed = parseCsv(contents(csv_));
        EXPECT_EQ(parsed.error, "");
        ASSERT_EQ(parsed.rows.size(), lines.size() + 1);
        EXPECT_EQ(parsed.rows.front(), telemetryCsvColumns());
        EXPECT_EQ(parsed.rows.back()[column("message")], nlohmann::json::parse(lines.back())["message"]);
    }
}

// A replay of the recording prints the lines the live run printed, at any pace; a file that is
// not a recording fails with one line on standard error.
TEST_F(MonitorCsvTest, AReplayPrintsWhatTheLiveRunPrinted) {
    auto live = startMonitor({"--count", "25", "--lat", "-0.5", "--csv", csv_.string(), link_});
    const auto lines = live->readLines();
    ASSERT_EQ(live->wait(15s), 0);
    ASSERT_EQ(lines.size(), 25u);
    for (const std::vector<std::string>& pace : {std::vector<std::string>{}, {"--speed", "1000"}}) {
        auto options = pace;
        options.insert(options.begin(), {"--replay", csv_.string()});
        auto replay = startMonitor(options);
        EXPECT_EQ(replay->readLines(), lines);
        EXPECT_EQ(replay->wait(15s), 0);
    }

    const auto bad = directory_.path() / "bad.csv";
    std::ofstream(bad) << "time,message\r\n1.0,ACK\r\n0.5,ACK\r\n";
    const auto errors = directory_.path() / "errors.txt";
    Child replay({(kToolsDirectory / "orvane-monitor").string(), "--replay", bad.string()}, errors.string());
    EXPECT_TRUE(replay.readLines().empty());
    EXPECT_EQ(replay.wait(15s), 2);
    EXPECT_EQ(contents(errors),
              "orvane-monitor: " + bad.string() + ":3: time 0.5 is earlier than the row before's (1.0)\n");
}

TEST_F(MonitorCsvTest, AFileThatCannotBeWrittenFailsAtOnce) {
    auto monitor = startMonitor({"--csv", (directory_.path() / "missing" / "telemetry.csv").string(), link_});
    EXPECT_TRUE(monitor->readLines().empty());
    EXPECT_EQ(monitor->wait(15s), 1);
}

}  // namespace
}  // namespace orvane
