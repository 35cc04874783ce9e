#include "inspector/VehicleGroup.h"

#include "inspector/SharedFormatters.h"

namespace orvane {

VehicleGroup::VehicleGroup()
    : speed(std::make_shared<ValueInspectorItem<double>>("Speed", std::nullopt, speedFormatter())),
      gearSelection(std::make_shared<ValueInspectorItem<std::string>>("Gear Selection", std::string("Unknown"))) {}

}  // namespace orvane
