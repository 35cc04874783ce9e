#pragma once

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <string>

namespace orvane::monitor {

struct ManeuverModeOptions {
    std::string path;          // the device
    std::string maneuverFile;  // the suite to run
    std::string csvPath;       // empty: no recording
    std::string reportPath;    // empty: no report
    std::string junitPath;     // empty: no JUnit XML
    std::string metricsPath;   // empty: no metrics file
    std::string baselinePath;  // empty: no baseline to compare with
};

// Exit statuses of a maneuver run.
inline constexpr int kSuiteCompleted = 0;
inline constexpr int kDeviceUnusable = 1;
inline constexpr int kBadFile = 2;
inline constexpr int kSuiteAborted = 3;
inline constexpr int kExpectationsFailed = 4;  // the suite completed and an expectation was not met

// SIGINT and SIGTERM go to the main thread only: the threads started while they are blocked (the
// session's, the recorder's) inherit the block, so their reads and waits are never interrupted.
inline void setStopSignalsBlocked(bool blocked) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(blocked ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}

// Runs the file's suite on the device, ticking the runner every 20 ms on the calling thread from
// the device's first report on (kDeviceUnusable, with a line on standard error, when none comes
// within 2 s), and prints one line per repeat, with its verdict, as its settle ends; then the
// spread of each metric over each maneuver's repeats and the suite's verdict. The report, the
// JUnit XML and the metrics file are written whole (through a temporary name) after the end. `stopSignal` turns non-zero (a signal's number)
// when the user asks to stop: the suite is aborted with the requests at 0.
int runManeuverMode(const ManeuverModeOptions& options, const std::atomic<int>& stopSignal);

}  // namespace orvane::monitor
