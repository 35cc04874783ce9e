#include "device/DeviceReport.h"

#include <algorithm>

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

std::string escapedDeviceText(std::string_view text) {
    const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\';
    });
    if (plain) return std::string(text);
    // JSON string quoting escapes quotes, backslashes and C0 controls and replaces bytes that
    // are not UTF-8; DEL, which it leaves as it is, is escaped here.
    const std::string quoted =
        nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::string escaped;
    escaped.reserve(quoted.size());
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == '\x7f') {
            escaped += "\\u007f";
        } else {
            escaped += quoted[i];
        }
    }
    return escaped;
}

namespace {

std::string quoted(const std::string& text) { return '"' + escapedDeviceText(text) + '"'; }

}  // namespace

std::string unknownMessageLogText(const DeviceReport& message) {
    std::string map = "{\n";
    for (const auto& [key, value] : message.fields) map += "    " + quoted(key) + " = " + quoted(value) + ";\n";
    map += "}";
    // The name is the device's text as much as the fields are: escaped, it can neither drive
    // the terminal nor start a line of its own in the log.
    return " " + escapedDeviceText(message.name) + ":\n" + map + "\n-------";
}

}  // namespace orvane
