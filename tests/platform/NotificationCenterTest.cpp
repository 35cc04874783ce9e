#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "PlatformTest.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

struct Sender : Object {};

TEST_F(PlatformTest, NotificationsReachObserversByNameAndObject) {
    Sender a, b;
    std::vector<Object*> seen;
    auto any =
        NotificationCenter::defaultCenter().addObserver("Changed", nullptr, NotificationCenter::Delivery::postingThread,
                                                        [&](const Notification& n) { seen.push_back(n.object); });
    auto onlyA =
        NotificationCenter::defaultCenter().addObserver("Changed", &a, NotificationCenter::Delivery::postingThread,
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

}  // namespace
