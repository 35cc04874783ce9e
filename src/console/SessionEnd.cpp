#include "console/SessionEnd.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "device/DeviceSerialInterface.h"

namespace orvane {

namespace {

// Set on the exchange thread, waited for on the caller's; the observers hold it, as one may still
// be called once after it was removed.
struct Watch {
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;

    void finish() {
        std::lock_guard lock(mutex);
        done = true;
        changed.notify_all();
    }
    bool wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [this] { return done; });
    }
};

}  // namespace

bool waitForZeroOnTheWire(DeviceSerialInterface& session, std::chrono::milliseconds timeout) {
    if (!session.isConnected()) return true;
    // Every request numbered above the sequence read now was composed after the caller's zeros.
    const auto written = session.waitForRequestAfter(session.requestSequence(), timeout);
    if (!written) return !session.isConnected();
    return written->lateral == 0 && written->longitudinal == 0;
}

bool zeroRequestsAndWait(DeviceSerialInterface& session, std::chrono::milliseconds timeout) {
    session.setRequestLateralControlMagntiude(0.0);
    session.setRequestLongitudinalControlMagntiude(0.0);
    return waitForZeroOnTheWire(session, timeout);
}

bool disconnectAndWait(DeviceSerialInterface& session, std::chrono::milliseconds timeout) {
    if (!session.isConnected()) return true;
    auto watch = std::make_shared<Watch>();
    const ObserverId linkEnd = session.addLinkEndObserver([watch](const LinkEnd&) { watch->finish(); });
    // A link that ended by itself just before the observer came calls it no more.
    const bool ended = !session.isConnected();
    session.disconnect();
    const bool done = ended || watch->wait(timeout);
    session.removeObserver(linkEnd);
    return done;
}

}  // namespace orvane
