#pragma once

#include <memory>
#include <string>

#include "inspector/StatusInspectorItem.h"
#include "inspector/ValueInspectorItem.h"

namespace orvane {

// The steering rows. Angle and torques hold finished texts (number and unit).
class SteeringGroup {
public:
    SteeringGroup();

    const std::shared_ptr<ValueInspectorItem<std::string>> controlMethod;
    const std::shared_ptr<StatusInspectorItem<std::string>> apaTOI;
    const std::shared_ptr<StatusInspectorItem<std::string>> halfTOI;
    const std::shared_ptr<ValueInspectorItem<std::string>> angle;
    const std::shared_ptr<ValueInspectorItem<std::string>> assistTorque;
    const std::shared_ptr<ValueInspectorItem<std::string>> driverTorque;
};

}  // namespace orvane
