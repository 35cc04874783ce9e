#include "qt/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QWindow>
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

    auto* toolbar = new QToolBar(tr("Devices"), this);
    toolbar->setObjectName("mainToolbar");
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, toolbar);

    devices_ = new QComboBox(toolbar);
    devices_->setObjectName("devicesPopupButton");
    devices_->setAccessibleName(tr("Device"));
    devices_->setMinimumContentsLength(30);
    devices_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    devices_->addItem(tr("No devices found."));

    gamepads_ = new QComboBox(toolbar);
    gamepads_->setObjectName("gamepadsPopupButton");
    gamepads_->setAccessibleName(tr("Gamepad"));
    gamepads_->setMinimumContentsLength(22);
    gamepads_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    gamepads_->addItem(tr("No gamepads found."));

    connection_ = new QPushButton(tr("Connect"), toolbar);
    connection_->setObjectName("connectionButton");
    connection_->setEnabled(false);
    // Wide enough for either title, so the toolbar does not jump.
    connection_->setMinimumWidth(std::max(
        connection_->sizeHint().width(),
        connection_->fontMetrics().horizontalAdvance(tr("Disconnect")) + 2 * connection_->fontMetrics().height()));

    settings_ = new QPushButton(tr("Settings…"), toolbar);
    settings_->setObjectName("settingsButton");

    auto* fields = new QWidget(toolbar);
    auto* layout = new QHBoxLayout(fields);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(28);
    layout->addWidget(makeToolbarField(tr("Device"), devices_, fields, connection_));
    layout->addWidget(makeToolbarField(tr("Gamepad"), gamepads_, fields, settings_));
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

QRect fitInside(const QRect& frame, const QRect& available) {
    QRect fitted(frame.topLeft(), frame.size().boundedTo(available.size()));
    fitted.moveLeft(std::clamp(fitted.left(), available.left(), available.right() + 1 - fitted.width()));
    fitted.moveTop(std::clamp(fitted.top(), available.top(), available.bottom() + 1 - fitted.height()));
    return fitted;
}

namespace {

bool fits(const QSize& size, const QSize& room) {
    return size.width() <= room.width() && size.height() <= room.height();
}

}  // namespace

void MainWindow::watchPanel(QDockWidget* panel) {
    shownOrder_.emplace_back(panel);
    connect(panel, &QDockWidget::visibilityChanged, this, [this, panel](bool visible) {
        if (!visible) return;
        std::erase(shownOrder_, panel);
        shownOrder_.emplace_back(panel);
        fitToScreenSoon();
    });
    connect(panel, &QDockWidget::dockLocationChanged, this, &MainWindow::fitToScreenSoon);
    connect(panel, &QDockWidget::topLevelChanged, this, &MainWindow::fitToScreenSoon);
}

void MainWindow::fitToScreenSoon() {
    if (fitPending_) return;
    fitPending_ = true;
    QTimer::singleShot(0, this, &MainWindow::fitToScreen);
}

QMargins MainWindow::frameOnScreen() const {
    if (frameKnown_) return windowHandle()->frameMargins();
    const int border = 4;
    return {border, 2 * fontMetrics().height() + border, border, border};
}

void MainWindow::fitToScreen() {
    fitPending_ = false;
    if (isMaximized() || isFullScreen()) return;  // the window manager keeps those on the screen
    if (askedSizeAgain_) {
        // The first fit assumed a frame; now the real one is known, start again from the size
        // asked for, unless the window has been resized since.
        askedSizeAgain_ = false;
        if (size() == firstFitSize_) resize(askedSize_);
    }
    QScreen* on = QGuiApplication::screenAt(frameGeometry().center());
    if (!on) on = screen();
    if (on) fitInto(on->availableGeometry(), frameOnScreen());
}

void MainWindow::fitInto(const QRect& available, const QMargins& frame) {
    const QSize room = available.marginsRemoved(frame).size();
    // The layout's own minimum again, whatever an earlier fit set.
    setMinimumSize(0, 0);
    const auto needed = [this] {
        layout()->invalidate();
        return layout()->totalMinimumSize();
    };
    QSize least = needed();
    // Tab the panel shown last onto another one until the panels fit (or all are one group).
    const auto isShown = [this](QDockWidget* panel) {
        return panel && !panel->isHidden() && !panel->isFloating() && dockWidgetArea(panel) != Qt::NoDockWidgetArea;
    };
    const auto docked = findChildren<QDockWidget*>(Qt::FindDirectChildrenOnly);
    while (!fits(least, room)) {
        QDockWidget* moved = nullptr;
        QDockWidget* onto = nullptr;
        for (auto last = shownOrder_.rbegin(); last != shownOrder_.rend() && !moved; ++last) {
            QDockWidget* panel = *last;
            if (!isShown(panel)) continue;
            const QList<QDockWidget*> tabbed = tabifiedDockWidgets(panel);
            if (std::any_of(tabbed.begin(), tabbed.end(), isShown)) continue;  // already in a group
            for (QDockWidget* other : docked) {
                if (other == panel || !isShown(other)) continue;
                if (!onto ||
                    (dockWidgetArea(other) == dockWidgetArea(panel) && dockWidgetArea(onto) != dockWidgetArea(panel))) {
                    onto = other;
                }
            }
            if (onto) moved = panel;
        }
        if (!moved) break;
        tabifyDockWidget(onto, moved);
        moved->raise();
        least = needed();
    }
    // Panels that still need more room than there is shrink inside the window.
    minimumSizeCapped_ = !fits(least, room);
    if (minimumSizeCapped_) setMinimumSize(least.boundedTo(room));

    const QSize size = this->size().expandedTo(least).boundedTo(room);
    if (size != this->size()) resize(size);
    // Before the window is shown its place is left to the window manager (or to the restored
    // geometry); once shown, a window that reaches past the area is moved in.
    if (frameKnown_) {
        const QRect at = fitInside(QRect(frameGeometry().topLeft(), size.grownBy(frame)), available);
        if (at.topLeft() != frameGeometry().topLeft()) move(at.topLeft());
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (event->spontaneous() || askedSize_.isValid()) return;
    askedSize_ = size();
    fitToScreen();
    firstFitSize_ = size();
}

bool MainWindow::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    // The window manager's frame is known once it has framed the shown window: fit again with it.
    if (!frameKnown_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize) && isVisible() &&
        windowHandle() && !windowHandle()->frameMargins().isNull()) {
        frameKnown_ = true;
        askedSizeAgain_ = true;
        fitToScreenSoon();
    } else if (event->type() == QEvent::LayoutRequest && minimumSizeCapped_) {
        // The panels' minimum changed: a cap set for a larger one may no longer be needed.
        fitToScreenSoon();
    } else if (frameKnown_ && event->type() == QEvent::Resize && screen() &&
               !fits(frameGeometry().size(), screen()->availableGeometry().size())) {
        // The layout grew the window past the screen (a panel's minimum grew): fit it again.
        fitToScreenSoon();
    }
    return handled;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (onClose) onClose();
    QMainWindow::closeEvent(event);
}

}  // namespace orvane
