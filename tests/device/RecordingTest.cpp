#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/Recording.h"
#include "device/TelemetryRecorder.h"
#include "device/ValueSyntax.h"
#include "support/TemporaryDirectory.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using F = RecordingField;

// A row as the recorder writes it, rebuilt from an entry, so that two snapshots compare as the
// recorder's own texts (numbers in their shortest round-trip form).
std::vector<std::string> fieldsOf(const RecordingEntry& entry) {
    const auto start = std::chrono::steady_clock::time_point();
    const auto steady =
        start + std::chrono::round<std::chrono::milliseconds>(std::chrono::duration<double>(entry.time));
    return telemetryCsvFields({steady, entry.wallClockTime.value_or(std::chrono::system_clock::time_point()),
                               entry.message, entry.telemetry, entry.requestLateral, entry.requestLongitudinal},
                              start);
}

TEST(Recording, BadInputFailsWithTheFileAndLine) {
    const std::string header = "time,message,steeringWheelAngle,parkTOI,buildDate,can0ReceivedMessages\r\n";
    const std::string good = "0.5,STEERING,1.5,active,2024-03-18T14:05:12.345Z,7\r\n";
    struct Case {
        std::string text;
        std::string fragment;
        std::size_t line;
    };
    const std::vector<Case> cases{
        {"", "is empty", 0},
        {"\xEF\xBB\xBF", "is empty", 0},
        {"\r\n\r\n", "holds no header row", 0},
        {"a,b\r\n1,2\r\n", "not a recording: the header has no \"time\" and \"message\" column", 1},
        {"time,x\n0,A\n", "no \"message\" column", 1},
        {"time;message\n", "(its columns are separated by semicolons, not commas)", 1},
        {"\x89PNG\"\x1a\r\n", "not a recording: a quote inside a field", 1},
        {"time,message,time\n", "the column \"time\" appears twice", 1},
        {"time,message,\"x", "the file ends inside its header", 1},
        {header + good + "1.0,ACK,2,active,\r\n", "5 fields, but the header has 6 columns", 3},
        {header + "1.0,ACK,2,active,,,x\r\n", "7 fields, but the header has 6 columns", 2},
        {header + "1.0,\"ACK,2,active,,\r\n" + good, "a quoted field that is never closed", 2},
        {header + "1.0,AC\"K,2,active,,\r\n", "a quote inside a field that does not begin with one", 2},
        {header + "1.0,\"ACK\" ,2,active,,\r\n", "a character other than a comma or line end after a closing quote", 2},
        {header + good + "0.25,ACK,,,,\r\n", "time 0.25 is earlier than the row before's (0.5)", 3},
        {header + "abc,ACK,,,,\r\n", "time \"abc\" is not a number", 2},
        {header + "nan,ACK,,,,\r\n", "time \"nan\" is not a number", 2},
        {header + "-0.5,ACK,,,,\r\n-0.25,ACK,,,,\r\n", "time \"-0.5\" is negative", 2},
        {header + good + "1e12,ACK,,,,\r\n", "time \"1e12\" is more than 366 days (31622400 s)", 3},
        {header + "1,ACK,\"1,5\",,,\r\n", "steeringWheelAngle \"1,5\" is not a number", 2},
        {header + "1,ACK,,on,,\r\n", "parkTOI \"on\" is not a torque overlay status", 2},
        {header + "1,ACK,,,yesterday,\r\n", "buildDate \"yesterday\" is not an ISO 8601 date", 2},
        {header + "1,ACK,,,,1.5\r\n", "can0ReceivedMessages \"1.5\" is not a whole number", 2},
        // Line ends inside quoted fields and blank lines count as lines.
        {header + "1,\"A\r\nB\",,,,\r\n\r\n2,ACK,x,,,\r\n", "steeringWheelAngle \"x\" is not a number", 5},
        {header + "1,\"" + std::string(70000, 'x'), "a field longer than 65536 bytes", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 120));
        try {
            Recording::parse(c.text, "drive.csv");
            ADD_FAILURE() << "read without error";
        } catch (const RecordingError& error) {
            const std::string message = error.what();
            const std::string where = c.line ? "drive.csv:" + std::to_string(c.line) + ": " : "drive.csv: ";
            EXPECT_EQ(message.rfind(where, 0), 0u) << message;
            EXPECT_NE(message.find(c.fragment), std::string::npos) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
            EXPECT_EQ(error.line(), c.line);
        }
    }
    // The bounds themselves pass: times from 0 to 366 days, equal ones included.
    const auto longest = Recording::parse("time,message\n-0,A\n0,B\n31622400,C\n31622400,D\n", "long.csv");
    ASSERT_EQ(longest.size(), 4u);
    EXPECT_FALSE(std::signbit(longest.time(0)));
    EXPECT_EQ(longest.time(3), 31622400);
}

