#include "device/LongitudinalControlMethod.h"

namespace orvane {

LongitudinalControlMethod LongitudinalControlMethod::fromDeviceText(const std::string& text) {
    if (text.empty()) return {unknown, {}};
    if (text == "DASM") return {dasm, {}};
    return makeOther(text);
}

std::string description(const LongitudinalControlMethod& method) {
    switch (method.kind) {
        case LongitudinalControlMethod::other: return method.otherText;
        case LongitudinalControlMethod::unknown: return "Unknown";
        case LongitudinalControlMethod::dasm: return "DASM";
    }
    return "Unknown";
}

std::string caseName(const LongitudinalControlMethod& method) {
    switch (method.kind) {
        case LongitudinalControlMethod::other: return "other";
        case LongitudinalControlMethod::unknown: return "unknown";
        case LongitudinalControlMethod::dasm: return "dasm";
    }
    return "unknown";
}

}  // namespace orvane
