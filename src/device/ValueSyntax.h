#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// The value syntaxes of the device's reports.

// The whole text as one floating-point number as strtod reads it in the C locale, whatever the
// process locale: no white space anywhere, nothing left over, no overflow or underflow to zero.
std::optional<double> parseNumber(std::string_view text);

// An optional "+" or "-" followed by one or more ASCII digits and nothing else, in 64 bits.
std::optional<std::int64_t> parseDecimalInteger(std::string_view text);

// An internet date and time with fractional seconds: YYYY-MM-DDTHH:MM:SS.F followed by "Z" or
// an offset +HH:MM / -HH:MM, with 1 to 9 fraction digits. Anything else gives nothing, and so
// does an instant the system clock cannot hold (with nanosecond ticks: before
// 1677-09-21T00:12:43.145224192Z or after 2262-04-11T23:47:16.854775807Z). Unless
// `fractionRequired`, the fraction (with its ".") may also be left out.
std::optional<std::chrono::system_clock::time_point> parseInternetDateTime(std::string_view text,
                                                                          bool fractionRequired = true);

// The same form in UTC ("Z"), with 3 fraction digits, or 6 or 9 when they are needed. Any
// instant of the clock can be written, its earliest and latest included.
std::string internetDateTimeText(std::chrono::system_clock::time_point time);

}  // namespace orvane
