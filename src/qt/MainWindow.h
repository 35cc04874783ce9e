#pragma once

#include <QList>
#include <QMainWindow>
#include <QMargins>
#include <QPointer>
#include <QRect>
#include <functional>
#include <vector>

class QComboBox;
class QDockWidget;
class QPushButton;

namespace orvane {

// The main window: a toolbar with the device and gamepad popups over the content, which is the
// master view (the console beside the inspector).
// The frame geometry `frame` brought inside `available`: no larger than it, and moved in where
// it reaches past an edge.
QRect fitInside(const QRect& frame, const QRect& available);

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    QComboBox* devicesComboBox() const { return devices_; }
    QComboBox* gamepadsComboBox() const { return gamepads_; }
    QPushButton* connectionButton() const { return connection_; }
    QPushButton* settingsButton() const { return settings_; }

    // Runs as the window closes (to keep its layout).
    std::function<void()> onClose;
    // Runs with the path of a local file dropped on the window.
    std::function<void(const QString&)> onFileDropped;

    // The widgets Tab visits, in order (those of panels floated off the window are left out).
    std::function<QList<QWidget*>()> tabOrder;
    // Lays the focus chain along tabOrder. Restoring the panels' layout and making the
    // inspector's cells change the chain, so it is laid again after both and before each Tab.
    void applyTabOrder();

    // Keeps the window, its frame included, inside the available area of its screen (the screen
    // its centre is on): docked panels whose minimum sizes together need more room than there is
    // are tabbed together, the panel shown last onto another shown one (of its own dock area when
    // there is one); a window larger than the area is made smaller, and one that reaches past it
    // is moved in. Should the panels still need more room, the window stays inside and they
    // shrink. Runs as the window is first shown, again once the window manager's frame is known,
    // and after a panel is shown, moved or docked (fitToScreenSoon()).
    void fitToScreen();
    // fitToScreen() once the events now pending have run (the layout has taken in a change).
    void fitToScreenSoon();
    // Follows a panel of the window: fits the window to its screen after the panel is shown,
    // moved or docked, and remembers the order in which panels were shown.
    void watchPanel(QDockWidget* panel);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    // The frame the window manager puts around the window: known once the window is shown,
    // otherwise a title bar of about two lines of text and a thin border.
    QMargins frameOnScreen() const;
    void fitInto(const QRect& available, const QMargins& frame);

    std::vector<QPointer<QDockWidget>> shownOrder_;  // the panels, the one shown last at the end
    bool fitPending_ = false;
    bool minimumSizeCapped_ = false;  // the panels need more room than the screen has
    bool askedSizeAgain_ = false;
    bool frameKnown_ = false;
    // The size asked for (a default or restored one) and what the first fit made of it, before
    // the real frame was known.
    QSize askedSize_;
    QSize firstFitSize_;

    QComboBox* devices_;
    QComboBox* gamepads_;
    QPushButton* connection_;
    QPushButton* settings_;
};

}  // namespace orvane
