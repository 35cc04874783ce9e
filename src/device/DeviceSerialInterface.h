#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "device/DeviceReport.h"
#include "device/DeviceTelemetry.h"
#include "device/ReportFramer.h"
#include "device/SerialPort.h"

namespace orvane {

// One session with the vehicle interface device on one serial device file. connect() opens the
// port and starts the exchange loop on the global queue: send "CONTROL" with the current
// request magnitudes, read one message, decode it into the telemetry, and again, until the
// session is disconnected or the link fails (then isConnected() turns false and the port is
// closed; no error is reported).
//
// A silent device is asked again: when a read waits 1 s without a byte, the loop sends the next
// request, so a request or reply lost on the line does not stall the exchange. Part of a
// message received before the silence is kept, and the message completes when the rest arrives.
//
// Create sessions with std::make_shared: the loop holds a shared reference to the session for
// as long as it runs, so a session keeps exchanging after its creator drops it.
//
// Thread safety: every member may be called from any thread. The telemetry is published as
// whole values under one lock (a reader never sees half a text, map or version); the getters
// copy one field, telemetry() copies all of them consistently.
class DeviceSerialInterface : public std::enable_shared_from_this<DeviceSerialInterface> {
public:
    // Called on the exchange thread after each message has been read and decoded, with the
    // message and the telemetry as it now stands.
    using MessageObserver = std::function<void(const DeviceReport& message, const DeviceTelemetry& telemetry)>;

    explicit DeviceSerialInterface(std::string path);
    ~DeviceSerialInterface();

    DeviceSerialInterface(const DeviceSerialInterface&) = delete;
    DeviceSerialInterface& operator=(const DeviceSerialInterface&) = delete;

    const std::string& path() const { return path_; }
    const std::shared_ptr<SerialPort>& port() const { return port_; }

    // Opens the port (115200 baud, 8N1, raw, reads return after at most 1 s) and starts the
    // exchange loop. Throws the port's PortError; does nothing when already connected.
    void connect();
    // Closes the port, which wakes the loop at once; does nothing when not connected.
    void disconnect();
    bool isConnected() const { return (state_.load() & 1) != 0; }

    DeviceTelemetry telemetry() const;
    double steeringWheelAngle() const;
    TOIStatus parkTOI() const;
    TOIStatus halfTOI() const;
    double steeringAssistanceTorque() const;
    double steeringDriverTorque() const;
    std::optional<Version> version() const;
    std::string name() const;
    std::optional<std::chrono::system_clock::time_point> buildDate() const;
    std::string serialNumber() const;
    LateralControlMethod lateralControlMethod() const;
    LongitudinalControlMethod longitudinalControlMethod() const;
    std::map<std::int64_t, std::int64_t> receivedMessageCountsByChannel() const;

    // The magnitudes (-1 to 1) that the next request carries.
    double requestLateralControlMagntiude() const { return requestLateral_.load(); }
    void setRequestLateralControlMagntiude(double magnitude) { requestLateral_.store(magnitude); }
    double requestLongitudinalControlMagntiude() const { return requestLongitudinal_.load(); }
    void setRequestLongitudinalControlMagntiude(double magnitude) { requestLongitudinal_.store(magnitude); }

    // Messages read and decoded since construction, over all connections.
    std::uint64_t decodedMessageCount() const { return decodedMessageCount_.load(); }
    void setMessageObserver(MessageObserver observer);

    // Reads one message; nothing when not connected, when the device stays silent for a read
    // time-out (1 s; the connection stays up and a partial message is kept for the next call),
    // or when reading fails (which ends the connection). Meant for the exchange loop.
    std::optional<DeviceReport> readReport();
    // Writes one message in one write; a failed or empty write ends the connection. Meant
    // for the exchange loop.
    void sendRequest(const std::string& name, const std::map<std::string, std::string>& fields);

private:
    std::uint64_t currentGeneration() const { return state_.load() >> 1; }
    bool isCurrent(std::uint64_t generation) const { return state_.load() == (generation << 1 | 1); }
    void endLink(std::uint64_t generation);
    std::optional<DeviceReport> readReport(std::uint64_t generation);
    void sendText(std::uint64_t generation, const std::string& text);
    void decode(const DeviceReport& report);
    void runExchange(std::uint64_t generation);

    template <typename Field>
    Field read(Field DeviceTelemetry::*field) const {
        std::lock_guard lock(telemetryMutex_);
        return telemetry_.*field;
    }

    const std::string path_;
    const std::shared_ptr<SerialPort> port_;

    // connect() and disconnect() one at a time.
    std::mutex lifecycleMutex_;
    // Held around each port operation of the loop; connect() takes it before reopening the port,
    // so a loop of an earlier connection never reads or writes the new one.
    std::mutex exchangeMutex_;
    // The connection's generation (counted up by each connect) times two, plus 1 while that
    // connection is up. A loop runs while the state is its generation's connected value.
    std::atomic<std::uint64_t> state_{0};

    // Bytes read from the port but not yet framed (guarded by exchangeMutex_).
    ReportFramer framer_;
    std::array<std::uint8_t, 4096> input_{};
    std::size_t inputStart_ = 0;
    std::size_t inputEnd_ = 0;

    mutable std::mutex telemetryMutex_;
    DeviceTelemetry telemetry_;
    std::atomic<std::uint64_t> decodedMessageCount_{0};

    std::mutex observerMutex_;
    MessageObserver observer_;

    std::atomic<double> requestLateral_{0.0};
    std::atomic<double> requestLongitudinal_{0.0};
};

}  // namespace orvane
