#include "device/LongitudinalControlMethod.h"

#include "platform/Translation.h"

namespace orvane {

LongitudinalControlMethod LongitudinalControlMethod::fromDeviceText(const std::string& text) {
    if (text.empty()) return {unknown, {}};
    if (text == "DASM") return {dasm, {}};
    return makeOther(text);
}

// English, as the maneuver report writes it too; the window translates it in the context
// "LongitudinalControlMethod" (the method name DASM stays as it is).
std::string description(const LongitudinalControlMethod& method) {
    switch (method.kind) {
        case LongitudinalControlMethod::other: return method.otherText;
        case LongitudinalControlMethod::unknown: return ORVANE_TRANSLATE_NOOP("LongitudinalControlMethod", "Unknown");
        case LongitudinalControlMethod::dasm: return "DASM";
    }
    return ORVANE_TRANSLATE_NOOP("LongitudinalControlMethod", "Unknown");
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
