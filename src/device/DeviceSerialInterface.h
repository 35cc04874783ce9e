#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "device/DeviceReport.h"
#include "device/DeviceTelemetry.h"
#include "device/ObserverList.h"
#include "device/ReportFramer.h"
#include "serial/SerialPort.h"

namespace orvane {

// Why a connection to the device ended.
enum class LinkEndCause {
    userDisconnect,     // disconnect() was called
    unplugged,          // the device file vanished or the line hung up
    readFailed,         // reading from the port failed for another reason
    writeFailed,        // a request could not be written whole
    protocolViolation,  // the device sent bytes that break the message framing
};

struct LinkEnd {
    LinkEndCause cause = LinkEndCause::userDisconnect;
    // What happened, for the user, as a clause without a final full stop, e.g. "the device sent
    // data that is not the protocol (a byte with the high bit set)".
    std::string detail;

    friend bool operator==(const LinkEnd&, const LinkEnd&) = default;
};

// A CONTROL request the exchange loop wrote whole: its number (see requestSequence()) and the
// magnitudes it carried.
struct WrittenRequest {
    std::uint64_t sequence = 0;
    double lateral = 0;
    double longitudinal = 0;

    friend bool operator==(const WrittenRequest&, const WrittenRequest&) = default;
};

// One session with the vehicle interface device on one serial device file. connect() opens the
// port and starts the exchange loop on the global queue: send "CONTROL" with the current
// request magnitudes, read one message, decode it into the telemetry, and again, until the
// session is disconnected or the link fails (then isConnected() turns false, the port is
// closed, and linkEnd() and the link-end observers tell why).
//
// A silent device is asked again: when a read waits 1 s without a byte, the loop sends the next
// request, so a request or reply lost on the line does not stall the exchange. Part of a
// message received before the silence is kept, and the message completes when the rest arrives.
//
// A port that has sent no report for 2 s is asked once, in the bootloader's own protocol,
// whether a bootloader answers there (a device whose firmware is missing, or whose update was
// interrupted, stays in it); no request goes out meanwhile. A bootloader is sent nothing more:
// the loop only watches the line until the session ends, and bootloaderVersion() tells what
// answered. Any other answer (or none) goes to the message framing and the exchange goes on;
// the next silence after a report is asked about again.
//
// Create sessions with std::make_shared: the loop holds a shared reference to the session for
// as long as it runs, so a session keeps exchanging after its creator drops it.
//
// Thread safety: every member may be called from any thread. The telemetry is published as
// whole values under one lock (a reader never sees half a text, map or version); the getters
// copy one field, telemetry() copies all of them consistently.
//
// Observers: any number of each kind (the traffic log, a recording, a tool), each added with its
// own id and removed with it; adding one never replaces another. They are called on the
// exchange thread in the order they were added, and may be added and removed from any thread
// while the session runs. A call that is under way as an observer is removed may still reach it
// once, so an observer holds what it uses (shared_ptr, weak_ptr), or its holder disconnects and
// waits for the loop to end (the link-end observers are the last it calls) before letting go.
class DeviceSerialInterface : public std::enable_shared_from_this<DeviceSerialInterface> {
public:
    // Called on the exchange thread after each message has been read and decoded, with the
    // message and the telemetry as it now stands.
    using MessageObserver = std::function<void(const DeviceReport& message, const DeviceTelemetry& telemetry)>;
    // Called on the exchange thread once per connection, as its loop ends, with why it ended
    // (userDisconnect after disconnect()). It may call the session; it must not wait for the
    // exchange thread.
    using LinkEndObserver = std::function<void(const LinkEnd& end)>;
    // Called after each request has been written whole (by the exchange loop, on its thread, or
    // by sendRequest() on the caller's), with the request as sent.
    using RequestObserver = std::function<void(const DeviceReport& request)>;

    explicit DeviceSerialInterface(std::string path);
    // A session on a port made elsewhere (a test's port that takes writes in pieces).
    explicit DeviceSerialInterface(std::shared_ptr<SerialPort> port);
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
    // Why the last connection ended; nothing before the first connect and while connected.
    // Present as soon as isConnected() has turned false.
    std::optional<LinkEnd> linkEnd() const;

    // When the last message was read and decoded (over all connections); nothing before the first.
    std::optional<std::chrono::steady_clock::time_point> lastMessageTime() const;
    // How long the device has been silent: since the last message of this connection, or since
    // connect() when none has come yet; zero when not connected. The device answers each
    // request at once, so a few seconds of silence mean it no longer responds.
    std::chrono::steady_clock::duration timeSinceLastMessage() const;

    // The version line of the bootloader that answered on this connection's port (see above);
    // nothing while no bootloader has answered.
    std::optional<std::string> bootloaderVersion() const;

    DeviceTelemetry telemetry() const;
    // The same, assigned over `into`: a caller that reads the telemetry many times a second and
    // keeps one DeviceTelemetry for it reuses its storage instead of allocating a copy each time.
    void copyTelemetry(DeviceTelemetry& into) const;
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

