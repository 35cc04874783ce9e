#pragma once

#include <chrono>
#include <cstdint>
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
    // The image's length in bytes ("size"), when given: the download reads no further and refuses
    // an image of another length.
    std::optional<std::uint64_t> size;
    // When the announcement stops being valid ("expires", an internet date-time), when given.
    std::optional<std::chrono::system_clock::time_point> expires;
    // The key ID of the trusted key that signed the document; none when it was let through
    // unsigned (only where firmware not signed by a trusted key is allowed).
    std::optional<std::string> signedBy;
};

}  // namespace orvane
