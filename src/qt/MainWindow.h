#pragma once

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

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QComboBox* devices_;
    QComboBox* gamepads_;
    QPushButton* connection_;
    QPushButton* settings_;
};

}  // namespace orvane
