#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "PlatformTest.h"
#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

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

}  // namespace
