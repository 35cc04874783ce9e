#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "inspector/Formatter.h"

namespace orvane {

// Writes numbers as whole numbers without grouping separators or fraction digits ("1234567",
// "-42"), with the digits and minus sign of a locale. Doubles are rounded half to even; values
// that are not numbers show nothing.
class NumberFormatter : public Formatter {
public:
    NumberFormatter();
    ~NumberFormatter() override;

    // The ICU locale name; none follows ICU's default locale at the time of formatting.
    std::optional<std::string> locale() const;
    void setLocale(std::optional<std::string> locale);

    std::optional<std::string> stringForObjectValue(const FormatterValue& value) const override;

private:
    struct Cache;

    mutable std::mutex mutex_;
    std::optional<std::string> locale_;
    mutable std::unique_ptr<Cache> cache_;
};

}  // namespace orvane
