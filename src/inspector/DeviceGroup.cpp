#include "inspector/DeviceGroup.h"

#include "inspector/SharedFormatters.h"
#include "platform/Translation.h"

namespace orvane {

DeviceGroup::DeviceGroup()
    : connectionStatus(std::make_shared<StatusInspectorItem<std::string>>(translate("DeviceGroup", "Connection Status"),
                                                                          translate("DeviceGroup", "Unknown"))),
      version(std::make_shared<ActionInspectorItem<Version>>(translate("DeviceGroup", "Firmware Version"))),
      buildDate(std::make_shared<ValueInspectorItem<std::chrono::system_clock::time_point>>(
          translate("DeviceGroup", "Build Date"), std::nullopt, buildDateFormatter())) {
    version->setActionTitle(translate("DeviceGroup", "Check for Update"));
}

}  // namespace orvane
