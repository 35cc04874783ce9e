#include "console/DeviceConnection.h"

#include "device/DeviceSerialInterface.h"
#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"

namespace orvane {

DeviceConnection::DeviceConnection(StatusHandler statusHandler) : statusHandler_(std::move(statusHandler)) {}

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
    if (!path) {
        setStatus(StatusIndication::negative("No interface selected or available."));
        _isConnectingToVehicle.store(false);
        _vehicleInterface = nullptr;
        return;
    }
    setStatus(StatusIndication::warning("Connecting to vehicle..."));

    // The attempt ends on the main queue, in the same step that shows its result, so a choice
    // made right after "Vehicle connnected" is never dropped as if the attempt still ran.
    auto weak = weak_from_this();
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
                self->setStatus(StatusIndication::positive("Vehicle connnected"));
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
                self->setStatus(StatusIndication::negative(description));
                if (self->_vehicleInterface) self->_vehicleInterface->disconnect();
                self->_vehicleInterface = nullptr;
                self->_isConnectingToVehicle.store(false);
            });
        }
    });
}

}  // namespace orvane
