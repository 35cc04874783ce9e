#include "console/SessionEnd.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "device/DeviceReport.h"
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

bool zeroRequestsAndWait(DeviceSerialInterface& session, std::chrono::milliseconds timeout) {
    auto watch = std::make_shared<Watch>();
    const DeviceReport zero = controlRequest(0.0, 0.0);
    // Watched before the magnitudes are set, so that no request written after goes unseen. A
    // request of 0 seen here was made from magnitudes of 0: from these, or from magnitudes
    // that were 0 already.
    const ObserverId requests = session.addRequestObserver([watch, zero](const DeviceReport& request) {
        if (request == zero) watch->finish();
    });
    const ObserverId linkEnd = session.addLinkEndObserver([watch](const LinkEnd&) { watch->finish(); });
    session.setRequestLateralControlMagntiude(0.0);
    session.setRequestLongitudinalControlMagntiude(0.0);
    const bool done = !session.isConnected() || watch->wait(timeout) || !session.isConnected();
    session.removeObserver(requests);
    session.removeObserver(linkEnd);
    return done;
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
