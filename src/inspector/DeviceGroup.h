#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "device/Version.h"
#include "inspector/ActionInspectorItem.h"
#include "inspector/StatusInspectorItem.h"
#include "inspector/ValueInspectorItem.h"

namespace orvane {

// The connection status, firmware version (with the "Check for Update" button) and build date rows.
class DeviceGroup {
public:
    DeviceGroup();

    const std::shared_ptr<StatusInspectorItem<std::string>> connectionStatus;
    const std::shared_ptr<ActionInspectorItem<Version>> version;
    const std::shared_ptr<ValueInspectorItem<std::chrono::system_clock::time_point>> buildDate;
};

}  // namespace orvane
