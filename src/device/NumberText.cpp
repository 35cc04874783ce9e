#include "device/NumberText.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace orvane {

std::string numberText(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    if (value == 0) return std::signbit(value) ? "-0.0" : "0.0";

    char buffer[64];
    const double magnitude = std::fabs(value);
    constexpr double kPositionalMax = 18014398509481984.0;  // 2^54
    if (magnitude >= 0.0001 && magnitude <= kPositionalMax) {
        auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
        std::string text(buffer, end);
        if (text.find('.') == std::string::npos) text += ".0";
        return text;
    }
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    return std::string(buffer, end);
}

std::string fixedText(double value, int decimals) {
    char buffer[64];
    if (!std::isfinite(value)) return numberText(value);
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (error != std::errc()) return numberText(value);
    std::string text(buffer, end);
    if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

}  // namespace orvane
