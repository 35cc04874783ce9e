#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "PlatformTest.h"
#include "platform/MainQueue.h"
#include "platform/RepeatingTimer.h"
#include "support/WaitFor.h"

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
    EXPECT_TRUE(orvane::testing::waitFor([&] { return firings >= 4; }, 10s, [] { std::this_thread::sleep_for(1ms); }));
    globalTimer.reset();
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

TEST_F(PlatformTest, MainTimersStartedOnTheMainThreadUseTheInstalledDriver) {
    // A front end's event loop runs them: no thread, no post through the main queue.
    struct Driver : MainTimerDriver {
        struct Timer : MainTimerDriver::Timer {
            explicit Timer(int& alive) : alive(alive) { ++alive; }
            ~Timer() override { --alive; }
            int& alive;
        };
        std::unique_ptr<MainTimerDriver::Timer> start(std::chrono::nanoseconds first, std::chrono::nanoseconds every,
                                                      std::function<void()> fire) override {
            starts.emplace_back(first, every);
            this->fire = std::move(fire);
            return std::make_unique<Timer>(alive);
        }
        std::vector<std::pair<std::chrono::nanoseconds, std::chrono::nanoseconds>> starts;
        std::function<void()> fire;
        int alive = 0;
    };
    auto driver = std::make_shared<Driver>();
    MainTimerDriver::install(driver);
    int firings = 0;
    auto timer = RepeatingTimer::start(RepeatingTimer::Queue::main, 100ms, 20ms, [&] { ++firings; });
    std::atomic<int> globalFirings{0};
    auto global = RepeatingTimer::start(RepeatingTimer::Queue::global, 1ms, 1ms, [&] { ++globalFirings; });
    const decltype(driver->starts) expected{{100ms, 20ms}};
    EXPECT_EQ(driver->starts, expected) << "a global-queue timer keeps its own thread";
    ASSERT_TRUE(driver->fire);
    driver->fire();
    driver->fire();
    EXPECT_EQ(firings, 2);
    EXPECT_EQ(MainQueue::shared().pendingCount(), 0u);
    timer->cancel();
    driver->fire();  // a firing already due when it was cancelled
    EXPECT_EQ(firings, 2);
    timer.reset();
    EXPECT_EQ(driver->alive, 0);

    // Started off the main thread, a main-queue timer posts to the main queue as before.
    std::unique_ptr<RepeatingTimer> offMain;
    std::thread([&] {
        offMain = RepeatingTimer::start(RepeatingTimer::Queue::main, 1ms, 5ms, [&] { ++firings; });
    }).join();
    EXPECT_TRUE(MainQueue::shared().runUntil([&] { return firings >= 4; }, 5000ms));
    EXPECT_EQ(driver->starts.size(), 1u);
    offMain.reset();
    // The global-queue timer fires on its own thread, driver or not.
    EXPECT_TRUE(MainQueue::shared().runUntil([&] { return globalFirings.load() > 0; }, 10000ms));
    global.reset();
    MainTimerDriver::install(nullptr);
    MainQueue::shared().runPending();
}

// A handler may stop its timer for good by destroying it, as a replay does at its end: its
// function and captures live until it returns, on either queue and with a driver whose timer
// owns the function it fires (as Qt's does).
TEST_F(PlatformTest, AHandlerMayDestroyItsOwnTimer) {
    struct Driver : MainTimerDriver {
        struct Timer : MainTimerDriver::Timer {
            Timer(std::function<void()> f, int& count) : fire(std::move(f)), alive(count) { ++alive; }
            ~Timer() override { --alive; }
            std::function<void()> fire;
            int& alive;
        };
        std::unique_ptr<MainTimerDriver::Timer> start(std::chrono::nanoseconds, std::chrono::nanoseconds,
                                                      std::function<void()> fire) override {
            auto timer = std::make_unique<Timer>(std::move(fire), alive);
            latest = timer.get();
            return timer;
        }
        Timer* latest = nullptr;
        int alive = 0;
    };
    auto driver = std::make_shared<Driver>();
    enum How { mainQueue, globalQueue, installedDriver };
    for (How how : {mainQueue, globalQueue, installedDriver}) {
        SCOPED_TRACE(how);
        if (how == installedDriver) MainTimerDriver::install(driver);
        std::mutex assigning;
        std::unique_ptr<RepeatingTimer> timer;
        std::atomic<int> read{0};
        {
            std::lock_guard lock(assigning);
            const auto queue = how == globalQueue ? RepeatingTimer::Queue::global : RepeatingTimer::Queue::main;
            timer = RepeatingTimer::start(queue, 1ms, 1ms, [&, tag = std::make_shared<int>(7)] {
                {
                    std::lock_guard held(assigning);
                    timer.reset();
                }
                read = *tag;
            });
        }
        if (how == installedDriver) {
            driver->latest->fire();
            EXPECT_EQ(driver->alive, 1) << "the firing's timer goes through the main queue";
            MainQueue::shared().runPending();
            EXPECT_EQ(driver->alive, 0);
        }
        EXPECT_TRUE(MainQueue::shared().runUntil([&] { return read.load() == 7; }, 10000ms));
        EXPECT_EQ(timer, nullptr);
    }
    MainTimerDriver::install(nullptr);
    MainQueue::shared().runPending();
}

}  // namespace
