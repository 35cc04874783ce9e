#include "inspector/SpeedFormatter.h"

#include <bit>
#include <cstdint>

#include <unicode/locid.h>
#include <unicode/ulocdata.h>

#include "device/NumberText.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

// Whether a double holds the integer exactly: at most 53 significant bits.
bool fitsDouble(std::int64_t value) {
    std::uint64_t magnitude =
        value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    if (magnitude == 0) return true;
    magnitude >>= std::countr_zero(magnitude);
    return std::bit_width(magnitude) <= 53;
}

}  // namespace

bool SpeedFormatter::usesMetricSystem() const {
    const std::string name = locale_ ? *locale_ : std::string(icu::Locale::getDefault().getName());
    UErrorCode status = U_ZERO_ERROR;
    const UMeasurementSystem system = ulocdata_getMeasurementSystem(name.c_str(), &status);
    // ICU falls back to the root data (metric) for locales it does not know; a failure is
    // treated the same way.
    if (U_FAILURE(status)) return true;
    return system == UMS_SI;
}

std::optional<std::string> SpeedFormatter::stringForObjectValue(const FormatterValue& value) const {
    std::optional<double> kilometresPerHour;
    if (const auto* number = std::get_if<double>(&value)) {
        kilometresPerHour = *number;
    } else if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        if (fitsDouble(*integer)) kilometresPerHour = static_cast<double>(*integer);
    } else if (const auto* text = std::get_if<std::string>(&value)) {
        return *text;
    }
    if (!kilometresPerHour) return std::nullopt;

    if (usesMetricSystem()) return withArgs(translate("SpeedFormatter", "%1 km/hour"), numberText(*kilometresPerHour));
    return withArgs(translate("SpeedFormatter", "%1 miles/hour"), numberText(*kilometresPerHour * milesPerKilometre));
}

bool SpeedFormatter::getObjectValue(FormatterValue*, const std::string&, std::string*) const { return false; }

}  // namespace orvane
