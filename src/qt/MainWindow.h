#pragma once

#include <QList>
#include <QMainWindow>
#include <functional>

class QComboBox;
class QPushButton;

namespace orvane {

// The main window: a toolbar with the device and gamepad popups over the content, which is the
// master view (the console beside the inspector).
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

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QComboBox* devices_;
    QComboBox* gamepads_;
    QPushButton* connection_;
    QPushButton* settings_;
};

}  // namespace orvane
