#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/ControlInput.h"
#include "console/DeviceConnection.h"
#include "console/DeviceList.h"
#include "console/LiveTelemetrySource.h"
#include "console/ManeuverControl.h"
#include "console/ModalProgressViewController.h"
#include "console/MovingAverage.h"
#include "console/RequestArbiter.h"
#include "console/SessionTap.h"
#include "console/TelemetrySeries.h"
#include "console/TelemetrySource.h"
#include "inspector/InspectorManager.h"
#include "inspector/StatusIndication.h"
#include "platform/Gamepad.h"
#include "platform/NotificationCenter.h"
#include "platform/RepeatingTimer.h"
#include "platform/ViewControllerBase.h"
#include "platform/Widgets.h"
#include "update/DeviceUpdateProvider.h"
#include "update/UpdateWorkflow.h"

namespace orvane {

class DeviceSerialInterface;
class BossacManager;
class InspectorViewController;

// The console: the controller of the main window's working area and the coordinator of its
// parts. It is handed the device and gamepad popups, the inspector, the update provider and the
// flasher; it owns the device connection, the inspector's model, the gamepad control and the
// update workflow, and runs the device-list and control timers.
//
// Every property assignment runs its handling at once, changed or not. Everything runs on the
// main queue except the marked worker steps.
class ViewController : public PlatformViewController, public UpdateWorkflowHost {
public:
    struct Configuration {
        std::string deviceDirectory = "/dev/";         // where the device scan looks
        std::shared_ptr<GamepadSource> gamepadSource;  // none: no gamepads
        // The firmware update's source and flasher, which the application builds; without
        // both the console offers no update ("Check for Update" does nothing).
        std::shared_ptr<DeviceUpdateProvider> updateProvider;
        std::shared_ptr<BossacManager> bossac;
        std::shared_ptr<PopupButton> devicesPopup;           // the toolbar's device list
        std::shared_ptr<PopupButton> gamepadsPopup;          // the toolbar's gamepad list
        std::shared_ptr<InspectorViewController> inspector;  // shows the inspector's groups
        std::shared_ptr<Button> connectionButton;            // "Connect" / "Disconnect"
        std::shared_ptr<Button> checkForUpdateButton;        // besides the firmware row's button
        std::string ttyClassDirectory = "/sys/class/tty";    // where devices' USB names are read
        std::shared_ptr<SessionTap> sessionTap;              // traffic and recording; none: no tap
        std::shared_ptr<TelemetrySeries> series;             // the plots' data; none: no plots
        std::shared_ptr<ManeuverControl> maneuvers;          // maneuver suites; none: no suites
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
    // The connection button: disconnects a connected device (keeping the selection), else
    // connects the selected one.
    void didPressConnectionButton(Object* sender);

    // Connection flow: returns at once; results arrive on the main queue.
    void connectToDevice(const std::optional<std::string>& path);

    // Device discovery, gamepad control, telemetry display (each run by a timer or notification).
    void scanDevices();
    void refreshGamepads();
    // Reads the chosen gamepad and lets the arbiter decide the requests.
    void pollGamepad();
    // Shows the shown source's telemetry on the wheel and, unless `inspectorToo` is false, in the
    // inspector; the live session's samples go into its series whichever source is shown.
    void refreshTelemetry(bool inspectorToo = true);

    // Shows `source` (a replay) in place of the live session, or the live session again (none).
    // While a source is shown the status row shows its status; the device popup, Connect, the
    // sliders, the gamepad and the firmware action are disabled; and the requests are held at 0,
    // so a connected device stays connected and is sent nothing else. The disabled sliders and
    // their labels show the requests the source offers (a replay's recorded ones at its playhead).
    void setTelemetrySource(std::shared_ptr<TelemetrySource> source);
    // The source shown in place of the live session; none while the live session is shown.
    std::shared_ptr<TelemetrySource> telemetrySource() const { return shown_ == live_ ? nullptr : shown_; }
    // The source the views show: the live session's or the one set in its place.
    const std::shared_ptr<TelemetrySource>& shownSource() const { return shown_; }

