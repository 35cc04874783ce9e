#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "PlatformTest.h"
#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "support/WaitFor.h"

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
    EXPECT_TRUE(orvane::testing::waitFor([&] { return done == 5; }));
    stop = true;
    EXPECT_TRUE(GlobalQueue::shared().waitIdle(2000ms));
}

}  // namespace
