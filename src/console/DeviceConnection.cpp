#include "console/DeviceConnection.h"

#include <time.h>

#include <ctime>
#include <utility>

#include "console/SessionTap.h"
#include "device/DeviceSerialInterface.h"
#include "platform/GlobalQueue.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

// The local time of day, as 12:03:04.
std::string timeOfDay(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    char text[16] = "";
    if (localtime_r(&seconds, &local)) std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

}  // namespace

DeviceConnection::DeviceConnection(StatusHandler statusHandler, std::shared_ptr<SessionTap> tap)
    : statusHandler_(std::move(statusHandler)), tap_(std::move(tap)) {}

void DeviceConnection::setStatus(StatusIndication status) {
    logInfo(kConsoleLog, "Vehicle status: " + status.text());
    statusHandler_(std::move(status));
}

void DeviceConnection::watch(std::weak_ptr<DeviceConnection> weak, const std::shared_ptr<DeviceSerialInterface>& session) {
    // The observer runs on the exchange thread as the loop ends; the news goes to the main queue.
    std::weak_ptr<DeviceSerialInterface> weakSession = session;
    session->addLinkEndObserver([weak, weakSession](const LinkEnd& end) {
        logInfo(kLinkLog, "The link ended: " + end.detail);
        dispatchMain([weak, weakSession, end] {
            auto self = weak.lock();
            auto ended = weakSession.lock();
            if (self && ended) self->linkEnded(ended, end);
        });
    });
}

void DeviceConnection::linkEnded(const std::shared_ptr<DeviceSerialInterface>& session, const LinkEnd& end) {
    // Only the current session's own end counts: one the user closed, or one already replaced,
    // says nothing about the device.
    if (session != _vehicleInterface || end.cause == LinkEndCause::userDisconnect) return;
    logWarning(kLinkLog, "Lost the connection to " + session->path() + ": " + end.detail);
    staleTelemetry_ = session->telemetry();
    lostPath_ = session->path();
    lastLinkEnd_ = withArgs(translate("DeviceConnection", "Last connection to %1 lost at %2: %3."), session->path(),
                            timeOfDay(std::chrono::system_clock::now()), end.detail);
    responsiveness_ = Responsiveness::answering;
    _vehicleInterface = nullptr;
    setStatus(StatusIndication::negative(withArgs(translate("DeviceConnection", "Connection lost: %1."), end.detail)));
}

void DeviceConnection::checkResponsiveness() {
    const auto& session = _vehicleInterface;
    if (!session || !session->isConnected()) return;
    const Responsiveness now = session->bootloaderVersion()                        ? Responsiveness::bootloader
                               : session->timeSinceLastMessage() >= silenceWarning ? Responsiveness::silent
                                                                                   : Responsiveness::answering;
    if (now == responsiveness_) return;
    responsiveness_ = now;
    switch (now) {
        case Responsiveness::bootloader:
            logWarning(kLinkLog, session->path() + " is the device's bootloader: " + *session->bootloaderVersion());
            setStatus(StatusIndication::warning(
                translate("DeviceConnection",
                          "The device is in its bootloader: its firmware is missing or an update was interrupted.")));
            break;
        case Responsiveness::silent: {
            const auto seconds = silenceWarning.count();
            const std::string silence = std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
            logWarning(kLinkLog, session->path() + " has sent nothing for " + silence);
            const std::string count = std::to_string(seconds);
            setStatus(StatusIndication::warning(
                seconds == 1
                    ? withArgs(translate("DeviceConnection", "Vehicle not responding: nothing received for %1 second."),
                               count)
                    : withArgs(
                          translate("DeviceConnection", "Vehicle not responding: nothing received for %1 seconds."),
                          count)));
            break;
        }
        case Responsiveness::answering:
            logInfo(kLinkLog, session->path() + " answers again");
            setStatus(StatusIndication::positive(translate("DeviceConnection", "Vehicle connnected")));
            break;
    }
}

std::optional<std::string> DeviceConnection::statusDetail() const {
    if (isInBootloader() && _vehicleInterface) {
        if (auto version = _vehicleInterface->bootloaderVersion())
            return withArgs(translate("DeviceConnection", "The bootloader answers: %1"), *version);
    }
    return lastLinkEnd_;
}

DeviceConnection::~DeviceConnection() {
    if (auto session = std::move(_vehicleInterface); session && session->isConnected()) {
        dispatchGlobal([session] { session->disconnect(); });
    }
}