    // Maneuver suites: the third source of requests. While a suite runs its requests go out
    // instead of the sliders' and the gamepad's, and the gamepad source is pumped on every tick
    // for its buttons (see ManeuverControl).
    // A connected device that responds and runs its firmware, no suite running and no replay shown.
    bool canRunManeuvers() const;
    // Starts `suite` (read from `fileName`) on the connected device under the gamepad settings'
    // hold-to-enable; false when it cannot run (canRunManeuvers(), or its first tick would abort
    // on what the device reports now), with why in `refusal` when given.
    bool startManeuvers(ManeuverSuite suite, std::string fileName, std::string* refusal = nullptr);
    bool isRunningManeuvers() const { return configuration_.maneuvers && configuration_.maneuvers->isRunning(); }

    // The firmware-update workflow, started by the firmware-version row's button; nothing
    // without an update provider and flasher.
    void checkForUpdates();
    // For a device in its bootloader: writes the latest firmware straight away (no comparison,
    // no dialog, no reset: the connected port is the bootloader's). Nothing otherwise.
    void installFirmware();
    // The firmware row's button and the menu item: "Install Firmware" for a device in its
    // bootloader, "Check for Update" otherwise.
    void runFirmwareAction();

    // Observed properties.
    // The device list (DeviceList keeps it, its popup and the device to reconnect).
    const std::vector<std::string>& devices() const { return deviceList_->devices(); }
    void setDevices(std::vector<std::string> devices) { deviceList_->setDevices(std::move(devices)); }
    const std::optional<std::string>& selectedDevice() const { return deviceList_->selectedDevice(); }
    void setSelectedDevice(std::optional<std::string> device) { deviceList_->setSelectedDevice(std::move(device)); }
    const std::vector<GamepadHandle>& gamepads() const { return gamepads_; }
    void setGamepads(std::vector<GamepadHandle> gamepads);
    const GamepadHandle& selectedGamepad() const { return selectedGamepad_; }
    void setSelectedGamepad(GamepadHandle gamepad);
    std::optional<std::string> reconnectDevice() const { return deviceList_->reconnectDevice(); }
    void setReconnectsLastDevice(bool reconnects) { deviceList_->setReconnectsLastDevice(reconnects); }
    const std::optional<std::string>& lastConnectedDevice() const { return deviceList_->lastConnectedDevice(); }
    // The device remembered from an earlier run: selected once listed, and what Connect
    // connects while nothing is selected.
    void rememberLastDevice(std::string path) { deviceList_->rememberLastDevice(std::move(path)); }

    // Dead zone, inversion and hold-to-enable of the gamepad control.
    const GamepadSettings& gamepadSettings() const { return gamepadControl_.settings(); }
    void setGamepadSettings(const GamepadSettings& settings);
    // The requests last decided (see RequestArbiter), which the device gets and the labels and
    // sliders show unless the shown source offers requests of its own.
    double requestedLongitudinalControl() const { return arbiter_.lastDecision().request.longitudinal; }
    double requestedLateralControl() const { return arbiter_.lastDecision().request.lateral; }
    // What the sliders ask for, as moving them does; the arbiter decides whether it goes out.
    void setRequestedLongitudinalControl(double value);
    void setRequestedLateralControl(double value);
    // Lets the arbiter decide the requests from what each source offers, writes them to the
    // session, shows them, and has the sources that were passed over let go of what they held.
    // Runs on every control tick and whenever a source changes (a suite that ended, say).
    void updateRequests();
    // The request source that last won, and what the controls may do now.
    std::optional<RequestSource> activeRequestSource() const { return arbiter_.lastDecision().source; }
    ControlStates controlStates() const;
    double steeringWheelAngle() const { return steeringWheelAngle_; }
    void setSteeringWheelAngle(double degrees);
    const StatusIndication& vehicleStatus() const { return vehicleStatus_; }
    void setVehicleStatus(StatusIndication status);
    // The modal progress sheet (ModalProgress presents, updates and dismisses it).
    const std::optional<std::string>& modalProgressStatusText() const { return modalProgress_.statusText(); }
    void setModalProgressStatusText(std::optional<std::string> text) override {
        modalProgress_.setStatusText(std::move(text));
    }
    const std::optional<double>& modalProgressStatusProgress() const { return modalProgress_.statusProgress(); }
    void setModalProgressStatusProgress(std::optional<double> progress) override {
        modalProgress_.setStatusProgress(progress);
    }
    const std::optional<std::string>& modalProgressDetailText() const { return modalProgress_.detailText(); }
    void setModalProgressDetailText(std::optional<std::string> text) override {
        modalProgress_.setDetailText(std::move(text));
    }
    const std::optional<std::string>& modalProgressOutput() const { return modalProgress_.output(); }
    void setModalProgressOutput(std::optional<std::string> output) override {
        modalProgress_.setOutput(std::move(output));
    }
    void updateModalProgress() { modalProgress_.update(); }

