#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "device/DeviceReport.h"
#include "device/LateralControlMethod.h"
#include "device/LongitudinalControlMethod.h"
#include "device/TOIStatus.h"
#include "device/Version.h"

namespace orvane {

// What the device has reported, as of the last message decoded.
struct DeviceTelemetry {
    double steeringWheelAngle = 0;  // degrees
    TOIStatus parkTOI = TOIStatus::unknown;
    TOIStatus halfTOI = TOIStatus::unknown;
    double steeringAssistanceTorque = 0;  // Nm
    double steeringDriverTorque = 0;      // Nm
    // Whether a "STEERING" message has set the angle and torques above; until one has, they are
    // only their initial zeros.
    bool steeringReported = false;
    std::optional<Version> version;
    std::string name;  // no message sets it
    std::optional<std::chrono::system_clock::time_point> buildDate;
    std::string serialNumber;
    LateralControlMethod lateralControlMethod;
    LongitudinalControlMethod longitudinalControlMethod;
    std::map<std::int64_t, std::int64_t> receivedMessageCountsByChannel;

    // The messages received on CAN `channel`; none until the device has reported that channel.
    std::optional<std::int64_t> receivedMessageCount(std::int64_t channel) const;

    // Applies a message from the device: "STEERING", "STATE", "DEVICE-INFO" and "STATISTICS"
    // set every one of their properties (an absent key reads as its default text); "ACK" does
    // nothing. Gives false for a name it does not know, leaving everything unchanged.
    bool apply(const DeviceReport& report);
};

}  // namespace orvane
