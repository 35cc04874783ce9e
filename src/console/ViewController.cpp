#include "console/ViewController.h"

#include <algorithm>
#include <chrono>

#include "console/PopupEntries.h"
#include "console/SessionTap.h"
#include "console/TelemetryDisplay.h"
#include "device/DeviceSerialInterface.h"
#include "inspector/InspectorViewController.h"
#include "platform/Log.h"
#include "platform/SeguePresentation.h"
#include "platform/Translation.h"
#include "update/UpdateInformationViewController.h"

namespace orvane {

namespace {

constexpr auto kTimerFirstFiring = std::chrono::milliseconds(100);
constexpr auto kDeviceListInterval = std::chrono::milliseconds(1000);
constexpr auto kControlInterval = std::chrono::milliseconds(20);
constexpr std::uint64_t kInspectorEveryNthTick = 10;
constexpr std::uint64_t kGamepadListEveryNthTick = 5;
// How long a device that went away is waited for: one restarting after an update, or one whose
// reconnect was asked for while it was away.
constexpr std::chrono::seconds kFollowTime{30};
// A wheel whose angle no longer holds is drawn faded to this opacity.
constexpr double kStaleWheelAlpha = 0.3;

}  // namespace

ViewController::ViewController() : ViewController(Configuration{}) {}

ViewController::ViewController(Configuration configuration)
    : configuration_(std::move(configuration)),
      inspectorManager_(std::make_unique<InspectorManager>()),
      vehicleStatus_(StatusIndication::unknown(translate("ViewController", "Unknown"))),
      arbiter_([this](const ControlRequest& request) {
          if (const auto& session = vehicleInterface()) {
              session->setRequestLateralControlMagntiude(request.lateral);
              session->setRequestLongitudinalControlMagntiude(request.longitudinal);
          }
      }) {
    // The sources in their order of precedence: a shown replay holds the device at 0, a running
    // suite drives it, then the chosen gamepad, then the sliders.
    arbiter_.setSource(RequestSource::replayHold, [this]() -> std::optional<ControlRequest> {
        if (shown_ != live_) return ControlRequest{};
        return std::nullopt;
    });
    // The suite writes its requests on its own thread; the console shows them and writes none.
    arbiter_.setSource(
        RequestSource::maneuverSuite,
        [this]() -> std::optional<ControlRequest> {
            if (!isRunningManeuvers()) return std::nullopt;
            const ManeuverRunnerState state = configuration_.maneuvers->state();
            return ControlRequest{state.lateral, state.longitudinal};
        },
        RequestArbiter::Writer::source);
    arbiter_.setSource(RequestSource::gamepad, [this] { return gamepadRequest_; });
    arbiter_.setSource(RequestSource::sliders, [this] { return std::optional(sliderRequest_); });

    if (configuration_.updateProvider && configuration_.bossac) {
        updateWorkflow_ = std::make_shared<UpdateWorkflow>(configuration_.updateProvider, configuration_.bossac);
    }

    // The connection outlives no console: its status goes to whichever console is still there.
    connection_ = std::make_shared<DeviceConnection>(
        [this](StatusIndication status) {
            setVehicleStatus(std::move(status));
            if (vehicleStatus_.state() == StatusIndication::Case::positive && vehicleInterface()) {
                deviceList_->noteConnected(vehicleInterface()->path());
            }
            updateConnectionControls();
        },
        configuration_.sessionTap);
    deviceList_ = std::make_unique<DeviceList>(
        DeviceList::Configuration{configuration_.deviceDirectory, configuration_.ttyClassDirectory,
                                  configuration_.devicesPopup},
        connection_, [this] { updateConnectionControls(); });
    live_ = std::make_shared<LiveTelemetrySource>(
        connection_, configuration_.series,
        configuration_.sessionTap ? configuration_.sessionTap->traffic() : std::shared_ptr<TrafficLog>());
    shown_ = live_;
    arbiter_.decide();  // the sliders at rest, before any session
}

ViewController::~ViewController() {
    _controlUpdateTimer.reset();
    _deviceListUpdateTimer.reset();
    // The connection ends a live session as it goes.
    deviceList_.reset();
    connection_.reset();
}

std::weak_ptr<ViewController> ViewController::weakSelf() {
    return std::static_pointer_cast<ViewController>(shared_from_this());
}

// MARK: Lifecycle

void ViewController::viewDidLoad() {
    PlatformViewController::viewDidLoad();
    auto weak = weakSelf();
    inspectorManager_->device().version->setActionHandler([weak] {
        if (auto self = weak.lock()) self->runFirmwareAction();
    });
    if (const auto& button = configuration_.connectionButton) {
        button->setAction([weak, sender = button.get()] {
            if (auto self = weak.lock()) self->didPressConnectionButton(sender);
        });
    }
    if (const auto& button = configuration_.checkForUpdateButton) {
        button->setAction([weak] {
            auto self = weak.lock();
            if (self && self->inspectorManager_->device().version->isActionEnabled()) self->runFirmwareAction();
        });
    }
    updateConnectionControls();
    if (steeringWheelImage) steeringWheelImage->setAnchorPoint({0.5, 0.5});

    auto refresh = [weak](const Notification&) {
        if (auto self = weak.lock()) self->refreshGamepads();
    };
    auto& center = NotificationCenter::defaultCenter();
    _observerGamepadConnect = center.addObserver(GCControllerDidConnectNotification, nullptr,
                                                 NotificationCenter::Delivery::postingThread, refresh);
    _observerGamepadDisconnect = center.addObserver(GCControllerDidDisconnectNotification, nullptr,
                                                    NotificationCenter::Delivery::postingThread, refresh);
}

void ViewController::viewWillAppear() {
    PlatformViewController::viewWillAppear();
    refreshGamepads();
    startDeviceListTimer();
    startControlTimer();
}

void ViewController::viewDidAppear() {
    PlatformViewController::viewDidAppear();
    if (const auto& inspector = configuration_.inspector) {
        inspector->rootItem()->setChildren(inspectorManager_->groups());
        if (auto outline = inspector->outlineView()) {
            outline->reloadData();
            outline->expandItem(nullptr, true);
        }
    }
    if (Window* w = window()) w->makeFirstResponder(this);
}

void ViewController::prepareForSegue(const StoryboardSegue& segue, Object* sender) {
    if (auto* presenter = dynamic_cast<SegueCallbackPresenter*>(sender)) {
        presenter->handleSegue(segue);
        return;
    }
    if (segue.identifier == ModalProgressSegue) modalProgress_.prepareSheet(segue.destinationController);
}

// MARK: Timers

void ViewController::startDeviceListTimer() {
    auto weak = weakSelf();
    _deviceListUpdateTimer = RepeatingTimer::start(
        RepeatingTimer::Queue::main, kTimerFirstFiring, kDeviceListInterval,
        [weak] {
            if (auto self = weak.lock()) self->scanDevices();
        },
        "orvane-devscan");
}

void ViewController::startControlTimer() {
    if (_controlUpdateTimer) return;
    auto weak = weakSelf();
    // Requests follow the gamepad 50 times a second, and so does the wheel; the inspector's
    // text is read, not watched, and changes every tenth tick (5 times a second), which keeps
    // the window from redrawing rows faster than anyone can read them.
    // The tick runs on the main queue: a firing is posted only once the previous one has run,
    // so ticks never pile up behind a busy window; where the front end drives main-queue
    // timers itself, a tick costs one wake of the main thread and no other thread at all.
    auto tick = std::make_shared<std::uint64_t>(0);
    _controlUpdateTimer = RepeatingTimer::start(
        RepeatingTimer::Queue::main, kTimerFirstFiring, kControlInterval,
        [weak, tick] {
            if (auto self = weak.lock()) {
                const std::uint64_t n = (*tick)++;
                // The chosen gamepad is read fresh on every tick; without one, a gamepad that
                // comes or goes is noticed within a tenth of a second.
                const auto& source = self->configuration_.gamepadSource;
                // A running maneuver suite is handed every gamepad's buttons on every tick; it
                // runs on its own thread and does not wait for this one.
                const auto& maneuvers = self->configuration_.maneuvers;
                const bool maneuvering = maneuvers && maneuvers->isRunning();
                if (source && (maneuvering || self->selectedGamepad_ || n % kGamepadListEveryNthTick == 0)) {
                    source->pump();
                }
                if (maneuvering) maneuvers->noteGamepads(source ? source->controllers() : std::vector<GamepadHandle>{});
                self->pollGamepad();
                self->refreshTelemetry(n % kInspectorEveryNthTick == 0);
            }
        },
        "orvane-control");
}

// MARK: Connection flow

void ViewController::connectToDevice(const std::optional<std::string>& path) { connection_->connectToDevice(path); }

// MARK: Vehicle status

void ViewController::setVehicleStatus(StatusIndication status) {
    vehicleStatus_ = std::move(status);
    showVehicleStatus();
}

void ViewController::showVehicleStatus() {
    // A shown telemetry source keeps the row; the live status comes back with the live session.
    if (shown_ != live_) {
        inspectorManager_->device().connectionStatus->setStatus(shown_->status(), std::nullopt);
    } else {
        inspectorManager_->device().connectionStatus->setStatus(
            vehicleStatus_, connection_ ? connection_->statusDetail() : std::nullopt);
    }
}

void ViewController::setTelemetrySource(std::shared_ptr<TelemetrySource> source) {
    // A suite drives the device the window shows; once the window shows something else it ends.
    if (source && isRunningManeuvers())
        configuration_.maneuvers->abort(translate("ViewController", "a recording was opened"));
    shown_ = source ? std::move(source) : live_;
    // Nothing is asked of the device while a source is shown: the replay's hold keeps it at 0.
    updateRequests();
    showVehicleStatus();
    refreshTelemetry(true);
}

// MARK: Device discovery

void ViewController::scanDevices() { deviceList_->scan(); }

LinkState ViewController::linkState() const {
    const auto& session = vehicleInterface();
    if (!session || !session->isConnected()) return isConnectingToVehicle() ? LinkState::connecting : LinkState::none;
    if (connection_->isInBootloader()) return LinkState::bootloader;
    return session->decodedMessageCount() > 0 && !connection_->isNotResponding() ? LinkState::responding
                                                                                 : LinkState::notResponding;
}

ControlStates ViewController::controlStates() const {
    return controlStatesFor(activeRequestSource(), linkState(), deviceToConnect().has_value());
}

void ViewController::updateConnectionControls() {
    controlsShownFor_ = activeRequestSource();
    const ControlStates states = controlStates();
    const auto& session = vehicleInterface();
    const bool connected = session && session->isConnected();
    // A device in its bootloader runs no firmware: the firmware row says so, and its action
    // installs the latest firmware.
    const bool inBootloader = connected && connection_->isInBootloader();
    const std::string action = inBootloader ? translate("ViewController", "Install Firmware")
                                            : translate("ViewController", "Check for Update");
    auto& version = *inspectorManager_->device().version;
    version.setActionTitle(action);
    version.setAbsentValueText(inBootloader ? translate("ViewController", "No firmware")
                                            : translate("ViewController", "Unknown"));
    version.setActionEnabled(states.firmwareAction);
    if (const auto& button = configuration_.checkForUpdateButton) {
        button->setTitle(action);
        button->setEnabled(states.firmwareAction);
    }
    if (const auto& button = configuration_.connectionButton) {
        button->setTitle(connected ? translate("ViewController", "Disconnect")
                                   : translate("ViewController", "Connect"));
        button->setEnabled(states.connectButton);
    }
    if (longControlSlider) longControlSlider->setEnabled(states.sliders);
    if (latControlSlider) latControlSlider->setEnabled(states.sliders);
    if (const auto& popup = configuration_.devicesPopup) popup->setEnabled(states.deviceList);
    if (const auto& popup = configuration_.gamepadsPopup) popup->setEnabled(states.gamepadList);
}

void ViewController::didPressConnectionButton(Object*) {
    if (!controlStates().connectButton) return;
    const auto& session = vehicleInterface();
    if (session && session->isConnected()) {
        logInfo(kConsoleLog, "Disconnect chosen");
        connection_->disconnectIfConnected([] {});
    } else if (selectedDevice()) {
        connectToDevice(selectedDevice());
    } else if (const auto& last = lastConnectedDevice()) {
        // Without a selection Connect reconnects the last device (its link was lost, say): at
        // once when it is listed, otherwise once it is listed again, and the log says why.
        if (std::find(devices().begin(), devices().end(), *last) != devices().end()) {
            deviceList_->setSelectedDevice(last);
            connectToDevice(last);
        } else {
            logWarning(kConsoleLog, *last + " is not in the device list (unplugged, or still starting): it is " +
                                        "connected once it is listed within " + std::to_string(kFollowTime.count()) +
                                        " s");
            deviceList_->follow(*last, kFollowTime);
        }
    }
}

std::optional<std::string> ViewController::deviceToConnect() const {
    return selectedDevice() ? selectedDevice() : lastConnectedDevice();
}

void ViewController::followDevice(const std::string& path, std::chrono::seconds within,
                                  std::function<void(std::optional<Version>)> cameBack) {
    logInfo(kConsoleLog, "Waiting for " + path + " to come back with its new firmware");
    deviceList_->follow(path, within);
    confirmation_ = Confirmation{path, std::chrono::steady_clock::now() + within, std::move(cameBack)};
}

void ViewController::checkConfirmation() {
    if (!confirmation_) return;
    const auto& session = vehicleInterface();
    std::optional<Version> reported;
    if (session && session->isConnected() && session->path() == confirmation_->path && !connection_->isInBootloader()) {
        reported = session->version();
    }
    if (!reported && std::chrono::steady_clock::now() < confirmation_->until) return;
    auto cameBack = std::move(confirmation_->cameBack);
    confirmation_.reset();
    if (cameBack) cameBack(reported);
}

void ViewController::didSelectDevice(Object*) {
    if (controlStates().deviceList) deviceList_->didSelectDevice();
}

// MARK: Gamepad control

void ViewController::refreshGamepads() {
    std::vector<GamepadHandle> usable;
    if (configuration_.gamepadSource) {
        for (auto& controller : configuration_.gamepadSource->controllers()) {
            if (controller && controller->extendedGamepad()) usable.push_back(controller);
        }
    }
    setGamepads(std::move(usable));

    PopupButton* popup = configuration_.gamepadsPopup.get();
    if (!popup) return;
    popup->removeAllItems();
    if (!gamepads_.empty()) {
        popup->addItemWithTitle(
            withArgs(translate("ViewController", "Discovered %1 gamepads."), std::to_string(gamepads_.size())));
    } else {
        popup->addItemWithTitle(translate("ViewController", "No gamepads found."));
    }
    popup->setItemEnabled(0, false);
    for (const auto& gamepad : gamepads_) {
        auto name = gamepad->vendorName();
        popup->addItemWithTitle(name && !name->empty() ? *name : translate("ViewController", "Untitled Gamepad"));
    }
}

void ViewController::setGamepads(std::vector<GamepadHandle> gamepads) { gamepads_ = std::move(gamepads); }

void ViewController::setGamepadSettings(const GamepadSettings& settings) {
    gamepadControl_.setSettings(settings);
    logInfo(kConsoleLog, "Gamepad settings: dead zone " + std::to_string(settings.deadZone) +
                             (settings.invertLateral ? ", lateral inverted" : "") +
                             (settings.invertLongitudinal ? ", longitudinal inverted" : "") +
                             (settings.holdToEnable ? ", hold the right shoulder button to enable" : ""));
}

void ViewController::setSelectedGamepad(GamepadHandle gamepad) {
    selectedGamepad_ = std::move(gamepad);
    gamepadRequest_.reset();  // a gamepad offers only once it is read
    selectGamepadPopupEntry();
}

void ViewController::selectGamepadPopupEntry() {
    if (PopupButton* popup = configuration_.gamepadsPopup.get()) {
        popup->selectItemAtIndex(selectedGamepad_ ? popupEntryOf(gamepads_, selectedGamepad_) : 0);
    }
}

void ViewController::didSelectGamepad(Object*) {
    PopupButton* popup = configuration_.gamepadsPopup.get();
    if (!popup) {
        setSelectedGamepad(nullptr);
        return;
    }
    setSelectedGamepad(itemOfPopupEntry(gamepads_, popup->indexOfSelectedItem()).value_or(nullptr));
}

void ViewController::pollGamepad() {
    gamepadRequest_.reset();
    if (selectedGamepad_) {
        const GamepadControl::Requests requests = gamepadControl_.poll(selectedGamepad_->extendedGamepad());
        if (requests.released) {
            // Fully released: let go of the vanished gamepad so the sliders work again.
            setSelectedGamepad(nullptr);
        } else {
            gamepadRequest_ = ControlRequest{requests.lateral, requests.longitudinal};
        }
    }
    updateRequests();
}

void ViewController::setRequestedLongitudinalControl(double value) {
    sliderRequest_.longitudinal = value;
    updateRequests();
}

void ViewController::setRequestedLateralControl(double value) {
    sliderRequest_.lateral = value;
    updateRequests();
}

void ViewController::updateRequests() {
    const RequestArbiter::Decision decision = arbiter_.decide();
    // A source passed over lets go of what it held, so that it starts from 0 when it drives
    // again: the gamepad's lateral request ramps up anew, a slider is back at rest.
    if (gamepadRequest_ && decision.source != RequestSource::gamepad) {
        gamepadControl_.forgetSamples();
        gamepadRequest_.reset();
    }
    if (decision.source != RequestSource::sliders) sliderRequest_ = {};
    // A source that shows requests of its own (a replay's recorded ones) shows them on its
    // refresh; the decision, which is what the device gets, shows otherwise. Only a shown replay
    // holds the device, so the live session's control tick asks its source nothing here.
    if (shown_ == live_ || !shown_->shown().requests) showRequests(decision.request);
    if (decision.source != controlsShownFor_) updateConnectionControls();
}

void ViewController::showRequests(const ControlRequest& request) {
    const double lateral = request.lateral, longitudinal = request.longitudinal;
    if (longControlLabel) {
        const ControlLabel label = longitudinalControlLabel(longitudinal);
        longControlLabel->setTextColor(label.color);
        longControlLabel->setStringValue(label.text);
    }
    if (longControlSlider) longControlSlider->setDoubleValue(longitudinal * 100);
    if (latControlLabel) latControlLabel->setStringValue(lateralControlLabel(lateral).text);
    if (latControlSlider) latControlSlider->setDoubleValue(lateral != 0 ? lateral * 100 : 0);
}

void ViewController::didChangeLongSlider(Object*) {
    auto event = currentEventType();
    if (!event) return;
    double value = 0;
    if (*event != EventType::leftMouseUp && longControlSlider) value = longControlSlider->doubleValue() / 100;
    setRequestedLongitudinalControl(value);
}

void ViewController::didChangeLatSlider(Object*) {
    auto event = currentEventType();
    if (!event) return;
    double value = 0;
    if (*event != EventType::leftMouseUp && latControlSlider) value = latControlSlider->doubleValue() / 100;
    setRequestedLateralControl(value);
}

// MARK: Maneuvers

bool ViewController::canRunManeuvers() const {
    return configuration_.maneuvers && !configuration_.maneuvers->isRunning() && controlStates().runManeuvers;
}

bool ViewController::startManeuvers(ManeuverSuite suite, std::string fileName, std::string* refusal) {
    if (!canRunManeuvers()) {
        if (refusal) *refusal = translate("ViewController", "The device no longer responds, or another suite runs.");
        return false;
    }
    // The enable button's hold as the suite starts, so that hold-to-enable starts held.
    const auto& source = configuration_.gamepadSource;
    configuration_.maneuvers->noteGamepads(source ? source->controllers() : std::vector<GamepadHandle>{});
    const auto refused = configuration_.maneuvers->start(std::move(suite), std::move(fileName), vehicleInterface(),
                                                         requestTargetFor(vehicleInterface()),
                                                         {.holdToEnable = gamepadSettings().holdToEnable});
    if (refused) {
        // A suite whose first tick would abort is not started: say why, with a capital.
        if (refusal) *refusal = withArgs(translate("ViewController", "It would abort at once: %1."), *refused);
        return false;
    }
    updateRequests();
    return true;
}

// MARK: Telemetry display

void ViewController::refreshTelemetry(bool inspectorToo) {
    connection_->checkResponsiveness();
    checkConfirmation();
    // The traffic's hand-over queue goes into its history whether or not a panel shows it, so
    // the queue overflows only when this thread stalls.
    if (configuration_.sessionTap && configuration_.sessionTap->traffic()) {
        configuration_.sessionTap->traffic()->drainIfDue(std::chrono::steady_clock::now());
    }
    // The live session's samples go into its series whichever source is shown, so the plots are
    // whole when the live session is shown again.
    live_->appendToSeries(requestedLateralControl(), requestedLongitudinalControl());
    const ShownTelemetry shown = shown_->shown();
    if (inspectorToo) showTelemetry(shown_->telemetry(), *inspectorManager_, shown.valuesStale, shown_->knownFields());
    if (shown.requests) showRequests(*shown.requests);
    setSteeringWheelAngle(shown.wheelAngle);
    setSteeringWheelStale(shown.wheelStale);
}

void ViewController::setSteeringWheelStale(bool stale) {
    if (stale == steeringWheelStale_) return;
    steeringWheelStale_ = stale;
    if (steeringWheelImage) steeringWheelImage->setAlphaValue(stale ? kStaleWheelAlpha : 1.0);
}

void ViewController::setSteeringWheelAngle(double degrees) {
    steeringWheelAngle_ = degrees;
    updateSteeringWheel();
}

void ViewController::updateSteeringWheel() {
    if (!steeringWheelImage) return;
    // Fifty times a second, mostly with the angle and the size the wheel already shows: the
    // transform is built again only when either changed (or the view is another).
    const WheelTransformKey key{steeringWheelImage.get(), steeringWheelAngle_, steeringWheelImage->frame().width};
    if (key == wheelTransformFor_) return;
    wheelTransformFor_ = key;
    const double width = key.width;
    steeringWheelImage->setAnchorPoint({0.5, 0.5});
    steeringWheelImage->setTransform(steeringWheelTransform(steeringWheelAngle_, width));
}

// MARK: Firmware update

void ViewController::checkForUpdates() {
    if (!updateWorkflow_) return;
    updateWorkflow_->setHost(std::static_pointer_cast<ViewController>(shared_from_this()));
    updateWorkflow_->checkForUpdates();
}

void ViewController::installFirmware() {
    if (!updateWorkflow_ || !vehicleInterface() || !connection_->isInBootloader()) return;
    updateWorkflow_->setHost(std::static_pointer_cast<ViewController>(shared_from_this()));
    updateWorkflow_->installFirmware();
}

void ViewController::runFirmwareAction() {
    if (connection_->isInBootloader()) {
        installFirmware();
    } else {
        checkForUpdates();
    }
}

void ViewController::presentUpdateInformationDialog(std::function<void(UpdateInformationViewController&)> prepare) {
    performSegueWithHandler<UpdateInformationViewController>(*this, SoftwareUpdateInformationSegue, std::move(prepare));
}

void ViewController::dismissUpdateInformationDialog(UpdateInformationViewController& dialog) {
    dismissViewController(dialog);
}

std::optional<Version> ViewController::deviceVersion() const {
    const auto& session = vehicleInterface();
    return session ? session->version() : std::nullopt;
}

std::optional<std::string> ViewController::takeSelectedDevice() {
    std::optional<std::string> device = selectedDevice();
    setSelectedDevice(std::nullopt);
    return device;
}

void ViewController::disconnectDeviceFirst(std::function<void()> then) {
    connection_->disconnectIfConnected(std::move(then));
}

}  // namespace orvane
