#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "device/TelemetryRecorder.h"
#include "device/ValueSyntax.h"
#include "support/Csv.h"
#include "support/TemporaryDirectory.h"
#include "support/WaitFor.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
using testing::parseCsv;

std::string contents(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

DeviceTelemetry fullTelemetry() {
    DeviceTelemetry telemetry;
    telemetry.steeringWheelAngle = -12.5;
    telemetry.parkTOI = TOIStatus::active;
    telemetry.halfTOI = TOIStatus::temporaryDeactivated;
    telemetry.steeringAssistanceTorque = 0.25;
    telemetry.steeringDriverTorque = -1.5;
    telemetry.version = Version(1, 2, 0, 7);
    telemetry.name = "bench, \"left\"";
    telemetry.buildDate = parseInternetDateTime("2024-03-18T14:05:12.345Z");
    telemetry.serialNumber = "OV-1";
    telemetry.lateralControlMethod = LateralControlMethod::fromDeviceText("HALF");
    telemetry.longitudinalControlMethod = LongitudinalControlMethod::fromDeviceText("SOMETHING-NEW");
    telemetry.receivedMessageCountsByChannel = {{0, 10}, {1, 20}, {2, 30}};
    return telemetry;
}

TEST(TelemetryCsv, FieldsOfARecordFollowTheColumns) {
    const auto start = std::chrono::steady_clock::time_point(100s);
    TelemetryRecord record{start + 12345678us,
                           *parseInternetDateTime("2025-01-02T03:04:05.678901Z"),
                           "STEERING",
                           fullTelemetry(),
                           0.5,
                           -0.25};
    const auto fields = telemetryCsvFields(record, start);
    ASSERT_EQ(fields.size(), telemetryCsvColumns().size());
    EXPECT_EQ(fields, (std::vector<std::string>{"12.345", "2025-01-02T03:04:05.678Z", "STEERING", "-12.5", "active",
                                                "temporaryDeactivated", "0.25", "-1.5", "1.2.0.7", "bench, \"left\"",
                                                "2024-03-18T14:05:12.345Z", "OV-1", "half", "other:SOMETHING-NEW", "10",
                                                "20", "0.5", "-0.25"}));

    // What the device has not told yet stays empty; numbers that are no numbers keep their names.
    record = TelemetryRecord{
        start + 999us, *parseInternetDateTime("2025-01-02T03:04:05.0Z"), "ACK", DeviceTelemetry{}, 0, 0};
    record.telemetry.steeringWheelAngle = std::nan("");
    record.telemetry.receivedMessageCountsByChannel = {{1, 7}};
    EXPECT_EQ(telemetryCsvFields(record, start),
              (std::vector<std::string>{"0.000", "2025-01-02T03:04:05.000Z", "ACK", "nan", "unknown", "unknown", "0.0",
                                        "0.0", "", "", "", "", "unknown", "unknown", "", "7", "0.0", "0.0"}));
}

TEST(TelemetryCsv, RowsQuoteWhatWouldBreakThem) {
    std::string text;
    appendCsvRow(text, {"plain", "a,b", "say \"hi\"", "two\r\nlines", "lf\n", "cr\r", ""});
    EXPECT_EQ(text, "plain,\"a,b\",\"say \"\"hi\"\"\",\"two\r\nlines\",\"lf\n\",\"cr\r\",\r\n");
    appendCsvRow(text, telemetryCsvColumns());
    const auto parsed = parseCsv(text);
    EXPECT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.rows.size(), 2u);
    EXPECT_EQ(parsed.rows[0],
              (std::vector<std::string>{"plain", "a,b", "say \"hi\"", "two\r\nlines", "lf\n", "cr\r", ""}));
    EXPECT_EQ(parsed.rows[1], telemetryCsvColumns());
}

TEST(TelemetryRecorder, WritesTheHeaderAndOneRowPerRecord) {
    testing::TemporaryDirectory directory;
    const auto path = directory.path() / "telemetry.csv";
    TelemetryRecorder recorder(path.string());
    EXPECT_EQ(parseCsv(contents(path)).rows, std::vector<std::vector<std::string>>{telemetryCsvColumns()});

    EXPECT_TRUE(recorder.record({"DEVICE-INFO", {}}, fullTelemetry(), 0.5, 0));
    EXPECT_TRUE(recorder.record({"STEERING", {}}, DeviceTelemetry{}, 0, -1));
    EXPECT_EQ(recorder.rowCount(), 2u);
    recorder.flush();
    EXPECT_EQ(recorder.writtenRowCount(), 2u);

    // The rows are in the file while the recorder is still open.
    auto parsed = parseCsv(contents(path));
    EXPECT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.rows.size(), 3u);
    EXPECT_EQ(parsed.rows[1][2], "DEVICE-INFO");
    EXPECT_EQ(parsed.rows[1][9], "bench, \"left\"");
    EXPECT_EQ(parsed.rows[1][16], "0.5");
    EXPECT_EQ(parsed.rows[2][2], "STEERING");
    EXPECT_EQ(parsed.rows[2][17], "-1.0");
    EXPECT_LE(std::stod(parsed.rows[1][0]), std::stod(parsed.rows[2][0]));

    // Without flush() the writer gets rows to the file by itself within its interval.
    recorder.record({"STATE", {}}, DeviceTelemetry{}, 0, 0);
    EXPECT_TRUE(orvane::testing::waitFor([&] { return parseCsv(contents(path)).rows.size() == 4; }));

    recorder.close();
    EXPECT_FALSE(recorder.record({"STATE", {}}, DeviceTelemetry{}, 0, 0)) << "closed";
    EXPECT_EQ(recorder.rowCount(), 3u);
    EXPECT_EQ(recorder.droppedRowCount(), 1u);
    EXPECT_EQ(recorder.writeError(), std::nullopt);
    EXPECT_EQ(parseCsv(contents(path)).rows.size(), 4u);
}

TEST(TelemetryRecorder, ClosingWritesEverythingRecordedFromAnotherThread) {
    testing::TemporaryDirectory directory;
    const auto path = directory.path() / "telemetry.csv";
    constexpr int kRows = 5000;
    {
        TelemetryRecorder recorder(path.string(), 1ms);
        std::thread producer([&] {
            for (int n = 0; n < kRows; ++n) recorder.record({"M" + std::to_string(n), {}}, DeviceTelemetry{}, 0, 0);
        });
        for (int i = 0; i < 20; ++i) recorder.flush();
        producer.join();
        EXPECT_EQ(recorder.rowCount(), static_cast<std::uint64_t>(kRows));
    }  // the destructor closes
    const auto parsed = parseCsv(contents(path));
    EXPECT_EQ(parsed.error, "");
    ASSERT_EQ(parsed.rows.size(), kRows + 1u);
    for (int n = 0; n < kRows; ++n) ASSERT_EQ(parsed.rows[n + 1][2], "M" + std::to_string(n));
}

TEST(TelemetryRecorder, AFileThatCannotBeOpenedThrows) {
    testing::TemporaryDirectory directory;
    EXPECT_THROW(TelemetryRecorder((directory.path() / "missing" / "telemetry.csv").string()), std::system_error);
}

}  // namespace
}  // namespace orvane
