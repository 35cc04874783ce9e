#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "device/Version.h"

namespace orvane {

// A value handed to a formatter. The alternatives keep a double, an integer, a date, a text and
// a version apart; std::monostate stands for "no value".
using FormatterValue =
    std::variant<std::monostate, double, std::int64_t, std::chrono::system_clock::time_point, std::string, Version>;

// Turns a value into display text, or into none when it cannot show the value.
class Formatter {
public:
    virtual ~Formatter() = default;

    virtual std::optional<std::string> stringForObjectValue(const FormatterValue& value) const = 0;

    // Reads a value back from text. Formatters of this console only format, so the default
    // refuses every text and leaves `object` and `errorDescription` untouched.
    virtual bool getObjectValue(FormatterValue* object, const std::string& string,
                                std::string* errorDescription) const {
        (void)object;
        (void)string;
        (void)errorDescription;
        return false;
    }
};

// The text a value shows when no formatter is set: a text unchanged, an integer in decimal, a
// double as the console's number text, a version by its description, a date in UTC as
// "2019-06-14 10:30:00 +0000". None for no value.
std::optional<std::string> plainValueText(const FormatterValue& value);

}  // namespace orvane
