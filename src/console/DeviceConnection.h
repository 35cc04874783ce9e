#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "inspector/StatusIndication.h"

namespace orvane {

class DeviceSerialInterface;

// The console's connection to one device: it holds the current session, connects on a worker
// and disconnects a previous session first. Every status it passes through (connecting,
// connected, the reason a connection failed, disconnecting) goes to the status handler. All
// calls and handlers run on the main queue.
//
// Create it with std::make_shared: its asynchronous steps hold it weakly.
class DeviceConnection : public std::enable_shared_from_this<DeviceConnection> {
public:
    using StatusHandler = std::function<void(StatusIndication)>;

    explicit DeviceConnection(StatusHandler statusHandler);
    // A session must not keep sending the last control request once nobody watches it: a
    // connected one is disconnected on a worker.
    ~DeviceConnection();

    DeviceConnection(const DeviceConnection&) = delete;
    DeviceConnection& operator=(const DeviceConnection&) = delete;

    // Connects to `path` (none: "No interface selected or available."), disconnecting a connected
    // session first. Ignored while an attempt runs. Returns at once.
    void connectToDevice(const std::optional<std::string>& path);

    // Drops the session and disconnects it on a worker ("Disconnecting from vehicle...", then
    // "Disconnected"), then calls `then`. With no connected session calls `then` at once, and a
    // session that is not connected stays referenced.
    void disconnectIfConnected(std::function<void()> then);

    const std::shared_ptr<DeviceSerialInterface>& session() const { return _vehicleInterface; }
    bool isConnecting() const { return _isConnectingToVehicle.load(); }

private:
    void disconnectFirst(std::function<void()> then);
    void startConnecting(const std::optional<std::string>& path);
    void setStatus(StatusIndication status) { statusHandler_(std::move(status)); }

    StatusHandler statusHandler_;
    std::shared_ptr<DeviceSerialInterface> _vehicleInterface;
    std::atomic<bool> _isConnectingToVehicle{false};
};

}  // namespace orvane
