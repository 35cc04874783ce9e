#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace orvane {

// The name of a worker thread while it runs no task that names it otherwise.
inline constexpr const char* kGlobalWorkerThreadName = "orvane-global";

// The global queue: work runs on background worker threads, concurrently. A task that runs for
// a long time (a device session's exchange loop runs for the whole connection) never starves
// the others: when no worker is idle a new one is started.
class GlobalQueue {
public:
    static GlobalQueue& shared();

    void async(std::function<void()> work);

    // Waits until no task is queued or running, or until `timeout` passes; for tests.
    // Tasks that run for the whole process (exchange loops) count as running.
    bool waitIdle(std::chrono::milliseconds timeout);

    std::size_t workerCount() const;

private:
    GlobalQueue() = default;
    void workerLoop();

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::condition_variable idleCv_;
    std::deque<std::function<void()>> queue_;
    std::size_t workers_ = 0;
    std::size_t idle_ = 0;
    std::size_t running_ = 0;
};

inline void dispatchGlobal(std::function<void()> work) { GlobalQueue::shared().async(std::move(work)); }

}  // namespace orvane
