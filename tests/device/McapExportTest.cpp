#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "device/McapWriter.h"
#include "device/Recording.h"
#include "device/ValueSyntax.h"
#include "support/ChildProcess.h"
#include "support/TemporaryDirectory.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;
namespace fs = std::filesystem;

// The format's reference reader (tests/mcap/read-mcap.js, @mcap/core) on `file`: what it printed,
// or a failure that says what is missing or what it found wrong.
Json readWithReferenceReader(const fs::path& file, const fs::path& errors) {
    const fs::path folder = fs::path(ORVANE_SOURCE_DIR) / "tests" / "mcap";
    std::string node;
    std::istringstream path(std::getenv("PATH") ? std::getenv("PATH") : "");
    for (std::string entry; node.empty() && std::getline(path, entry, ':');) {
        if (::access((fs::path(entry) / "node").c_str(), X_OK) == 0) node = fs::path(entry) / "node";
    }
    if (node.empty() || !fs::exists(folder / "node_modules" / "@mcap" / "core") ||
        !fs::exists(folder / "node_modules" / "fzstd")) {
        ADD_FAILURE() << "node or the modules of tests/mcap are missing: run scripts/install-deps.sh";
        return {};
    }
    testing::Child reader({node, (folder / "read-mcap.js").string(), file.string()}, errors.string());
    const std::string output = reader.readAll(120s);
    const auto status = reader.wait(10s);
    std::ifstream error(errors);
    EXPECT_EQ(status, 0) << std::string(std::istreambuf_iterator<char>(error), {});
    return status == 0 ? Json::parse(output) : Json();
}

// Where two lists of messages first differ, or "" when they are the same.
std::string firstDifference(const Json& actual, const Json& expected) {
    for (std::size_t i = 0; i < std::max(actual.size(), expected.size()); ++i) {
        if (i >= actual.size() || i >= expected.size() || actual[i] != expected[i]) {
            return "message " + std::to_string(i) + ": " + (i < actual.size() ? actual[i].dump() : "none") +
                   ", expected " + (i < expected.size() ? expected[i].dump() : "none");
        }
    }
    return "";
}

// A recording of 12,000 rows (2 minutes at 100 a second) of every kind, with the maneuver columns;
// every 50th row lacks its wall-clock time, and the first too. Gives its text and the messages an
// export has to give for it, in order: [topic, log time, publish time, sequence, message].
std::pair<std::string, Json> driveAndItsMessages(bool wallClock) {
    constexpr std::int64_t kStart = 1710770712345;                       // ms since the epoch
    const auto wall = [](int i) { return kStart + 10 * i + i / 1000; };  // a clock that runs a little fast
    std::string csv = std::string("time,message,") + (wallClock ? "wallClockTime," : "") +
                      "steeringWheelAngle,parkTOI,lateralControlMethod,serialNumber,can0ReceivedMessages,"
                      "can1ReceivedMessages,requestLateral,maneuver,repeat\r\n";
    Json messages = Json::array();
    std::string lastManeuver = "?";
    for (int i = 0; i < 12000; ++i) {
        const bool stamped = i % 50 != 7 && i != 0;
        const std::int64_t ms = !wallClock ? 10 * i : stamped ? wall(i) : i == 0 ? wall(1) - 10 : wall(i - 1) + 10;
        const std::string message = i % 100 == 50    ? "STATISTICS"
                                    : i % 100 == 25  ? "STATE"
                                    : i % 6000 == 75 ? "DEVICE-INFO"
                                    : i % 997 == 3   ? "ACK"
                                                     : "STEERING";
        const double angle = (i % 3601 - 1800) / 10.0;
        const double lateral = (i % 200 - 100) / 100.0;
        const std::string maneuver = i >= 1000 && i < 2000   ? "steer step"
                                     : i >= 5000 && i < 5100 ? "sine, \"wide\""
                                                             : "";
        const std::string repeat = i >= 1000 && i < 2000 ? (i < 1500 ? "1" : "2") : i >= 5000 && i < 5100 ? "1" : "";
        char row[256];
        std::snprintf(
            row, sizeof row, "%.3f,%s,%s%.1f,active,half,\"OV \"\"7\"\"\",%d,%d,%.2f,", i / 100.0, message.c_str(),
            !wallClock ? ""
            : stamped
                ? (internetDateTimeText(std::chrono::system_clock::time_point(std::chrono::milliseconds(ms))) + ",")
                      .c_str()
                : ",",
            angle, i, 2 * i, lateral);
        csv += row;
        csv += (maneuver.empty() ? "" : "\"" + std::regex_replace(maneuver, std::regex("\""), "\"\"") + "\"") + "," +
               repeat + "\r\n";

        const std::string ns = std::to_string(ms * 1000000);
        const auto add = [&](const char* topic, Json data) { messages.push_back({topic, ns, ns, 0, std::move(data)}); };
        if (message == "STEERING") {
            add("/steering", {{"steeringWheelAngle", angle},
                              {"steeringAssistanceTorque", nullptr},
                              {"steeringDriverTorque", nullptr},
                              {"parkTOI", "active"},
                              {"halfTOI", nullptr}});
        } else if (message == "STATE") {
            add("/state", {{"lateralControlMethod", "half"}, {"longitudinalControlMethod", nullptr}});
        } else if (message == "STATISTICS") {
            add("/statistics", {{"can0ReceivedMessages", i}, {"can1ReceivedMessages", 2 * i}});
        } else if (message == "DEVICE-INFO") {
            add("/device-info",
                {{"version", nullptr}, {"name", nullptr}, {"buildDate", nullptr}, {"serialNumber", "OV \"7\""}});
        }
        add("/control", {{"message", message}, {"requestLateral", lateral}, {"requestLongitudinal", nullptr}});
        if (maneuver + repeat != lastManeuver) {
            add("/maneuver", {{"maneuver", maneuver.empty() ? Json() : Json(maneuver)},
                              {"repeat", repeat.empty() ? Json() : Json(std::stoi(repeat))}});
        }
        lastManeuver = maneuver + repeat;
    }
    return {csv, messages};
}

