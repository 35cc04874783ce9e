#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane {

class Recording;

// Why an MCAP file could not be written, in one line: "PATH: cannot be written: No space left on
// device", "PATH: is a directory".
class McapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes an MCAP file (version 0 of the format): the header, schema and channel records, messages
// in zstd-compressed chunks each followed by its message indexes, the data end with the data
// section's CRC, and a summary (schemas, channels, statistics, chunk indexes) with its summary
// offsets, so a reader can seek to any time without reading the whole file. Integers are
// little-endian; CRCs are zlib's CRC-32.
//
// The file is written under a temporary name beside `path` and renamed to `path` only by a
// finish() that succeeded: a failure, or a writer dropped before finish(), leaves nothing behind
// (and an earlier file at `path` as it was). Not thread-safe.
class McapWriter {
public:
    struct Options {
        std::string library = "orvane-console";  // the header's library
        // A chunk is closed once its uncompressed records reach this size.
        std::size_t chunkBytes = std::size_t{1} << 20;
        // zstd's: on recordings 9 gives a tenth less than its default 3, and in about the same time.
        int compressionLevel = 9;
    };

    // Creates the temporary file. Throws McapError when `path` is a directory or not a regular
    // file, or its folder cannot take the file.
    explicit McapWriter(std::string path);
    McapWriter(std::string path, Options options);
    ~McapWriter();

    McapWriter(const McapWriter&) = delete;
    McapWriter& operator=(const McapWriter&) = delete;

    // The id of a new schema or channel (from 1). Their records go into the chunk being filled, so
    // they come before the first message that uses them.
    std::uint16_t addSchema(std::string_view name, std::string_view encoding, std::string_view data);
    std::uint16_t addChannel(std::uint16_t schema, std::string_view topic, std::string_view messageEncoding);
    // One message; times in nanoseconds, `sequence` 0 or counting up on its channel. Throws
    // McapError when a chunk cannot be written.
    void write(std::uint16_t channel, std::uint32_t sequence, std::uint64_t logTime, std::uint64_t publishTime,
               std::string_view data);
    // Writes the rest of the file and puts it at `path`. Throws McapError.
    void finish();

    std::uint64_t messageCount() const { return messageCount_; }

private:
    struct ChunkIndex {
        std::uint64_t start = 0, end = 0, offset = 0, length = 0, indexLength = 0, compressedSize = 0,
                      uncompressedSize = 0;
        std::map<std::uint16_t, std::uint64_t> indexOffsets;
    };

    [[noreturn]] void fail(int error) const;
    void put(std::string_view bytes);
    void flush();
    void record(std::uint8_t opcode, std::string_view content);
    void closeChunk();
    void removeTemporary();

    std::string path_;
    std::string temporary_;
    Options options_;
    int fd_ = -1;
    std::string out_;  // bytes not yet written to fd_
    std::uint64_t position_ = 0;
    std::uint32_t crc_ = 0;  // of the bytes since the last reset (the data section, then the summary)

    std::vector<std::string> schemas_;   // records' contents, for the summary
    std::vector<std::string> channels_;  // the same
    std::map<std::uint16_t, std::uint64_t> channelCounts_;
    std::uint64_t messageCount_ = 0;
    std::uint64_t firstTime_ = UINT64_MAX, lastTime_ = 0;
    std::vector<ChunkIndex> chunkIndexes_;

    // The chunk being filled: its records, their times and, per channel, (log time, offset) pairs.
    std::string chunk_;
    std::uint64_t chunkStart_ = UINT64_MAX, chunkEnd_ = 0;
    std::map<std::uint16_t, std::vector<std::pair<std::uint64_t, std::uint64_t>>> chunkMessages_;
    std::string compressed_;
    std::string scratch_;
    struct Compressor;
    std::unique_ptr<Compressor> compressor_;
};

// What an export wrote.
struct McapExport {
    std::size_t rows = 0;
    std::uint64_t messages = 0;
};

// Writes `recording` to an MCAP file at `path` with McapWriter: JSON messages (each channel with
// a "jsonschema" schema), a message per row on the channel of its kind and one on /control:
//
//   /steering     STEERING rows: steeringWheelAngle, steeringAssistanceTorque, steeringDriverTorque,
//                 parkTOI, halfTOI
//   /state        STATE rows: lateralControlMethod, longitudinalControlMethod
//   /statistics   STATISTICS rows: can0ReceivedMessages, can1ReceivedMessages
//   /device-info  DEVICE-INFO rows: version, name, buildDate, serialNumber
//   /control      every row: message, requestLateral, requestLongitudinal
//   /maneuver     when the recording has the maneuver or repeat column, the first row and every
//                 row where either changes: maneuver, repeat (null outside a suite)
//
// Fields take the recording's column names; a value the row does not give is null. Messages have
// no sequence numbers (0). Log and
// publish times are the rows' wall-clock times in nanoseconds since the epoch (a row without one
// is placed by its time from the nearest row before, or else after, that has one); a recording
// without the wall-clock column counts from its time 0. Throws McapError.
McapExport exportRecordingAsMcap(const Recording& recording, const std::string& path,
                                 const std::string& library = "orvane-console");

}  // namespace orvane
