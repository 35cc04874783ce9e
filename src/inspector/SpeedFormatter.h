#pragma once

#include <optional>
#include <string>

#include "inspector/Formatter.h"

namespace orvane {

// Writes a speed given in kilometres per hour in the unit of a locale's measurement system:
// "100.0 km/hour" where the locale is metric, "62.0 miles/hour" elsewhere (the value times
// 0.62). A text value is shown unchanged; anything else shows nothing.
class SpeedFormatter : public Formatter {
public:
    SpeedFormatter() = default;

    // The ICU locale whose measurement system decides the unit ("de_DE", "en_US"); none means
    // the user's current locale (ICU's default locale) at the time of formatting.
    const std::optional<std::string>& locale() const { return locale_; }
    void setLocale(std::optional<std::string> locale) { locale_ = std::move(locale); }

    std::optional<std::string> stringForObjectValue(const FormatterValue& value) const override;

    // This formatter never parses.
    bool getObjectValue(FormatterValue* object, const std::string& string,
                        std::string* errorDescription) const override;

    // The factor from kilometres to miles that the console uses.
    static constexpr double milesPerKilometre = 0.62;

private:
    bool usesMetricSystem() const;

    std::optional<std::string> locale_;
};

}  // namespace orvane
