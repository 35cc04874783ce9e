#include "device/TelemetryRecorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

#include "device/NumberText.h"
#include "device/Recording.h"
#include "device/ValueSyntax.h"
#include "platform/ThreadName.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

// Whole seconds and three fraction digits, truncated to the millisecond: "12.345".
std::string secondsText(std::chrono::steady_clock::duration elapsed) {
    return fixedText(double(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()) / 1000, 3);
}

std::string channelCountText(const DeviceTelemetry& telemetry, std::int64_t channel) {
    const auto count = telemetry.receivedMessageCount(channel);
    return count ? std::to_string(*count) : std::string();
}

bool needsQuotes(std::string_view field) { return field.find_first_of(",\"\r\n") != std::string_view::npos; }

// Writes all of `bytes`, continuing after partial writes; the error's text when that fails.
std::optional<std::string> writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            return std::string(std::strerror(errno));
        }
        if (written == 0) return translate("TelemetryRecorder", "the file took none of the data");
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return std::nullopt;
}

}  // namespace

std::string methodText(const LateralControlMethod& method) {
    return method.kind == LateralControlMethod::other ? "other:" + method.otherText : caseName(method);
}

std::string methodText(const LongitudinalControlMethod& method) {
    return method.kind == LongitudinalControlMethod::other ? "other:" + method.otherText : caseName(method);
}

// Units: time in seconds since the recording started, angles in degrees, torques in Nm, the
// requests as magnitudes from -1 to 1; the two counts are messages received on CAN channels 0
// and 1.
const std::vector<std::string>& telemetryCsvColumns() {
    // The value columns are the ones the recording reader knows, in its order, with the
    // message's name after its times.
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> names{"time", columnName(RecordingField::wallClockTime), "message"};
        for (std::size_t field = 1; field < kRecordingFieldCount; ++field)
            names.push_back(columnName(static_cast<RecordingField>(field)));
        return names;
    }();
    return columns;
}

std::vector<std::string> telemetryCsvFields(const TelemetryRecord& record,
                                            std::chrono::steady_clock::time_point start) {
    const DeviceTelemetry& telemetry = record.telemetry;
    return {
        secondsText(record.steadyTime - start),
        internetDateTimeText(std::chrono::floor<std::chrono::milliseconds>(record.systemTime)),
        record.message,
        numberText(telemetry.steeringWheelAngle),
        caseName(telemetry.parkTOI),
        caseName(telemetry.halfTOI),
        numberText(telemetry.steeringAssistanceTorque),
        numberText(telemetry.steeringDriverTorque),
        telemetry.version ? telemetry.version->description() : std::string(),
        telemetry.name,
        telemetry.buildDate ? internetDateTimeText(*telemetry.buildDate) : std::string(),
        telemetry.serialNumber,
        methodText(telemetry.lateralControlMethod),
        methodText(telemetry.longitudinalControlMethod),
        channelCountText(telemetry, 0),
        channelCountText(telemetry, 1),
        numberText(record.requestLateral),
        numberText(record.requestLongitudinal),
    };
}

void appendCsvRow(std::string& out, const std::vector<std::string>& fields) {
    bool first = true;
    for (const auto& field : fields) {
        if (!first) out.push_back(',');
        first = false;
        if (!needsQuotes(field)) {
            out.append(field);
            continue;
        }
        out.push_back('"');
        for (char c : field) {
            if (c == '"') out.push_back('"');
            out.push_back(c);
        }
        out.push_back('"');
    }
    out.append("\r\n");
}

TelemetryRecorder::TelemetryRecorder(const std::string& path, std::chrono::milliseconds flushInterval)
    : TelemetryRecorder(path, {}, flushInterval) {}