    // The CONTROL requests the exchange loop has composed since construction, over all
    // connections; request n is the n-th. A caller that sets the magnitudes and then reads n here
    // knows that request n + 1 and every later one carries what it set (or what was set after it):
    // the loop counts a request before it loads the magnitudes for it (see runExchange()).
    std::uint64_t requestSequence() const { return requestSequence_.load(); }
    // Waits up to `timeout` until a request numbered above `sequence` has been written whole and
    // gives the latest written (the one on the wire); nothing when the connection the call began on
    // ended first (or there was none) or the time ran out. "0 is on the wire" is: set both
    // magnitudes to 0, then waitForRequestAfter(requestSequence(), ...) carries 0 on both.
    std::optional<WrittenRequest> waitForRequestAfter(std::uint64_t sequence, std::chrono::milliseconds timeout) const;

    // Messages read and decoded since construction, over all connections.
    std::uint64_t decodedMessageCount() const { return decodedMessageCount_.load(); }

    // Add an observer beside those already there; an empty one is not added (empty id).
    ObserverId addMessageObserver(MessageObserver observer);
    ObserverId addRequestObserver(RequestObserver observer);
    ObserverId addLinkEndObserver(LinkEndObserver observer);
    // Removes the observer of `id`, whichever kind; false when there is none.
    bool removeObserver(ObserverId id);

    // Reads one message; nothing when not connected, when the device stays silent for a read
    // time-out (1 s; the connection stays up and a partial message is kept for the next call),
    // or when reading fails (which ends the connection). Meant for the exchange loop.
    std::optional<DeviceReport> readReport();
    // Writes one message whole, continuing after partial writes; a failed write, or one that
    // takes nothing, ends the connection. Meant for the exchange loop.
    void sendRequest(const std::string& name, const std::map<std::string, std::string>& fields);

private:
    std::uint64_t currentGeneration() const { return state_.load() >> 1; }
    // Wakes waitForRequestAfter() after a request was written or the connection ended.
    void notifyWritten(const WrittenRequest* written);
    bool isCurrent(std::uint64_t generation) const { return state_.load() == (generation << 1 | 1); }
    bool endLink(std::uint64_t generation, LinkEnd end);
    // `endedHere` is set when this call ended the link.
    std::optional<DeviceReport> readReport(std::uint64_t generation, std::optional<LinkEnd>& endedHere);
    // True when the text was written whole.
    bool sendText(std::uint64_t generation, const std::string& text, std::optional<LinkEnd>& endedHere);
    // Writes `text` whole with exchangeMutex_ held; why the link ends when that fails.
    std::optional<LinkEnd> writeWhole(std::string_view text);
    // Asks the port whether a bootloader answers; its version line if one does. What it reads
    // otherwise is left for the framing.
    std::optional<std::string> probeBootloader(std::uint64_t generation, std::optional<LinkEnd>& endedHere);
    // Sends `command` and reads its answer into the input buffer until LF CR (after some text,
    // for a `textLine`) or a read time-out.
    void askBootloader(std::string_view command, bool textLine, std::optional<LinkEnd>& end);
    // Reads and drops what a bootloader sends, until the link ends.
    void watchBootloader(std::uint64_t generation, std::optional<LinkEnd>& endedHere);
    void notifyRequestSent(const DeviceReport& request);
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

    // Guards every change of state_'s connected bit together with linkEnd_, so that a reader
    // who sees the session disconnected also finds why.
    mutable std::mutex linkMutex_;
    std::optional<LinkEnd> linkEnd_;
    std::uint64_t linkEndGeneration_ = 0;

    // steady_clock ticks of the last decoded message and of the last connect.
    std::atomic<std::chrono::steady_clock::rep> lastMessage_{
        std::numeric_limits<std::chrono::steady_clock::rep>::min()};
    std::atomic<std::chrono::steady_clock::rep> connectedAt_{0};

    // Bytes read from the port but not yet framed (guarded by exchangeMutex_).
    ReportFramer framer_;
    std::array<std::uint8_t, 4096> input_{};
    std::size_t inputStart_ = 0;
    std::size_t inputEnd_ = 0;

    mutable std::mutex telemetryMutex_;
    DeviceTelemetry telemetry_;
    std::optional<std::string> bootloaderVersion_;  // guarded by telemetryMutex_
    std::atomic<std::uint64_t> decodedMessageCount_{0};

    std::atomic<std::uint64_t> lastObserverId_{0};
    ObserverList<MessageObserver> messageObservers_;
    ObserverList<RequestObserver> requestObservers_;
    ObserverList<LinkEndObserver> linkEndObservers_;

    std::atomic<double> requestLateral_{0.0};
    std::atomic<double> requestLongitudinal_{0.0};
    std::atomic<std::uint64_t> requestSequence_{0};
    // The latest request the loop wrote whole.
    mutable std::mutex writtenMutex_;
    mutable std::condition_variable writtenChanged_;
    WrittenRequest lastWritten_;  // guarded by writtenMutex_
};

}  // namespace orvane
