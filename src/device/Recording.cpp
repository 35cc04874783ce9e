#include "device/Recording.h"

#include <csv.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <utility>

#include "device/NumberText.h"
#include "device/ValueSyntax.h"
#include "platform/OneLineText.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

using Clock = std::chrono::system_clock;

const std::array<std::string, kRecordingFieldCount> kFieldColumns{
    "wallClockTime",
    "steeringWheelAngle",
    "parkTOI",
    "halfTOI",
    "steeringAssistanceTorque",
    "steeringDriverTorque",
    "version",
    "name",
    "buildDate",
    "serialNumber",
    "lateralControlMethod",
    "longitudinalControlMethod",
    "can0ReceivedMessages",
    "can1ReceivedMessages",
    "requestLateral",
    "requestLongitudinal",
};

constexpr std::size_t bit(RecordingField field) { return static_cast<std::size_t>(field); }

// One row in the form it is kept in: numbers in place, texts as indices into the recording's
// table of distinct texts, times as the system clock's ticks.
struct Row {
    double time;
    Clock::rep wallClockTime;
    Clock::rep buildDate;
    double steeringWheelAngle;
    double steeringAssistanceTorque;
    double steeringDriverTorque;
    double requestLateral;
    double requestLongitudinal;
    std::int64_t can0;
    std::int64_t can1;
    std::uint32_t message;
    std::uint32_t version;
    std::uint32_t name;
    std::uint32_t serialNumber;
    std::uint32_t lateralControlMethod;
    std::uint32_t longitudinalControlMethod;
    std::uint16_t known;
    std::uint8_t parkTOI;
    std::uint8_t halfTOI;
};

// Rows live in blocks that never move, so the store grows without copying what it holds.
constexpr std::size_t kBlockShift = 12;
constexpr std::size_t kBlockRows = std::size_t{1} << kBlockShift;

// A value as an error message shows it: quoted, at most 40 bytes, control characters as "?".
std::string shown(std::string_view value) {
    constexpr std::size_t kShown = 40;
    return "\"" + withoutControlCharacters(value.substr(0, kShown), '?') + (value.size() > kShown ? "...\"" : "\"");
}

std::optional<TOIStatus> toiStatusFromCaseName(std::string_view text) {
    for (auto status : {TOIStatus::unknown, TOIStatus::inactive, TOIStatus::faulted, TOIStatus::active,
                        TOIStatus::temporaryDeactivated}) {
        if (caseName(status) == text) return status;
    }
    return std::nullopt;
}

// The reverse of methodText(): a case name, or "other:" and the device's text.
template <typename Method>
std::optional<Method> methodFromText(std::string_view text, std::initializer_list<typename Method::Case> cases) {
    constexpr std::string_view kOther = "other:";
    if (text.starts_with(kOther)) return Method::makeOther(std::string(text.substr(kOther.size())));
    for (auto kind : cases) {
        Method method{kind, {}};
        if (caseName(method) == text) return method;
    }
    return std::nullopt;
}

std::optional<LateralControlMethod> lateralMethodFromText(std::string_view text) {
    using M = LateralControlMethod;
    return methodFromText<M>(text, {M::unknown, M::half, M::apa, M::configuring});
}

std::optional<LongitudinalControlMethod> longitudinalMethodFromText(std::string_view text) {
    using M = LongitudinalControlMethod;
    return methodFromText<M>(text, {M::unknown, M::dasm});
}

std::string messageFor(const std::string& path, std::size_t line, const std::string& what) {
    return line ? path + ":" + std::to_string(line) + ": " + what : path + ": " + what;
}

std::string cannotBeRead(int error) {
    return withArgs(translate("Recording", "cannot be read: %1"), std::strerror(error));
}

// Closes a descriptor when the reading ends, however it ends.
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

const std::string& columnName(RecordingField field) { return kFieldColumns.at(bit(field)); }

RecordingError::RecordingError(const std::string& path, std::size_t line, const std::string& what)
    : std::runtime_error(messageFor(path, line, what)), path_(path), line_(line) {}

