#include "update/FirmwareEndpoint.h"

#include <cstdlib>

namespace orvane {

std::string firmwareInformationEndpoint() {
    if (const char* override = std::getenv("ORVANE_FIRMWARE_ENDPOINT"); override != nullptr && override[0] != '\0') {
        return override;
    }
    return ORVANE_FIRMWARE_ENDPOINT;
}

}  // namespace orvane
