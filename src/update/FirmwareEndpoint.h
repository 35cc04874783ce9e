#pragma once

#include <string>

namespace orvane {

// The firmware-information document the console checks for updates: the address fixed when the
// console is built (the ORVANE_FIRMWARE_ENDPOINT cache variable). For development, tests and
// demonstrations the environment variable ORVANE_FIRMWARE_ENDPOINT, when set and not empty,
// names another address instead.
std::string firmwareInformationEndpoint();

}  // namespace orvane
