#include "platform/MainQueue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace orvane {

MainQueue& MainQueue::shared() {
    // Never destroyed: background threads may still submit work while the process exits.
    static MainQueue* queue = new MainQueue();
    return *queue;
}

MainQueue::MainQueue() { wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

void MainQueue::bindToCurrentThread() {
    mainThread_.store(std::this_thread::get_id());
    bound_.store(true);
}

bool MainQueue::isMainThread() const { return bound_.load() && mainThread_.load() == std::this_thread::get_id(); }

void MainQueue::signal() {
    if (wakeFd_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto n = write(wakeFd_, &one, sizeof one);
    }
}

void MainQueue::clearSignal() {
    if (wakeFd_ >= 0) {
        uint64_t value;
        [[maybe_unused]] auto n = read(wakeFd_, &value, sizeof value);
    }
}

void MainQueue::async(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(work));
    }
    cv_.notify_all();
    signal();
}

namespace {
struct SyncState {
    std::mutex mutex;
    std::condition_variable cv;
    bool started = false;
    bool done = false;
    bool abandoned = false;
};
}  // namespace

bool MainQueue::sync(std::function<void()> work, const std::atomic<bool>* abandon) {
    if (isMainThread()) {
        work();
        return true;
    }
    auto state = std::make_shared<SyncState>();
    async([state, work = std::move(work)] {
        {
            std::lock_guard lock(state->mutex);
            if (state->abandoned) return;
            state->started = true;
        }
        work();
        {
            std::lock_guard lock(state->mutex);
            state->done = true;
        }
        state->cv.notify_all();
    });
    std::unique_lock lock(state->mutex);
    while (!state->done) {
        if (abandon && abandon->load() && !state->started) {
            state->abandoned = true;
            return false;
        }
        // A waiter with an abandon flag looks at it again every 10 ms.
        state->cv.wait_for(lock, std::chrono::milliseconds(abandon ? 10 : 100));
    }
    return true;
}

std::size_t MainQueue::runPending() {
    if (!bound_.load()) bindToCurrentThread();
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(mutex_);
        batch.swap(queue_);
        clearSignal();
    }
    for (auto& work : batch) work();
    return batch.size();
}

bool MainQueue::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    if (!bound_.load()) bindToCurrentThread();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        runPending();
        if (done()) return true;
        std::unique_lock lock(mutex_);
        if (std::chrono::steady_clock::now() >= deadline) {
            lock.unlock();
            return done();
        }
        cv_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(10)),
                       [this] { return !queue_.empty(); });
    }
}

void MainQueue::runFor(std::chrono::milliseconds duration) {
    runUntil([] { return false; }, duration);
}

std::size_t MainQueue::pendingCount() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

}  // namespace orvane
