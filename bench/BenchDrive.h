#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>

#include "device/TelemetryRecorder.h"
#include "device/ValueSyntax.h"

namespace orvane::bench {

// Writes a synthetic drive of `rows` messages at 100 a second to a new file in /tmp and returns
// its path: steering reports with the other messages now and then, as TelemetryRecorder writes
// them. Shared by the recording reader's benchmark and the window's replay jump.
inline std::string writeBenchDrive(int rows) {
    char pattern[] = "/tmp/orvane-bench-drive-XXXXXX.csv";
    const int fd = ::mkstemps(pattern, 4);
    if (fd >= 0) ::close(fd);
    TelemetryRecorder recorder(pattern);
    DeviceTelemetry telemetry;
    telemetry.version = Version(1, 2, 0, 0);
    telemetry.buildDate = parseInternetDateTime("2024-03-18T14:05:12.345Z");
    telemetry.serialNumber = "OV-000123";
    const auto wallClock = std::chrono::system_clock::now();
    for (int i = 0; i < rows; ++i) {
        const double t = i / 100.0;
        std::string message = "STEERING";
        if (i % 100 == 50) {
            message = "STATISTICS";
            telemetry.receivedMessageCountsByChannel = {{0, 2000LL * i}, {1, 1000LL * i}};
        } else if (i % 100 == 25) {
            message = "STATE";
            telemetry.lateralControlMethod = LateralControlMethod::fromDeviceText(i % 1000 < 500 ? "HALF" : "APA");
            telemetry.longitudinalControlMethod = LongitudinalControlMethod::fromDeviceText("DASM");
        } else if (i % 6000 == 75) {
            message = "DEVICE-INFO";
        } else {
            telemetry.steeringReported = true;
            telemetry.steeringWheelAngle = std::round(std::sin(t / 7) * 3600) / 10;
            telemetry.steeringAssistanceTorque = std::round(std::cos(t / 3) * 100) / 100;
            telemetry.steeringDriverTorque = std::round(std::sin(t) * 250) / 100;
            telemetry.parkTOI = i % 3000 < 1500 ? TOIStatus::active : TOIStatus::inactive;
            telemetry.halfTOI = TOIStatus::inactive;
        }
        const auto offset = std::chrono::milliseconds(i * 10);
        recorder.record(TelemetryRecord{recorder.startTime() + offset, wallClock + offset, message, telemetry,
                                        std::round(std::sin(t / 5) * 100) / 100, i % 500 < 250 ? 0.25 : -0.5});
        if (i % 8192 == 8191) recorder.flush();
    }
    recorder.close();
    return pattern;
}

}  // namespace orvane::bench
