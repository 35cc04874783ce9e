#include <signal.h>

#include <chrono>
#include <optional>

#include <gtest/gtest.h>

#include "support/ChildProcess.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;

// How a child's end is told: its exit status, the signal that ended it, one that the kernel reaped
// because SIGCHLD is ignored (ended, never taken for one still running, and never signalled
// again: its pid may be another process's by now), and one still running past the wait's bound.
TEST(ChildProcess, EveryEndIsToldAndAReapedChildIsNeverSignalled) {
    struct Case {
        const char* script;
        bool childrenIgnored;
        std::optional<int> status;  // after a wait of 10 s; nothing: still running after 50 ms
    };
    const Case cases[] = {
        {"exit 3", false, 3},
        {"kill -TERM $$", false, 128 + SIGTERM},
        {"exit 0", true, -1},
        {"exec sleep 30", false, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        if (c.childrenIgnored) ::signal(SIGCHLD, SIG_IGN);
        testing::Child child({"/bin/sh", "-c", c.script});
        ASSERT_TRUE(child.started());
        if (!c.status) {
            EXPECT_EQ(child.wait(50ms), std::nullopt);
            EXPECT_TRUE(child.signal(SIGKILL));
        }
        EXPECT_EQ(child.wait(10s), c.status.value_or(128 + SIGKILL));
        EXPECT_FALSE(child.signal(SIGTERM)) << "signalled after it was reaped";
        ::signal(SIGCHLD, SIG_DFL);
    }
}

}  // namespace
}  // namespace orvane
