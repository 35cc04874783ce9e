#include "support/WaitFor.h"

#include <thread>

#include "platform/MainQueue.h"

namespace orvane::testing {

namespace {

std::function<void()>& binaryStep() {
    static std::function<void()> step;
    return step;
}

void defaultStep() {
    if (MainQueue::shared().isMainThread()) {
        MainQueue::shared().runFor(std::chrono::milliseconds(1));
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

void setWaitStep(std::function<void()> step) { binaryStep() = std::move(step); }

bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             const std::function<void()>& step) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        if (step) {
            step();
        } else if (binaryStep()) {
            binaryStep()();
        } else {
            defaultStep();
        }
    }
    return true;
}

}  // namespace orvane::testing
