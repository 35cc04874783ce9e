#include "device/DeviceReport.h"

#include <nlohmann/json.hpp>

#include "device/NumberText.h"

namespace orvane {

std::string messageText(const DeviceReport& message) {
    std::string text = message.name;
    text += '{';
    for (const auto& [key, value] : message.fields) {
        text += key;
        text += ':';
        text += value;
        text += '\n';
    }
    text += '}';
    return text;
}

DeviceReport controlRequest(double lateralMagnitude, double longitudinalMagnitude) {
    return DeviceReport{
        "CONTROL", {{"lat", numberText(lateralMagnitude * 100)}, {"long", numberText(longitudinalMagnitude * 100)}}};
}

namespace {

std::string quoted(const std::string& text) {
    // JSON string quoting escapes quotes, backslashes and control characters (CR, NUL, ...).
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The same escapes without the quotes around them.
std::string escaped(const std::string& text) {
    const std::string inQuotes = quoted(text);
    return inQuotes.substr(1, inQuotes.size() - 2);
}

}  // namespace

std::string unknownMessageLogText(const DeviceReport& message) {
    std::string map = "{\n";
    for (const auto& [key, value] : message.fields) map += "    " + quoted(key) + " = " + quoted(value) + ";\n";
    map += "}";
    // The name is the device's text as much as the fields are: escaped, it can neither drive
    // the terminal nor start a line of its own in the log.
    return " " + escaped(message.name) + ":\n" + map + "\n-------";
}

}  // namespace orvane