struct Recording::Data {
    std::string path;
    std::optional<std::string> warning;
    std::vector<std::vector<Row>> blocks;
    std::size_t rows = 0;
    // Every distinct text of the recording once; index 0 is the empty text.
    std::vector<std::string> texts{std::string()};
    std::bitset<kRecordingFieldCount> columns;
    std::vector<std::string> extraColumns;
    // extraColumns.size() text indices per row.
    std::vector<std::uint32_t> extraTexts;

    const Row& row(std::size_t index) const { return blocks[index >> kBlockShift][index & (kBlockRows - 1)]; }
};

// Reads CSV text fed to it in pieces with libcsv (strict RFC 4180 quoting) and turns its rows
// into a Recording's Data. libcsv tells the end of each field and row; this class counts line
// feeds to know the line of each row, since a quoted field may hold line ends.
class RecordingParser {
public:
    explicit RecordingParser(const std::string& path) : data_(std::make_unique<Recording::Data>()) {
        data_->path = path;
        if (csv_init(&csv_, CSV_STRICT | CSV_REPALL_NL | CSV_STRICT_FINI) != 0)
            fail(0, translate("Recording", "cannot start reading"));
        // Spaces are data: a serial number may begin with one.
        csv_set_space_func(&csv_, [](unsigned char) { return 0; });
        csv_set_blk_size(&csv_, 4096);
    }
    ~RecordingParser() { csv_free(&csv_); }

    RecordingParser(const RecordingParser&) = delete;
    RecordingParser& operator=(const RecordingParser&) = delete;

    void feed(std::string_view bytes) {
        if (!started_) {
            // The byte-order mark may arrive split over pieces; hold the first bytes until it is clear.
            const std::size_t taken = std::min(bytes.size(), 3 - prefix_.size());
            prefix_.append(bytes.substr(0, taken));
            bytes.remove_prefix(taken);
            if (prefix_.size() < 3) return;
            startWith(prefix_);
        }
        // Pieces of at most one field's limit, so an endless field is caught before it grows far.
        while (!bytes.empty()) {
            const auto piece = bytes.substr(0, Recording::kMaximumFieldBytes);
            parse(piece);
            bytes.remove_prefix(piece.size());
        }
    }

    Recording finish() {
        if (!started_) startWith(prefix_);
        if (bytesRead_ == 0) fail(0, translate("Recording", "is empty"));
        if (csv_fini(&csv_, onField, onRowEnd, this) != 0) {
            // The file ends inside a quoted field. One that holds a line end swallowed rows: a
            // quote that is never closed. Otherwise the last row was cut short.
            const std::size_t fieldLine = line_ + fieldLines_;
            if (lineFeeds_ > fieldLine - 1)
                fail(fieldLine, translate("Recording", "a quoted field that is never closed"));
            if (!haveHeader_) fail(line_, translate("Recording", "the file ends inside its header"));
            incomplete(line_);
        }
        if (error_) throw RecordingError(data_->path, error_->first, error_->second);
        if (!haveHeader_) fail(0, translate("Recording", "holds no header row"));
        data_->extraTexts.shrink_to_fit();
        return Recording(std::move(data_));
    }

private:
    // What a column of the header holds.
    enum class Slot : std::uint8_t { ignored, time, message, field, extra };
    struct Column {
        Slot slot = Slot::ignored;
        std::size_t index = 0;  // the RecordingField, or the extra column
    };

    [[noreturn]] void fail(std::size_t line, const std::string& what) { throw RecordingError(data_->path, line, what); }

    void startWith(std::string_view first) {
        started_ = true;
        if (first.starts_with("\xEF\xBB\xBF")) first.remove_prefix(3);
        parse(first);
        prefix_.clear();
    }

