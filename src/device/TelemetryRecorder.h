#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "device/DeviceReport.h"
#include "device/DeviceTelemetry.h"

namespace orvane {

// One received message as a recording sees it: when it came, its name, the telemetry after it
// was decoded, and the request magnitudes (-1 to 1) in force.
struct TelemetryRecord {
    std::chrono::steady_clock::time_point steadyTime;
    std::chrono::system_clock::time_point systemTime;
    std::string message;
    DeviceTelemetry telemetry;
    double requestLateral = 0;
    double requestLongitudinal = 0;
    // Fields of the recorder's extra columns, in their order; missing ones are written empty.
    std::vector<std::string> extraFields;
};

// A control method as recordings and orvane-monitor write it: its case name, or "other:" and the
// device's text.
std::string methodText(const LateralControlMethod& method);
std::string methodText(const LongitudinalControlMethod& method);

// The columns of a telemetry recording, in order; the header row names them. Every writer of a
// recording (the console, orvane-monitor) takes them from here.
const std::vector<std::string>& telemetryCsvColumns();

// A record's fields, one per column. Time since `start` in seconds with three fraction digits;
// the wall-clock time as ISO 8601 UTC with milliseconds; numbers as numberText() writes them;
// statuses and methods by their case names ("other:" and the device's text for an unknown
// method); an absent version, build date or channel count as an empty field.
std::vector<std::string> telemetryCsvFields(const TelemetryRecord& record, std::chrono::steady_clock::time_point start);

// Appends one CSV row (RFC 4180): fields separated by commas, a field holding a comma, quote, CR
// or LF enclosed in quotes with its quotes doubled, and CR LF at the end.
void appendCsvRow(std::string& out, const std::vector<std::string>& fields);

// Writes a telemetry recording to a CSV file: the header row, then one row per record().
//
// record() may be called from any thread and never waits for the disk: it copies the record
// into a queue under a mutex that the writer holds only to swap the queue out. A writer thread
// of the recorder's own formats the queued rows and writes them with one write(2) per batch, at
// least every `flushInterval` (250 ms unless given), so a process that is killed leaves every
// row up to its last batch in the file (a kill during a write may cut that batch short, inside
// a row). More than kMaximumQueuedRows waiting rows (a disk that
// stalls) drops further rows and counts them.
class TelemetryRecorder {
public:
    static constexpr std::size_t kMaximumQueuedRows = 65536;

    // Creates or empties the file and writes the header row; the recording's time starts now.
    // Throws std::system_error when the file cannot be opened or the header not written.
    explicit TelemetryRecorder(const std::string& path,
                               std::chrono::milliseconds flushInterval = std::chrono::milliseconds(250));
    // The same, with columns of the owner's after the recording's own (orvane-monitor's maneuver
    // name and repeat, for example); each row fills them from its record's extraFields.
    TelemetryRecorder(const std::string& path, std::vector<std::string> extraColumns,
                      std::chrono::milliseconds flushInterval = std::chrono::milliseconds(250));
    // close()
    ~TelemetryRecorder();

    TelemetryRecorder(const TelemetryRecorder&) = delete;
    TelemetryRecorder& operator=(const TelemetryRecorder&) = delete;

    // Queues one row, stamped with both clocks now. False when it was dropped (the queue was
    // full, or the recorder is closed).
    bool record(const DeviceReport& message, const DeviceTelemetry& telemetry, double requestLateral,
                double requestLongitudinal, std::vector<std::string> extraFields = {});
    bool record(TelemetryRecord record);

    // Waits until every row queued before the call has been written (or failed to be).
    void flush();
    // Writes what is queued, stops the writer and closes the file; later records are dropped.
    void close();

    // Rows accepted by record(), written or still queued.
    std::uint64_t rowCount() const;
    // Rows in the file, the header not counted.
    std::uint64_t writtenRowCount() const;
    std::uint64_t droppedRowCount() const;
    // Why writing failed, when it did; the rows after the failure are lost.
    std::optional<std::string> writeError() const;

    const std::string& path() const { return path_; }
    std::chrono::steady_clock::time_point startTime() const { return start_; }

private:
    void runWriter();

    const std::string path_;
    const std::chrono::milliseconds flushInterval_;
    const std::chrono::steady_clock::time_point start_;
    const std::vector<std::string> extraColumns_;
    int fd_ = -1;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::vector<TelemetryRecord> queue_;
    bool closing_ = false;
    bool closed_ = false;
    std::uint64_t accepted_ = 0;
    std::uint64_t dropped_ = 0;
    // Set by flush() and close() to wake the writer before its interval is up.
    bool urgent_ = false;
    // Rows the writer has taken from the queue and finished with (written or failed).
    std::uint64_t handled_ = 0;
    std::uint64_t writtenRows_ = 0;
    std::optional<std::string> writeError_;

    std::mutex closeMutex_;
    std::thread writer_;
};

}  // namespace orvane
