#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <poll.h>
#include <vector>

#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "platform/RepeatingTimer.h"
#include "platform/Transform3D.h"

using namespace orvane;
using namespace std::chrono_literals;

namespace {

class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        MainQueue::shared().bindToCurrentThread();
        MainQueue::shared().runPending();
    }
};

TEST_F(PlatformTest, AsyncWorkRunsAfterTheCurrentWorkInSubmissionOrder) {
    std::vector<std::string> log;
    dispatchMain([&] {
        log.push_back("first begins");
        dispatchMain([&] { log.push_back("queued by first"); });
        log.push_back("first ends");
    });
    dispatchMain([&] { log.push_back("second"); });

    // One pass runs only what was queued before it started.
    EXPECT_EQ(MainQueue::shared().runPending(), 2u);
    EXPECT_EQ(log, (std::vector<std::string>{"first begins", "first ends", "second"}));
    MainQueue::shared().runPending();
    EXPECT_EQ(log.back(), "queued by first");
}

TEST_F(PlatformTest, SyncFromAnotherThreadRunsOnTheMainThreadAndWaits) {
    std::atomic<bool> ranOnMain{false};
    std::atomic<bool> returned{false};
    std::thread worker([&] {
        bool ran = MainQueue::shared().sync([&] { ranOnMain = MainQueue::shared().isMainThread(); });
        EXPECT_TRUE(ran);
        returned = true;
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(returned.load()) << "sync must wait for the main queue to run the work";
    EXPECT_TRUE(MainQueue::shared().runUntil([&] { return returned.load(); }, 2000ms));
    worker.join();
    EXPECT_TRUE(ranOnMain.load());
}

TEST_F(PlatformTest, SyncOnTheMainThreadRunsAtOnce) {
    int value = 0;
    EXPECT_TRUE(MainQueue::shared().sync([&] { value = 7; }));
    EXPECT_EQ(value, 7);
    EXPECT_EQ(MainQueue::shared().pendingCount(), 0u);
}

TEST_F(PlatformTest, AbandonedSyncDropsWorkThatHasNotStarted) {
    std::atomic<bool> abandon{false};
    std::atomic<bool> ran{false};
    std::atomic<bool> result{true};
    std::thread worker([&] { result = MainQueue::shared().sync([&] { ran = true; }, &abandon); });
    std::this_thread::sleep_for(20ms);
    abandon = true;
    worker.join();
    MainQueue::shared().runPending();
    EXPECT_FALSE(result.load());
    EXPECT_FALSE(ran.load());
}

TEST_F(PlatformTest, WakeDescriptorSignalsPendingWork) {
    pollfd pfd{MainQueue::shared().wakeFd(), POLLIN, 0};
    ASSERT_GE(pfd.fd, 0);
    EXPECT_EQ(poll(&pfd, 1, 0), 0);
    dispatchMain([] {});
    EXPECT_EQ(poll(&pfd, 1, 0), 1);
    MainQueue::shared().runPending();
    EXPECT_EQ(poll(&pfd, 1, 0), 0);
}

TEST_F(PlatformTest, GlobalQueueLongTaskDoesNotStarveOthers) {
    std::atomic<bool> stop{false};
    std::atomic<int> done{0};
    dispatchGlobal([&] {
        while (!stop) std::this_thread::sleep_for(1ms);
    });
    for (int i = 0; i < 5; ++i) dispatchGlobal([&] { ++done; });
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (done < 5 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    EXPECT_EQ(done.load(), 5);
    stop = true;
    EXPECT_TRUE(GlobalQueue::shared().waitIdle(2000ms));
}

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
    auto timer = RepeatingTimer::start(RepeatingTimer::Queue::global, 1ms, 5ms, [&] {
        MainQueue::shared().sync([&] { ++ran; }, &cancelled);
    });
    std::this_thread::sleep_for(20ms);
    cancelled = true;
    timer.reset();  // returns: the waiting sync gives up
    MainQueue::shared().runPending();
    EXPECT_EQ(ran.load(), 0);
}

struct Sender : Object {};

TEST_F(PlatformTest, NotificationsReachObserversByNameAndObject) {
    Sender a, b;
    std::vector<Object*> seen;
    auto any = NotificationCenter::defaultCenter().addObserver(
        "Changed", nullptr, NotificationCenter::Delivery::postingThread,
        [&](const Notification& n) { seen.push_back(n.object); });
    auto onlyA = NotificationCenter::defaultCenter().addObserver(
        "Changed", &a, NotificationCenter::Delivery::postingThread,
        [&](const Notification& n) { seen.push_back(n.object); });

    NotificationCenter::defaultCenter().post("Changed", &a);
    NotificationCenter::defaultCenter().post("Changed", &b);
    NotificationCenter::defaultCenter().post("Other", &a);
    EXPECT_EQ(seen, (std::vector<Object*>{&a, &a, &b}));

    onlyA.reset();
    any.reset();
    NotificationCenter::defaultCenter().post("Changed", &a);
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(PlatformTest, MainQueueObserverRunsOnTheMainThreadWhenPostedElsewhere) {
    std::atomic<bool> onMain{false};
    std::atomic<bool> posted{false};
    auto token = NotificationCenter::defaultCenter().addObserver(
        "FromWorker", nullptr, NotificationCenter::Delivery::mainQueue,
        [&](const Notification&) { onMain = MainQueue::shared().isMainThread(); });
    std::thread worker([&] {
        NotificationCenter::defaultCenter().post("FromWorker", nullptr);
        posted = true;
    });
    EXPECT_TRUE(MainQueue::shared().runUntil([&] { return posted.load(); }, 2000ms));
    worker.join();
    EXPECT_TRUE(onMain.load());
}

TEST_F(PlatformTest, ObserverMayRemoveItselfWhileRunning) {
    int calls = 0;
    ObserverToken token;
    token = NotificationCenter::defaultCenter().addObserver(
        "Once", nullptr, NotificationCenter::Delivery::postingThread, [&](const Notification&) {
            ++calls;
            token.reset();
        });
    NotificationCenter::defaultCenter().post("Once", nullptr);
    NotificationCenter::defaultCenter().post("Once", nullptr);
    EXPECT_EQ(calls, 1);
}

TEST(Transform3DTest, TranslateThenRotateTurnsAPointAboutTheOriginCounterclockwise) {
    auto t = Transform3D::identity().rotated(M_PI / 2, 0, 0, 1);
    // (1, 0) turns a quarter counterclockwise to (0, 1) in a y-up space.
    const double x = 1 * t.m[0][0] + 0 * t.m[1][0] + t.m[3][0];
    const double y = 1 * t.m[0][1] + 0 * t.m[1][1] + t.m[3][1];
    EXPECT_NEAR(x, 0, 1e-12);
    EXPECT_NEAR(y, 1, 1e-12);

    auto moved = Transform3D::identity().translated(50, 50, 0);
    EXPECT_EQ(moved.m[3][0], 50);
    EXPECT_EQ(moved.m[3][1], 50);
    // Rotating after the translation keeps the translation row turned with it (rotation * t).
    auto both = moved.rotated(M_PI, 0, 0, 1);
    EXPECT_NEAR(both.m[3][0], 50, 1e-12);
    EXPECT_NEAR(both.m[0][0], -1, 1e-12);
}

}  // namespace
