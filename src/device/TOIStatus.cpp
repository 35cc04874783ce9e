#include "device/TOIStatus.h"

#include "platform/Translation.h"

namespace orvane {

std::string description(TOIStatus status) {
    switch (status) {
        case TOIStatus::unknown: return translate("TOIStatus", "Unknown");
        case TOIStatus::inactive: return translate("TOIStatus", "Not Active");
        case TOIStatus::faulted: return translate("TOIStatus", "Faulted");
        case TOIStatus::active: return translate("TOIStatus", "Activated");
        case TOIStatus::temporaryDeactivated: return translate("TOIStatus", "Temporarily Deactivated");
    }
    return translate("TOIStatus", "Unknown");
}

std::string caseName(TOIStatus status) {
    switch (status) {
        case TOIStatus::unknown: return "unknown";
        case TOIStatus::inactive: return "inactive";
        case TOIStatus::faulted: return "faulted";
        case TOIStatus::active: return "active";
        case TOIStatus::temporaryDeactivated: return "temporaryDeactivated";
    }
    return "unknown";
}

TOIStatus toiStatusFromDeviceText(const std::string& text) {
    if (text == "activated") return TOIStatus::active;
    if (text == "faulted") return TOIStatus::faulted;
    if (text == "temporary-deactivation") return TOIStatus::temporaryDeactivated;
    return TOIStatus::inactive;
}

}  // namespace orvane
