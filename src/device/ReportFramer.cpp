#include "device/ReportFramer.h"

namespace orvane {

bool ReportFramer::fail(Failure failure) {
    failure_ = failure;
    return false;
}

bool ReportFramer::append(std::string& text, std::uint8_t byte) {
    if (text.size() >= kMaximumTextLength) return fail(Failure::textTooLong);
    text.push_back(static_cast<char>(byte));
    return true;
}

std::size_t ReportFramer::feed(std::span<const std::uint8_t> bytes) {
    std::size_t used = 0;
    while (used < bytes.size() && !complete_ && failure_ == Failure::none) {
        const std::uint8_t byte = bytes[used++];
        if (++messageLength_ > kMaximumMessageLength) {
            fail(Failure::messageTooLong);
            break;
        }
        switch (state_) {
            case State::name:
                if (byte >= 0x80) {
                    fail(Failure::highBitByte);
                } else if (byte == '{') {
                    state_ = State::fieldStart;
                } else {
                    append(message_.name, byte);
                }
                break;
            case State::fieldStart:
                // This byte is read on its own, so it is never taken as a terminator of the key.
                if (byte == '}') {
                    complete_ = true;
                } else if (byte >= 0x80) {
                    state_ = State::key;  // dropped: the key starts with the next byte
                } else {
                    key_.push_back(static_cast<char>(byte));
                    state_ = State::key;
                }
                break;
            case State::key:
                if (byte >= 0x80) {
                    fail(Failure::highBitByte);
                } else if (byte == ':') {
                    state_ = State::value;
                } else {
                    append(key_, byte);
                }
                break;
            case State::value:
                if (byte >= 0x80) {
                    fail(Failure::highBitByte);
                } else if (byte == '\n') {
                    message_.fields.insert_or_assign(std::move(key_), std::move(value_));
                    key_.clear();
                    value_.clear();
                    state_ = State::fieldStart;
                } else {
                    append(value_, byte);
                }
                break;
        }
    }
    return used;
}

DeviceReport ReportFramer::takeMessage() {
    DeviceReport message = std::move(message_);
    message_ = DeviceReport{};
    key_.clear();
    value_.clear();
    state_ = State::name;
    messageLength_ = 0;
    complete_ = false;
    return message;
}

void ReportFramer::reset() {
    takeMessage();
    failure_ = Failure::none;
}

}  // namespace orvane
