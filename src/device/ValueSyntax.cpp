#include "device/ValueSyntax.h"

#include <locale.h>
#include <stdlib.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace orvane {

namespace {

// strtod must not follow the process locale (a decimal comma would break every number).
locale_t cLocale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Exactly `count` ASCII digits at `position`; advances past them.
std::optional<int> digits(std::string_view text, std::size_t& position, std::size_t count) {
    if (position + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        char c = text[position + i];
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    position += count;
    return value;
}

bool expect(std::string_view text, std::size_t& position, char c) {
    if (position >= text.size() || text[position] != c) return false;
    ++position;
    return true;
}

}  // namespace

std::optional<double> parseNumber(std::string_view text) {
    if (text.empty() || isCSpace(text.front())) return std::nullopt;
    // strtod needs a terminated string; a NUL inside the value stops it early and fails below.
    std::string terminated(text);
    char* end = nullptr;
    errno = 0;
    double value = ::strtod_l(terminated.c_str(), &end, cLocale());
    const int error = errno;
    if (end != terminated.c_str() + terminated.size()) return std::nullopt;
    if (error == ERANGE && (std::isinf(value) || value == 0)) return std::nullopt;
    return value;
}

std::optional<std::int64_t> parseDecimalInteger(std::string_view text) {
    std::string_view digitsPart = text;
    if (!digitsPart.empty() && (digitsPart.front() == '+' || digitsPart.front() == '-')) digitsPart.remove_prefix(1);
    if (digitsPart.empty()) return std::nullopt;
    for (char c : digitsPart) {
        if (!isDigit(c)) return std::nullopt;
    }
    std::string_view number = text.front() == '+' ? digitsPart : text;
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size()) return std::nullopt;
    return value;
}

std::optional<std::chrono::system_clock::time_point> parseInternetDateTime(std::string_view text) {
    using namespace std::chrono;
    std::size_t p = 0;
    auto year = digits(text, p, 4);
    if (!year || !expect(text, p, '-')) return std::nullopt;
    auto month = digits(text, p, 2);
    if (!month || !expect(text, p, '-')) return std::nullopt;
    auto day = digits(text, p, 2);
    if (!day || !expect(text, p, 'T')) return std::nullopt;
    auto hour = digits(text, p, 2);
    if (!hour || !expect(text, p, ':')) return std::nullopt;
    auto minute = digits(text, p, 2);
    if (!minute || !expect(text, p, ':')) return std::nullopt;
    auto second = digits(text, p, 2);
    if (!second || !expect(text, p, '.')) return std::nullopt;

    std::int64_t fractionNanoseconds = 0;
    std::size_t fractionDigits = 0;
    while (p < text.size() && isDigit(text[p])) {
        if (++fractionDigits > 9) return std::nullopt;
        fractionNanoseconds = fractionNanoseconds * 10 + (text[p] - '0');
        ++p;
    }
    if (fractionDigits == 0) return std::nullopt;
    for (std::size_t i = fractionDigits; i < 9; ++i) fractionNanoseconds *= 10;

    int offsetMinutes = 0;
    if (expect(text, p, 'Z')) {
        offsetMinutes = 0;
    } else if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        const int sign = text[p] == '-' ? -1 : 1;
        ++p;
        auto offsetHours = digits(text, p, 2);
        if (!offsetHours || !expect(text, p, ':')) return std::nullopt;
        auto offsetMinutePart = digits(text, p, 2);
        if (!offsetMinutePart || *offsetHours > 23 || *offsetMinutePart > 59) return std::nullopt;
        offsetMinutes = sign * (*offsetHours * 60 + *offsetMinutePart);
    } else {
        return std::nullopt;
    }
    if (p != text.size()) return std::nullopt;

    const year_month_day date{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                              std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;

    // The local time minus its offset is the UTC instant; it must fit the system clock.
    const sys_seconds instant =
        sys_days{date} + hours{*hour} + minutes{*minute} + seconds{*second} - minutes{offsetMinutes};
    const auto earliest = duration_cast<seconds>(system_clock::time_point::min().time_since_epoch());
    const auto latest = duration_cast<seconds>(system_clock::time_point::max().time_since_epoch());
    if (instant.time_since_epoch() <= earliest || instant.time_since_epoch() >= latest) return std::nullopt;
    return system_clock::time_point{duration_cast<system_clock::duration>(instant.time_since_epoch()) +
                                    duration_cast<system_clock::duration>(nanoseconds{fractionNanoseconds})};
}

std::string internetDateTimeText(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto nanosecondsSinceEpoch = time_point_cast<nanoseconds>(time);
    const auto dayStart = floor<days>(nanosecondsSinceEpoch);
    const year_month_day date{dayStart};
    const hh_mm_ss<nanoseconds> clock{nanosecondsSinceEpoch - dayStart};
    const long long fraction = clock.subseconds().count();

    char buffer[64];
    int length = std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02lld:%02lld:%02lld", static_cast<int>(date.year()),
                               static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                               static_cast<long long>(clock.hours().count()),
                               static_cast<long long>(clock.minutes().count()),
                               static_cast<long long>(clock.seconds().count()));
    if (fraction % 1000000 == 0) {
        length += std::snprintf(buffer + length, sizeof buffer - length, ".%03lldZ", fraction / 1000000);
    } else if (fraction % 1000 == 0) {
        length += std::snprintf(buffer + length, sizeof buffer - length, ".%06lldZ", fraction / 1000);
    } else {
        length += std::snprintf(buffer + length, sizeof buffer - length, ".%09lldZ", fraction);
    }
    return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace orvane
