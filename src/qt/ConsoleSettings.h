#pragma once

#include <optional>
#include <string>

#include "console/ControlInput.h"

class QMainWindow;

namespace orvane {

// The user's settings of the console, kept with QSettings in the user's configuration folder
// (~/.config/Orvane/orvane-console.conf).
GamepadSettings loadGamepadSettings();
void saveGamepadSettings(const GamepadSettings& settings);

// The device last connected, and whether to connect it again whenever it appears (off unless the
// user asks for it).
std::optional<std::string> loadLastDevice();
void saveLastDevice(const std::optional<std::string>& path);
bool loadReconnectLastDevice();
void saveReconnectLastDevice(bool reconnect);
// Whether firmware not signed by a trusted key may be written (a lab's own builds); off unless set.
bool loadAllowUnsignedFirmware();
void saveAllowUnsignedFirmware(bool allow);

// The main window's geometry and the places and visibility of its panels.
void saveWindowLayout(const QMainWindow& window);
void restoreWindowLayout(QMainWindow& window);

}  // namespace orvane
