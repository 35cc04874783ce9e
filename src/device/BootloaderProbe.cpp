#include "device/BootloaderProbe.h"

namespace orvane {

namespace {

constexpr std::size_t kMaximumLineLength = 200;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isPrintable(char c) { return c >= 0x20 && c <= 0x7E; }

}  // namespace

std::optional<std::string> bootloaderVersionLine(std::string_view answer) {
    const auto start = answer.find_first_not_of("\r\n");
    if (start == std::string_view::npos) return std::nullopt;
    answer.remove_prefix(start);
    if (answer.size() < 4 || answer.substr(answer.size() - 2) != "\n\r") return std::nullopt;
    const std::string_view line = answer.substr(0, answer.size() - 2);
    if (line.size() > kMaximumLineLength || line[0] != 'v' || line.size() < 2 || !isDigit(line[1])) {
        return std::nullopt;
    }
    // The version number: digits, groups joined by single dots, up to the end or a blank.
    std::size_t at = 1;
    while (at < line.size() && (isDigit(line[at]) || (line[at] == '.' && isDigit(line[at - 1]) &&
                                                      at + 1 < line.size() && isDigit(line[at + 1])))) {
        ++at;
    }
    if (at < line.size() && line[at] != ' ') return std::nullopt;
    for (char c : line) {
        if (!isPrintable(c)) return std::nullopt;
    }
    return std::string(line);
}

}  // namespace orvane
