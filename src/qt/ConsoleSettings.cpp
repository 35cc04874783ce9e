#include "qt/ConsoleSettings.h"

#include <QSettings>

#include <algorithm>
#include <cmath>

namespace orvane {

GamepadSettings loadGamepadSettings() {
    QSettings settings;
    GamepadSettings loaded;
    const double deadZone = settings.value("gamepad/deadZone", loaded.deadZone).toDouble();
    // A hand-edited file may hold anything: keep a dead zone the control accepts.
    loaded.deadZone = std::isfinite(deadZone) ? std::clamp(deadZone, 0.0, 0.9) : loaded.deadZone;
    loaded.invertLateral = settings.value("gamepad/invertLateral", loaded.invertLateral).toBool();
    loaded.invertLongitudinal = settings.value("gamepad/invertLongitudinal", loaded.invertLongitudinal).toBool();
    loaded.holdToEnable = settings.value("gamepad/holdToEnable", loaded.holdToEnable).toBool();
    return loaded;
}

void saveGamepadSettings(const GamepadSettings& gamepad) {
    QSettings settings;
    settings.setValue("gamepad/deadZone", gamepad.deadZone);
    settings.setValue("gamepad/invertLateral", gamepad.invertLateral);
    settings.setValue("gamepad/invertLongitudinal", gamepad.invertLongitudinal);
    settings.setValue("gamepad/holdToEnable", gamepad.holdToEnable);
}

}  // namespace orvane
