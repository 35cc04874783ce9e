#pragma once

#include <QDialog>

#include "console/ControlInput.h"

class QCheckBox;
class QComboBox;
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
    // The language setting: empty to follow the desktop, or a language code ("en", "de").
    void setLanguage(const QString& setting);
    QString language() const;

private:
    QDoubleSpinBox* deadZone_;
    QCheckBox* invertLateral_;
    QCheckBox* invertLongitudinal_;
    QCheckBox* holdToEnable_;
    QCheckBox* reconnect_;
    QCheckBox* allowUnsigned_;
    QComboBox* language_;
};

}  // namespace orvane