TEST(Recording, FilesThatAreNotReadableRecordingsFail) {
    testing::TemporaryDirectory directory;
    const auto fifo = (directory.path() / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::pair<std::string, std::string>> cases{
        {directory.path().string(), "is a directory, not a recording"},
        {(directory.path() / "missing.csv").string(), "cannot be read: No such file or directory"},
        // Not opened for reading in earnest: a FIFO without a writer would wait for ever.
        {fifo, "is not a regular file"},
    };
    for (const auto& [path, fragment] : cases) {
        try {
            Recording::open(path);
            ADD_FAILURE() << path << " was read";
        } catch (const RecordingError& error) {
            EXPECT_EQ(std::string(error.what()), path + ": " + fragment);
        }
    }
}

// A recorder killed inside a row leaves a file whose rows before it are read, with a warning.
TEST(Recording, AFileCutInsideItsLastRowKeepsTheRowsBefore) {
    const std::string text =
        "time,message,serialNumber,requestLateral\r\n0.0,ACK,OV-1,0.5\r\n1.0,ACK,\"OV,2\",0.25\r\n";
    for (std::size_t cut : {text.size() - 8, text.size() - 12, text.size() - 16}) {
        SCOPED_TRACE(text.substr(cut));
        const auto recording = Recording::parse(text.substr(0, cut), "cut.csv");
        EXPECT_EQ(recording.size(), 1u);
        ASSERT_TRUE(recording.warning());
        EXPECT_EQ(*recording.warning(),
                  "cut.csv:3: the last row is incomplete (the file ends inside it, as after a "
                  "crash); it was left out");
    }
    // A last row that is whole but for its line end is kept: spreadsheets save files that way.
    const auto whole = Recording::parse(text.substr(0, text.size() - 2), "whole.csv");
    EXPECT_EQ(whole.size(), 2u);
    EXPECT_FALSE(whole.warning());
    EXPECT_EQ(whole.entry(1).telemetry.serialNumber, "OV,2");
}

TEST(Recording, RowsWrittenByTheRecorderReadBackAsTheSameSnapshots) {
    testing::TemporaryDirectory directory;
    const auto path = (directory.path() / "drive.csv").string();
    std::vector<TelemetryRecord> records;
    {
        TelemetryRecorder recorder(path);
        for (int i = 0; i < 40; ++i) {
            TelemetryRecord record;
            // Two rows share each time, the way messages arriving within one millisecond do.
            record.steadyTime = recorder.startTime() + std::chrono::milliseconds(i / 2 * 10);
            record.systemTime = *parseInternetDateTime("2025-01-02T03:04:05.678Z") + std::chrono::milliseconds(i);
            record.message = i % 5 == 0 ? "ODD \"NAME\",\r\nHERE" : "STEERING";
            DeviceTelemetry& telemetry = record.telemetry;
            telemetry.steeringWheelAngle = std::sin(i) * 400;
            telemetry.parkTOI = static_cast<TOIStatus>(i % 5);
            telemetry.steeringAssistanceTorque = i == 3 ? NAN : 1.0 / 3 * i;
            telemetry.steeringDriverTorque = i == 4 ? -INFINITY : -1e-7 * i;
            if (i % 3) telemetry.version = Version(1, 2, i, 0);
            telemetry.name = i % 7 ? "" : "bench, left";
            if (i % 2) telemetry.buildDate = parseInternetDateTime("2024-03-18T14:05:12.123456789Z");
            telemetry.serialNumber = " OV-" + std::to_string(i % 4);
            telemetry.lateralControlMethod = i % 4 ? LateralControlMethod::fromDeviceText(i % 2 ? "HALF" : "")
                                                   : LateralControlMethod::makeOther("x:y");
            telemetry.longitudinalControlMethod = LongitudinalControlMethod::fromDeviceText(i % 2 ? "DASM" : "NEW");
            if (i > 10) telemetry.receivedMessageCountsByChannel = {{0, 1000 + i}, {1, std::int64_t{1} << 40}};
            record.requestLateral = -0.05 * i;
            record.requestLongitudinal = 0.02 * i;
            records.push_back(record);
            recorder.record(record);
        }
        recorder.close();
        ASSERT_FALSE(recorder.writeError());
        for (auto& record : records) record.steadyTime -= recorder.startTime().time_since_epoch();
    }

    const auto recording = Recording::open(path);
    EXPECT_FALSE(recording.warning());
    ASSERT_EQ(recording.size(), records.size());
    const auto start = std::chrono::steady_clock::time_point();
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto entry = recording.entry(i);
        EXPECT_EQ(entry.index, i);
        EXPECT_EQ(fieldsOf(entry), telemetryCsvFields(records[i], start)) << i;
        EXPECT_EQ(entry.telemetry.version.has_value(), records[i].telemetry.version.has_value());
        EXPECT_EQ(entry.known(F::buildDate), records[i].telemetry.buildDate.has_value());
        EXPECT_TRUE(entry.known(F::steeringWheelAngle) && entry.known(F::requestLongitudinal));
    }
    EXPECT_TRUE(recording.extraColumns().empty());

    // A jump by time finds the last row at or before it.
    const std::vector<std::pair<double, std::size_t>> jumps{{-1, 0},      {0, 1},     {0.005, 1}, {0.01, 3},
                                                            {0.0999, 19}, {0.19, 39}, {1e9, 39}};
    for (const auto& [seconds, index] : jumps) EXPECT_EQ(recording.indexAt(seconds), index) << seconds;
    EXPECT_EQ(Recording::parse("time,message\r\n", "empty.csv").indexAt(1), Recording::npos);
}