    void parse(std::string_view piece) {
        if (piece.empty()) return;
        bytesRead_ += piece.size();
        const std::size_t parsed = csv_parse(&csv_, piece.data(), piece.size(), onField, onRowEnd, this);
        if (error_) throw RecordingError(data_->path, error_->first, error_->second);
        if (parsed < piece.size()) {
            const std::size_t line = 1 + lineFeeds_ + std::count(piece.begin(), piece.begin() + parsed, '\n');
            // Before the header is whole, the file is more likely something else than a broken recording.
            if (csv_error(&csv_) != CSV_EPARSE) fail(line, beforeHeader(csv_strerror(csv_error(&csv_))));
            fail(line,
                 beforeHeader(
                     piece[parsed] == '"'
                         ? translate("Recording", "a quote inside a field that does not begin with one")
                         : translate("Recording", "a character other than a comma or line end after a closing quote")));
        }
        lineFeeds_ += std::count(piece.begin(), piece.end(), '\n');
        if (csv_.entry_pos > Recording::kMaximumFieldBytes) fieldTooLong();
    }

    void fieldTooLong() {
        fail(line_ + fieldLines_,
             beforeHeader(
                 withArgs(translate("Recording", "a field longer than %1 bytes (a quote that is never closed?)"),
                          std::to_string(Recording::kMaximumFieldBytes))));
    }

    // Before the header is whole, the file is more likely something else than a broken recording.
    std::string beforeHeader(const std::string& what) const {
        return haveHeader_ ? what : withArgs(translate("Recording", "not a recording: %1"), what);
    }

    static void onField(void* bytes, std::size_t size, void* self) {
        static_cast<RecordingParser*>(self)->field({static_cast<const char*>(bytes), size});
    }
    static void onRowEnd(int c, void* self) { static_cast<RecordingParser*>(self)->rowEnd(c); }

    void field(std::string_view text) {
        if (error_) return;
        if (text.size() > Recording::kMaximumFieldBytes) {
            error_.emplace(line_ + fieldLines_,
                           "a field longer than " + std::to_string(Recording::kMaximumFieldBytes) + " bytes");
            return;
        }
        fieldLines_ += std::count(text.begin(), text.end(), '\n');
        // Past the header's last named column only empty fields may follow (as spreadsheets
        // write them); they are counted, not kept.
        if (!haveHeader_ || fieldCount_ < columns_.size()) {
            if (fieldCount_ == fields_.size()) fields_.emplace_back();
            fields_[fieldCount_].assign(text);
        } else if (!text.empty()) {
            surplus_ = true;
        }
        ++fieldCount_;
    }

    // `c` is the CR or LF that ended the row, or -1 when the file ended without one.
    void rowEnd(int c) {
        if (error_) return;
        if (fieldCount_ > 0) {
            if (!haveHeader_) {
                header();
            } else if (auto fault = row()) {
                if (c >= 0) {
                    error_.emplace(line_, std::move(*fault));
                    return;
                }
                incomplete(line_);
            }
        }
        line_ += fieldLines_ + (c == '\n' ? 1 : 0);
        fieldLines_ = 0;
        fieldCount_ = 0;
        surplus_ = false;
    }

    void incomplete(std::size_t line) {
        data_->warning = messageFor(data_->path, line,
                                    translate("Recording",
                                              "the last row is incomplete (the file ends inside it, as after a crash); "
                                              "it was left out"));
    }

    void header() {
        haveHeader_ = true;
        headerFields_ = fieldCount_;
        std::unordered_map<std::string_view, std::size_t> seen;
        std::size_t named = 0;
        for (std::size_t i = 0; i < fieldCount_; ++i) {
            const std::string& name = fields_[i];
            if (name.empty()) continue;
            named = i + 1;
            if (!seen.emplace(name, i).second)
                fail(line_, withArgs(translate("Recording", "the column %1 appears twice"), shown(name)));
        }
        const bool hasTime = seen.contains("time");
        const bool hasMessage = seen.contains("message");
        if (!hasTime || !hasMessage) {
            const bool semicolons = fieldCount_ == 1 && fields_[0].find(';') != std::string::npos;
            fail(line_,
                 withArgs(translate("Recording", "not a recording: the header has no %1 column%2"),
                          hasTime      ? std::string("\"message\"")
                          : hasMessage ? std::string("\"time\"")
                                       : translate("Recording", "\"time\" and \"message\""),
                          semicolons ? translate("Recording", " (its columns are separated by semicolons, not commas)")
                                     : std::string()));
        }
        columns_.resize(named);
        for (std::size_t i = 0; i < named; ++i) {
            const std::string& name = fields_[i];
            Column& column = columns_[i];
            if (name.empty()) continue;
            if (name == "time") {
                column.slot = Slot::time;
            } else if (name == "message") {
                column.slot = Slot::message;
            } else if (auto found = std::find(kFieldColumns.begin(), kFieldColumns.end(), name);
                       found != kFieldColumns.end()) {
                column = {Slot::field, static_cast<std::size_t>(found - kFieldColumns.begin())};
                data_->columns.set(column.index);
            } else {
                column = {Slot::extra, data_->extraColumns.size()};
                data_->extraColumns.push_back(name);
            }
        }
    }

