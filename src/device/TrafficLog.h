#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/DeviceReport.h"

namespace orvane {

enum class TrafficDirection { sent, received };

// "sent" or "received".
std::string_view directionText(TrafficDirection direction);

// One message that crossed the link, stamped when it was handed to the log.
struct TrafficEntry {
    std::chrono::steady_clock::time_point steadyTime;
    std::chrono::system_clock::time_point systemTime;
    TrafficDirection direction = TrafficDirection::received;
    DeviceReport message;

    friend bool operator==(const TrafficEntry&, const TrafficEntry&) = default;
};

// A name, key or value as the traffic shows it: escaped (escapedDeviceText), and in double
// quotes when it is empty or holds a blank, "=", a quote, a backslash or a control character,
// so that it reads back as one token.
std::string trafficToken(std::string_view text);
// A message's fields as the traffic shows them: key=value separated by blanks, each a token.
std::string trafficFieldsText(const DeviceReport& message);

// An entry as one line of text for copying: the wall-clock time (ISO 8601 UTC, milliseconds),
// the direction, the name and the fields, e.g.
//     2024-03-18T14:05:12.345Z sent CONTROL lat=50.0 long=-25.0
std::string trafficEntryText(const TrafficEntry& entry);

// The messages of a session, handed over from the thread that sends and reads them to the
// window that shows them.
//
// A session feeds it from two of its observers, on the exchange thread:
//     session->addRequestObserver([log](const DeviceReport& r) { log->push(TrafficDirection::sent, r); });
//     session->addMessageObserver([log](const DeviceReport& m, const DeviceTelemetry&) {
//         log->push(TrafficDirection::received, m);
//     });
//
// Producer side (push): any thread, usually the exchange thread. A push never waits for the
// consumer: it takes a mutex that the consumer holds only to swap two vectors or to hand back
// entries that left the history (which a push copies its message over, so that a steady flow
// of messages allocates little), moves the entry into a queue of reserved capacity, and when
// that queue is full it drops the entry and counts it instead of growing.
//
// Consumer side (drain, history, clear, ...): one thread, the window's, a few times a second.
// drain() moves the queued entries into the history, which keeps the newest historyCapacity
// entries and drops the oldest. The console drains the log whether or not anything shows it
// (drainIfDue), so the history holds the newest entries at any time and the queue overflows
// only when the window's thread stalls: droppedCount() is what the history really lost.
class TrafficLog {
public:
    static constexpr std::size_t kDefaultQueueCapacity = 4096;
    static constexpr std::size_t kDefaultHistoryCapacity = 10000;
    // drainIfDue() drains at most this often (ten times a second).
    static constexpr std::chrono::milliseconds kDrainInterval{100};

    explicit TrafficLog(std::size_t queueCapacity = kDefaultQueueCapacity,
                        std::size_t historyCapacity = kDefaultHistoryCapacity);

    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;

    // Producer side. Stamps the entry with both clocks now. False when the queue was full and
    // the entry was dropped.
    bool push(TrafficDirection direction, const DeviceReport& message);
    bool push(TrafficEntry entry);

    // Consumer side. What one drain() changed in the history: `removedFromFront` oldest entries
    // went, then `appended` entries came at the back.
    struct DrainResult {
        std::size_t removedFromFront = 0;
        std::size_t appended = 0;
    };
    DrainResult drain();
    // Drains when kDrainInterval has passed since the last drain (or there was none); however
    // many callers ask, the log is drained at most ten times a second. True when it drained.
    bool drainIfDue(std::chrono::steady_clock::time_point now);

    // The position of history().front() counted from the last clear(): the entry at index i of
    // the history is at position firstPosition() + i, which stays the same while older entries
    // leave the history. Whoever drains, a reader can tell from it what left and what came.
    std::uint64_t firstPosition() const { return removed_; }

    // How many times clear() ran: a reader that saw another count reads the history afresh.
    std::uint64_t clearCount() const { return clears_; }

    // Oldest first.
    const std::deque<TrafficEntry>& history() const { return history_; }
    // The traffic's filter: the positions in history(), from `from` on, of the entries whose
    // message name is `name` (the whole name; every entry for an empty name), oldest first.
    std::vector<std::size_t> matching(std::string_view name, std::size_t from = 0) const;
    // The same entries themselves. The pointers stay valid until the next drain() or clear().
    std::vector<const TrafficEntry*> filtered(std::string_view name) const;
    // Entries dropped because the queue was full, since construction or the last clear().
    std::uint64_t droppedCount() const;
    // Empties the history and the queue and sets the dropped count to zero.
    void clear();

    std::size_t queueCapacity() const { return queueCapacity_; }
    std::size_t historyCapacity() const { return historyCapacity_; }

private:
    const std::size_t queueCapacity_;
    const std::size_t historyCapacity_;

    // Entries that left the history, kept for pushes to copy messages over (a message's map
    // and texts then mostly reuse their storage): at most this many.
    static constexpr std::size_t kMaximumSpareEntries = 256;

    // Guards queue_, dropped_ and spare_. Held by a push for one move, by drain() for one swap
    // and for handing back the entries that left the history.
    mutable std::mutex mutex_;
    std::vector<TrafficEntry> queue_;
    std::uint64_t dropped_ = 0;
    std::vector<TrafficEntry> spare_;

    // The consumer's: the vector drain() swaps with queue_ (empty, with the queue's capacity,
    // between drains), and the history.
    std::vector<TrafficEntry> draining_;
    std::vector<TrafficEntry> recycling_;  // drain()'s, between the history and spare_
    std::deque<TrafficEntry> history_;
    std::uint64_t removed_ = 0;  // entries that left the history's front since the last clear
    std::uint64_t clears_ = 0;
    std::optional<std::chrono::steady_clock::time_point> lastDrain_;
};

}  // namespace orvane
