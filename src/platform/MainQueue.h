#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace orvane {

// The main queue: one run loop on the UI thread. Work submitted to it runs there, one item at a
// time, in submission order, always after the work that is running now.
//
// The Qt front end drives it from its event loop (watching wakeFd()); tests drive it by hand
// with runPending() or runUntil(). The thread that first drives it (or calls bindToCurrentThread)
// is the main thread.
class MainQueue {
public:
    static MainQueue& shared();

    // Makes the calling thread the main thread.
    void bindToCurrentThread();
    bool isMainThread() const;

    // Runs `work` on the main queue after the current work; returns at once.
    void async(std::function<void()> work);

    // Runs `work` on the main queue and waits for it. On the main thread it runs at once.
    // When `abandon` is given and becomes true while waiting (it is looked at every few
    // milliseconds), the work is dropped if it has not started and sync returns false.
    // Returns true when the work ran.
    bool sync(std::function<void()> work, const std::atomic<bool>* abandon = nullptr);

    // Runs the work queued now (not work that it queues in turn). Returns how many items ran.
    // Must be called on the main thread (binds it on first use).
    std::size_t runPending();

    // Runs the queue (waiting for work) until `done` holds or `timeout` passes.
    // Returns whether `done` held. Must be called on the main thread.
    bool runUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    // Runs the queue for `duration`.
    void runFor(std::chrono::milliseconds duration);

    // A descriptor that becomes readable whenever work is waiting (an eventfd); runPending()
    // clears it. The front end watches it.
    int wakeFd() const { return wakeFd_; }

    std::size_t pendingCount() const;

private:
    MainQueue();
    void signal();
    void clearSignal();

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> queue_;
    std::atomic<std::thread::id> mainThread_{};
    std::atomic<bool> bound_{false};
    int wakeFd_ = -1;
};

// Short forms used throughout the console.
inline void dispatchMain(std::function<void()> work) { MainQueue::shared().async(std::move(work)); }
inline bool dispatchMainSync(std::function<void()> work) { return MainQueue::shared().sync(std::move(work)); }

}  // namespace orvane
