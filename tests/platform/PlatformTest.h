#pragma once

#include <gtest/gtest.h>

#include "platform/MainQueue.h"

namespace orvane::testing {

// Tests of the run loop's users start on a main queue bound to the test's thread, with nothing
// pending from an earlier test.
class PlatformTest : public ::testing::Test {
protected:
    void SetUp() override {
        MainQueue::shared().bindToCurrentThread();
        MainQueue::shared().runPending();
    }
};

}  // namespace orvane::testing
