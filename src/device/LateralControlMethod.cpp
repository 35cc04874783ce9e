#include "device/LateralControlMethod.h"

#include "platform/Translation.h"

namespace orvane {

LateralControlMethod LateralControlMethod::fromDeviceText(const std::string& text) {
    if (text == "HALF") return {half, {}};
    if (text == "APA") return {apa, {}};
    if (text.empty()) return {configuring, {}};
    return makeOther(text);
}

// English, as the maneuver report writes it too; the window translates it in the context
// "LateralControlMethod" (the method names HaLF and APA stay as they are).
std::string description(const LateralControlMethod& method) {
    switch (method.kind) {
        case LateralControlMethod::other: return method.otherText;
        case LateralControlMethod::unknown: return ORVANE_TRANSLATE_NOOP("LateralControlMethod", "Unknown");
        case LateralControlMethod::half: return "HaLF";
        case LateralControlMethod::apa: return "APA";
        case LateralControlMethod::configuring: return ORVANE_TRANSLATE_NOOP("LateralControlMethod", "Configuring");
    }
    return ORVANE_TRANSLATE_NOOP("LateralControlMethod", "Unknown");
}

std::string caseName(const LateralControlMethod& method) {
    switch (method.kind) {
        case LateralControlMethod::other: return "other";
        case LateralControlMethod::unknown: return "unknown";
        case LateralControlMethod::half: return "half";
        case LateralControlMethod::apa: return "apa";
        case LateralControlMethod::configuring: return "configuring";
    }
    return "unknown";
}

}  // namespace orvane
