#pragma once

#include <bitset>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "device/DeviceTelemetry.h"

namespace orvane {

// The values a recording row may carry besides its time and message name. Each is the column of
// the same name that TelemetryRecorder writes.
enum class RecordingField : std::uint8_t {
    wallClockTime,
    steeringWheelAngle,
    parkTOI,
    halfTOI,
    steeringAssistanceTorque,
    steeringDriverTorque,
    version,
    name,
    buildDate,
    serialNumber,
    lateralControlMethod,
    longitudinalControlMethod,
    can0ReceivedMessages,
    can1ReceivedMessages,
    requestLateral,
    requestLongitudinal,
};
inline constexpr std::size_t kRecordingFieldCount = 16;

// The column's name in a recording's header: "steeringWheelAngle", "can0ReceivedMessages", ...
const std::string& columnName(RecordingField field);

// One row of a recording: when the message came, its name, and the telemetry as it stood after
// the message was decoded.
struct RecordingEntry {
    std::size_t index = 0;
    double time = 0;  // seconds since the recording started
    std::string message;
    std::optional<std::chrono::system_clock::time_point> wallClockTime;
    // A value the row does not give (its column is missing, or the field is empty) keeps the
    // initial value of a session that has heard nothing; known() tells which ones it gives.
    DeviceTelemetry telemetry;
    double requestLateral = 0;  // -1 to 1
    double requestLongitudinal = 0;
    std::bitset<kRecordingFieldCount> knownFields;

    bool known(RecordingField field) const { return knownFields.test(static_cast<std::size_t>(field)); }
};

// Why a file could not be read as a recording, in one line: "FILE:LINE: what" when a line is to
// blame, "FILE: what" otherwise.
class RecordingError : public std::runtime_error {
public:
    RecordingError(const std::string& path, std::size_t line, const std::string& what);

    const std::string& path() const { return path_; }
    // 1 for the header; 0 when the fault is not on a line (unreadable, empty).
    std::size_t line() const { return line_; }

private:
    std::string path_;
    std::size_t line_;
};

// A telemetry recording read into memory: the CSV file of TelemetryRecorder or `orvane-monitor
// --csv`, or the same re-saved by a spreadsheet.
//
// The header names the columns; they may come in any order. "time" and "message" must be there;
// a missing value column leaves that value unknown in every entry, and a column this reader does
// not know is kept as an extra text column. Fields follow RFC 4180 (CR LF or LF line ends, a
// UTF-8 byte-order mark before the header, blank lines and empty trailing fields beyond the
// header's last named column are passed over). Times run from 0 to kMaximumTime (366 days) and
// never go backwards; consecutive rows may share a time.
//
// A file that ends inside its last row (a recorder that was killed) keeps the rows before it and
// says so in warning(); any other fault fails the whole read. A last row that lacks only its line
// end is kept when it reads whole, as some spreadsheets save files that way (a row cut inside its
// last number then passes for whole). Rows are held in a compact form
// (about 112 bytes each, texts shared), and entry() builds the snapshot of one row on demand:
// entry() is O(1), indexAt() a binary search.
class Recording {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    // A field longer than this is taken for a quote that is never closed.
    static constexpr std::size_t kMaximumFieldBytes = 65536;
    // The latest time a row may have, in seconds since the recording started: 366 days.
    static constexpr double kMaximumTime = 31'622'400;

    // Reads the file. Throws RecordingError.
    static Recording open(const std::string& path);
    // Reads recording text; `name` stands for the file in messages. Throws RecordingError.
    static Recording parse(std::string_view text, const std::string& name);

    Recording(Recording&&) noexcept;
    Recording& operator=(Recording&&) noexcept;
    ~Recording();

    const std::string& path() const;
    // Set when the last row was incomplete and left out: "FILE:LINE: ...".
    const std::optional<std::string>& warning() const;

    std::size_t size() const;
    bool empty() const { return size() == 0; }
    // The time of entry `index`, in seconds; entry() with everything.
    double time(std::size_t index) const;
    RecordingEntry entry(std::size_t index) const;
    // The last entry whose time is at or before `seconds`: 0 for a time before the first, npos
    // when the recording is empty. Of several entries with one time, the last.
    std::size_t indexAt(double seconds) const;

    // Whether the header has the value's column.
    bool hasColumn(RecordingField field) const;
    // The header's columns this reader does not know, in header order, and their texts.
    const std::vector<std::string>& extraColumns() const;
    std::optional<std::size_t> extraColumn(std::string_view name) const;
    const std::string& extraText(std::size_t index, std::size_t extraColumn) const;

private:
    struct Data;
    friend class RecordingParser;
    explicit Recording(std::unique_ptr<Data> data);

    std::unique_ptr<Data> data_;
};

}  // namespace orvane
