#include "inspector/InspectorManager.h"

#include "platform/Translation.h"

namespace orvane {

const std::vector<std::shared_ptr<InspectorItem>>& InspectorManager::groups() {
    if (!groups_) {
        groups_ = std::vector<std::shared_ptr<InspectorItem>>{
            std::make_shared<InspectorItem>(
                translate("InspectorManager", "Device"),
                InspectorItem::Children{device_.connectionStatus, device_.version, device_.buildDate}),
            std::make_shared<InspectorItem>(
                translate("InspectorManager", "Steering"),
                InspectorItem::Children{steering_.controlMethod, steering_.apaTOI, steering_.halfTOI, steering_.angle,
                                        steering_.assistTorque, steering_.driverTorque}),
            std::make_shared<InspectorItem>(
                translate("InspectorManager", "Statistics"),
                InspectorItem::Children{statistics_.canChannel0RxCount, statistics_.canChannel1RxCount}),
        };
    }
    return *groups_;
}

}  // namespace orvane
