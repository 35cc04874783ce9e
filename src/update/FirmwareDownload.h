#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <variant>

#include "platform/Error.h"
#include "update/DeviceSoftwareUpdateInformation.h"
#include "update/ResourceTransfer.h"

namespace orvane {

// Far above any image this device takes; a larger body is a failed download.
inline constexpr std::size_t maximumFirmwareImageSize = 16 * 1024 * 1024;

// The name of the downloaded image inside the firmware directory.
inline constexpr std::string_view firmwareFileName = "firmware.bin";

struct FirmwareDownloadOptions {
    // Where "firmware.bin" goes; empty: defaultFirmwareDirectory(). The directory is created
    // with mode 0700 when missing and must be a real directory owned by the user and closed to
    // others.
    std::filesystem::path directory;
    TransferOptions transfer = TransferOptions{.maximumSize = maximumFirmwareImageSize};
};

// The downloaded image's location, or the error that stopped the download.
using FirmwareDownloadResult = std::variant<std::filesystem::path, ErrorRef>;

// The user's private firmware directory: $XDG_RUNTIME_DIR/orvane-console when that variable
// names an absolute path, otherwise /tmp/orvane-console-<uid>.
std::filesystem::path defaultFirmwareDirectory();

// Lower-case hexadecimal SHA-256 of `bytes`.
std::string sha256Hex(std::string_view bytes);

// Downloads the image the record points to and writes it to "firmware.bin" in the firmware
// directory, replacing an earlier file (written beside it and renamed over it, never through a
// link). Blocks the calling thread. Fails for a status outside 200-299, a stalled transfer, a
// body above the size limit, an image whose SHA-256 differs from the record's, or a directory
// that is not private.
FirmwareDownloadResult downloadFirmware(const DeviceSoftwareUpdateInformation& information,
                                        const FirmwareDownloadOptions& options = {});

}  // namespace orvane
