#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/ReportFramer.h"

namespace orvane {
namespace {

using Fields = std::map<std::string, std::string>;

struct FrameResult {
    std::vector<DeviceReport> messages;
    bool failed = false;
    std::size_t consumed = 0;  // bytes taken before the stream ended or failed

    friend bool operator==(const FrameResult&, const FrameResult&) = default;
};

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Frames `stream`, handing it to the framer in pieces of the given sizes (the last size repeats).
FrameResult frameInChunks(const std::string& stream, const std::vector<std::size_t>& chunkSizes) {
    ReportFramer framer;
    FrameResult result;
    std::size_t position = 0;
    std::size_t chunkIndex = 0;
    while (position < stream.size() && !result.failed) {
        std::size_t size =
            std::min(chunkSizes[std::min(chunkIndex++, chunkSizes.size() - 1)], stream.size() - position);
        auto chunk = bytesOf(stream).subspan(position, size);
        std::size_t offset = 0;
        while (offset < chunk.size()) {
            std::size_t used = framer.feed(chunk.subspan(offset));
            offset += used;
            if (framer.hasMessage()) {
                // Handing each message back must not change any later one.
                DeviceReport message = framer.takeMessage();
                result.messages.push_back(message);
                framer.recycle(std::move(message));
            }
            if (framer.failed()) {
                result.failed = true;
                break;
            }
            if (used == 0 && !framer.hasMessage()) break;
        }
        position += offset;
    }
    result.consumed = position;
    return result;
}

FrameResult frame(const std::string& stream) { return frameInChunks(stream, {stream.size() + 1}); }

// An independent model of reading the stream the slow way: one byte per read, with text read up
// to a terminator, and one byte read on its own (as text) at the start of each field.
class ByteReader {
public:
    explicit ByteReader(const std::string& stream) : stream_(stream) {}

    FrameResult readAll() {
        FrameResult result;
        while (position_ < stream_.size()) {
            auto message = readReport();
            if (!message) {
                result.failed = failed_;
                break;
            }
            result.messages.push_back(*message);
        }
        result.consumed = position_;
        return result;
    }

private:
    // nullopt: the stream ended (or a high-bit byte failed the read when failed_ is set).
    std::optional<std::string> readTextUntil(char terminator) {
        std::string text;
        while (position_ < stream_.size()) {
            auto byte = static_cast<unsigned char>(stream_[position_++]);
            if (byte >= 0x80) {
                failed_ = true;
                return std::nullopt;
            }
            if (byte == static_cast<unsigned char>(terminator)) return text;
            text.push_back(static_cast<char>(byte));
        }
        return std::nullopt;
    }

    // One byte as text: a byte that is not UTF-8 on its own gives empty text.
    std::optional<std::string> readOneByteText() {
        if (position_ >= stream_.size()) return std::nullopt;
        auto byte = static_cast<unsigned char>(stream_[position_++]);
        if (byte >= 0x80) return std::string();
        return std::string(1, static_cast<char>(byte));
    }

    std::optional<DeviceReport> readReport() {
        DeviceReport report;
        auto name = readTextUntil('{');
        if (!name) return std::nullopt;
        report.name = *name;
        auto c = readOneByteText();
        for (;;) {
            if (!c) return std::nullopt;
            if (*c == "}") return report;
            auto rest = readTextUntil(':');
            if (!rest) return std::nullopt;
            auto value = readTextUntil('\n');
            if (!value) return std::nullopt;
            report.fields[*c + *rest] = *value;
            c = readOneByteText();
        }
    }

    const std::string& stream_;
    std::size_t position_ = 0;
    bool failed_ = false;
};

TEST(ReportFramer, FramesMessagesBackToBack) {
    auto result = frame("STEERING{angle:12.5\napaTOI:activated\n}ACK{}STATE{lateral-control-method:HALF\n}");
    ASSERT_FALSE(result.failed);
    ASSERT_EQ(result.messages.size(), 3u);
    EXPECT_EQ(result.messages[0], (DeviceReport{"STEERING", {{"angle", "12.5"}, {"apaTOI", "activated"}}}));
    EXPECT_EQ(result.messages[1], (DeviceReport{"ACK", {}}));
    EXPECT_EQ(result.messages[2], (DeviceReport{"STATE", {{"lateral-control-method", "HALF"}}}));
}

TEST(ReportFramer, KeepsSeparatorsInsideValuesAndTheLastOfRepeatedKeys) {
    auto result = frame("X{a:b:c\nbrace:{}\nk:1\nk:2\nempty:\ncr:5\r\n}");
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.messages[0].fields,
              (Fields{{"a", "b:c"}, {"brace", "{}"}, {"k", "2"}, {"empty", ""}, {"cr", "5\r"}}));
}

TEST(ReportFramer, FirstByteOfAFieldIsAlwaysPartOfTheKey) {
    // A blank line's LF starts the next key; a ":" there is the key's first byte, not its end.
    auto result = frame("X{a:1\n\nb:2\n::3\n{:4\n}");
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.messages[0].fields, (Fields{{"a", "1"}, {"\nb", "2"}, {":", "3"}, {"{", "4"}}));

    // A line end after "}" becomes part of the next name.
    result = frame("ACK{}\nACK{}");
    ASSERT_EQ(result.messages.size(), 2u);
    EXPECT_EQ(result.messages[1].name, "\nACK");
}

TEST(ReportFramer, ClosingBraceCountsOnlyWhereAFieldLineStarts) {
    auto result = frame("X{k}ey:v}\n}");
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.messages[0].fields, (Fields{{"k}ey", "v}"}}));
}

