#include "device/McapWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

#include <nlohmann/json.hpp>

#include "device/NumberText.h"
#include "device/Recording.h"
#include "device/TelemetryRecorder.h"
#include "device/ValueSyntax.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

constexpr std::string_view kMagic{"\x89MCAP0\r\n", 8};

enum Opcode : std::uint8_t {
    kHeader = 0x01,
    kFooter = 0x02,
    kSchema = 0x03,
    kChannel = 0x04,
    kMessage = 0x05,
    kChunk = 0x06,
    kMessageIndex = 0x07,
    kChunkIndex = 0x08,
    kStatistics = 0x0B,
    kSummaryOffset = 0x0E,
    kDataEnd = 0x0F,
};

// Little-endian fields of a record's content.
template <typename Integer>
void putInteger(std::string& out, Integer value) {
    for (std::size_t i = 0; i < sizeof(Integer); ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}
void put8(std::string& out, std::uint8_t value) { putInteger(out, value); }
void put16(std::string& out, std::uint16_t value) { putInteger(out, value); }
void put32(std::string& out, std::uint32_t value) { putInteger(out, value); }
void put64(std::string& out, std::uint64_t value) { putInteger(out, value); }
// A string or byte array: its length in 32 bits, then its bytes.
void putText(std::string& out, std::string_view text) {
    put32(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}
// A map of channel ids to counts or offsets: its length in bytes, then its entries.
void putMap(std::string& out, const std::map<std::uint16_t, std::uint64_t>& map) {
    put32(out, static_cast<std::uint32_t>(map.size() * 10));
    for (const auto& [key, value] : map) {
        put16(out, key);
        put64(out, value);
    }
}
// A record's opcode and content length, for content that follows.
void putRecordStart(std::string& out, std::uint8_t opcode, std::uint64_t length) {
    put8(out, opcode);
    put64(out, length);
}

std::uint32_t crc(std::uint32_t crc, std::string_view bytes) {
    return static_cast<std::uint32_t>(
        ::crc32_z(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<z_size_t>(bytes.size())));
}

}  // namespace

struct McapWriter::Compressor {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ~Compressor() { ZSTD_freeCCtx(context); }
};

McapWriter::McapWriter(std::string path) : McapWriter(std::move(path), Options()) {}

McapWriter::McapWriter(std::string path, Options options)
    : path_(std::move(path)), options_(std::move(options)), compressor_(std::make_unique<Compressor>()) {
    struct stat status {};
    if (::stat(path_.c_str(), &status) == 0) {
        if (S_ISDIR(status.st_mode)) throw McapError(withArgs(translate("McapWriter", "%1: is a directory"), path_));
        if (!S_ISREG(status.st_mode)) {
            throw McapError(withArgs(translate("McapWriter", "%1: is not a regular file"), path_));
        }
    }
    if (!compressor_->context || ZSTD_isError(ZSTD_CCtx_setParameter(compressor_->context, ZSTD_c_compressionLevel,
                                                                     options_.compressionLevel))) {
        throw McapError(
            withArgs(translate("McapWriter", "%1: cannot be written: the compressor could not start"), path_));
    }
    // A name of its own beside the file, so the rename that puts it in place stays on one file system.
    const std::filesystem::path target(path_);
    const std::string folder = target.has_parent_path() ? target.parent_path().string() + "/" : std::string();
    std::random_device random;
    for (int attempt = 0; fd_ < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        temporary_ = folder + "." + target.filename().string() + "." + suffix + ".partial";
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
        if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
            const int error = errno;
            temporary_.clear();
            fail(error);
        }
    }
    out_.reserve(std::size_t{1} << 20);
    put(kMagic);
    std::string header;
    putText(header, "");  // no profile: the messages are JSON
    putText(header, options_.library);
    record(kHeader, header);
}

McapWriter::~McapWriter() { removeTemporary(); }

void McapWriter::removeTemporary() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

void McapWriter::fail(int error) const {
    throw McapError(withArgs(translate("McapWriter", "%1: cannot be written: %2"), path_, std::strerror(error)));
}

void McapWriter::put(std::string_view bytes) {
    crc_ = crc(crc_, bytes);
    position_ += bytes.size();
    out_ += bytes;
    if (out_.size() >= (std::size_t{1} << 20)) flush();
}

