#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "device/Version.h"

namespace orvane {

// The firmware that the firmware-information endpoint announces.
struct DeviceSoftwareUpdateInformation {
    Version version;
    std::string releaseNotes;
    std::chrono::system_clock::time_point releaseDate;
    // Where the image is fetched from: the document's "location", resolved against the endpoint.
    std::string downloadURL;
    // SHA-256 of the image as 64 lower-case hexadecimal digits, when the document gives one;
    // the download then refuses an image that does not match.
    std::optional<std::string> sha256;
};

}  // namespace orvane
