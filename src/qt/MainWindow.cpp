#include "qt/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "qt/Artwork.h"

namespace orvane {

namespace {

QWidget* makeToolbarField(const QString& title, QComboBox* comboBox, QWidget* parent, QWidget* extra = nullptr) {
    auto* field = new QWidget(parent);
    auto* layout = new QHBoxLayout(field);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    auto* label = new QLabel(title, field);
    label->setBuddy(comboBox);
    layout->addWidget(label);
    layout->addWidget(comboBox);
    if (extra) layout->addWidget(extra);
    return field;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("mainWindow");
    setWindowTitle(QApplication::applicationDisplayName());
    setWindowIcon(Artwork::applicationIcon());
    setAcceptDrops(true);
    resize(1100, 660);
    // No fixed minimum: the layouts' own minimum keeps every label and control whole.

    auto* toolbar = new QToolBar("Devices", this);
    toolbar->setObjectName("mainToolbar");
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
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

    connection_ = new QPushButton("Connect", toolbar);
    connection_->setObjectName("connectionButton");
    connection_->setEnabled(false);
    // Wide enough for either title, so the toolbar does not jump.
    connection_->setMinimumWidth(
        std::max(connection_->sizeHint().width(),
                 connection_->fontMetrics().horizontalAdvance("Disconnect") + 2 * connection_->fontMetrics().height()));

    settings_ = new QPushButton("Settings…", toolbar);
    settings_->setObjectName("settingsButton");

    auto* fields = new QWidget(toolbar);
    auto* layout = new QHBoxLayout(fields);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(28);
    layout->addWidget(makeToolbarField("Device", devices_, fields, connection_));
    layout->addWidget(makeToolbarField("Gamepad", gamepads_, fields, settings_));
    layout->addStretch(1);
    toolbar->addWidget(fields);
}

void MainWindow::applyTabOrder() {
    if (!tabOrder) return;
    QWidget* previous = nullptr;
    for (QWidget* widget : tabOrder()) {
        if (!widget || widget->window() != this) continue;
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    }
}

bool MainWindow::focusNextPrevChild(bool next) {
    applyTabOrder();
    return QMainWindow::focusNextPrevChild(next);
}

namespace {

// The one local file a drag carries, or an empty text.
QString droppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1) return {};
    const QUrl& url = data->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (onFileDropped && !droppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QString path = droppedFile(event->mimeData());
    if (!onFileDropped || path.isEmpty()) return;
    event->acceptProposedAction();
    onFileDropped(path);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (onClose) onClose();
    QMainWindow::closeEvent(event);
}

}  // namespace orvane
