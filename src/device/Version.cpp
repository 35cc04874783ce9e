#include "device/Version.h"

#include <charconv>
#include <vector>

namespace orvane {

namespace {

// An optional single "+" or "-" followed by one or more ASCII digits, within 64 bits; else 0.
std::int64_t componentValue(std::string_view piece) {
    std::string_view digits = piece;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
    if (digits.empty()) return 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return 0;
    }
    // from_chars takes a leading "-" itself (so the minimum value reads exactly), not a "+".
    std::string_view number = piece.front() == '+' ? digits : piece;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size()) return 0;
    return value;
}

}  // namespace

Version::Version(std::string_view text) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    while (start <= text.size() && pieces.size() < 4) {
        std::size_t dot = text.find('.', start);
        std::size_t end = dot == std::string_view::npos ? text.size() : dot;
        if (end > start) pieces.push_back(text.substr(start, end - start));
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    std::int64_t* components[] = {&major, &minor, &revision, &build};
    for (std::size_t i = 0; i < pieces.size(); ++i) *components[i] = componentValue(pieces[i]);
}

std::string Version::description() const {
    std::string text = std::to_string(major) + "." + std::to_string(minor);
    if (revision > 0) {
        text += "." + std::to_string(revision);
    } else if (revision == 0 && build > 0) {
        text += ".0";
    }
    if (build > 0) text += "." + std::to_string(build);
    return text;
}

bool Version::hasGreaterComponent(const Version& other) const {
    return major > other.major || minor > other.minor || revision > other.revision || build > other.build;
}

std::ostream& operator<<(std::ostream& stream, const Version& version) { return stream << version.description(); }

}  // namespace orvane
