#pragma once

#include <QDialog>

#include "console/ControlInput.h"

class QCheckBox;
class QDoubleSpinBox;

namespace orvane {

// The settings of the gamepad control: the sticks' dead zone, the direction of each request and
// the hold-to-enable button.
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(const GamepadSettings& settings, bool reconnectLastDevice, QWidget* parent = nullptr,
                   bool allowUnsignedFirmware = false);
    GamepadSettings gamepadSettings() const;
    bool reconnectLastDevice() const;
    bool allowUnsignedFirmware() const;

private:
    QDoubleSpinBox* deadZone_;
    QCheckBox* invertLateral_;
    QCheckBox* invertLongitudinal_;
    QCheckBox* holdToEnable_;
    QCheckBox* reconnect_;
    QCheckBox* allowUnsigned_;
};

}  // namespace orvane