void McapWriter::flush() {
    std::string_view rest = out_;
    while (!rest.empty()) {
        const ssize_t written = ::write(fd_, rest.data(), rest.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            fail(errno);
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    out_.clear();
}

void McapWriter::record(std::uint8_t opcode, std::string_view content) {
    scratch_.clear();
    putRecordStart(scratch_, opcode, content.size());
    put(scratch_);
    put(content);
}

std::uint16_t McapWriter::addSchema(std::string_view name, std::string_view encoding, std::string_view data) {
    const auto id = static_cast<std::uint16_t>(schemas_.size() + 1);
    std::string content;
    put16(content, id);
    putText(content, name);
    putText(content, encoding);
    putText(content, data);
    putRecordStart(chunk_, kSchema, content.size());
    chunk_ += content;
    schemas_.push_back(std::move(content));
    return id;
}

std::uint16_t McapWriter::addChannel(std::uint16_t schema, std::string_view topic, std::string_view messageEncoding) {
    const auto id = static_cast<std::uint16_t>(channels_.size() + 1);
    std::string content;
    put16(content, id);
    put16(content, schema);
    putText(content, topic);
    putText(content, messageEncoding);
    put32(content, 0);  // no metadata
    putRecordStart(chunk_, kChannel, content.size());
    chunk_ += content;
    channels_.push_back(std::move(content));
    channelCounts_[id] = 0;
    return id;
}

void McapWriter::write(std::uint16_t channel, std::uint32_t sequence, std::uint64_t logTime, std::uint64_t publishTime,
                       std::string_view data) {
    chunkMessages_[channel].emplace_back(logTime, chunk_.size());
    putRecordStart(chunk_, kMessage, 2 + 4 + 8 + 8 + data.size());
    put16(chunk_, channel);
    put32(chunk_, sequence);
    put64(chunk_, logTime);
    put64(chunk_, publishTime);
    chunk_ += data;
    chunkStart_ = std::min(chunkStart_, logTime);
    chunkEnd_ = std::max(chunkEnd_, logTime);
    firstTime_ = std::min(firstTime_, logTime);
    lastTime_ = std::max(lastTime_, logTime);
    ++channelCounts_[channel];
    ++messageCount_;
    if (chunk_.size() >= options_.chunkBytes) closeChunk();
}

void McapWriter::closeChunk() {
    if (chunk_.empty()) return;
    compressed_.resize(ZSTD_compressBound(chunk_.size()));
    const std::size_t size =
        ZSTD_compress2(compressor_->context, compressed_.data(), compressed_.size(), chunk_.data(), chunk_.size());
    if (ZSTD_isError(size)) {
        throw McapError(withArgs(translate("McapWriter", "%1: cannot be written: %2"), path_, ZSTD_getErrorName(size)));
    }
    compressed_.resize(size);

    ChunkIndex index;
    const bool hasMessages = !chunkMessages_.empty();
    index.start = hasMessages ? chunkStart_ : 0;
    index.end = hasMessages ? chunkEnd_ : 0;
    index.offset = position_;
    index.compressedSize = compressed_.size();
    index.uncompressedSize = chunk_.size();
    constexpr std::string_view kCompression = "zstd";
    std::string head;
    put64(head, index.start);
    put64(head, index.end);
    put64(head, chunk_.size());
    put32(head, crc(0, chunk_));
    putText(head, kCompression);
    put64(head, compressed_.size());
    scratch_.clear();
    putRecordStart(scratch_, kChunk, head.size() + compressed_.size());
    put(scratch_);
    put(head);
    put(compressed_);
    index.length = position_ - index.offset;

    // Each channel's messages in the chunk by log time, for a reader that seeks.
    for (auto& [channel, messages] : chunkMessages_) {
        std::stable_sort(messages.begin(), messages.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        index.indexOffsets[channel] = position_;
        std::string content;
        content.reserve(6 + messages.size() * 16);
        put16(content, channel);
        put32(content, static_cast<std::uint32_t>(messages.size() * 16));
        for (const auto& [time, offset] : messages) {
            put64(content, time);
            put64(content, offset);
        }
        record(kMessageIndex, content);
    }
    index.indexLength = position_ - index.offset - index.length;
    chunkIndexes_.push_back(std::move(index));

    chunk_.clear();
    chunkMessages_.clear();
    chunkStart_ = UINT64_MAX;
    chunkEnd_ = 0;
}

void McapWriter::finish() {
    closeChunk();
    std::string content;
    put32(content, crc_);  // the data section's, from the leading magic on
    record(kDataEnd, content);

    const std::uint64_t summaryStart = position_;
    crc_ = 0;
    std::vector<std::array<std::uint64_t, 3>> groups;  // opcode, start, length
    const auto group = [&](std::uint8_t opcode, const auto& writeRecords) {
        const std::uint64_t start = position_;
        writeRecords();
        if (position_ > start) groups.push_back({opcode, start, position_ - start});
    };
    group(kSchema, [&] {
        for (const auto& schema : schemas_) record(kSchema, schema);
    });
    group(kChannel, [&] {
        for (const auto& channel : channels_) record(kChannel, channel);
    });
    group(kStatistics, [&] {
        content.clear();
        put64(content, messageCount_);
        put16(content, static_cast<std::uint16_t>(schemas_.size()));
        put32(content, static_cast<std::uint32_t>(channels_.size()));
        put32(content, 0);  // attachments
        put32(content, 0);  // metadata
        put32(content, static_cast<std::uint32_t>(chunkIndexes_.size()));
        put64(content, messageCount_ ? firstTime_ : 0);
        put64(content, messageCount_ ? lastTime_ : 0);
        putMap(content, channelCounts_);
        record(kStatistics, content);
    });
    group(kChunkIndex, [&] {
        for (const auto& index : chunkIndexes_) {
            content.clear();
            put64(content, index.start);
            put64(content, index.end);
            put64(content, index.offset);
            put64(content, index.length);
            putMap(content, index.indexOffsets);
            put64(content, index.indexLength);
            putText(content, "zstd");
            put64(content, index.compressedSize);
            put64(content, index.uncompressedSize);
            record(kChunkIndex, content);
        }
    });
    const std::uint64_t summaryOffsetStart = position_;
    for (const auto& [opcode, start, length] : groups) {
        content.clear();
        put8(content, static_cast<std::uint8_t>(opcode));
        put64(content, start);
        put64(content, length);
        record(kSummaryOffset, content);
    }
    // The summary's CRC runs from its start through the footer's fields before the CRC.
    content.clear();
    putRecordStart(content, kFooter, 8 + 8 + 4);
    put64(content, summaryStart);
    put64(content, summaryOffsetStart);
    put(content);
    content.clear();
    put32(content, crc_);
    put(content);
    put(kMagic);
    flush();

    if (::fsync(fd_) != 0) fail(errno);
    const int descriptor = fd_;
    fd_ = -1;
    if (::close(descriptor) != 0) fail(errno);
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) fail(errno);
    temporary_.clear();
}

namespace {

// One JSON object, written field by field into a reused buffer.
class JsonObject {
public:
    explicit JsonObject(std::string& out) : out_(out) {
        out_.clear();
        out_ += '{';
    }

    void number(std::string_view name, std::optional<double> value) {
        key(name);
        // JSON has no nan or infinity.
        if (value && std::isfinite(*value)) {
            out_ += numberText(*value);
        } else {
            out_ += "null";
        }
    }
    void integer(std::string_view name, std::optional<std::int64_t> value) {
        key(name);
        out_ += value ? std::to_string(*value) : "null";
    }
    void text(std::string_view name, std::optional<std::string_view> value) {
        key(name);
        if (!value) {
            out_ += "null";
        } else if (std::all_of(value->begin(), value->end(),
                               [](char c) { return c >= 0x20 && c < 0x7F && c != '"' && c != '\\'; })) {
            out_ += '"';
            out_ += *value;
            out_ += '"';
        } else {
            // Escapes, and bytes that are not UTF-8 replaced rather than refused.
            out_ += nlohmann::json(std::string(*value)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        }
    }

    std::string_view close() {
        out_ += '}';
        return out_;
    }

private:
    void key(std::string_view name) {
        if (out_.size() > 1) out_ += ',';
        out_ += '"';
        out_ += name;
        out_ += "\":";
    }

    std::string& out_;
};

// The channels of an export and their fields' JSON types ("number", "integer", "string").
struct Topic {
    std::string_view topic;
    std::string_view schema;
    std::string_view description;
    std::vector<std::array<std::string_view, 3>> fields;  // name, type, description
};

enum TopicId : std::size_t { kSteering, kState, kStatisticsTopic, kDeviceInfo, kControl, kManeuver, kTopicCount };

const std::array<Topic, kTopicCount>& topics() {
    static const std::array<Topic, kTopicCount> all{{
        {"/steering",
         "orvane.Steering",
         "A STEERING message: the wheel and its torques",
         {{"steeringWheelAngle", "number", "degrees"},
          {"steeringAssistanceTorque", "number", "Nm"},
          {"steeringDriverTorque", "number", "Nm"},
          {"parkTOI", "string", "the park torque overlay's status"},
          {"halfTOI", "string", "the HALF torque overlay's status"}}},
        {"/state",
         "orvane.State",
         "A STATE message: the control methods",
         {{"lateralControlMethod", "string", ""}, {"longitudinalControlMethod", "string", ""}}},
        {"/statistics",
         "orvane.Statistics",
         "A STATISTICS message: the messages received on each CAN channel",
         {{"can0ReceivedMessages", "integer", ""}, {"can1ReceivedMessages", "integer", ""}}},
        {"/device-info",
         "orvane.DeviceInfo",
         "A DEVICE-INFO message",
         {{"version", "string", ""},
          {"name", "string", ""},
          {"buildDate", "string", "ISO 8601, UTC"},
          {"serialNumber", "string", ""}}},
        {"/control",
         "orvane.Control",
         "The requests in force when a message came",
         {{"message", "string", "the message's name"},
          {"requestLateral", "number", "-1 to 1, positive clockwise"},
          {"requestLongitudinal", "number", "-1 to 1, positive engine, negative brake"}}},
        {"/maneuver",
         "orvane.Maneuver",
         "The maneuver and repeat running when a message came; null outside a suite",
         {{"maneuver", "string", ""}, {"repeat", "integer", "1 for the first"}}},
    }};
    return all;
}

std::string schemaText(const Topic& topic) {
    nlohmann::ordered_json properties = nlohmann::ordered_json::object();
    for (const auto& [name, type, description] : topic.fields) {
        auto& property = properties[std::string(name)];
        property["type"] = {std::string(type), "null"};
        if (!description.empty()) property["description"] = std::string(description);
    }
    nlohmann::ordered_json schema{{"title", std::string(topic.schema)},
                                  {"description", std::string(topic.description)},
                                  {"type", "object"},
                                  {"properties", std::move(properties)}};
    return schema.dump();
}

std::uint64_t nanoseconds(std::chrono::system_clock::time_point time) {
    const auto count = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    return count < 0 ? 0 : static_cast<std::uint64_t>(count);
}

std::uint64_t nanoseconds(double seconds) {
    return seconds <= 0 ? 0 : static_cast<std::uint64_t>(std::llround(seconds * 1e9));
}

}  // namespace

McapExport exportRecordingAsMcap(const Recording& recording, const std::string& path, const std::string& library) {
    using F = RecordingField;
    // Renamed over the recording, the export would take its place.
    std::error_code unknown;
    if (std::filesystem::equivalent(recording.path(), path, unknown)) {
        throw McapError(withArgs(translate("McapWriter", "%1: is the recording being exported"), path));
    }
    McapWriter writer(path, McapWriter::Options{.library = library});
    std::array<std::uint16_t, kTopicCount> channels{};
    const auto channel = [&](TopicId id) {
        if (!channels[id]) {
            const Topic& topic = topics()[id];
            channels[id] =
                writer.addChannel(writer.addSchema(topic.schema, "jsonschema", schemaText(topic)), topic.topic, "json");
        }
        return channels[id];
    };

    // Wall-clock times: a row without one is placed from the last row before it that had one, or
    // from the first one at all.
    std::optional<std::pair<std::uint64_t, double>> anchor;  // nanoseconds, and the row's time
    if (recording.hasColumn(F::wallClockTime)) {
        for (std::size_t i = 0; i < recording.size() && !anchor; ++i) {
            const auto entry = recording.entry(i);
            if (entry.wallClockTime) anchor.emplace(nanoseconds(*entry.wallClockTime), entry.time);
        }
    }
    const auto maneuverColumn = recording.extraColumn("maneuver");
    const auto repeatColumn = recording.extraColumn("repeat");

    const std::string* lastManeuver = nullptr;
    const std::string* lastRepeat = nullptr;
    std::string json;
    for (std::size_t i = 0; i < recording.size(); ++i) {
        const RecordingEntry entry = recording.entry(i);
        const DeviceTelemetry& telemetry = entry.telemetry;
        std::uint64_t time = nanoseconds(entry.time);
        if (entry.wallClockTime) anchor.emplace(nanoseconds(*entry.wallClockTime), entry.time);
        if (anchor) {
            // In whole nanoseconds: a double does not hold today's times since the epoch to the nanosecond.
            const std::int64_t offset = std::llround((entry.time - anchor->second) * 1e9);
            time = offset < 0 && static_cast<std::uint64_t>(-offset) > anchor->first
                       ? 0
                       : anchor->first + static_cast<std::uint64_t>(offset);
        }
        const auto known = [&](F field) { return entry.known(field); };
        const auto number = [&](F field, double value) { return known(field) ? std::optional(value) : std::nullopt; };
        const auto text = [&](F field, const std::string& value) {
            return known(field) ? std::optional<std::string_view>(value) : std::nullopt;
        };

        JsonObject object(json);
        std::optional<TopicId> kind;
        if (entry.message == "STEERING") {
            kind = kSteering;
            object.number("steeringWheelAngle", number(F::steeringWheelAngle, telemetry.steeringWheelAngle));
            object.number("steeringAssistanceTorque",
                          number(F::steeringAssistanceTorque, telemetry.steeringAssistanceTorque));
            object.number("steeringDriverTorque", number(F::steeringDriverTorque, telemetry.steeringDriverTorque));
            object.text("parkTOI", known(F::parkTOI) ? std::optional(caseName(telemetry.parkTOI)) : std::nullopt);
            object.text("halfTOI", known(F::halfTOI) ? std::optional(caseName(telemetry.halfTOI)) : std::nullopt);
        } else if (entry.message == "STATE") {
            kind = kState;
            object.text("lateralControlMethod", known(F::lateralControlMethod)
                                                    ? std::optional(methodText(telemetry.lateralControlMethod))
                                                    : std::nullopt);
            object.text("longitudinalControlMethod",
                        known(F::longitudinalControlMethod)
                            ? std::optional(methodText(telemetry.longitudinalControlMethod))
                            : std::nullopt);
        } else if (entry.message == "STATISTICS") {
            kind = kStatisticsTopic;
            object.integer("can0ReceivedMessages", telemetry.receivedMessageCount(0));
            object.integer("can1ReceivedMessages", telemetry.receivedMessageCount(1));
        } else if (entry.message == "DEVICE-INFO") {
            kind = kDeviceInfo;
            object.text("version", telemetry.version ? std::optional(telemetry.version->description()) : std::nullopt);
            object.text("name", text(F::name, telemetry.name));
            object.text("buildDate",
                        telemetry.buildDate ? std::optional(internetDateTimeText(*telemetry.buildDate)) : std::nullopt);
            object.text("serialNumber", text(F::serialNumber, telemetry.serialNumber));
        }
        // Sequence numbers are optional, and left at 0: counted ones take a tenth more space once
        // compressed (a file is to take at most a third of its recording's).
        constexpr std::uint32_t kNoSequence = 0;
        if (kind) writer.write(channel(*kind), kNoSequence, time, time, object.close());

        JsonObject control(json);
        control.text("message", entry.message);
        control.number("requestLateral", number(F::requestLateral, entry.requestLateral));
        control.number("requestLongitudinal", number(F::requestLongitudinal, entry.requestLongitudinal));
        writer.write(channel(kControl), kNoSequence, time, time, control.close());

        // The maneuver is a state that lasts for many rows: written where it changes.
        static const std::string kNone;
        const std::string& maneuver = maneuverColumn ? recording.extraText(i, *maneuverColumn) : kNone;
        const std::string& repeat = repeatColumn ? recording.extraText(i, *repeatColumn) : kNone;
        if ((maneuverColumn || repeatColumn) && (i == 0 || maneuver != *lastManeuver || repeat != *lastRepeat)) {
            JsonObject where(json);
            where.text("maneuver", maneuver.empty() ? std::nullopt : std::optional<std::string_view>(maneuver));
            where.integer("repeat", parseDecimalInteger(repeat));
            writer.write(channel(kManeuver), kNoSequence, time, time, where.close());
        }
        lastManeuver = &maneuver;
        lastRepeat = &repeat;
    }
    writer.finish();
    return {recording.size(), writer.messageCount()};
}

}  // namespace orvane
