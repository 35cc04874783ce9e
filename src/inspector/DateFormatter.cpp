#include "inspector/DateFormatter.h"

#include <chrono>

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace orvane {

namespace {

icu::DateFormat::EStyle icuStyle(DateFormatter::Style style) {
    switch (style) {
        case DateFormatter::Style::shortStyle: return icu::DateFormat::kShort;
        case DateFormatter::Style::mediumStyle: return icu::DateFormat::kMedium;
        case DateFormatter::Style::longStyle: return icu::DateFormat::kLong;
        case DateFormatter::Style::fullStyle: return icu::DateFormat::kFull;
        case DateFormatter::Style::none: break;
    }
    return icu::DateFormat::kNone;
}

std::string defaultTimeZoneID() {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    icu::UnicodeString id;
    zone->getID(id);
    std::string result;
    id.toUTF8String(result);
    return result;
}

}  // namespace

// The ICU formatter for the locale and time zone it was made for; made again when either changes.
struct DateFormatter::Cache {
    std::string localeName;
    std::string timeZoneID;
    std::unique_ptr<icu::DateFormat> format;
};

DateFormatter::DateFormatter(Style dateStyle, Style timeStyle) : dateStyle_(dateStyle), timeStyle_(timeStyle) {}
DateFormatter::~DateFormatter() = default;

std::optional<std::string> DateFormatter::locale() const {
    std::lock_guard lock(mutex_);
    return locale_;
}

void DateFormatter::setLocale(std::optional<std::string> locale) {
    std::lock_guard lock(mutex_);
    locale_ = std::move(locale);
}

std::optional<std::string> DateFormatter::timeZone() const {
    std::lock_guard lock(mutex_);
    return timeZone_;
}

void DateFormatter::setTimeZone(std::optional<std::string> timeZone) {
    std::lock_guard lock(mutex_);
    timeZone_ = std::move(timeZone);
}

std::optional<std::string> DateFormatter::stringForObjectValue(const FormatterValue& value) const {
    const auto* date = std::get_if<std::chrono::system_clock::time_point>(&value);
    if (!date) return std::nullopt;

    std::lock_guard lock(mutex_);
    const std::string localeName = locale_ ? *locale_ : std::string(icu::Locale::getDefault().getName());
    const std::string timeZoneID = timeZone_ ? *timeZone_ : defaultTimeZoneID();
    if (!cache_ || cache_->localeName != localeName || cache_->timeZoneID != timeZoneID) {
        std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(
            icuStyle(dateStyle_), icuStyle(timeStyle_), icu::Locale(localeName.c_str())));
        if (!format) return std::nullopt;
        format->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(timeZoneID)));
        cache_ = std::make_unique<Cache>(Cache{localeName, timeZoneID, std::move(format)});
    }

    // ICU dates are milliseconds since 1970 as a double.
    const UDate milliseconds = std::chrono::duration<double, std::milli>(date->time_since_epoch()).count();
    icu::UnicodeString text;
    cache_->format->format(milliseconds, text);
    std::string result;
    text.toUTF8String(result);
    return result;
}

}  // namespace orvane
