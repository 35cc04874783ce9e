#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace orvane {

// What a front end whose event loop drives the main queue offers for main-queue timers: a
// timer of that event loop, which wakes the main thread by itself. Without one, a main-queue
// timer keeps a thread that posts each firing to the main queue (a thread wake-up, a post and
// a wake of the main queue per firing).
class MainTimerDriver {
public:
    virtual ~MainTimerDriver() = default;

    class Timer {
    public:
        virtual ~Timer() = default;  // stops it; destroyed on the main thread
    };
    // Called on the main thread. `fire` runs there, first after `firstDeadline`, then every
    // `interval`; a firing that comes due while the main thread is busy runs once when it is
    // free (missed firings are not made up).
    virtual std::unique_ptr<Timer> start(std::chrono::nanoseconds firstDeadline, std::chrono::nanoseconds interval,
                                         std::function<void()> fire) = 0;

    // The driver that main-queue timers started on the main thread from now on use (none: each
    // keeps a thread of its own).
    static void install(std::shared_ptr<MainTimerDriver> driver);
    static std::shared_ptr<MainTimerDriver> installed();
};

// A repeating timer with a first deadline and an interval, on the main queue or on a background
// thread of its own. Its handler never runs twice at the same time: a main-queue timer posts a
// firing only when the previous one has run (or is a timer of the installed MainTimerDriver),
// and a background timer runs its handler on its own thread. Destroying the timer (or cancel)
// stops it; a handler that is running finishes. A handler may destroy its own timer: its
// function and captures stay alive until it returns, whichever queue or driver runs it.
class RepeatingTimer {
public:
    enum class Queue { main, global };

    // `threadName` names the timer's own thread (see setCurrentThreadName).
    static std::unique_ptr<RepeatingTimer> start(Queue queue, std::chrono::nanoseconds firstDeadline,
                                                 std::chrono::nanoseconds interval, std::function<void()> handler,
                                                 const char* threadName = "orvane-timer");
    ~RepeatingTimer();

    RepeatingTimer(const RepeatingTimer&) = delete;
    RepeatingTimer& operator=(const RepeatingTimer&) = delete;

    void cancel();
    Queue queue() const { return queue_; }
    std::chrono::nanoseconds interval() const { return interval_; }

    // The flag a handler can hand to MainQueue::sync so that a cancel does not wait for the
    // main queue.
    const std::atomic<bool>& cancelledFlag() const { return state_->cancelled; }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        std::atomic<bool> cancelled{false};
        std::atomic<bool> firingPending{false};
        // Firings of the installed driver's timer under way, and that timer once the
        // RepeatingTimer was destroyed during one (main thread only).
        int firing = 0;
        std::unique_ptr<MainTimerDriver::Timer> released;
    };

    RepeatingTimer(Queue queue, std::chrono::nanoseconds interval);
    void run(std::chrono::nanoseconds firstDeadline, std::function<void()> handler, const char* threadName);

    Queue queue_;
    std::chrono::nanoseconds interval_;
    std::shared_ptr<State> state_;
    std::thread thread_;
    std::unique_ptr<MainTimerDriver::Timer> driven_;  // a main-queue timer of the installed driver
};

}  // namespace orvane
