#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "update/FlashingToolOutput.h"

namespace orvane {
namespace {

using Stage = FlashingProgress::Stage;

// bossac 1.9.1's output for a 4-page image (as it prints it against the simulated bootloader,
// with an erase added): each progress bar is redrawn after a carriage return.
const std::string kToolOutput =
    "Erase flash\n\nDone in 0.012 seconds\n"
    "Write 200 bytes to flash (4 pages)\n"
    "\r[          ] 0% (0/4 pages)\r[=====     ] 50% (2/4 pages)\r[==========] 100% (4/4 pages)\n"
    "Done in 0.251 seconds\n"
    "Verify 200 bytes of flash\n"
    "\r[=====     ] 50% (2/4 pages)\r[==========] 100% (4/4 pages)\n"
    "Verify successful\nDone in 0.020 seconds\nSet boot flash true\n";

std::vector<std::string> characters(const std::string& text) {
    std::vector<std::string> pieces;
    for (char c : text) pieces.emplace_back(1, c);
    return pieces;
}

TEST(FlashingToolOutput, ProgressFollowsTheStagesAndBarsTheToolPrints) {
    struct Case {
        std::vector<std::string> reads;
        std::vector<FlashingProgress> changes;  // in the order they are reported
    };
    const Case cases[] = {
        {characters(kToolOutput),
         {{Stage::erasing, std::nullopt},
          {Stage::writing, 0.0},
          {Stage::writing, 0.5},
          {Stage::writing, 1.0},
          {Stage::verifying, 0.0},
          {Stage::verifying, 0.5},
          {Stage::verifying, 1.0},
          {Stage::finishing, std::nullopt}}},
        // A bar split across reads, and one the tool never ends with a line end.
        {{"Write 64 bytes to flash (4 pages)\n\r[==   ] 2", "5% (1/4 pa", "ges)"},
         {{Stage::writing, 0.0}, {Stage::writing, 0.25}}},
        // No bar before a stage, and no impossible page counts.
        {{"[=====] 50% (2/4 pages)\n", "Verify 64 bytes of flash\n", "\r[=] 125% (5/4 pages)", "\r[=] (1/0 pages)\n"},
         {{Stage::verifying, 0.0}}},
    };
    for (const auto& [reads, changes] : cases) {
        FlashingToolOutputParser parser;
        std::vector<FlashingProgress> reported;
        for (const auto& read : reads) {
            if (const auto change = parser.consume(read)) reported.push_back(*change);
        }
        EXPECT_EQ(reported, changes) << reads.front();
    }
    // All at once, only the last change is reported; the parser holds it.
    FlashingToolOutputParser whole;
    EXPECT_EQ(whole.consume(kToolOutput), (FlashingProgress{Stage::finishing, std::nullopt}));
    EXPECT_EQ(whole.progress(), (FlashingProgress{Stage::finishing, std::nullopt}));
}

TEST(FlashingToolOutput, TheTranscriptShowsWhatATerminalWouldLeave) {
    struct Case {
        std::vector<std::string> appends;
        std::string text;
    };
    const Case cases[] = {
        {{kToolOutput},
         "Erase flash\n\nDone in 0.012 seconds\nWrite 200 bytes to flash (4 pages)\n[==========] 100% (4/4 pages)\n"
         "Done in 0.251 seconds\nVerify 200 bytes of flash\n[==========] 100% (4/4 pages)\n"
         "Verify successful\nDone in 0.020 seconds\nSet boot flash true\n"},
        {characters("Verify failed\r\nPage errors: 2\r\n"), "Verify failed\nPage errors: 2\n"},
        {{"[===] 100% (4/4)\r", "[=] 25%"}, "[=] 25%"},  // the redraw replaces the line
        {{"abc\r"}, "abc"},                              // until something is written
        {{"one\n", "\rtwo\rthree"}, "one\nthree"},
    };
    for (const auto& [appends, text] : cases) {
        TerminalTranscript transcript;
        for (const auto& piece : appends) transcript.append(piece);
        EXPECT_EQ(transcript.text(), text);
    }
}

}  // namespace
}  // namespace orvane
