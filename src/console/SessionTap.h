#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/TelemetryRecorder.h"
#include "device/TrafficLog.h"

namespace orvane {

class DeviceSerialInterface;

// What the test bench taps off every session the console connects: each request and message
// into the traffic log, and each received message into the recording while one runs. The
// session calls it on its exchange thread; nothing here waits on the window or the disk.
class SessionTap {
public:
    explicit SessionTap(std::shared_ptr<TrafficLog> traffic = nullptr);

    // Adds its observers to a session that is about to connect, beside any others it has. They
    // hold the tap and the session weakly and stay until the session goes.
    static void attach(const std::shared_ptr<SessionTap>& tap, const std::shared_ptr<DeviceSerialInterface>& session);

    const std::shared_ptr<TrafficLog>& traffic() const { return traffic_; }

    // Starts recording into `path` (created or emptied), ending a recording that runs. Throws
    // std::system_error when the file cannot be opened. Besides the recording's own columns each
    // row has the maneuver and repeat columns (kRecordingColumns), filled while a suite runs.
    void startRecording(const std::string& path);
    // The fields of the maneuver and repeat columns for the messages from now on; empty ones
    // outside a maneuver suite.
    void setRecordingFields(std::vector<std::string> fields);
    static inline const std::vector<std::string> kRecordingColumns{"maneuver", "repeat"};
    void stopRecording();
    // The running recording, or none.
    std::shared_ptr<TelemetryRecorder> recording() const;

private:
    void sent(const DeviceReport& request);
    void received(const DeviceReport& message, const DeviceTelemetry& telemetry, double lateral, double longitudinal);

    std::shared_ptr<TrafficLog> traffic_;
    mutable std::mutex recordingMutex_;
    std::shared_ptr<TelemetryRecorder> recording_;
    std::vector<std::string> recordingFields_;  // under recordingMutex_
};

}  // namespace orvane