TelemetryRecorder::TelemetryRecorder(const std::string& path, std::vector<std::string> extraColumns,
                                     std::chrono::milliseconds flushInterval)
    : path_(path),
      flushInterval_(flushInterval),
      start_(std::chrono::steady_clock::now()),
      extraColumns_(std::move(extraColumns)) {
    fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(),
                                withArgs(translate("TelemetryRecorder", "cannot open %1"), path_));
    }
    std::vector<std::string> columns = telemetryCsvColumns();
    columns.insert(columns.end(), extraColumns_.begin(), extraColumns_.end());
    std::string header;
    appendCsvRow(header, columns);
    if (auto error = writeAll(fd_, header)) {
        ::close(fd_);
        throw std::system_error(std::make_error_code(std::errc::io_error),
                                withArgs(translate("TelemetryRecorder", "cannot write %1: %2"), path_, *error));
    }
    queue_.reserve(1024);
    writer_ = std::thread([this] {
        setCurrentThreadName("orvane-recorder");
        runWriter();
    });
}

TelemetryRecorder::~TelemetryRecorder() { close(); }

bool TelemetryRecorder::record(const DeviceReport& message, const DeviceTelemetry& telemetry, double requestLateral,
                               double requestLongitudinal, std::vector<std::string> extraFields) {
    return record(TelemetryRecord{std::chrono::steady_clock::now(), std::chrono::system_clock::now(), message.name,
                                  telemetry, requestLateral, requestLongitudinal, std::move(extraFields)});
}

bool TelemetryRecorder::record(TelemetryRecord record) {
    std::lock_guard lock(mutex_);
    if (closing_ || queue_.size() >= kMaximumQueuedRows) {
        ++dropped_;
        return false;
    }
    queue_.push_back(std::move(record));
    ++accepted_;
    return true;
}

void TelemetryRecorder::flush() {
    std::unique_lock lock(mutex_);
    const std::uint64_t target = accepted_;
    urgent_ = true;
    wake_.notify_all();
    written_.wait(lock, [&] { return handled_ >= target || closed_; });
}

void TelemetryRecorder::close() {
    std::lock_guard closing(closeMutex_);
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        closing_ = true;
        urgent_ = true;
    }
    wake_.notify_all();
    writer_.join();
    ::close(fd_);
    fd_ = -1;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    written_.notify_all();
}

void TelemetryRecorder::runWriter() {
    std::vector<TelemetryRecord> batch;
    batch.reserve(1024);
    std::string text;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait_for(lock, flushInterval_, [&] { return urgent_ || closing_; });
        urgent_ = false;
        const bool stopping = closing_;
        const bool failed = writeError_.has_value();
        queue_.swap(batch);
        lock.unlock();

        // Format and write outside the lock: record() only ever waits for the swap above.
        text.clear();
        if (!failed) {
            for (const auto& record : batch) {
                auto fields = telemetryCsvFields(record, start_);
                // Exactly one field per extra column, whatever the record brought.
                for (std::size_t i = 0; i < extraColumns_.size(); ++i) {
                    fields.push_back(i < record.extraFields.size() ? record.extraFields[i] : std::string());
                }
                appendCsvRow(text, fields);
            }
        }
        std::optional<std::string> error;
        if (!text.empty()) error = writeAll(fd_, text);

        lock.lock();
        handled_ += batch.size();
        if (!failed && !error) writtenRows_ += batch.size();
        if (error && !writeError_) {
            writeError_ = withArgs(translate("TelemetryRecorder", "cannot write %1: %2"), path_, *error);
        }
        batch.clear();
        written_.notify_all();
        // closing_ makes record() refuse rows, so the queue stays empty after this last swap.
        if (stopping) return;
    }
}

std::uint64_t TelemetryRecorder::rowCount() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

std::uint64_t TelemetryRecorder::writtenRowCount() const {
    std::lock_guard lock(mutex_);
    return writtenRows_;
}

std::uint64_t TelemetryRecorder::droppedRowCount() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

std::optional<std::string> TelemetryRecorder::writeError() const {
    std::lock_guard lock(mutex_);
    return writeError_;
}

}  // namespace orvane
