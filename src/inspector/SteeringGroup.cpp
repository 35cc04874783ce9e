#include "inspector/SteeringGroup.h"

namespace orvane {

namespace {

std::shared_ptr<ValueInspectorItem<std::string>> textRow(const char* title) {
    return std::make_shared<ValueInspectorItem<std::string>>(title, std::string("Unknown"));
}

std::shared_ptr<StatusInspectorItem<std::string>> statusRow(const char* title) {
    return std::make_shared<StatusInspectorItem<std::string>>(title, std::string("Unknown"));
}

}  // namespace

SteeringGroup::SteeringGroup()
    : controlMethod(textRow("Control Method")),
      apaTOI(statusRow("Active Park Assist Torque Overlay")),
      halfTOI(statusRow("Lane Keep Assist Torque Overlay")),
      angle(textRow("Wheel Angle")),
      assistTorque(textRow("Assist Torque")),
      driverTorque(textRow("Driver Torque")) {}

}  // namespace orvane
