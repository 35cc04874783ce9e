#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "device/DeviceReport.h"
#include "device/ReportFramer.h"

namespace orvane {

// Plays the device at the far end of a pseudo-terminal: the application opens devicePath() as
// its serial port; the peer reads what the application sends and writes replies on the master.
//
//     PtyPeer peer;
//     auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
//     session->connect();
//     auto request = peer.readRequest();        // CONTROL{lat:0.0\nlong:0.0\n}
//     peer.send("ACK{}");
//     peer.startAnswering([](const DeviceReport&) { return std::string("ACK{}"); });
//     peer.unplug();                            // the device file disappears
//
// The pseudo-terminal stays usable while the application has it closed, so a test can connect,
// disconnect and connect again. One thread at a time may read (a test, or the answering thread).
class PtyPeer {
public:
    // Opens the master (set raw) and throws std::runtime_error when that fails.
    PtyPeer();
    ~PtyPeer();

    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    // The device file the application opens (/dev/pts/N).
    const std::string& devicePath() const { return devicePath_; }
    int masterDescriptor() const { return master_; }
    bool isPlugged() const { return master_ >= 0; }

    // The next whole message from the application, as sent, bytes for bytes; nothing when none
    // arrives within the time-out or the peer was unplugged.
    std::optional<std::string> readRequestText(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The same, framed into a name and fields.
    std::optional<DeviceReport> readRequest(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Writes bytes as the device; false when the peer is unplugged, the write fails, or the
    // application reads nothing for 5 s while the line is full.
    bool send(std::string_view bytes);

    // Answers every request on a thread of its own with the text `answer` gives for it (an
    // empty text sends nothing). Requests are recorded; see lastRequest().
    void startAnswering(std::function<std::string(const DeviceReport& request)> answer);
    void stopAnswering();
    // The last request answered; an empty one (no name) before the first.
    DeviceReport lastRequest() const;
    // The requests answered after the first `count` (the requestCount() a test read before), of
    // the last kMaximumRecordedRequests kept.
    std::vector<DeviceReport> requestsSince(std::size_t count) const;
    // How many requests have been read: each is counted as it is read, before its reply.
    std::size_t requestCount() const;
    // Waits until at least `count` requests were answered; false on time-out.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // Closes the master, as pulling the cable would: the device file disappears, and the
    // application's reads see a hang-up.
    void unplug();

    static constexpr std::size_t kMaximumRecordedRequests = 10000;

private:
    bool waitReadable(std::chrono::steady_clock::time_point deadline);

    int master_ = -1;
    int stopFd_ = -1;
    std::string devicePath_;
    ReportFramer framer_;
    std::vector<std::uint8_t> pending_;
    std::size_t pendingStart_ = 0;

    std::thread answerThread_;
    std::atomic<bool> answering_{false};
    mutable std::mutex requestsMutex_;
    std::deque<DeviceReport> requests_;
    std::size_t recorded_ = 0;
};

}  // namespace orvane
