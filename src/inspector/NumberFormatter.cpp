#include "inspector/NumberFormatter.h"

#include <unicode/locid.h>
#include <unicode/numberformatter.h>

namespace orvane {

// The ICU formatter for the locale it was made for; made again when the locale changes.
struct NumberFormatter::Cache {
    std::string localeName;
    icu::number::LocalizedNumberFormatter formatter;
};

NumberFormatter::NumberFormatter() = default;
NumberFormatter::~NumberFormatter() = default;

std::optional<std::string> NumberFormatter::locale() const {
    std::lock_guard lock(mutex_);
    return locale_;
}

void NumberFormatter::setLocale(std::optional<std::string> locale) {
    std::lock_guard lock(mutex_);
    locale_ = std::move(locale);
}

std::optional<std::string> NumberFormatter::stringForObjectValue(const FormatterValue& value) const {
    const auto* integer = std::get_if<std::int64_t>(&value);
    const auto* number = std::get_if<double>(&value);
    if (!integer && !number) return std::nullopt;

    std::lock_guard lock(mutex_);
    const std::string localeName = locale_ ? *locale_ : std::string(icu::Locale::getDefault().getName());
    if (!cache_ || cache_->localeName != localeName) {
        cache_ = std::make_unique<Cache>(
            Cache{localeName, icu::number::NumberFormatter::withLocale(icu::Locale(localeName.c_str()))
                                  .grouping(UNUM_GROUPING_OFF)
                                  .precision(icu::number::Precision::integer())
                                  .roundingMode(UNUM_ROUND_HALFEVEN)});
    }

    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString text = integer ? cache_->formatter.formatInt(*integer, status).toString(status)
                                      : cache_->formatter.formatDouble(*number, status).toString(status);
    if (U_FAILURE(status)) return std::nullopt;
    std::string result;
    text.toUTF8String(result);
    return result;
}

}  // namespace orvane
