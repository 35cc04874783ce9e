#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "inspector/Formatter.h"

namespace orvane {

// Writes a date in the date and time styles of a locale, in a time zone (ICU). With the short
// styles an English, United States locale gives "6/14/19, 10:30 AM". Values that are not dates
// show nothing.
class DateFormatter : public Formatter {
public:
    enum class Style { none, shortStyle, mediumStyle, longStyle, fullStyle };

    DateFormatter(Style dateStyle, Style timeStyle);
    ~DateFormatter() override;

    Style dateStyle() const { return dateStyle_; }
    Style timeStyle() const { return timeStyle_; }

    // The ICU locale name; none follows ICU's default locale at the time of formatting.
    std::optional<std::string> locale() const;
    void setLocale(std::optional<std::string> locale);

    // An Olson time-zone identifier ("Europe/Berlin"); none follows ICU's default time zone at
    // the time of formatting.
    std::optional<std::string> timeZone() const;
    void setTimeZone(std::optional<std::string> timeZone);

    std::optional<std::string> stringForObjectValue(const FormatterValue& value) const override;

private:
    struct Cache;

    const Style dateStyle_;
    const Style timeStyle_;
    mutable std::mutex mutex_;
    std::optional<std::string> locale_;
    std::optional<std::string> timeZone_;
    mutable std::unique_ptr<Cache> cache_;
};

}  // namespace orvane
