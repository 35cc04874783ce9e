#pragma once

#include <string>

namespace orvane {

// State of a torque overlay ("TOI") of the vehicle's driver assistance. `unknown` is only the
// value before the first steering report: decoding never gives it.
enum class TOIStatus { unknown, inactive, faulted, active, temporaryDeactivated };

// The text shown to the user: "Unknown", "Not Active", "Faulted", "Activated",
// "Temporarily Deactivated".
std::string description(TOIStatus status);
// The case's name in code: "unknown", "inactive", "faulted", "active", "temporaryDeactivated".
std::string caseName(TOIStatus status);
// Decodes the device's text: "activated", "faulted", "temporary-deactivation"; anything else
// is `inactive`.
TOIStatus toiStatusFromDeviceText(const std::string& text);

}  // namespace orvane
