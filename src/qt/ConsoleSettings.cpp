#include "qt/ConsoleSettings.h"

#include <QMainWindow>
#include <QSettings>
#include <algorithm>
#include <cmath>

namespace orvane {

GamepadSettings loadGamepadSettings() {
    QSettings settings;
    GamepadSettings loaded;
    const double deadZone = settings.value("gamepad/deadZone", loaded.deadZone).toDouble();
    // A hand-edited file may hold anything: keep a dead zone the control accepts.
    loaded.deadZone =
        std::isfinite(deadZone) ? std::clamp(deadZone, 0.0, GamepadSettings::maximumDeadZone) : loaded.deadZone;
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

std::optional<std::string> loadLastDevice() {
    const QString path = QSettings().value("device/last").toString();
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

void saveLastDevice(const std::optional<std::string>& path) {
    QSettings settings;
    if (path) {
        settings.setValue("device/last", QString::fromStdString(*path));
    } else {
        settings.remove("device/last");
    }
}

bool loadReconnectLastDevice() { return QSettings().value("device/reconnectLast", false).toBool(); }

void saveReconnectLastDevice(bool reconnect) { QSettings().setValue("device/reconnectLast", reconnect); }

bool loadAllowUnsignedFirmware() { return QSettings().value("update/allowUnsigned", false).toBool(); }

void saveAllowUnsignedFirmware(bool allow) { QSettings().setValue("update/allowUnsigned", allow); }

void saveWindowLayout(const QMainWindow& window) {
    QSettings settings;
    settings.setValue("window/geometry", window.saveGeometry());
    settings.setValue("window/state", window.saveState());
}

void restoreWindowLayout(QMainWindow& window) {
    QSettings settings;
    if (settings.contains("window/geometry")) window.restoreGeometry(settings.value("window/geometry").toByteArray());
    if (settings.contains("window/state")) window.restoreState(settings.value("window/state").toByteArray());
}

}  // namespace orvane
