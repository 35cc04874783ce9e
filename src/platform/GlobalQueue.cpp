#include "platform/GlobalQueue.h"

#include <thread>

#include "platform/ThreadName.h"

namespace orvane {

GlobalQueue& GlobalQueue::shared() {
    // Never destroyed: workers run for the life of the process (a session's exchange loop
    // may still be running when the process exits).
    static GlobalQueue* queue = new GlobalQueue();
    return *queue;
}

void GlobalQueue::async(std::function<void()> work) {
    bool startWorker = false;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
        // Hand the task to an idle worker, or start one: a long-running task must never make
        // the others wait.
        if (idle_ < queue_.size()) {
            ++workers_;
            startWorker = true;
        }
    }
    if (startWorker) {
        std::thread([this] { workerLoop(); }).detach();
    } else {
        cv_.notify_one();
    }
}

void GlobalQueue::workerLoop() {
    setCurrentThreadName(kGlobalWorkerThreadName);
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        // An idle worker waits a while for more work, then ends.
        bool hasWork = cv_.wait_for(lock, std::chrono::seconds(10), [this] { return !queue_.empty(); });
        --idle_;
        if (!hasWork) {
            --workers_;
            return;
        }
        auto work = std::move(queue_.front());
        queue_.pop_front();
        ++running_;
        lock.unlock();
        work();
        work = nullptr;  // release captures before reporting idle
        lock.lock();
        --running_;
        if (running_ == 0 && queue_.empty()) idleCv_.notify_all();
    }
}

bool GlobalQueue::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idleCv_.wait_for(lock, timeout, [this] { return running_ == 0 && queue_.empty(); });
}

std::size_t GlobalQueue::workerCount() const {
    std::lock_guard lock(mutex_);
    return workers_;
}

}  // namespace orvane
