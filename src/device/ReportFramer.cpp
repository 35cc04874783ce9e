#include "device/ReportFramer.h"

#include "platform/Translation.h"

namespace orvane {

bool ReportFramer::fail(Failure failure) {
    failure_ = failure;
    return false;
}

// fields[key] = value (a repeated key keeps the later value); key_ and value_ keep their storage.
void ReportFramer::storeField() {
    if (recycled_.empty()) {
        message_.fields.insert_or_assign(key_, value_);
    } else {
        FieldNode node = std::move(recycled_.back());
        recycled_.pop_back();
        node.key() = key_;
        node.mapped() = value_;
        auto result = message_.fields.insert(std::move(node));
        if (!result.inserted) {
            result.position->second = value_;
            recycled_.push_back(std::move(result.node));
        }
    }
    key_.clear();
    value_.clear();
}

void ReportFramer::recycle(DeviceReport&& message) {
    while (!message.fields.empty() && recycled_.size() < kMaximumRecycledFields) {
        recycled_.push_back(message.fields.extract(message.fields.begin()));
    }
}

std::size_t ReportFramer::feed(std::span<const std::uint8_t> bytes) {
    const std::uint8_t* const begin = bytes.data();
    const std::uint8_t* const end = begin + bytes.size();
    const std::uint8_t* p = begin;
    while (p < end && !complete_ && failure_ == Failure::none) {
        if (state_ == State::fieldStart) {
            // This byte is read on its own, so it is never taken as a terminator of the key.
            const std::uint8_t byte = *p++;
            if (++messageLength_ > kMaximumMessageLength) {
                fail(Failure::messageTooLong);
                break;
            }
            if (byte == '}') {
                complete_ = true;
            } else {
                if (byte < 0x80)
                    key_.push_back(static_cast<char>(byte));  // else dropped: the key starts with the next byte
                state_ = State::key;
            }
            continue;
        }
        // A run of name, key or value bytes up to its terminator, a high-bit byte or the end.
        const std::uint8_t terminator = state_ == State::name ? '{' : (state_ == State::key ? ':' : '\n');
        std::string& text = state_ == State::name ? message_.name : (state_ == State::key ? key_ : value_);
        const std::uint8_t* stop = p;
        while (stop < end && *stop != terminator && *stop < 0x80) ++stop;
        const std::size_t run = static_cast<std::size_t>(stop - p);
        // The byte (index in the run) that would pass either bound; the message bound counts
        // first, as it would for a single byte.
        const std::size_t messageRoom = kMaximumMessageLength - messageLength_;
        const std::size_t textRoom = kMaximumTextLength - text.size();
        if (run > messageRoom || run > textRoom) {
            const bool messageFirst = messageRoom <= textRoom;
            p += (messageFirst ? messageRoom : textRoom) + 1;
            fail(messageFirst ? Failure::messageTooLong : Failure::textTooLong);
            break;
        }
        text.append(reinterpret_cast<const char*>(p), run);
        messageLength_ += run;
        p = stop;
        if (p == end) break;
        const std::uint8_t byte = *p++;
        if (++messageLength_ > kMaximumMessageLength) {
            fail(Failure::messageTooLong);
            break;
        }
        if (byte >= 0x80) {
            fail(Failure::highBitByte);
        } else if (state_ == State::name) {
            state_ = State::fieldStart;
        } else if (state_ == State::key) {
            state_ = State::value;
        } else {
            storeField();
            state_ = State::fieldStart;
        }
    }
    return static_cast<std::size_t>(p - begin);
}

std::string ReportFramer::failureDescription() const {
    switch (failure_) {
        case Failure::none: return {};
        case Failure::highBitByte: return translate("ReportFramer", "a byte with the high bit set");
        case Failure::textTooLong: {
            // A failing run leaves the state where it was: it tells which text grew too long.
            const std::string limit = std::to_string(kMaximumTextLength);
            if (state_ == State::name) return withArgs(translate("ReportFramer", "a name longer than %1 bytes"), limit);
            if (state_ == State::key) return withArgs(translate("ReportFramer", "a key longer than %1 bytes"), limit);
            return withArgs(translate("ReportFramer", "a value longer than %1 bytes"), limit);
        }
        case Failure::messageTooLong:
            return withArgs(translate("ReportFramer", "a message longer than %1 bytes"),
                            std::to_string(kMaximumMessageLength));
    }
    return {};
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
