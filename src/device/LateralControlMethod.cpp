#include "device/LateralControlMethod.h"

namespace orvane {

LateralControlMethod LateralControlMethod::fromDeviceText(const std::string& text) {
    if (text == "HALF") return {half, {}};
    if (text == "APA") return {apa, {}};
    if (text.empty()) return {configuring, {}};
    return makeOther(text);
}

std::string description(const LateralControlMethod& method) {
    switch (method.kind) {
        case LateralControlMethod::other: return method.otherText;
        case LateralControlMethod::unknown: return "Unknown";
        case LateralControlMethod::half: return "HaLF";
        case LateralControlMethod::apa: return "APA";
        case LateralControlMethod::configuring: return "Configuring";
    }
    return "Unknown";
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
