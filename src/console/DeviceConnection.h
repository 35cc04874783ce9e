#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/DeviceTelemetry.h"
#include "inspector/StatusIndication.h"

namespace orvane {

class DeviceSerialInterface;
class SessionTap;
struct LinkEnd;

// The console's connection to one device: it holds the current session, connects on a worker
// and disconnects a previous session first. Every status it passes through (connecting,
// connected, the reason a connection failed, disconnecting, the cause of a link that ended by
// itself, a device that stopped answering) goes to the status handler and to the log. All calls
// and handlers run on the main queue.
//
// A link that ends without the user asking (unplugged, hung up, data that is not the protocol,
// a failed write) drops the session at once; its last telemetry stays readable as stale until
// the next connection attempt.
//
// Create it with std::make_shared: its asynchronous steps hold it weakly.
class DeviceConnection : public std::enable_shared_from_this<DeviceConnection> {
public:
    using StatusHandler = std::function<void(StatusIndication)>;

    explicit DeviceConnection(StatusHandler statusHandler, std::shared_ptr<SessionTap> tap = nullptr);
    // A session must not keep sending the last control request once nobody watches it: a
    // connected one is disconnected on a worker.
    ~DeviceConnection();

    DeviceConnection(const DeviceConnection&) = delete;
    DeviceConnection& operator=(const DeviceConnection&) = delete;

    // Connects to `path` (none: "No interface selected or available."), disconnecting a connected
    // session first. Ignored while an attempt runs; while a session closes, it waits for the close
    // and replaces a request that waited before it. Returns at once.
    void connectToDevice(const std::optional<std::string>& path);

    // Drops the session and disconnects it on a worker ("Disconnecting from vehicle...", then
    // "Disconnected"), then calls `then`. With no connected session calls `then` at once, and a
    // session that is not connected stays referenced. While a session closes, `then` waits for
    // the close, and a connection that waited for it is not made.
    void disconnectIfConnected(std::function<void()> then);

    const std::shared_ptr<DeviceSerialInterface>& session() const { return _vehicleInterface; }
    bool isConnecting() const { return _isConnectingToVehicle.load(); }

    // The telemetry of a session whose link ended by itself, and its device's path, until the
    // next connection attempt.
    const std::optional<DeviceTelemetry>& staleTelemetry() const { return staleTelemetry_; }
    const std::optional<std::string>& lostPath() const { return lostPath_; }

    // A connected device that has sent nothing for this long is shown as not responding.
    static constexpr std::chrono::seconds silenceWarning{2};
    // Called on every telemetry refresh: turns the status to "not responding" after the silence
    // above, and back to connected when messages resume; tells when a bootloader answered on
    // the session's port instead.
    void checkResponsiveness();
    // The connected device has sent nothing for the silence above: what it last reported no
    // longer holds.
    bool isNotResponding() const { return responsiveness_ == Responsiveness::silent; }
    // A bootloader answers on the connected port: the device runs no firmware.
    bool isInBootloader() const { return responsiveness_ == Responsiveness::bootloader; }

    // What the status row tells besides its text: how the last link that ended by itself ended
    // ("Last connection to PATH lost at 12:03:04: CAUSE."), kept until the next connection attempt
    // to a device, or the line a bootloader answered with.
    std::optional<std::string> statusDetail() const;

private:
    enum class Responsiveness { answering, silent, bootloader };

    void disconnectFirst();
    void disconnected();
    void startConnecting(const std::optional<std::string>& path);
    void setStatus(StatusIndication status);
    static void watch(std::weak_ptr<DeviceConnection> weak, const std::shared_ptr<DeviceSerialInterface>& session);
    void linkEnded(const std::shared_ptr<DeviceSerialInterface>& session, const LinkEnd& end);

    StatusHandler statusHandler_;
    std::shared_ptr<SessionTap> tap_;
    std::shared_ptr<DeviceSerialInterface> _vehicleInterface;
    std::atomic<bool> _isConnectingToVehicle{false};
    // A session is closing on a worker; what waits for the close: callers of
    // disconnectIfConnected, and the newest connection request.
    bool disconnecting_ = false;
    std::vector<std::function<void()>> afterDisconnect_;
    std::optional<std::optional<std::string>> connectAfterDisconnect_;
    std::optional<DeviceTelemetry> staleTelemetry_;
    std::optional<std::string> lostPath_;
    std::optional<std::string> lastLinkEnd_;
    Responsiveness responsiveness_ = Responsiveness::answering;
};

}  // namespace orvane