    std::uint32_t text(std::string_view value) {
        if (value.empty()) return 0;
        auto [found, added] =
            textIndex_.try_emplace(std::string(value), static_cast<std::uint32_t>(data_->texts.size()));
        if (added) data_->texts.emplace_back(value);
        return found->second;
    }

    // Reads the row in fields_ and keeps it; what is wrong with it, if anything, and then
    // nothing is kept.
    std::optional<std::string> row() {
        if (fieldCount_ < columns_.size() || surplus_) {
            return withArgs(translate("Recording", "%1 fields, but the header has %2 columns"),
                            std::to_string(fieldCount_), std::to_string(headerFields_));
        }
        Row row{};
        extras_.assign(data_->extraColumns.size(), 0);
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const Column& column = columns_[i];
            const std::string& value = fields_[i];
            switch (column.slot) {
                case Slot::ignored: break;
                case Slot::time: {
                    const auto time = parseNumber(value);
                    if (!time || !std::isfinite(*time))
                        return withArgs(translate("Recording", "time %1 is not a number"), shown(value));
                    // Times count from the recording's start; a bound keeps every time a replay
                    // derives from them (clock points, the timeline's positions) in range.
                    if (*time < 0) return withArgs(translate("Recording", "time %1 is negative"), shown(value));
                    if (*time > Recording::kMaximumTime) {
                        return withArgs(translate("Recording", "time %1 is more than 366 days (31622400 s)"),
                                        shown(value));
                    }
                    if (data_->rows > 0 && *time < previousTime_) {
                        return withArgs(translate("Recording", "time %1 is earlier than the row before's (%2)"),
                                        numberText(*time), numberText(previousTime_));
                    }
                    row.time = *time + 0.0;  // -0 as 0
                    break;
                }
                case Slot::message: row.message = text(value); break;
                case Slot::extra: extras_[column.index] = text(value); break;
                case Slot::field:
                    if (auto fault = readField(static_cast<RecordingField>(column.index), value, row)) {
                        return columnName(static_cast<RecordingField>(column.index)) + " " + shown(value) + " " +
                               *fault;
                    }
                    break;
            }
        }
        auto& blocks = data_->blocks;
        if ((data_->rows & (kBlockRows - 1)) == 0) blocks.emplace_back().reserve(kBlockRows);
        blocks.back().push_back(row);
        data_->extraTexts.insert(data_->extraTexts.end(), extras_.begin(), extras_.end());
        ++data_->rows;
        previousTime_ = row.time;
        return std::nullopt;
    }

    // Sets one value of `row` from its field; an empty field leaves it unknown. What is wrong
    // with the text, if anything.
    std::optional<std::string> readField(RecordingField field, const std::string& value, Row& row) {
        using F = RecordingField;
        // Texts are values even when empty; everything else is unknown then.
        if (field == F::name || field == F::serialNumber) {
            (field == F::name ? row.name : row.serialNumber) = text(value);
            row.known = static_cast<std::uint16_t>(row.known | (1u << bit(field)));
            return std::nullopt;
        }
        if (value.empty()) return std::nullopt;
        switch (field) {
            case F::wallClockTime:
            case F::buildDate: {
                const auto time = parseInternetDateTime(value);
                if (!time) return translate("Recording", "is not an ISO 8601 date and time");
                (field == F::wallClockTime ? row.wallClockTime : row.buildDate) = time->time_since_epoch().count();
                break;
            }
            case F::steeringWheelAngle:
            case F::steeringAssistanceTorque:
            case F::steeringDriverTorque:
            case F::requestLateral:
            case F::requestLongitudinal: {
                const auto number = parseNumber(value);
                if (!number) return translate("Recording", "is not a number");
                (field == F::steeringWheelAngle         ? row.steeringWheelAngle
                 : field == F::steeringAssistanceTorque ? row.steeringAssistanceTorque
                 : field == F::steeringDriverTorque     ? row.steeringDriverTorque
                 : field == F::requestLateral           ? row.requestLateral
                                                        : row.requestLongitudinal) = *number;
                break;
            }
            case F::can0ReceivedMessages:
            case F::can1ReceivedMessages: {
                const auto count = parseDecimalInteger(value);
                if (!count) return translate("Recording", "is not a whole number");
                (field == F::can0ReceivedMessages ? row.can0 : row.can1) = *count;
                break;
            }
            case F::parkTOI:
            case F::halfTOI: {
                const auto status = toiStatusFromCaseName(value);
                if (!status) return translate("Recording", "is not a torque overlay status");
                (field == F::parkTOI ? row.parkTOI : row.halfTOI) = static_cast<std::uint8_t>(*status);
                break;
            }
            case F::lateralControlMethod:
                if (!lateralMethodFromText(value)) return translate("Recording", "is not a lateral control method");
                row.lateralControlMethod = text(value);
                break;
            case F::longitudinalControlMethod:
                if (!longitudinalMethodFromText(value))
                    return translate("Recording", "is not a longitudinal control method");
                row.longitudinalControlMethod = text(value);
                break;
            case F::version: row.version = text(value); break;
            case F::name:
            case F::serialNumber: break;
        }
        row.known = static_cast<std::uint16_t>(row.known | (1u << bit(field)));
        return std::nullopt;
    }

    csv_parser csv_{};
    std::unique_ptr<Recording::Data> data_;
    std::string prefix_;
    bool started_ = false;
    std::uint64_t bytesRead_ = 0;
    // Line feeds in the pieces parsed so far.
    std::size_t lineFeeds_ = 0;
    // The line the current row begins on, and the line feeds inside its finished fields.
    std::size_t line_ = 1;
    std::size_t fieldLines_ = 0;
    std::optional<std::pair<std::size_t, std::string>> error_;

    std::vector<std::string> fields_;
    std::size_t fieldCount_ = 0;
    bool surplus_ = false;

    bool haveHeader_ = false;
    std::size_t headerFields_ = 0;
    // Up to the header's last named column.
    std::vector<Column> columns_;
    std::unordered_map<std::string, std::uint32_t> textIndex_;
    std::vector<std::uint32_t> extras_;
    double previousTime_ = 0;
};