TEST(ReportFramer, HighBitByteAtTheStartOfAFieldIsDropped) {
    auto result = frame(
        "X{\xC3"
        "abc:1\n}");
    ASSERT_FALSE(result.failed);
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.messages[0].fields, (Fields{{"abc", "1"}}));

    // The byte after the dropped one starts the key, even when it is a closing brace.
    result = frame("X{\x80}:2\n}");
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.messages[0].fields, (Fields{{"}", "2"}}));

    result = frame("X{\xFF:3\n}");
    ASSERT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.messages[0].fields, (Fields{{"", "3"}}));
}

TEST(ReportFramer, HighBitByteElsewhereEndsTheStream) {
    for (std::string stream : {"AC\xC3K{}", "X{ab\x80:1\n}", "X{a:1\xE9\n}"}) {
        auto result = frame(stream + "ACK{}");
        EXPECT_TRUE(result.failed) << stream;
        EXPECT_TRUE(result.messages.empty()) << stream;
    }
    // Messages before the bad byte are delivered; nothing after it is taken.
    auto result = frame(
        "ACK{}A\x90"
        "CK{}ACK{}");
    EXPECT_TRUE(result.failed);
    EXPECT_EQ(result.messages.size(), 1u);
    EXPECT_EQ(result.consumed, 7u);
}

TEST(ReportFramer, BoundsNameKeyValueAndMessageLength) {
    const std::size_t limit = ReportFramer::kMaximumTextLength;
    const std::string longest(limit, 'n');
    const std::string tooLong(limit + 1, 'n');

    EXPECT_EQ(frame(longest + "{}").messages.size(), 1u);
    EXPECT_TRUE(frame(tooLong + "{}").failed);
    EXPECT_EQ(frame("X{" + longest + ":v\n}").messages.size(), 1u);
    EXPECT_TRUE(frame("X{" + tooLong + ":v\n}").failed);
    EXPECT_EQ(frame("X{k:" + longest + "\n}").messages.size(), 1u);
    EXPECT_TRUE(frame("X{k:" + tooLong + "\n}").failed);

    // A device that never sends the terminator ends the link once the bound is passed.
    ReportFramer framer;
    std::string endless(100000, 'A');
    std::size_t used = framer.feed(bytesOf(endless));
    EXPECT_TRUE(framer.failed());
    EXPECT_EQ(framer.failure(), ReportFramer::Failure::textTooLong);
    EXPECT_EQ(used, limit + 1);
    // The same bound, wherever the chunks happen to split the stream.
    for (std::size_t chunk : {1u, 7u, 4096u}) {
        auto chunked = frameInChunks(endless, {chunk});
        EXPECT_TRUE(chunked.failed);
        EXPECT_EQ(chunked.consumed, limit + 1) << "chunks of " << chunk;
        chunked = frameInChunks("X{k:" + endless, {chunk});
        EXPECT_EQ(chunked.consumed, 4 + limit + 1) << "chunks of " << chunk;
    }

    // Endless distinct fields cannot grow the message without limit either.
    std::string many = "X{";
    for (int i = 0; many.size() <= ReportFramer::kMaximumMessageLength; ++i) many += "k" + std::to_string(i) + ":v\n";
    auto result = frame(many + "}");
    EXPECT_TRUE(result.failed);
    EXPECT_TRUE(result.messages.empty());
}

TEST(ReportFramer, RecycledFieldsCarryNoOldKeysOrValues) {
    ReportFramer framer;
    framer.feed(bytesOf("A{k1:a long value that does not fit inline\nk2:x\nk3:y\n}"));
    ASSERT_TRUE(framer.hasMessage());
    framer.recycle(framer.takeMessage());
    framer.feed(bytesOf("B{k2:1\nk2:2\nz:\n}"));
    ASSERT_TRUE(framer.hasMessage());
    EXPECT_EQ(framer.takeMessage(), (DeviceReport{"B", {{"k2", "2"}, {"z", ""}}}));
}

TEST(ReportFramer, ResetDropsAPartialMessageAndAFailure) {
    ReportFramer framer;
    framer.feed(bytesOf("STEER\xFF"));
    ASSERT_TRUE(framer.failed());
    EXPECT_EQ(framer.feed(bytesOf("ACK{}")), 0u);
    framer.reset();
    framer.feed(bytesOf("ST{a:1\n"));
    framer.reset();
    EXPECT_EQ(framer.feed(bytesOf("ACK{}")), 5u);
    ASSERT_TRUE(framer.hasMessage());
    EXPECT_EQ(framer.takeMessage(), (DeviceReport{"ACK", {}}));
}

TEST(ReportFramer, MatchesTheByteByByteReaderForAnyChunking) {
    // Random streams drawn mostly from the protocol's own bytes, so that every state and
    // transition is hit often; a few high-bit bytes end some streams early.
    const std::string alphabet = "{}:\n\r{}:\nab}{";
    std::mt19937 random(20240611);
    for (int round = 0; round < 2000; ++round) {
        std::string stream;
        const std::size_t length = random() % 200;
        for (std::size_t i = 0; i < length; ++i) {
            unsigned pick = random() % 100;
            if (pick < 2) {
                stream.push_back(static_cast<char>(0x80 + random() % 0x80));
            } else if (pick < 60) {
                stream.push_back(alphabet[random() % alphabet.size()]);
            } else {
                stream.push_back(static_cast<char>(random() % 0x80));
            }
        }
        const FrameResult expected = ByteReader(stream).readAll();
        ASSERT_EQ(frame(stream), expected) << "round " << round;
        ASSERT_EQ(frameInChunks(stream, {1}), expected) << "round " << round;
        std::vector<std::size_t> sizes;
        for (int i = 0; i < 50; ++i) sizes.push_back(1 + random() % 9);
        ASSERT_EQ(frameInChunks(stream, sizes), expected) << "round " << round;
    }
}

}  // namespace
}  // namespace orvane
