#include "device/ValueSyntax.h"

#include <locale.h>
#include <stdlib.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <compare>
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

// A time since the epoch as whole seconds (rounded down) and the non-negative rest, without
// converting the seconds back to the clock's ticks: the earliest instants of the clock have
// no whole second of their own that it can hold (the clock starts at 00:12:43.145224192 on
// 1677-09-21 with nanosecond ticks), so floor-and-subtract would overflow there.
struct SplitTime {
    std::chrono::seconds seconds;
    std::chrono::system_clock::duration rest;  // 0 <= rest < 1 s

    friend auto operator<=>(const SplitTime&, const SplitTime&) = default;
};

SplitTime split(std::chrono::system_clock::duration sinceEpoch) {
    using namespace std::chrono;
    auto wholeSeconds = duration_cast<seconds>(sinceEpoch);  // rounded toward zero
    auto rest = sinceEpoch % seconds{1};                     // same sign as sinceEpoch
    if (rest < system_clock::duration::zero()) {
        wholeSeconds -= seconds{1};
        rest += seconds{1};
    }
    return {wholeSeconds, rest};
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

std::optional<std::chrono::system_clock::time_point> parseInternetDateTime(std::string_view text,
                                                                          bool fractionRequired) {
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
    if (!second) return std::nullopt;
    const bool hasFraction = expect(text, p, '.');
    if (!hasFraction && fractionRequired) return std::nullopt;

    std::int64_t fractionNanoseconds = 0;
    std::size_t fractionDigits = 0;
    while (hasFraction && p < text.size() && isDigit(text[p])) {
        if (++fractionDigits > 9) return std::nullopt;
        fractionNanoseconds = fractionNanoseconds * 10 + (text[p] - '0');
        ++p;
    }
    if (hasFraction && fractionDigits == 0) return std::nullopt;
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

    // The local time minus its offset is the UTC instant. It must fit the system clock exactly,
    // fraction included, so that every instant accepted here can also be formatted and compared.
    const sys_seconds instant =
        sys_days{date} + hours{*hour} + minutes{*minute} + seconds{*second} - minutes{offsetMinutes};
    const SplitTime wanted{instant.time_since_epoch(),
                           duration_cast<system_clock::duration>(nanoseconds{fractionNanoseconds})};
    if (wanted < split(system_clock::time_point::min().time_since_epoch()) ||
        wanted > split(system_clock::time_point::max().time_since_epoch())) {
        return std::nullopt;
    }
    // Before the epoch the whole seconds alone may lie outside the clock (the earliest second
    // is only partly held): add them one second short and the fraction less one second.
    if (wanted.seconds < seconds::zero()) {
        return system_clock::time_point{duration_cast<system_clock::duration>(wanted.seconds + seconds{1}) +
                                        (wanted.rest - seconds{1})};
    }
    return system_clock::time_point{duration_cast<system_clock::duration>(wanted.seconds) + wanted.rest};
}

std::string internetDateTimeText(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    // Days and seconds are counted in whole seconds and the fraction on its own: the day that
    // holds the clock's earliest instant starts before the clock does, so it has no value in
    // the clock's own ticks.
    const SplitTime sinceEpoch = split(time.time_since_epoch());
    const sys_seconds second{sinceEpoch.seconds};
    const auto dayStart = floor<days>(second);
    const year_month_day date{dayStart};
    const hh_mm_ss<seconds> clock{second - dayStart};
    const long long fraction = duration_cast<nanoseconds>(sinceEpoch.rest).count();

    char buffer[64];
    int length =
        std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02lld:%02lld:%02lld", static_cast<int>(date.year()),
                      static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                      static_cast<long long>(clock.hours().count()), static_cast<long long>(clock.minutes().count()),
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
