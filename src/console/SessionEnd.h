#pragma once

#include <chrono>

namespace orvane {

class DeviceSerialInterface;

// Sets both request magnitudes of `session` to 0 and waits, at most `timeout`, until its exchange
// loop has written a request of 0 after that, or its link has ended, so that the device holds 0
// before the caller lets the session go. True when one of them happened, and at once for a
// session that is not connected.
bool zeroRequestsAndWait(DeviceSerialInterface& session, std::chrono::milliseconds timeout);

// Disconnects `session` and waits, at most `timeout`, until its exchange loop has ended (its
// link-end observers, the last it calls, have run), so that nothing of the loop runs on while the
// process exits. True when it ended, and at once for a session that is not connected.
bool disconnectAndWait(DeviceSerialInterface& session, std::chrono::milliseconds timeout);

}  // namespace orvane
