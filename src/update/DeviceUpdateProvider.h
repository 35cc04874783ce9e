#pragma once

#include <functional>
#include <variant>

#include "platform/Error.h"
#include "update/DeviceSoftwareUpdateInformation.h"

namespace orvane {

// The announced firmware, or the error that kept the provider from finding it out.
using UpdateInformationResult = std::variant<DeviceSoftwareUpdateInformation, ErrorRef>;

// A source of information about the latest firmware.
class DeviceUpdateProvider {
public:
    virtual ~DeviceUpdateProvider() = default;

    // Starts one fetch and returns at once. `completion` runs exactly once, on the main queue.
    virtual void fetchUpdateInformation(std::function<void(UpdateInformationResult)> completion) = 0;
};

}  // namespace orvane
