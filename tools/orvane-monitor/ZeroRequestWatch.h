#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "device/DeviceSerialInterface.h"

namespace orvane::monitor {

// Counts the CONTROL requests a session writes with both magnitudes exactly 0 and notes the end of
// its link, so that the monitor sees a 0 go out to the device before it lets the session go: after
// a maneuver suite ends, and after Ctrl+C in the plain mode. The counting runs on the exchange
// thread, the waiting on the monitor's main thread.
class ZeroRequestWatch {
public:
    // Watches `session` from now on, for as long as the session lives.
    explicit ZeroRequestWatch(DeviceSerialInterface& session) : state_(std::make_shared<State>()) {
        const DeviceReport zero = controlRequest(0.0, 0.0);
        session.addRequestObserver([state = state_, zero](const DeviceReport& request) {
            if (request != zero) return;
            std::lock_guard lock(state->mutex);
            ++state->zeroRequests;
            state->changed.notify_all();
        });
        session.addLinkEndObserver([state = state_](const LinkEnd&) {
            std::lock_guard lock(state->mutex);
            state->linkEnded = true;
            state->changed.notify_all();
        });
    }

    // The requests of 0 written so far.
    std::uint64_t count() const {
        std::lock_guard lock(state_->mutex);
        return state_->zeroRequests;
    }

    // Waits up to `timeout` until more than `before` requests of 0 have been written, or the link
    // has ended; true when a request of 0 has been written.
    bool waitForZeroAfter(std::uint64_t before, std::chrono::milliseconds timeout) const {
        std::unique_lock lock(state_->mutex);
        state_->changed.wait_for(lock, timeout, [&] { return state_->zeroRequests > before || state_->linkEnded; });
        return state_->zeroRequests > before;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        std::uint64_t zeroRequests = 0;
        bool linkEnded = false;
    };
    std::shared_ptr<State> state_;
};

}  // namespace orvane::monitor
