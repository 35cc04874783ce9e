#include "inspector/SteeringGroup.h"

#include "platform/Translation.h"

namespace orvane {

namespace {

std::shared_ptr<ValueInspectorItem<std::string>> textRow(std::string title) {
    return std::make_shared<ValueInspectorItem<std::string>>(std::move(title), translate("SteeringGroup", "Unknown"));
}

std::shared_ptr<StatusInspectorItem<std::string>> statusRow(std::string title) {
    return std::make_shared<StatusInspectorItem<std::string>>(std::move(title), translate("SteeringGroup", "Unknown"));
}

}  // namespace

SteeringGroup::SteeringGroup()
    : controlMethod(textRow(translate("SteeringGroup", "Control Method"))),
      apaTOI(statusRow(translate("SteeringGroup", "Active Park Assist Torque Overlay"))),
      halfTOI(statusRow(translate("SteeringGroup", "Lane Keep Assist Torque Overlay"))),
      angle(textRow(translate("SteeringGroup", "Wheel Angle"))),
      assistTorque(textRow(translate("SteeringGroup", "Assist Torque"))),
      driverTorque(textRow(translate("SteeringGroup", "Driver Torque"))) {}

}  // namespace orvane
