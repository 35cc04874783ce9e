#include <poll.h>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "PlatformTest.h"
#include "platform/MainQueue.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

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

}  // namespace
