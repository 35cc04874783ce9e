#pragma once

#include <chrono>

namespace orvane {

class DeviceSerialInterface;

// Waits, at most `timeout`, until `session` has written a request composed after this call (see
// DeviceSerialInterface::requestSequence()) and tells whether it carried 0 on both channels; true
// too when the link has ended, and at once for a session that is not connected. Call it once the
// magnitudes are 0: then the device holds 0 before the caller lets the session go.
bool waitForZeroOnTheWire(DeviceSerialInterface& session, std::chrono::milliseconds timeout);

// Sets both request magnitudes of `session` to 0, then waitForZeroOnTheWire().
bool zeroRequestsAndWait(DeviceSerialInterface& session, std::chrono::milliseconds timeout);

// Disconnects `session` and waits, at most `timeout`, until its exchange loop has ended (its
// link-end observers, the last it calls, have run), so that nothing of the loop runs on while the
// process exits. True when it ended, and at once for a session that is not connected.
bool disconnectAndWait(DeviceSerialInterface& session, std::chrono::milliseconds timeout);

}  // namespace orvane
