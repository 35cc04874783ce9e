#include "inspector/VehicleGroup.h"

#include "inspector/SharedFormatters.h"
#include "platform/Translation.h"

namespace orvane {

VehicleGroup::VehicleGroup()
    : speed(std::make_shared<ValueInspectorItem<double>>(translate("VehicleGroup", "Speed"), std::nullopt,
                                                         speedFormatter())),
      gearSelection(std::make_shared<ValueInspectorItem<std::string>>(translate("VehicleGroup", "Gear Selection"),
                                                                      translate("VehicleGroup", "Unknown"))) {}

}  // namespace orvane