Recording::Recording(std::unique_ptr<Data> data) : data_(std::move(data)) {}
Recording::Recording(Recording&&) noexcept = default;
Recording& Recording::operator=(Recording&&) noexcept = default;
Recording::~Recording() = default;

Recording Recording::parse(std::string_view text, const std::string& name) {
    RecordingParser parser(name);
    parser.feed(text);
    return parser.finish();
}

Recording Recording::open(const std::string& path) {
    // Not blocking on open: a FIFO would wait for a writer. Only regular files are read.
    FileDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    if (file.fd < 0) throw RecordingError(path, 0, cannotBeRead(errno));
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) {
        throw RecordingError(path, 0, cannotBeRead(errno));
    }
    if (S_ISDIR(status.st_mode))
        throw RecordingError(path, 0, translate("Recording", "is a directory, not a recording"));
    if (!S_ISREG(status.st_mode)) throw RecordingError(path, 0, translate("Recording", "is not a regular file"));

    RecordingParser parser(path);
    std::vector<char> buffer(kMaximumFieldBytes);
    for (;;) {
        const ssize_t got = ::read(file.fd, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            throw RecordingError(path, 0, cannotBeRead(errno));
        }
        if (got == 0) break;
        parser.feed({buffer.data(), static_cast<std::size_t>(got)});
    }
    return parser.finish();
}

