#pragma once

namespace orvane {

// Names the calling thread, so that per-thread views (top -H, /proc/PID/task/*/comm, perf, a
// debugger) say which of the console's threads is which. Linux shows at most 15 characters.
void setCurrentThreadName(const char* name);

}  // namespace orvane