// The reference reader finds every row, in time order, on its channel with its schema, both
// through the summary and in one pass, with the summary's counts; the CRCs it checks hold.
TEST(McapExport, TheReferenceReaderReadsEveryRowBackOnItsChannel) {
    for (bool wallClock : {true, false}) {
        SCOPED_TRACE(wallClock ? "wall-clock times" : "times from 0");
        testing::TemporaryDirectory directory;
        const auto [csv, expected] = driveAndItsMessages(wallClock);
        const auto out = directory.path() / "drive.mcap";
        const auto written = exportRecordingAsMcap(Recording::parse(csv, "drive.csv"), out.string());
        EXPECT_EQ(written.rows, 12000u);
        EXPECT_EQ(written.messages, expected.size());

        const Json read = readWithReferenceReader(out, directory.path() / "errors.txt");
        ASSERT_FALSE(read.is_null());
        const Json& indexed = read["indexed"];
        EXPECT_EQ(firstDifference(indexed["messages"], expected), "");
        EXPECT_EQ(firstDifference(read["stream"]["messages"], expected), "");

        std::map<std::string, int> counts;
        for (const auto& message : expected) ++counts[message[0].get<std::string>()];
        const Json& statistics = indexed["statistics"];
        EXPECT_EQ(statistics["messageCount"], std::to_string(expected.size()));
        EXPECT_EQ(statistics["messageStartTime"], expected.front()[1]);
        EXPECT_EQ(statistics["messageEndTime"], expected.back()[1]);
        EXPECT_EQ(statistics["channelCount"], 6);
        EXPECT_EQ(statistics["schemaCount"], 6);
        EXPECT_GE(statistics["chunkCount"], 2);
        EXPECT_EQ(statistics["chunkCount"], indexed["chunkIndexes"].size());
        for (const auto& index : indexed["chunkIndexes"]) EXPECT_EQ(index["compression"], "zstd");
        EXPECT_EQ(indexed["summaryOffsets"], Json({3, 4, 8, 11}));  // schemas, channels, chunk indexes, statistics
        const std::map<std::string, std::string> schemas{
            {"/steering", "orvane.Steering"},      {"/state", "orvane.State"},     {"/statistics", "orvane.Statistics"},
            {"/device-info", "orvane.DeviceInfo"}, {"/control", "orvane.Control"}, {"/maneuver", "orvane.Maneuver"}};
        for (const auto& [topic, schema] : schemas) {
            EXPECT_EQ(statistics["channelMessageCounts"][topic], std::to_string(counts[topic])) << topic;
            EXPECT_EQ(indexed["channels"][topic], Json({{"schema", schema},
                                                        {"schemaEncoding", "jsonschema"},
                                                        {"schemaTitle", schema},
                                                        {"messageEncoding", "json"}}))
                << topic;
        }
        EXPECT_EQ(read["stream"]["records"]["Footer"], 1);
        EXPECT_EQ(read["stream"]["records"]["DataEnd"], 1);
    }
}

// A target that cannot be written fails with one line, and leaves its folder as it was: no
// partial file, and a file already there untouched.
TEST(McapExport, AnUnwritableTargetLeavesNothingBehind) {
    const auto recording = Recording::parse(driveAndItsMessages(true).first, "drive.csv");
    struct Case {
        std::string target;  // in the folder
        rlim_t fileSizeLimit;
        std::string says;
    };
    const std::vector<Case> cases{
        {"folder", RLIM_INFINITY, "folder: is a directory"},
        {"missing/drive.mcap", RLIM_INFINITY, "missing/drive.mcap: cannot be written: No such file or directory"},
        // A disk that fills up: the file size limit fails the write as a full disk would.
        {"drive.mcap", 65536, "drive.mcap: cannot be written: File too large"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target);
        testing::TemporaryDirectory directory;
        fs::create_directory(directory.path() / "folder");
        std::ofstream(directory.path() / "drive.mcap") << "earlier";
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit before = limit;
        limit.rlim_cur = c.fileSizeLimit;
        const auto previousHandler = ::signal(SIGXFSZ, SIG_IGN);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            exportRecordingAsMcap(recording, (directory.path() / c.target).string());
            ADD_FAILURE() << "no error";
        } catch (const McapError& error) {
            EXPECT_EQ(error.what(), (directory.path() / c.says).string());
        }
        ::setrlimit(RLIMIT_FSIZE, &before);
        ::signal(SIGXFSZ, previousHandler);
        std::set<std::string> left;
        for (const auto& entry : fs::directory_iterator(directory.path())) left.insert(entry.path().filename());
        EXPECT_EQ(left, (std::set<std::string>{"folder", "drive.mcap"}));
        std::ifstream earlier(directory.path() / "drive.mcap");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(earlier), {}), "earlier");
    }
}

}  // namespace
}  // namespace orvane
