#pragma once

// SIGINT and SIGTERM as a request to stop that the tool looks at when it suits it: the handler
// only records which signal came, so a tool ends through its own shutdown (requests back to 0, a
// recording closed, a device never left in the middle of a write).

#include <signal.h>

#include <atomic>

namespace orvane::tools {

// The number of the SIGINT or SIGTERM that asked the tool to stop; 0 until one came.
inline std::atomic<int> gStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

extern "C" inline void recordStopSignal(int signal) { gStopSignal.store(signal); }

inline void installStopHandlers() {
    struct sigaction action {};
    action.sa_handler = recordStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

}  // namespace orvane::tools
