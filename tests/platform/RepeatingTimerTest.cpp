#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "PlatformTest.h"
#include "platform/MainQueue.h"
#include "platform/RepeatingTimer.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

TEST_F(PlatformTest, MainTimerFiresRepeatedlyAndStopsWhenDestroyed) {
    int firings = 0;
    auto timer = RepeatingTimer::start(RepeatingTimer::Queue::main, 10ms, 10ms, [&] {
        EXPECT_TRUE(MainQueue::shared().isMainThread());
        ++firings;
    });
    EXPECT_TRUE(MainQueue::shared().runUntil([&] { return firings >= 3; }, 2000ms));
    timer.reset();
    int after = firings;
    MainQueue::shared().runFor(50ms);
    EXPECT_EQ(firings, after);
}

TEST_F(PlatformTest, TimerHandlersNeverOverlap) {
    // A slow main-queue handler: firings that come due meanwhile must not pile up or overlap.
    std::atomic<int> inside{0};
    std::atomic<int> maxInside{0};
    std::atomic<int> firings{0};
    auto slow = [&] {
        int now = ++inside;
        maxInside = std::max(maxInside.load(), now);
        std::this_thread::sleep_for(15ms);
        --inside;
        ++firings;
    };
    auto mainTimer = RepeatingTimer::start(RepeatingTimer::Queue::main, 1ms, 2ms, slow);
    EXPECT_TRUE(MainQueue::shared().runUntil([&] { return firings >= 4; }, 3000ms));
    mainTimer.reset();
    EXPECT_LE(MainQueue::shared().pendingCount(), 1u);
    MainQueue::shared().runPending();

    firings = 0;
    auto globalTimer = RepeatingTimer::start(RepeatingTimer::Queue::global, 1ms, 2ms, slow);
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (firings < 4 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    globalTimer.reset();
    EXPECT_GE(firings.load(), 4);
    EXPECT_EQ(maxInside.load(), 1);
}

TEST_F(PlatformTest, GlobalTimerWaitingOnTheMainQueueCanBeCancelled) {
    // The control path's shape: a background timer that waits on the main queue. Destroying it
    // while the main queue is not running must not hang.
    std::atomic<bool> cancelled{false};
    std::atomic<int> ran{0};
    auto timer = RepeatingTimer::start(RepeatingTimer::Queue::global, 1ms, 5ms,
                                       [&] { MainQueue::shared().sync([&] { ++ran; }, &cancelled); });
    std::this_thread::sleep_for(20ms);
    cancelled = true;
    timer.reset();  // returns: the waiting sync gives up
    MainQueue::shared().runPending();
    EXPECT_EQ(ran.load(), 0);
}

}  // namespace
