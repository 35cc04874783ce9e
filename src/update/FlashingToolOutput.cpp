#include "update/FlashingToolOutput.h"

#include <sys/wait.h>

#include <charconv>
#include <cstdint>
#include <vector>

#include <unicode/utf8.h>

#include "platform/Translation.h"
#include "update/BossacError.h"

namespace orvane {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

std::vector<std::string_view> nonEmptyLines(std::string_view log) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string_view::npos) end = log.size();
        if (end > start) lines.push_back(log.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool namesFailure(std::string_view line) {
    return line.find("failed") != std::string_view::npos || line.find("No device") != std::string_view::npos;
}

std::string describeEnd(int waitStatus) {
    if (WIFSIGNALED(waitStatus)) {
        return withArgs(translate("FlashingToolOutput", "the tool was ended by signal %1"),
                        std::to_string(WTERMSIG(waitStatus)));
    }
    if (WIFEXITED(waitStatus)) {
        return withArgs(translate("FlashingToolOutput", "the tool exited with status %1"),
                        std::to_string(WEXITSTATUS(waitStatus)));
    }
    return translate("FlashingToolOutput", "the tool ended abnormally");
}

// "(20/49 pages)" at the end of a progress bar: 20/49.
std::optional<double> pagesFraction(std::string_view text) {
    const std::size_t close = text.rfind(" pages)");
    if (close == std::string_view::npos) return std::nullopt;
    const std::size_t open = text.rfind('(', close);
    if (open == std::string_view::npos) return std::nullopt;
    const std::string_view pages = text.substr(open + 1, close - open - 1);
    const std::size_t slash = pages.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    std::uint64_t done = 0, all = 0;
    auto first = std::from_chars(pages.data(), pages.data() + slash, done);
    auto second = std::from_chars(pages.data() + slash + 1, pages.data() + pages.size(), all);
    if (first.ec != std::errc() || second.ec != std::errc() || all == 0 || done > all) return std::nullopt;
    return static_cast<double>(done) / static_cast<double>(all);
}

}  // namespace

std::string Utf8StreamDecoder::decode(std::string_view bytes) {
    pending_.append(bytes);
    std::string text;
    text.reserve(pending_.size());
    const auto* data = reinterpret_cast<const std::uint8_t*>(pending_.data());
    const auto length = static_cast<std::int32_t>(pending_.size());
    std::int32_t index = 0;
    while (index < length) {
        const std::int32_t start = index;
        UChar32 character = 0;
        U8_NEXT(data, index, length, character);
        if (character >= 0) {
            text.append(pending_, static_cast<std::size_t>(start), static_cast<std::size_t>(index - start));
            continue;
        }
        // A malformed sequence that reaches the end may be a character the next read completes.
        if (index == length && U8_COUNT_TRAIL_BYTES(data[start]) >= length - start && U8_IS_LEAD(data[start])) {
            pending_.erase(0, static_cast<std::size_t>(start));
            return text;
        }
        text.append(kReplacement);
    }
    pending_.clear();
    return text;
}

std::string Utf8StreamDecoder::finish() {
    std::string rest = pending_.empty() ? std::string() : std::string(kReplacement);
    pending_.clear();
    return rest;
}

std::optional<FlashingProgress> FlashingToolOutputParser::consume(std::string_view text) {
    std::optional<FlashingProgress> changed;
    for (char c : text) {
        if (c == '\n' || c == '\r') {
            if (auto progress = lineEnded()) changed = progress;
            line_.clear();
        } else {
            line_.push_back(c);
            // A progress bar is redrawn without a line end until the next one begins.
            if (c == ')' && line_.ends_with(" pages)")) {
                if (auto progress = lineEnded()) changed = progress;
            }
        }
    }
    return changed;
}

std::optional<FlashingProgress> FlashingToolOutputParser::lineEnded() {
    std::optional<FlashingProgress> next = progress_;
    const std::string_view line = line_;
    if (line.starts_with("Erase flash")) {
        next = FlashingProgress{FlashingProgress::Stage::erasing, std::nullopt};
    } else if (line.starts_with("Write ") && line.find(" to flash") != std::string_view::npos) {
        next = FlashingProgress{FlashingProgress::Stage::writing, 0.0};
    } else if (line.starts_with("Verify ") && line.find(" of flash") != std::string_view::npos) {
        next = FlashingProgress{FlashingProgress::Stage::verifying, 0.0};
    } else if (line.starts_with("Set boot flash")) {
        next = FlashingProgress{FlashingProgress::Stage::finishing, std::nullopt};
    } else if (auto fraction = pagesFraction(line); fraction && progress_) {
        next = FlashingProgress{progress_->stage, fraction};
    }
    if (next == progress_) return std::nullopt;
    progress_ = next;
    return progress_;
}

void TerminalTranscript::append(std::string_view text) {
    for (char c : text) {
        if (c == '\n') {
            finished_ += line_;
            finished_ += '\n';
            line_.clear();
            returned_ = false;
        } else if (c == '\r') {
            returned_ = true;
        } else {
            if (returned_) line_.clear();
            returned_ = false;
            line_.push_back(c);
        }
    }
}

std::string TerminalTranscript::text() const { return finished_ + line_; }

ErrorRef outcomeOfRun(std::string_view log, int waitStatus) {
    const std::vector<std::string_view> lines = nonEmptyLines(log);
    const bool endedWell = WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0;
    if (endedWell) {
        if (lines.empty()) return std::make_shared<BossacError>(BossacError::unknown());
        if (namesFailure(lines.back())) {
            return std::make_shared<BossacError>(BossacError::reportedFailure(std::string(lines.back())));
        }
        return nullptr;
    }
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (namesFailure(*line)) {
            return std::make_shared<BossacError>(
                BossacError::reportedFailure(std::string(*line), describeEnd(waitStatus)));
        }
    }
    if (lines.empty()) return std::make_shared<BossacError>(BossacError::endedAbnormally(describeEnd(waitStatus)));
    return std::make_shared<BossacError>(
        BossacError::reportedFailure(std::string(lines.back()), describeEnd(waitStatus)));
}

}  // namespace orvane
