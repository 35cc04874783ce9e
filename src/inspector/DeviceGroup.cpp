#include "inspector/DeviceGroup.h"

#include "inspector/SharedFormatters.h"

namespace orvane {

DeviceGroup::DeviceGroup()
    : connectionStatus(std::make_shared<StatusInspectorItem<std::string>>("Connection Status", std::string("Unknown"))),
      version(std::make_shared<ActionInspectorItem<Version>>("Firmware Version")),
      buildDate(std::make_shared<ValueInspectorItem<std::chrono::system_clock::time_point>>("Build Date", std::nullopt,
                                                                                            buildDateFormatter())) {
    version->setActionTitle("Check for Update");
}

}  // namespace orvane
