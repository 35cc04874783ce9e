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

// Text the device sent (a name, key or value), made safe to show in a log, a terminal or a
// table: quotes, backslashes and control characters (C0 and DEL) are escaped as in JSON (LF as
// \n, ESC as \u001b, DEL as \u007f), and a byte that is not UTF-8 becomes U+FFFD. Text with
// none of these comes back as it is. Every place that shows device text escapes it with this.
std::string escapedDeviceText(std::string_view text);

// The log entry for a message whose name is not understood: a blank, the name, ":", LF, the
// fields, LF and seven hyphens. The fields print one per line as "key" = "value"; the name is
// printed without quotes. The name, keys and values are escaped (escapedDeviceText).
std::string unknownMessageLogText(const DeviceReport& message);

}  // namespace orvane
