#include "device/DeviceTelemetry.h"

#include "device/ValueSyntax.h"

namespace orvane {

namespace {

std::string fieldOr(const DeviceReport& report, const std::string& key, const char* absent) {
    auto found = report.fields.find(key);
    return found == report.fields.end() ? std::string(absent) : found->second;
}

double numberOrZero(const std::string& text) { return parseNumber(text).value_or(0.0); }

}  // namespace

bool DeviceTelemetry::apply(const DeviceReport& report) {
    if (report.name == "STEERING") {
        steeringWheelAngle = numberOrZero(fieldOr(report, "angle", "0"));
        halfTOI = toiStatusFromDeviceText(fieldOr(report, "halfTOI", "unknown"));
        parkTOI = toiStatusFromDeviceText(fieldOr(report, "apaTOI", "unknown"));
        steeringAssistanceTorque = numberOrZero(fieldOr(report, "assist-torque", "0.0"));
        steeringDriverTorque = numberOrZero(fieldOr(report, "driver-torque", "0.0"));
        return true;
    }
    if (report.name == "STATE") {
        lateralControlMethod = LateralControlMethod::fromDeviceText(fieldOr(report, "lateral-control-method", ""));
        longitudinalControlMethod =
            LongitudinalControlMethod::fromDeviceText(fieldOr(report, "longitudinal-control-method", ""));
        return true;
    }
    if (report.name == "DEVICE-INFO") {
        version = Version(fieldOr(report, "version", ""));
        buildDate = parseInternetDateTime(fieldOr(report, "build-date", ""));
        serialNumber = fieldOr(report, "serial-number", "");
        return true;
    }
    if (report.name == "STATISTICS") {
        // The map is replaced only as a whole: a message without both counts as decimal
        // integers leaves the previous counts in place.
        auto can0 = parseDecimalInteger(fieldOr(report, "can0-rx-message-count", ""));
        auto can1 = parseDecimalInteger(fieldOr(report, "can1-rx-message-count", ""));
        if (can0 && can1) receivedMessageCountsByChannel = {{0, *can0}, {1, *can1}};
        return true;
    }
    return report.name == "ACK";
}

}  // namespace orvane
