#include "platform/RepeatingTimer.h"

#include "platform/MainQueue.h"
#include "platform/ThreadName.h"

namespace orvane {

namespace {

std::mutex& driverMutex() {
    static std::mutex mutex;
    return mutex;
}

std::shared_ptr<MainTimerDriver>& driverSlot() {
    static std::shared_ptr<MainTimerDriver> driver;
    return driver;
}

}  // namespace

void MainTimerDriver::install(std::shared_ptr<MainTimerDriver> driver) {
    std::lock_guard lock(driverMutex());
    driverSlot() = std::move(driver);
}

std::shared_ptr<MainTimerDriver> MainTimerDriver::installed() {
    std::lock_guard lock(driverMutex());
    return driverSlot();
}

RepeatingTimer::RepeatingTimer(Queue queue, std::chrono::nanoseconds interval)
    : queue_(queue), interval_(interval), state_(std::make_shared<State>()) {}

std::unique_ptr<RepeatingTimer> RepeatingTimer::start(Queue queue, std::chrono::nanoseconds firstDeadline,
                                                      std::chrono::nanoseconds interval, std::function<void()> handler,
                                                      const char* threadName) {
    std::unique_ptr<RepeatingTimer> timer(new RepeatingTimer(queue, interval));
    if (queue == Queue::main && MainQueue::shared().isMainThread()) {
        if (auto driver = MainTimerDriver::installed()) {
            auto state = timer->state_;
            timer->driven_ = driver->start(firstDeadline, interval, [state, handler = std::move(handler)] {
                if (state->cancelled.load()) return;
                // The driver's timer holds this function: a handler that destroys its own
                // RepeatingTimer leaves it in `released` (see ~RepeatingTimer), and it goes only
                // once the handler has returned, through the main queue.
                struct Firing {
                    State& state;
                    explicit Firing(State& s) : state(s) { ++state.firing; }
                    ~Firing() {
                        if (--state.firing > 0 || !state.released) return;
                        std::shared_ptr<MainTimerDriver::Timer> released(std::move(state.released));
                        MainQueue::shared().async([released = std::move(released)] {});
                    }
                } firing(*state);
                handler();
            });
            return timer;
        }
    }
    timer->run(firstDeadline, std::move(handler), threadName);
    return timer;
}

void RepeatingTimer::run(std::chrono::nanoseconds firstDeadline, std::function<void()> handler,
                         const char* threadName) {
    auto state = state_;
    auto queue = queue_;
    auto interval = interval_;
    auto shared = std::make_shared<std::function<void()>>(std::move(handler));
    thread_ = std::thread([state, queue, interval, firstDeadline, shared, name = std::string(threadName)] {
        setCurrentThreadName(name.c_str());
        auto deadline = std::chrono::steady_clock::now() + firstDeadline;
        std::unique_lock lock(state->mutex);
        while (!state->cancelled.load()) {
            if (state->cv.wait_until(lock, deadline, [&] { return state->cancelled.load(); })) break;
            // Deadlines advance by the interval; a timer that fell behind skips the missed
            // firings instead of running them back to back.
            deadline += interval;
            const auto now = std::chrono::steady_clock::now();
            if (deadline < now) deadline = now + interval;
            lock.unlock();
            if (queue == Queue::global) {
                (*shared)();
            } else if (!state->firingPending.exchange(true)) {
                // At most one firing waits on the main queue at a time.
                MainQueue::shared().async([state, shared] {
                    if (!state->cancelled.load()) (*shared)();
                    state->firingPending.store(false);
                });
            }
            lock.lock();
        }
    });
}

void RepeatingTimer::cancel() {
    {
        std::lock_guard lock(state_->mutex);
        state_->cancelled.store(true);
    }
    state_->cv.notify_all();
}

RepeatingTimer::~RepeatingTimer() {
    cancel();
    if (driven_) {
        // The event loop's timer belongs to the main thread. One that is firing (the handler
        // destroys its own timer) holds the running handler: the firing lets it go when over.
        if (!MainQueue::shared().isMainThread()) {
            std::shared_ptr<MainTimerDriver::Timer> driven(std::move(driven_));
            MainQueue::shared().async([driven = std::move(driven)] {});
        } else if (state_->firing > 0) {
            state_->released = std::move(driven_);
        } else {
            driven_.reset();
        }
    }
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) {
            thread_.detach();  // destroyed from its own handler
        } else {
            thread_.join();
        }
    }
}

}  // namespace orvane
