#include "console/ZeroRequest.h"

#include <condition_variable>
#include <memory>
#include <mutex>

#include "device/DeviceReport.h"
#include "device/DeviceSerialInterface.h"

namespace orvane {

bool zeroRequestsAndWait(DeviceSerialInterface& session, std::chrono::milliseconds timeout) {
    // Set by the exchange thread, waited for here; the observers hold it, as one may still be
    // called once after it was removed.
    struct Watch {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
    };
    auto watch = std::make_shared<Watch>();
    const auto finish = [watch] {
        std::lock_guard lock(watch->mutex);
        watch->done = true;
        watch->changed.notify_all();
    };
    const DeviceReport zero = controlRequest(0.0, 0.0);
    // Watched before the magnitudes are set, so that no request written after goes unseen. A
    // request of 0 seen here was made from magnitudes of 0: from these, or from magnitudes
    // that were 0 already.
    const ObserverId requests = session.addRequestObserver([finish, zero](const DeviceReport& request) {
        if (request == zero) finish();
    });
    const ObserverId linkEnd = session.addLinkEndObserver([finish](const LinkEnd&) { finish(); });
    session.setRequestLateralControlMagntiude(0.0);
    session.setRequestLongitudinalControlMagntiude(0.0);
    bool done = !session.isConnected();
    if (!done) {
        std::unique_lock lock(watch->mutex);
        done = watch->changed.wait_for(lock, timeout, [&] { return watch->done; }) || !session.isConnected();
    }
    session.removeObserver(requests);
    session.removeObserver(linkEnd);
    return done;
}

}  // namespace orvane
