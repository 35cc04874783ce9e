#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Error.h"

namespace orvane {

// Decodes the flashing tool's output as one UTF-8 stream: a character split across two reads is
// completed by the second, a malformed byte becomes U+FFFD, and nothing is dropped.
class Utf8StreamDecoder {
public:
    // The text of `bytes`, less an incomplete character at the end, which waits for the next call.
    std::string decode(std::string_view bytes);
    // What is left at the end of the stream: an incomplete character becomes U+FFFD.
    std::string finish();

private:
    std::string pending_;
};

// What the tool is doing, as far as its output tells.
struct FlashingProgress {
    enum class Stage { erasing, writing, verifying, finishing };
    Stage stage = Stage::writing;
    // Pages done of all pages, when the tool has printed a progress bar for the stage.
    std::optional<double> fraction;

    friend bool operator==(const FlashingProgress&, const FlashingProgress&) = default;
};

// Follows the tool's output: "Erase flash", "Write N bytes to flash (P pages)", the progress bars
// "[====   ] 40% (20/49 pages)" (redrawn after carriage returns), "Verify N bytes of flash",
// "Set boot flash true".
class FlashingToolOutputParser {
public:
    // Feeds decoded text; returns the progress when it changed.
    std::optional<FlashingProgress> consume(std::string_view text);
    const std::optional<FlashingProgress>& progress() const { return progress_; }

private:
    std::optional<FlashingProgress> lineEnded();

    std::string line_;
    std::optional<FlashingProgress> progress_;
};

// The tool's output as a terminal shows it: a carriage return starts its line again, so a
// progress bar redrawn hundreds of times stands once.
class TerminalTranscript {
public:
    void append(std::string_view text);
    std::string text() const;

private:
    std::string finished_;   // whole lines, each with its line feed
    std::string line_;       // the line being written
    bool returned_ = false;  // a carriage return came last: the next character starts the line again
};

// The outcome of a run from its whole output and how the tool ended (a wait status).
//
// A run succeeds only when the tool exited normally with status 0 and its last non-empty line
// names no failure ("failed" or "No device": then the outcome is BossacError reportedFailure
// with that line; no line at all is BossacError unknown). A run that ended by a signal or with
// another status fails: its reported line is the last line that names the failure, else the
// last non-empty line.
ErrorRef outcomeOfRun(std::string_view log, int waitStatus);

}  // namespace orvane
