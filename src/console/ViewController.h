#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/ModalProgressViewController.h"
#include "console/MovingAverage.h"
#include "inspector/InspectorManager.h"
#include "inspector/StatusIndication.h"
#include "platform/Gamepad.h"
#include "platform/NotificationCenter.h"
#include "platform/RepeatingTimer.h"
#include "platform/ViewControllerBase.h"
#include "platform/Widgets.h"
#include "update/DeviceUpdateProvider.h"

namespace orvane {

class DeviceSerialInterface;
class BossacManager;
class MainWindowController;
class InspectorViewController;
class UpdateInformationViewController;

// The console: the controller of the main window's working area. It owns the device session,
// the inspector's model, the firmware-update provider and flasher and the lateral smoothing;
// it runs the device-list and control timers, the connection flow, the gamepad and slider
// control, the telemetry display and the firmware-update workflow.
//
// Every property assignment runs its handling at once, changed or not. Everything runs on the
// main queue except the marked worker steps.
class ViewController : public PlatformViewController {
public:
    struct Configuration {
        std::string deviceDirectory = "/dev/";               // where the device scan looks
        std::shared_ptr<GamepadSource> gamepadSource;        // none: no gamepads
        std::shared_ptr<DeviceUpdateProvider> updateProvider;  // none: the firmware endpoint's
        std::shared_ptr<BossacManager> bossac;               // none: a new flasher
    };

    ViewController();
    explicit ViewController(Configuration configuration);
    ~ViewController() override;

    // Outlets, each optional.
    std::shared_ptr<TextField> longControlLabel;
    std::shared_ptr<TextField> latControlLabel;
    std::shared_ptr<Slider> longControlSlider;
    std::shared_ptr<Slider> latControlSlider;
    std::shared_ptr<ImageView> steeringWheelImage;

    // Lifecycle.
    void viewDidLoad() override;
    void viewWillAppear() override;
    void viewDidAppear() override;
    bool resignFirstResponder() const { return false; }
    void prepareForSegue(const StoryboardSegue& segue, Object* sender) override;

    // Actions.
    void didSelectDevice(Object* sender);
    void didSelectGamepad(Object* sender);
    void didChangeLongSlider(Object* sender);
    void didChangeLatSlider(Object* sender);

    // Connection flow: returns at once; results arrive on the main queue.
    void connectToDevice(const std::optional<std::string>& path);

    // Device discovery, gamepad control, telemetry display (each run by a timer or notification).
    void scanDevices();
    void refreshGamepads();
    void pollGamepad();
    void refreshTelemetry();

    // The firmware-update workflow, started by the firmware-version row's button.
    void checkForUpdates();

    // Observed properties.
    const std::vector<std::string>& devices() const { return devices_; }
    void setDevices(std::vector<std::string> devices);
    const std::optional<std::string>& selectedDevice() const { return selectedDevice_; }
    void setSelectedDevice(std::optional<std::string> device);
    const std::vector<GamepadHandle>& gamepads() const { return gamepads_; }
    void setGamepads(std::vector<GamepadHandle> gamepads);
    const GamepadHandle& selectedGamepad() const { return selectedGamepad_; }
    void setSelectedGamepad(GamepadHandle gamepad);
    double requestedLongitudinalControl() const { return requestedLongitudinalControl_; }
    void setRequestedLongitudinalControl(double value);
    double requestedLateralControl() const { return requestedLateralControl_; }
    void setRequestedLateralControl(double value);
    double steeringWheelAngle() const { return steeringWheelAngle_; }
    void setSteeringWheelAngle(double degrees);
    const StatusIndication& vehicleStatus() const { return vehicleStatus_; }
    void setVehicleStatus(StatusIndication status);
    const std::optional<std::string>& modalProgressStatusText() const { return modalProgressStatusText_; }
    void setModalProgressStatusText(std::optional<std::string> text);
    const std::optional<double>& modalProgressStatusProgress() const { return modalProgressStatusProgress_; }
    void setModalProgressStatusProgress(std::optional<double> progress);
    void updateModalProgress();

    InspectorManager& inspectorManager() { return *inspectorManager_; }
    const std::shared_ptr<DeviceSerialInterface>& vehicleInterface() const { return _vehicleInterface; }
    bool isConnectingToVehicle() const { return _isConnectingToVehicle.load(); }
    const std::shared_ptr<ModalProgressViewController>& currentModalProgressViewController() const {
        return _currentModalProgressViewController;
    }
    BossacManager& bossac() { return *_bossac; }
    const MovingAverage& lateralAverage() const { return *_lateralAverage; }
    bool hasControlTimer() const { return _controlUpdateTimer != nullptr; }
    const RepeatingTimer* deviceListTimer() const { return _deviceListUpdateTimer.get(); }

private:
    void startConnecting(const std::optional<std::string>& path);
    void disconnectFirst(std::function<void()> then);
    void startDeviceListTimer();
    void startControlTimer();
    void updateSteeringWheel();
    void handleLongitudinalControl(double value);
    void handleLateralControl(double value);
    void selectDevicePopupEntry();
    void selectGamepadPopupEntry();
    MainWindowController* mainWindowController();
    PopupButton* devicesPopup();
    PopupButton* gamepadsPopup();
    std::shared_ptr<InspectorViewController> inspector();
    std::weak_ptr<ViewController> weakSelf();

    // Update workflow steps.
    void didReceiveUpdateInformation(const UpdateInformationResult& result);
    void prepareUpdateInformationDialog(UpdateInformationViewController& dialog,
                                        const DeviceSoftwareUpdateInformation& information);
    void didDownloadUpdate(const std::string& file, const ErrorRef& error);
    void flashFirmware(const std::optional<std::string>& devicePath, const std::string& file);
    void didFinishFlashing(const ErrorRef& error);

    Configuration configuration_;

    std::shared_ptr<DeviceSerialInterface> _vehicleInterface;
    std::atomic<bool> _isConnectingToVehicle{false};
    std::unique_ptr<RepeatingTimer> _deviceListUpdateTimer;
    std::unique_ptr<RepeatingTimer> _controlUpdateTimer;
    std::shared_ptr<std::atomic<bool>> controlTimerCancelled_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<ModalProgressViewController> _currentModalProgressViewController;
    std::shared_ptr<DeviceUpdateProvider> _updateProvider;
    std::shared_ptr<BossacManager> _bossac;
    std::unique_ptr<MovingAverage> _lateralAverage;
    std::unique_ptr<InspectorManager> inspectorManager_;
    ObserverToken _observerGamepadConnect;
    ObserverToken _observerGamepadDisconnect;

    std::optional<std::string> modalProgressStatusText_;
    std::optional<double> modalProgressStatusProgress_;
    StatusIndication vehicleStatus_;
    std::vector<std::string> devices_;
    std::vector<GamepadHandle> gamepads_;
    double requestedLongitudinalControl_ = 0;
    double requestedLateralControl_ = 0;
    std::optional<std::string> selectedDevice_;
    GamepadHandle selectedGamepad_;
    double steeringWheelAngle_ = 0;
};

// The prefixes of the names of serial devices that the console lists.
inline const std::vector<std::string>& deviceNamePrefixes() {
    static const std::vector<std::string> prefixes{"cu.usb", "ttyACM", "ttyUSB"};
    return prefixes;
}

}  // namespace orvane
