#include "console/ViewController.h"

#include <dirent.h>

#include <algorithm>
#include <cmath>

#include "app/MainWindowController.h"
#include "app/MasterViewController.h"
#include "app/SeguePresentation.h"
#include "device/DeviceSerialInterface.h"
#include "device/NumberText.h"
#include "inspector/InspectorViewController.h"
#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "update/BossacManager.h"
#include "update/FirmwareEndpoint.h"
#include "update/HalvernServerUpdateProvider.h"

namespace orvane {

namespace {

constexpr auto kTimerFirstFiring = std::chrono::milliseconds(100);
constexpr auto kDeviceListInterval = std::chrono::milliseconds(1000);
constexpr auto kControlInterval = std::chrono::milliseconds(20);
constexpr std::size_t kLateralAverageCapacity = 20;

// ⌊value⌋ as the labels print it: a whole number followed by ".0".
std::string flooredText(double value) {
    const double floored = std::floor(value);
    if (!std::isfinite(floored)) return numberText(floored);
    return std::to_string(static_cast<long long>(floored)) + ".0";
}

// The popup entry that stands for `item`: entry 0 is the header, entry i + 1 is list[i]; the
// header when the item is not listed.
template <typename T>
int popupEntryOf(const std::vector<T>& list, const T& item) {
    auto found = std::find(list.begin(), list.end(), item);
    return found == list.end() ? 0 : static_cast<int>(found - list.begin()) + 1;
}

StatusIndication statusForTOI(std::optional<TOIStatus> status) {
    if (!status) return StatusIndication::unknown("Unknown");
    switch (*status) {
        case TOIStatus::unknown: return StatusIndication::unknown("Unknown");
        case TOIStatus::inactive: return StatusIndication::none("Not Active");
        case TOIStatus::faulted: return StatusIndication::negative("Faulted");
        case TOIStatus::active: return StatusIndication::positive("Activated");
        case TOIStatus::temporaryDeactivated: return StatusIndication::warning("Temporarily Deactivated");
    }
    return StatusIndication::unknown("Unknown");
}

}  // namespace

ViewController::ViewController() : ViewController(Configuration{}) {}

ViewController::ViewController(Configuration configuration)
    : configuration_(std::move(configuration)),
      _updateProvider(configuration_.updateProvider
                          ? configuration_.updateProvider
                          : std::make_shared<HalvernServerUpdateProvider>(firmwareInformationEndpoint())),
      _bossac(configuration_.bossac ? configuration_.bossac : std::make_shared<BossacManager>()),
      _lateralAverage(std::make_unique<MovingAverage>(kLateralAverageCapacity)),
      inspectorManager_(std::make_unique<InspectorManager>()),
      vehicleStatus_(StatusIndication::unknown("Unknown")) {
    if (configuration_.deviceDirectory.empty() || configuration_.deviceDirectory.back() != '/') {
        configuration_.deviceDirectory += '/';
    }
}

ViewController::~ViewController() {
    // The control timer's thread may be waiting for the main queue; let it give up first.
    controlTimerCancelled_->store(true);
    _controlUpdateTimer.reset();
    _deviceListUpdateTimer.reset();
    // A session must not keep sending the last control request after its console is gone.
    if (auto session = std::move(_vehicleInterface); session && session->isConnected()) {
        dispatchGlobal([session] { session->disconnect(); });
    }
}

std::weak_ptr<ViewController> ViewController::weakSelf() {
    return std::static_pointer_cast<ViewController>(shared_from_this());
}

MainWindowController* ViewController::mainWindowController() {
    Window* w = window();
    return w ? dynamic_cast<MainWindowController*>(w->windowController()) : nullptr;
}

PopupButton* ViewController::devicesPopup() {
    MainWindowController* windowController = mainWindowController();
    return windowController ? windowController->devicesPopupButton.get() : nullptr;
}

PopupButton* ViewController::gamepadsPopup() {
    MainWindowController* windowController = mainWindowController();
    return windowController ? windowController->gamepadsPopupButton.get() : nullptr;
}

std::shared_ptr<InspectorViewController> ViewController::inspector() {
    auto master = std::dynamic_pointer_cast<MasterViewController>(parentViewController());
    return master ? master->inspector : nullptr;
}

// MARK: Lifecycle

void ViewController::viewDidLoad() {
    PlatformViewController::viewDidLoad();
    auto weak = weakSelf();
    inspectorManager_->device().version->setActionHandler([weak] {
        if (auto self = weak.lock()) self->checkForUpdates();
    });
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
    if (auto inspectorController = inspector()) {
        inspectorController->rootItem()->setChildren(inspectorManager_->groups());
        if (auto outline = inspectorController->outlineView()) {
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
    if (segue.identifier == ModalProgressSegue) {
        _currentModalProgressViewController =
            std::dynamic_pointer_cast<ModalProgressViewController>(segue.destinationController);
        if (_currentModalProgressViewController) _currentModalProgressViewController->loadViewIfNeeded();
        updateModalProgress();
    }
}

// MARK: Timers

void ViewController::startDeviceListTimer() {
    auto weak = weakSelf();
    _deviceListUpdateTimer = RepeatingTimer::start(RepeatingTimer::Queue::main, kTimerFirstFiring,
                                                   kDeviceListInterval, [weak] {
                                                       if (auto self = weak.lock()) self->scanDevices();
                                                   });
}

void ViewController::startControlTimer() {
    if (_controlUpdateTimer) return;
    auto weak = weakSelf();
    auto cancelled = controlTimerCancelled_;
    _controlUpdateTimer = RepeatingTimer::start(
        RepeatingTimer::Queue::global, kTimerFirstFiring, kControlInterval, [weak, cancelled] {
            MainQueue::shared().sync(
                [weak] {
                    if (auto self = weak.lock()) {
                        self->pollGamepad();
                        self->refreshTelemetry();
                    }
                },
                cancelled.get());
        });
}

// MARK: Connection flow

void ViewController::connectToDevice(const std::optional<std::string>& path) {
    if (_isConnectingToVehicle.load()) return;
    if (_vehicleInterface && _vehicleInterface->isConnected()) {
        auto weak = weakSelf();
        disconnectFirst([weak, path] {
            if (auto self = weak.lock()) self->startConnecting(path);
        });
    } else {
        startConnecting(path);
    }
}

void ViewController::disconnectFirst(std::function<void()> then) {
    auto session = std::move(_vehicleInterface);
    _vehicleInterface = nullptr;
    setVehicleStatus(StatusIndication::warning("Disconnecting from vehicle..."));
    auto weak = weakSelf();
    dispatchGlobal([session, weak, then = std::move(then)] {
        session->disconnect();
        dispatchMain([weak, then] {
            auto self = weak.lock();
            if (!self) return;
            self->setVehicleStatus(StatusIndication::warning("Disconnected"));
            then();
        });
    });
}

void ViewController::startConnecting(const std::optional<std::string>& path) {
    _isConnectingToVehicle.store(true);
    if (!path) {
        setVehicleStatus(StatusIndication::negative("No interface selected or available."));
        _isConnectingToVehicle.store(false);
        _vehicleInterface = nullptr;
        return;
    }
    setVehicleStatus(StatusIndication::warning("Connecting to vehicle..."));

    // The attempt ends on the main queue, in the same step that shows its result, so a choice
    // made right after "Vehicle connnected" is never dropped as if the attempt still ran.
    auto weak = weakSelf();
    dispatchGlobal([weak, path = *path] {
        auto session = std::make_shared<DeviceSerialInterface>(path);
        try {
            session->connect();
            dispatchMain([weak, session] {
                auto self = weak.lock();
                if (!self) {
                    session->disconnect();
                    return;
                }
                self->setVehicleStatus(StatusIndication::positive("Vehicle connnected"));
                auto previous = std::exchange(self->_vehicleInterface, session);
                // A session replaced while still connected would keep sending its last
                // control request with nobody watching it: end it.
                if (previous && previous != session && previous->isConnected()) {
                    dispatchGlobal([previous] { previous->disconnect(); });
                }
                self->_isConnectingToVehicle.store(false);
            });
        } catch (const Error& error) {
            std::string description = error.localizedDescription();
            dispatchMain([weak, description] {
                auto self = weak.lock();
                if (!self) return;
                self->setVehicleStatus(StatusIndication::negative(description));
                if (self->_vehicleInterface) self->_vehicleInterface->disconnect();
                self->_vehicleInterface = nullptr;
                self->_isConnectingToVehicle.store(false);
            });
        }
    });
}

// MARK: Vehicle status and modal progress

void ViewController::setVehicleStatus(StatusIndication status) {
    vehicleStatus_ = std::move(status);
    inspectorManager_->device().connectionStatus->setStatus(vehicleStatus_);
}

void ViewController::setModalProgressStatusText(std::optional<std::string> text) {
    modalProgressStatusText_ = std::move(text);
    if (modalProgressStatusText_) {
        if (_currentModalProgressViewController) {
            updateModalProgress();
        } else {
            performSegueWithIdentifier(ModalProgressSegue, nullptr);
        }
    } else if (_currentModalProgressViewController) {
        auto sheet = std::move(_currentModalProgressViewController);
        _currentModalProgressViewController = nullptr;
        dismissViewController(*sheet);
    }
}

void ViewController::setModalProgressStatusProgress(std::optional<double> progress) {
    modalProgressStatusProgress_ = progress;
    updateModalProgress();
}

void ViewController::updateModalProgress() {
    auto sheet = _currentModalProgressViewController;
    if (!sheet) return;
    if (sheet->statusLabel) {
        sheet->statusLabel->setStringValue(modalProgressStatusText_ && !modalProgressStatusText_->empty()
                                               ? *modalProgressStatusText_
                                               : "Please wait...");
    }
    if (sheet->progressIndicator) {
        if (!modalProgressStatusProgress_) {
            sheet->progressIndicator->setIndeterminate(true);
            sheet->progressIndicator->setDoubleValue(0);
        } else {
            sheet->progressIndicator->setIndeterminate(false);
            sheet->progressIndicator->setDoubleValue(*modalProgressStatusProgress_ * 100);
        }
    }
}

// MARK: Device discovery

void ViewController::scanDevices() {
    std::vector<std::string> found;
    if (DIR* directory = opendir(configuration_.deviceDirectory.c_str())) {
        while (dirent* entry = readdir(directory)) {
            std::string_view name(entry->d_name);
            for (const auto& prefix : deviceNamePrefixes()) {
                if (name.starts_with(prefix)) {
                    found.push_back(configuration_.deviceDirectory + std::string(name));
                    break;
                }
            }
        }
        closedir(directory);
    }
    setDevices(std::move(found));
}

void ViewController::setDevices(std::vector<std::string> devices) {
    const std::vector<std::string> previous = std::exchange(devices_, std::move(devices));
    PopupButton* popup = devicesPopup();

    if (devices_ == previous && popup && popup->numberOfItems() >= 1) return;

    if (popup) {
        popup->removeAllItems();
        if (!devices_.empty()) {
            popup->addItemWithTitle("Discovered " + std::to_string(devices_.size()) + " devices.");
        } else {
            popup->setTitle("No devices found.");
            popup->addItemWithTitle("No devices found.");
        }
        popup->setItemEnabled(0, false);
    }

    if (_vehicleInterface &&
        std::find(devices_.begin(), devices_.end(), _vehicleInterface->path()) == devices_.end()) {
        setSelectedDevice(std::nullopt);
        connectToDevice(std::nullopt);
    }

    if (popup) {
        for (const auto& path : devices_) popup->addItemWithTitle(path);
    }
}

void ViewController::setSelectedDevice(std::optional<std::string> device) {
    selectedDevice_ = std::move(device);
    selectDevicePopupEntry();
}

void ViewController::selectDevicePopupEntry() {
    if (PopupButton* popup = devicesPopup()) {
        popup->selectItemAtIndex(selectedDevice_ ? popupEntryOf(devices_, *selectedDevice_) : 0);
    }
}

void ViewController::didSelectDevice(Object*) {
    PopupButton* popup = devicesPopup();
    const int index = popup ? popup->indexOfSelectedItem() : 0;
    if (index > 0 && static_cast<std::size_t>(index - 1) < devices_.size()) {
        setSelectedDevice(devices_[index - 1]);
    } else {
        setSelectedDevice(std::nullopt);
    }
    connectToDevice(selectedDevice_);
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

    PopupButton* popup = gamepadsPopup();
    if (!popup) return;
    popup->removeAllItems();
    if (!gamepads_.empty()) {
        popup->addItemWithTitle("Discovered " + std::to_string(gamepads_.size()) + " gamepads.");
    } else {
        popup->addItemWithTitle("No gamepads found.");
    }
    popup->setItemEnabled(0, false);
    for (const auto& gamepad : gamepads_) {
        auto name = gamepad->vendorName();
        popup->addItemWithTitle(name && !name->empty() ? *name : "Untitled Gamepad");
    }
}

void ViewController::setGamepads(std::vector<GamepadHandle> gamepads) { gamepads_ = std::move(gamepads); }

void ViewController::setSelectedGamepad(GamepadHandle gamepad) {
    selectedGamepad_ = std::move(gamepad);
    selectGamepadPopupEntry();
}

void ViewController::selectGamepadPopupEntry() {
    if (PopupButton* popup = gamepadsPopup()) {
        popup->selectItemAtIndex(selectedGamepad_ ? popupEntryOf(gamepads_, selectedGamepad_) : 0);
    }
}

void ViewController::didSelectGamepad(Object*) {
    PopupButton* popup = gamepadsPopup();
    if (!popup) {
        setSelectedGamepad(nullptr);
        return;
    }
    const int index = popup->indexOfSelectedItem();
    if (index >= 1 && static_cast<std::size_t>(index - 1) < gamepads_.size()) {
        setSelectedGamepad(gamepads_[index - 1]);
    } else {
        setSelectedGamepad(nullptr);
    }
}

void ViewController::pollGamepad() {
    if (!selectedGamepad_) return;
    ExtendedGamepad* pad = selectedGamepad_->extendedGamepad();

    // A selected gamepad that has gone away reads as released: the longitudinal request drops
    // to 0 at once and the lateral one drains through the average, instead of the vehicle
    // keeping the last requests.
    const float lt = pad ? pad->leftTrigger() : 0.0f;
    const float rt = pad ? pad->rightTrigger() : 0.0f;
    const float lx = pad ? pad->leftThumbstickX() : 0.0f;
    const float rx = pad ? pad->rightThumbstickX() : 0.0f;

    const float longitudinal = lt > 0 ? -lt : rt;
    setRequestedLongitudinalControl(static_cast<double>(longitudinal));

    const float sample = (rx + lx) * -0.5f;
    _lateralAverage->add(static_cast<double>(sample));
    setRequestedLateralControl(_lateralAverage->sum() / static_cast<double>(_lateralAverage->items().size()));

    if (!pad) {
        const auto& items = _lateralAverage->items();
        const bool drained = std::all_of(items.begin(), items.end(), [](double v) { return v == 0; });
        if (drained) {
            // Fully released: let go of the vanished gamepad so the sliders work again.
            if (requestedLateralControl_ != 0) setRequestedLateralControl(0);
            setSelectedGamepad(nullptr);
        }
    }
}

void ViewController::setRequestedLongitudinalControl(double value) {
    requestedLongitudinalControl_ = value;
    handleLongitudinalControl(value);
}

void ViewController::setRequestedLateralControl(double value) {
    requestedLateralControl_ = value;
    handleLateralControl(value);
}

void ViewController::handleLongitudinalControl(double v) {
    if (_vehicleInterface) _vehicleInterface->setRequestLongitudinalControlMagntiude(v);
    if (longControlLabel) {
        if (v < 0) {
            longControlLabel->setTextColor(Color::systemRed);
            longControlLabel->setStringValue(flooredText(v * -100) + "% Brake");
        } else if (v > 0) {
            longControlLabel->setTextColor(Color::systemGreen);
            longControlLabel->setStringValue(flooredText(v * 100) + "% Engine");
        } else if (v == 0) {
            longControlLabel->setTextColor(Color::label);
            longControlLabel->setStringValue("No longitudinal control requested.");
        }
    }
    if (longControlSlider) longControlSlider->setDoubleValue(v * 100);
}

void ViewController::handleLateralControl(double v) {
    if (_vehicleInterface) _vehicleInterface->setRequestLateralControlMagntiude(v);
    if (v != 0 || std::isnan(v)) {
        if (latControlLabel) {
            latControlLabel->setStringValue(flooredText(v * 100) + "% " + (v > 0 ? "Clockwise" : "Counterclockwise"));
        }
        if (latControlSlider) latControlSlider->setDoubleValue(v * 100);
    } else {
        if (latControlLabel) latControlLabel->setStringValue("No lateral control requested.");
        if (latControlSlider) latControlSlider->setDoubleValue(0);
    }
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

// MARK: Telemetry display

void ViewController::refreshTelemetry() {
    const std::shared_ptr<DeviceSerialInterface> session = _vehicleInterface;
    const std::optional<DeviceTelemetry> telemetry =
        session ? std::optional<DeviceTelemetry>(session->telemetry()) : std::nullopt;

    auto& device = inspectorManager_->device();
    auto& steering = inspectorManager_->steering();
    auto& statistics = inspectorManager_->statistics();

    device.version->setValue(telemetry ? telemetry->version : std::nullopt);
    device.buildDate->setValue(telemetry ? telemetry->buildDate : std::nullopt);

    if (!telemetry) {
        steering.controlMethod->setValue(std::string("Unknown"));
    } else if (telemetry->lateralControlMethod.kind == LateralControlMethod::configuring) {
        steering.controlMethod->setValue(std::string("Learning vehicle configuration..."));
    } else {
        steering.controlMethod->setValue(description(telemetry->lateralControlMethod));
    }

    steering.apaTOI->setStatus(statusForTOI(telemetry ? std::optional(telemetry->parkTOI) : std::nullopt));
    steering.halfTOI->setStatus(statusForTOI(telemetry ? std::optional(telemetry->halfTOI) : std::nullopt));

    const double angle = telemetry ? telemetry->steeringWheelAngle : 0.0;
    steering.angle->setValue(numberText(angle) + "°");
    steering.assistTorque->setValue(numberText(telemetry ? telemetry->steeringAssistanceTorque : 0.0) + " Nm");
    steering.driverTorque->setValue(numberText(telemetry ? telemetry->steeringDriverTorque : 0.0) + " Nm");

    auto count = [&](int64_t channel) -> int64_t {
        if (!telemetry) return 0;
        auto found = telemetry->receivedMessageCountsByChannel.find(channel);
        return found == telemetry->receivedMessageCountsByChannel.end() ? 0 : found->second;
    };
    statistics.canChannel0RxCount->setValue(count(0));
    statistics.canChannel1RxCount->setValue(count(1));

    setSteeringWheelAngle(angle);
}

void ViewController::setSteeringWheelAngle(double degrees) {
    steeringWheelAngle_ = degrees;
    updateSteeringWheel();
}

void ViewController::updateSteeringWheel() {
    if (!steeringWheelImage) return;
    const double width = steeringWheelImage->frame().width;
    steeringWheelImage->setAnchorPoint({0.5, 0.5});
    const Transform3D transform = Transform3D::identity()
                                      .translated(width * 0.5, width * 0.5, 0)
                                      .rotated(steeringWheelAngle_ * 3.141592653589793 / 180, 0, 0, 1);
    steeringWheelImage->setTransform(transform);
}

}  // namespace orvane
