#pragma once

#include <string>
#include <utility>

namespace orvane {

// How the vehicle takes lateral (steering) requests. `other` carries a text the device sent.
struct LateralControlMethod {
    enum class Case { other, unknown, half, apa, configuring };
    using enum Case;

    Case kind = unknown;
    std::string otherText;  // only for `other`

    static LateralControlMethod makeOther(std::string text) { return {other, std::move(text)}; }
    // Decodes the device's text: "HALF", "APA", "" (configuring), anything else as `other`.
    static LateralControlMethod fromDeviceText(const std::string& text);

    friend bool operator==(const LateralControlMethod&, const LateralControlMethod&) = default;
};

// The text shown to the user: the carried text for `other`, "Unknown", "HaLF", "APA", "Configuring".
std::string description(const LateralControlMethod& method);
// The case's name in code: "other", "unknown", "half", "apa", "configuring".
std::string caseName(const LateralControlMethod& method);

}  // namespace orvane
