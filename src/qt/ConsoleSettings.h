#pragma once

#include "console/ControlInput.h"

namespace orvane {

// The user's settings of the console, kept with QSettings in the user's configuration folder
// (~/.config/Orvane/orvane-console.conf).
GamepadSettings loadGamepadSettings();
void saveGamepadSettings(const GamepadSettings& settings);

}  // namespace orvane