void DeviceConnection::connectToDevice(const std::optional<std::string>& path) {
    if (_isConnectingToVehicle.load()) return;
    // A session still closing holds the port: the request waits for the close, and replaces one
    // that waited before it (a device that went and came back while its last session closed).
    // Started at once, it would race the close, and the earlier request's turn would come after it.
    if (disconnecting_) {
        connectAfterDisconnect_ = path;
    } else if (_vehicleInterface && _vehicleInterface->isConnected()) {
        connectAfterDisconnect_ = path;
        disconnectFirst();
    } else {
        startConnecting(path);
    }
}

void DeviceConnection::disconnectIfConnected(std::function<void()> then) {
    if (disconnecting_) {
        // The caller wants the port free: a connection waiting for the close is not made.
        connectAfterDisconnect_.reset();
        afterDisconnect_.push_back(std::move(then));
    } else if (_vehicleInterface && _vehicleInterface->isConnected()) {
        afterDisconnect_.push_back(std::move(then));
        disconnectFirst();
    } else {
        then();
    }
}

void DeviceConnection::disconnectFirst() {
    auto session = std::move(_vehicleInterface);
    _vehicleInterface = nullptr;
    disconnecting_ = true;
    responsiveness_ = Responsiveness::answering;
    logInfo(kLinkLog, "Disconnecting from " + session->path());
    setStatus(StatusIndication::warning(translate("DeviceConnection", "Disconnecting from vehicle...")));
    auto weak = weak_from_this();
    dispatchGlobal([session, weak] {
        session->disconnect();
        dispatchMain([weak] {
            if (auto self = weak.lock()) self->disconnected();
        });
    });
}

void DeviceConnection::disconnected() {
    disconnecting_ = false;
    setStatus(StatusIndication::warning(translate("DeviceConnection", "Disconnected")));
    auto waiting = std::exchange(afterDisconnect_, {});
    auto next = std::exchange(connectAfterDisconnect_, std::nullopt);
    for (auto& then : waiting) then();
    // Unless what waited has started something of its own.
    if (next && !disconnecting_ && !_isConnectingToVehicle.load() && !_vehicleInterface) startConnecting(*next);
}

void DeviceConnection::startConnecting(const std::optional<std::string>& path) {
    _isConnectingToVehicle.store(true);
    staleTelemetry_.reset();
    lostPath_.reset();
    responsiveness_ = Responsiveness::answering;
    // A new attempt at a device starts a new story; "none" (the device list letting go of a
    // device that went) keeps the last link's end readable.
    if (path) lastLinkEnd_.reset();
    if (!path) {
        _isConnectingToVehicle.store(false);
        _vehicleInterface = nullptr;
        setStatus(StatusIndication::negative(translate("DeviceConnection", "No interface selected or available.")));
        return;
    }
    logInfo(kLinkLog, "Connecting to " + *path);
    setStatus(StatusIndication::warning(translate("DeviceConnection", "Connecting to vehicle...")));

    // The attempt ends on the main queue, in the same step that shows its result, so a choice
    // made right after "Vehicle connnected" is never dropped as if the attempt still ran.
    auto weak = weak_from_this();
    dispatchGlobal([weak, tap = tap_, path = *path] {
        auto session = std::make_shared<DeviceSerialInterface>(path);
        try {
            watch(weak, session);
            SessionTap::attach(tap, session);
            session->connect();
            logInfo(kLinkLog, "Connected to " + path);
            dispatchMain([weak, session] {
                auto self = weak.lock();
                if (!self) {
                    session->disconnect();
                    return;
                }
                auto previous = std::exchange(self->_vehicleInterface, session);
                // A session replaced while still connected would keep sending its last
                // control request with nobody watching it: end it.
                if (previous && previous != session && previous->isConnected()) {
                    dispatchGlobal([previous] { previous->disconnect(); });
                }
                self->_isConnectingToVehicle.store(false);
                self->setStatus(StatusIndication::positive(translate("DeviceConnection", "Vehicle connnected")));
            });
        } catch (const Error& error) {
            std::string description = error.localizedDescription();
            logWarning(kLinkLog, "Could not connect to " + path + ": " + description);
            dispatchMain([weak, description] {
                auto self = weak.lock();
                if (!self) return;
                if (self->_vehicleInterface) self->_vehicleInterface->disconnect();
                self->_vehicleInterface = nullptr;
                self->_isConnectingToVehicle.store(false);
                self->setStatus(StatusIndication::negative(description));
            });
        }
    });
}

}  // namespace orvane
