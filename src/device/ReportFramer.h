#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "device/DeviceReport.h"

namespace orvane {

// Splits the byte stream from the device into messages, one byte at a time, exactly as reading
// the stream with one read per byte would:
//  - the name is every byte up to the first "{" since the end of the previous message;
//  - the first byte of each field is taken on its own: "}" there ends the message; a byte with
//    the high bit set there is dropped and the key starts with the byte after it (which is then
//    never a closing brace); any other byte (LF, ":" and "{" included) is the key's first byte;
//  - the rest of the key runs up to ":", the value up to LF (a CR before it stays in the value);
//  - a byte with the high bit set anywhere else ends the link.
// A name, key or value longer than kMaximumTextLength, or a message longer than
// kMaximumMessageLength, ends the link too, instead of growing without limit.
class ReportFramer {
public:
    static constexpr std::size_t kMaximumTextLength = 4096;
    static constexpr std::size_t kMaximumMessageLength = 64 * 1024;

    enum class Failure { none, highBitByte, textTooLong, messageTooLong };

    // Takes bytes until one message is complete or the stream fails; gives how many it took.
    // Takes nothing while a complete message waits to be taken or after a failure.
    std::size_t feed(std::span<const std::uint8_t> bytes);

    bool hasMessage() const { return complete_; }
    // The completed message; the framer then starts on the next one.
    DeviceReport takeMessage();

    bool failed() const { return failure_ != Failure::none; }
    Failure failure() const { return failure_; }
    // Which rule the stream broke, for the user, e.g. "a byte with the high bit set" or "a key
    // longer than 4096 bytes"; empty when nothing failed.
    std::string failureDescription() const;

    // Drops any partial message and failure: a new connection starts from a clean state.
    void reset();

    // Hands back a message that is no longer needed, so that its fields' storage serves the
    // next messages instead of being allocated anew for each one.
    void recycle(DeviceReport&& message);

private:
    enum class State { name, fieldStart, key, value };

    bool fail(Failure failure);
    void storeField();

    using FieldNode = std::map<std::string, std::string>::node_type;
    static constexpr std::size_t kMaximumRecycledFields = 32;

    State state_ = State::name;
    DeviceReport message_;
    std::string key_;
    std::string value_;
    std::size_t messageLength_ = 0;
    bool complete_ = false;
    Failure failure_ = Failure::none;
    std::vector<FieldNode> recycled_;
};

}  // namespace orvane
