#pragma once

// How a test waits for something to happen: it checks the condition, lets the work it waits for
// run, and checks again. The time-out only bounds a test that fails; a test waits for the event
// that proves what it checks, never for a stretch of time.

#include <chrono>
#include <functional>

namespace orvane::testing {

// What runs between two checks: by default the main queue's pending work when this thread runs
// the main queue (so the console's work goes on), otherwise a pause of a millisecond. A test
// binary whose main thread runs another event loop (Qt's) installs its own with setWaitStep.
void setWaitStep(std::function<void()> step);

// Waits until `condition` holds, running `step` (or the binary's step) between two checks; false
// when `timeout` passed first.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(20),
             const std::function<void()>& step = nullptr);

}  // namespace orvane::testing
