#include "console/DeviceConnection.h"

#include "console/SessionTap.h"
#include "device/DeviceSerialInterface.h"
#include "platform/GlobalQueue.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"

namespace orvane {

DeviceConnection::DeviceConnection(StatusHandler statusHandler, std::shared_ptr<SessionTap> tap)
    : statusHandler_(std::move(statusHandler)), tap_(std::move(tap)) {}

void DeviceConnection::setStatus(StatusIndication status) {
    logInfo(kConsoleLog, "Vehicle status: " + status.text());
    statusHandler_(std::move(status));
}

void DeviceConnection::watch(std::weak_ptr<DeviceConnection> weak, const std::shared_ptr<DeviceSerialInterface>& session) {
    // The observer runs on the exchange thread as the loop ends; the news goes to the main queue.
    std::weak_ptr<DeviceSerialInterface> weakSession = session;
    session->setLinkEndObserver([weak, weakSession](const LinkEnd& end) {
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
    notResponding_ = false;
    _vehicleInterface = nullptr;
    setStatus(StatusIndication::negative("Connection lost: " + end.detail + "."));
}

void DeviceConnection::checkResponsiveness() {
    const auto& session = _vehicleInterface;
    if (!session || !session->isConnected()) return;
    const bool silent = session->timeSinceLastMessage() >= silenceWarning;
    if (silent == notResponding_) return;
    notResponding_ = silent;
    if (silent) {
        const auto seconds = silenceWarning.count();
        const std::string silence = std::to_string(seconds) + (seconds == 1 ? " second" : " seconds");
        logWarning(kLinkLog, session->path() + " has sent nothing for " + silence);
        setStatus(StatusIndication::warning("Vehicle not responding: nothing received for " + silence + "."));
    } else {
        logInfo(kLinkLog, session->path() + " answers again");
        setStatus(StatusIndication::positive("Vehicle connnected"));
    }
}

DeviceConnection::~DeviceConnection() {
    if (auto session = std::move(_vehicleInterface); session && session->isConnected()) {
        dispatchGlobal([session] { session->disconnect(); });
    }
}

void DeviceConnection::connectToDevice(const std::optional<std::string>& path) {
    if (_isConnectingToVehicle.load()) return;
    if (_vehicleInterface && _vehicleInterface->isConnected()) {
        auto weak = weak_from_this();
        disconnectFirst([weak, path] {
            if (auto self = weak.lock()) self->startConnecting(path);
        });
    } else {
        startConnecting(path);
    }
}

void DeviceConnection::disconnectIfConnected(std::function<void()> then) {
    if (_vehicleInterface && _vehicleInterface->isConnected()) {
        disconnectFirst(std::move(then));
    } else {
        then();
    }
}

void DeviceConnection::disconnectFirst(std::function<void()> then) {
    auto session = std::move(_vehicleInterface);
    _vehicleInterface = nullptr;
    notResponding_ = false;
    logInfo(kLinkLog, "Disconnecting from " + session->path());
    setStatus(StatusIndication::warning("Disconnecting from vehicle..."));
    auto weak = weak_from_this();
    dispatchGlobal([session, weak, then = std::move(then)] {
        session->disconnect();
        dispatchMain([weak, then] {
            auto self = weak.lock();
            if (!self) return;
            self->setStatus(StatusIndication::warning("Disconnected"));
            then();
        });
    });
}

void DeviceConnection::startConnecting(const std::optional<std::string>& path) {
    _isConnectingToVehicle.store(true);
    staleTelemetry_.reset();
    lostPath_.reset();
    notResponding_ = false;
    if (!path) {
        _isConnectingToVehicle.store(false);
        _vehicleInterface = nullptr;
        setStatus(StatusIndication::negative("No interface selected or available."));
        return;
    }
    logInfo(kLinkLog, "Connecting to " + *path);
    setStatus(StatusIndication::warning("Connecting to vehicle..."));

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
                self->setStatus(StatusIndication::positive("Vehicle connnected"));
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
