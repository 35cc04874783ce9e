#pragma once

#include <map>
#include <string>
#include <string_view>

namespace orvane {

// One message of the device protocol, in either direction: a name and its fields. A key that
// occurs twice keeps its later value.
struct DeviceReport {
    std::string name;
    std::map<std::string, std::string> fields;

    friend bool operator==(const DeviceReport&, const DeviceReport&) = default;
};

// The bytes of a message: name, "{", one "key:value" line (LF-terminated) per field, "}".
std::string messageText(const DeviceReport& message);

// The "CONTROL" request with the two magnitudes (-1 to 1) as percentages: "lat" and "long"
// carry magnitude x 100 as number text.
DeviceReport controlRequest(double lateralMagnitude, double longitudinalMagnitude);

// The log entry for a message whose name is not understood: a blank, the name, ":", LF, the
// fields, LF and seven hyphens. The fields print one per line as "key" = "value"; the name is
// printed without quotes. Quotes, backslashes and control characters of the name, keys and
// values are escaped as in JSON (LF as \n, ESC as \u001b).
std::string unknownMessageLogText(const DeviceReport& message);

}  // namespace orvane
