#pragma once

#include <memory>
#include <string>

#include "inspector/ValueInspectorItem.h"

namespace orvane {

// Speed (km/hour) and gear rows. They are built but no group row shows them.
class VehicleGroup {
public:
    VehicleGroup();

    const std::shared_ptr<ValueInspectorItem<double>> speed;
    const std::shared_ptr<ValueInspectorItem<std::string>> gearSelection;
};

}  // namespace orvane