const std::string& Recording::path() const { return data_->path; }
const std::optional<std::string>& Recording::warning() const { return data_->warning; }
std::size_t Recording::size() const { return data_->rows; }
double Recording::time(std::size_t index) const { return data_->row(index).time; }

RecordingEntry Recording::entry(std::size_t index) const {
    using F = RecordingField;
    const Row& row = data_->row(index);
    const auto& texts = data_->texts;
    RecordingEntry entry;
    entry.index = index;
    entry.time = row.time;
    entry.message = texts[row.message];
    entry.knownFields = row.known;
    const auto known = [&](F field) { return entry.known(field); };
    const auto instant = [](Clock::rep ticks) { return Clock::time_point(Clock::duration(ticks)); };
    DeviceTelemetry& telemetry = entry.telemetry;
    if (known(F::wallClockTime)) entry.wallClockTime = instant(row.wallClockTime);
    if (known(F::steeringWheelAngle)) telemetry.steeringWheelAngle = row.steeringWheelAngle;
    telemetry.steeringReported =
        known(F::steeringWheelAngle) || known(F::steeringAssistanceTorque) || known(F::steeringDriverTorque);
    if (known(F::parkTOI)) telemetry.parkTOI = static_cast<TOIStatus>(row.parkTOI);
    if (known(F::halfTOI)) telemetry.halfTOI = static_cast<TOIStatus>(row.halfTOI);
    if (known(F::steeringAssistanceTorque)) telemetry.steeringAssistanceTorque = row.steeringAssistanceTorque;
    if (known(F::steeringDriverTorque)) telemetry.steeringDriverTorque = row.steeringDriverTorque;
    if (known(F::version)) telemetry.version = Version(texts[row.version]);
    telemetry.name = texts[row.name];
    if (known(F::buildDate)) telemetry.buildDate = instant(row.buildDate);
    telemetry.serialNumber = texts[row.serialNumber];
    if (known(F::lateralControlMethod)) {
        telemetry.lateralControlMethod = *lateralMethodFromText(texts[row.lateralControlMethod]);
    }
    if (known(F::longitudinalControlMethod)) {
        telemetry.longitudinalControlMethod = *longitudinalMethodFromText(texts[row.longitudinalControlMethod]);
    }
    if (known(F::can0ReceivedMessages)) telemetry.receivedMessageCountsByChannel[0] = row.can0;
    if (known(F::can1ReceivedMessages)) telemetry.receivedMessageCountsByChannel[1] = row.can1;
    if (known(F::requestLateral)) entry.requestLateral = row.requestLateral;
    if (known(F::requestLongitudinal)) entry.requestLongitudinal = row.requestLongitudinal;
    return entry;
}

std::size_t Recording::indexAt(double seconds) const {
    if (data_->rows == 0) return npos;
    // The first entry later than `seconds`; the one before it is the answer.
    std::size_t low = 0;
    std::size_t high = data_->rows;
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (seconds < data_->row(middle).time) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return low == 0 ? 0 : low - 1;
}

bool Recording::hasColumn(RecordingField field) const { return data_->columns.test(bit(field)); }

const std::vector<std::string>& Recording::extraColumns() const { return data_->extraColumns; }

std::optional<std::size_t> Recording::extraColumn(std::string_view name) const {
    const auto& columns = data_->extraColumns;
    const auto found = std::find(columns.begin(), columns.end(), name);
    if (found == columns.end()) return std::nullopt;
    return static_cast<std::size_t>(found - columns.begin());
}

const std::string& Recording::extraText(std::size_t index, std::size_t extraColumn) const {
    return data_->texts[data_->extraTexts[index * data_->extraColumns.size() + extraColumn]];
}

}  // namespace orvane
