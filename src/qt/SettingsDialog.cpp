#include "qt/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "qt/SheetDialog.h"
#include "qt/Translations.h"
#include "qt/ViewStyle.h"

namespace orvane {

SettingsDialog::SettingsDialog(const GamepadSettings& settings, bool reconnectLastDevice, QWidget* parent,
                               bool allowUnsignedFirmware)
    : QDialog(parent, sheetWindowFlags()) {
    setObjectName("settingsDialog");
    setWindowTitle(tr("Settings"));
    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(tr("Gamepad"), this);
    heading->setFont(scaledFont(heading->font(), 1.0, QFont::DemiBold));
    layout->addWidget(heading);

    auto* form = new QFormLayout();
    deadZone_ = new QDoubleSpinBox(this);
    deadZone_->setObjectName("deadZone");
    deadZone_->setRange(0.0, GamepadSettings::maximumDeadZone);
    deadZone_->setSingleStep(0.05);
    deadZone_->setDecimals(2);
    deadZone_->setValue(settings.deadZone);
    deadZone_->setToolTip(tr("A stick closer to its centre than this reads as centred."));
    form->addRow(tr("Stick dead zone"), deadZone_);
    invertLateral_ = new QCheckBox(tr("Invert lateral (sticks to the right ask for a clockwise turn)"), this);
    invertLateral_->setObjectName("invertLateral");
    invertLateral_->setChecked(settings.invertLateral);
    invertLongitudinal_ = new QCheckBox(tr("Invert longitudinal (left trigger for engine, right for brake)"), this);
    invertLongitudinal_->setObjectName("invertLongitudinal");
    invertLongitudinal_->setChecked(settings.invertLongitudinal);
    holdToEnable_ = new QCheckBox(tr("Requests only while the right shoulder button is held"), this);
    holdToEnable_->setObjectName("holdToEnable");
    holdToEnable_->setChecked(settings.holdToEnable);
    form->addRow(invertLateral_);
    form->addRow(invertLongitudinal_);
    form->addRow(holdToEnable_);
    layout->addLayout(form);

    auto* deviceHeading = new QLabel(tr("Device"), this);
    deviceHeading->setFont(scaledFont(deviceHeading->font(), 1.0, QFont::DemiBold));
    layout->addWidget(deviceHeading);
    reconnect_ = new QCheckBox(tr("Connect the last device whenever it appears"), this);
    reconnect_->setObjectName("reconnectLastDevice");
    reconnect_->setChecked(reconnectLastDevice);
    layout->addWidget(reconnect_);

    auto* firmwareHeading = new QLabel(tr("Firmware"), this);
    firmwareHeading->setFont(scaledFont(firmwareHeading->font(), 1.0, QFont::DemiBold));
    layout->addWidget(firmwareHeading);
    allowUnsigned_ = new QCheckBox(tr("Allow firmware not signed by a trusted key"), this);
    allowUnsigned_->setObjectName("allowUnsignedFirmware");
    allowUnsigned_->setToolTip(tr("For a lab's own builds: the update dialog then says \"Not signed\" in red."));
    allowUnsigned_->setChecked(allowUnsignedFirmware);
    layout->addWidget(allowUnsigned_);

    auto* languageHeading = new QLabel(tr("Language"), this);
    languageHeading->setFont(scaledFont(languageHeading->font(), 1.0, QFont::DemiBold));
    layout->addWidget(languageHeading);
    language_ = new QComboBox(this);
    language_->setObjectName("language");
    language_->setAccessibleName(tr("Language"));
    language_->addItem(tr("Language of the desktop"), QString());
    language_->addItem(Translations::nativeName("en"), QString("en"));
    for (const QString& translated : Translations::translatedLanguages())
        language_->addItem(Translations::nativeName(translated), translated);
    auto* languageNote = new QLabel(tr("A new language is shown when the console is started again."), this);
    languageNote->setWordWrap(true);
    layout->addWidget(language_);
    layout->addWidget(languageNote);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

bool SettingsDialog::reconnectLastDevice() const { return reconnect_->isChecked(); }

bool SettingsDialog::allowUnsignedFirmware() const { return allowUnsigned_->isChecked(); }

void SettingsDialog::setLanguage(const QString& setting) {
    const int index = language_->findData(setting);
    language_->setCurrentIndex(index >= 0 ? index : 0);
}

QString SettingsDialog::language() const { return language_->currentData().toString(); }

GamepadSettings SettingsDialog::gamepadSettings() const {
    GamepadSettings settings;
    settings.deadZone = deadZone_->value();
    settings.invertLateral = invertLateral_->isChecked();
    settings.invertLongitudinal = invertLongitudinal_->isChecked();
    settings.holdToEnable = holdToEnable_->isChecked();
    return settings;
}

}  // namespace orvane
