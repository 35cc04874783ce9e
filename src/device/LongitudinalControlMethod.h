#pragma once

#include <string>
#include <utility>

namespace orvane {

// How the vehicle takes longitudinal (engine against brake) requests. `other` carries a text
// the device sent.
struct LongitudinalControlMethod {
    enum class Case { other, unknown, dasm };
    using enum Case;

    Case kind = unknown;
    std::string otherText;  // only for `other`

    static LongitudinalControlMethod makeOther(std::string text) { return {other, std::move(text)}; }
    // Decodes the device's text: "" (unknown), "DASM", anything else as `other`.
    static LongitudinalControlMethod fromDeviceText(const std::string& text);

    friend bool operator==(const LongitudinalControlMethod&, const LongitudinalControlMethod&) = default;
};

// The text shown to the user: the carried text for `other`, "Unknown", "DASM".
std::string description(const LongitudinalControlMethod& method);
// The case's name in code: "other", "unknown", "dasm".
std::string caseName(const LongitudinalControlMethod& method);

}  // namespace orvane