// The same recording as a spreadsheet saves it (LF, a byte-order mark, quotes only where needed,
// numbers reformatted, trailing empty columns), with its columns reordered and one added.
TEST(Recording, ASpreadsheetsCopyReadsAsTheOriginal) {
    const std::string original =
        "time,wallClockTime,message,steeringWheelAngle,parkTOI,serialNumber,lateralControlMethod,requestLateral\r\n"
        "0.000,2025-01-02T03:04:05.678Z,\"STEERING\",1.5,active,\"OV,1\",other:HALF-2,-0.5\r\n"
        "0.010,2025-01-02T03:04:05.688Z,ACK,-2.25,faulted,,half,0.0\r\n";
    const std::string copy =
        "\xEF\xBB\xBFmessage,maneuver,time,parkTOI,steeringWheelAngle,wallClockTime,serialNumber,"
        "lateralControlMethod,requestLateral,repeat,,\n"
        "STEERING,lane change,0,active,1.50,2025-01-02T03:04:05.678Z,\"OV,1\",other:HALF-2,-0.50,1,,\n"
        "ACK,\"lane change\",0.01,faulted,-2.250,2025-01-02T03:04:05.688Z,,half,0,2,,\n\n";
    const auto expected = Recording::parse(original, "original.csv");
    const auto recording = Recording::parse(copy, "copy.csv");
    ASSERT_EQ(recording.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) EXPECT_EQ(fieldsOf(recording.entry(i)), fieldsOf(expected.entry(i))) << i;

    EXPECT_EQ(recording.extraColumns(), (std::vector<std::string>{"maneuver", "repeat"}));
    EXPECT_EQ(recording.extraText(1, *recording.extraColumn("maneuver")), "lane change");
    EXPECT_EQ(recording.extraText(1, *recording.extraColumn("repeat")), "2");
    // Columns the file lacks are unknown in every entry; so are empty number fields.
    EXPECT_FALSE(recording.hasColumn(F::halfTOI));
    const auto entry = recording.entry(1);
    EXPECT_FALSE(entry.known(F::halfTOI) || entry.known(F::steeringDriverTorque) || entry.known(F::version));
    EXPECT_EQ(entry.telemetry.halfTOI, TOIStatus::unknown);
    EXPECT_TRUE(entry.known(F::serialNumber) && entry.known(F::requestLateral));
    EXPECT_FALSE(Recording::parse("time,message,requestLateral\n1,ACK,\n", "r.csv").entry(0).known(F::requestLateral));
}

}  // namespace
}  // namespace orvane
