#include "qt/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolBar>

#include "qt/Artwork.h"

namespace orvane {

namespace {

QWidget* makeToolbarField(const QString& title, QComboBox* comboBox, QWidget* parent) {
    auto* field = new QWidget(parent);
    auto* layout = new QHBoxLayout(field);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* label = new QLabel(title, field);
    label->setBuddy(comboBox);
    layout->addWidget(label);
    layout->addWidget(comboBox);
    return field;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("mainWindow");
    setWindowTitle(QApplication::applicationDisplayName());
    setWindowIcon(Artwork::applicationIcon());
    resize(1100, 660);
    setMinimumSize(760, 480);

    auto* toolbar = new QToolBar("Devices", this);
    toolbar->setObjectName("mainToolbar");
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
    toolbar->setContentsMargins(10, 6, 10, 6);
    addToolBar(Qt::TopToolBarArea, toolbar);

    devices_ = new QComboBox(toolbar);
    devices_->setObjectName("devicesPopupButton");
    devices_->setMinimumContentsLength(30);
    devices_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    devices_->addItem("No devices found.");

    gamepads_ = new QComboBox(toolbar);
    gamepads_->setObjectName("gamepadsPopupButton");
    gamepads_->setMinimumContentsLength(22);
    gamepads_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    gamepads_->addItem("No gamepads found.");

    toolbar->addWidget(makeToolbarField("Device", devices_, toolbar));
    auto* gap = new QWidget(toolbar);
    gap->setFixedWidth(24);
    toolbar->addWidget(gap);
    toolbar->addWidget(makeToolbarField("Gamepad", gamepads_, toolbar));
}

}  // namespace orvane