    InspectorManager& inspectorManager() { return *inspectorManager_; }
    const std::shared_ptr<DeviceSerialInterface>& vehicleInterface() const { return connection_->session(); }
    bool isConnectingToVehicle() const { return connection_->isConnecting(); }
    const std::shared_ptr<ModalProgressViewController>& currentModalProgressViewController() const {
        return modalProgress_.currentSheet();
    }
    // The flasher the console was handed (only with one).
    BossacManager& bossac() { return *configuration_.bossac; }
    const MovingAverage& lateralAverage() const { return gamepadControl_.lateralAverage(); }
    bool hasControlTimer() const { return _controlUpdateTimer != nullptr; }
    const RepeatingTimer* deviceListTimer() const { return _deviceListUpdateTimer.get(); }

    // What the update workflow asks of the console.
    void presentUpdateInformationDialog(std::function<void(UpdateInformationViewController&)> prepare) override;
    void dismissUpdateInformationDialog(UpdateInformationViewController& dialog) override;
    void presentError(const ErrorRef& error) override { PlatformViewController::presentError(error); }
    void presentErrorModalForWindow(const ErrorRef& error) override {
        PlatformViewController::presentErrorModalForWindow(error);
    }
    void showAlertModalForWindow(const Alert& alert) override {
        showAlert(alert, true, [] {});
    }
    bool hasDeviceSession() const override { return vehicleInterface() != nullptr; }
    std::optional<Version> deviceVersion() const override;
    std::optional<std::string> takeSelectedDevice() override;
    void disconnectDeviceFirst(std::function<void()> then) override;
    void followDevice(const std::string& path, std::chrono::seconds within,
                      std::function<void(std::optional<Version>)> cameBack) override;

private:
    void startDeviceListTimer();
    void startControlTimer();
    void updateSteeringWheel();
    // Fades the wheel while its angle no longer holds.
    void setSteeringWheelStale(bool stale);
    void showRequests(const ControlRequest& request);
    void selectGamepadPopupEntry();
    LinkState linkState() const;
    // The selected device, or the last connected one when none is selected.
    std::optional<std::string> deviceToConnect() const;
    // Every control follows the active source and the link (controlStatesFor).
    void updateConnectionControls();
    void showVehicleStatus();
    std::weak_ptr<ViewController> weakSelf();

    Configuration configuration_;

    std::shared_ptr<DeviceConnection> connection_;
    std::unique_ptr<DeviceList> deviceList_;
    std::shared_ptr<UpdateWorkflow> updateWorkflow_;
    std::unique_ptr<RepeatingTimer> _deviceListUpdateTimer;
    std::unique_ptr<RepeatingTimer> _controlUpdateTimer;
    ModalProgress modalProgress_{*this};
    GamepadControl gamepadControl_;
    std::unique_ptr<InspectorManager> inspectorManager_;
    ObserverToken _observerGamepadConnect;
    ObserverToken _observerGamepadDisconnect;

    StatusIndication vehicleStatus_;
    std::shared_ptr<LiveTelemetrySource> live_;
    std::shared_ptr<TelemetrySource> shown_;  // live_, or a replay in its place
    std::vector<GamepadHandle> gamepads_;
    RequestArbiter arbiter_;
    // A device followed back after an update, until it reports its version or the time is up.
    struct Confirmation {
        std::string path;
        std::chrono::steady_clock::time_point until;
        std::function<void(std::optional<Version>)> cameBack;
    };
    std::optional<Confirmation> confirmation_;
    void checkConfirmation();
    ControlRequest sliderRequest_;
    std::optional<ControlRequest> gamepadRequest_;
    std::optional<RequestSource> controlsShownFor_;  // the source updateConnectionControls last saw
    GamepadHandle selectedGamepad_;
    double steeringWheelAngle_ = 0;
    bool steeringWheelStale_ = false;
    // The view, angle and width the wheel's transform was last set for.
    struct WheelTransformKey {
        const ImageView* view = nullptr;
        double degrees = 0;
        double width = 0;
        friend bool operator==(const WheelTransformKey&, const WheelTransformKey&) = default;
    };
    WheelTransformKey wheelTransformFor_;
};

}  // namespace orvane
