#include "device/DeviceTelemetry.h"

#include "device/ValueSyntax.h"

namespace orvane {

namespace {

// The value of `key`, or the text an absent key reads as.
const std::string& fieldOr(const DeviceReport& report, const std::string& key, const std::string& absent) {
    auto found = report.fields.find(key);
    return found == report.fields.end() ? absent : found->second;
}

const std::string kEmpty;
const std::string kZero = "0";
const std::string kZeroPointZero = "0.0";
const std::string kUnknown = "unknown";

double numberOrZero(const std::string& text) { return parseNumber(text).value_or(0.0); }

}  // namespace

std::optional<std::int64_t> DeviceTelemetry::receivedMessageCount(std::int64_t channel) const {
    const auto found = receivedMessageCountsByChannel.find(channel);
    if (found == receivedMessageCountsByChannel.end()) return std::nullopt;
    return found->second;
}

bool DeviceTelemetry::apply(const DeviceReport& report) {
    if (report.name == "STEERING") {
        steeringWheelAngle = numberOrZero(fieldOr(report, "angle", kZero));
        halfTOI = toiStatusFromDeviceText(fieldOr(report, "halfTOI", kUnknown));
        parkTOI = toiStatusFromDeviceText(fieldOr(report, "apaTOI", kUnknown));
        steeringAssistanceTorque = numberOrZero(fieldOr(report, "assist-torque", kZeroPointZero));
        steeringDriverTorque = numberOrZero(fieldOr(report, "driver-torque", kZeroPointZero));
        steeringReported = true;
        return true;
    }
    if (report.name == "STATE") {
        lateralControlMethod = LateralControlMethod::fromDeviceText(fieldOr(report, "lateral-control-method", kEmpty));
        longitudinalControlMethod =
            LongitudinalControlMethod::fromDeviceText(fieldOr(report, "longitudinal-control-method", kEmpty));
        return true;
    }
    if (report.name == "DEVICE-INFO") {
        version = Version(fieldOr(report, "version", kEmpty));
        buildDate = parseInternetDateTime(fieldOr(report, "build-date", kEmpty));
        serialNumber = fieldOr(report, "serial-number", kEmpty);
        return true;
    }
    if (report.name == "STATISTICS") {
        // The map is replaced only as a whole: a message without both counts as decimal
        // integers leaves the previous counts in place.
        auto can0 = parseDecimalInteger(fieldOr(report, "can0-rx-message-count", kEmpty));
        auto can1 = parseDecimalInteger(fieldOr(report, "can1-rx-message-count", kEmpty));
        if (can0 && can1) receivedMessageCountsByChannel = {{0, *can0}, {1, *can1}};
        return true;
    }
    return report.name == "ACK";
}

}  // namespace orvane
