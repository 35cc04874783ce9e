#include "device/TOIStatus.h"

namespace orvane {

std::string description(TOIStatus status) {
    switch (status) {
        case TOIStatus::unknown: return "Unknown";
        case TOIStatus::inactive: return "Not Active";
        case TOIStatus::faulted: return "Faulted";
        case TOIStatus::active: return "Activated";
        case TOIStatus::temporaryDeactivated: return "Temporarily Deactivated";
    }
    return "Unknown";
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
