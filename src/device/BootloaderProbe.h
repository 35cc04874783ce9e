#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// Asking a silent port whether a serial bootloader sits behind it. The device's bootloader (and
// those of its family) is a SAM-BA monitor, the one the flashing tool talks to: commands are a
// letter, hexadecimal arguments and "#". "N#" puts it in binary mode (it answers LF CR), "V#"
// asks for its version line.
inline constexpr std::string_view kBootloaderBinaryModeCommand = "N#";
inline constexpr std::string_view kBootloaderVersionCommand = "V#";

// How long a connected port must have sent no report before it is asked.
inline constexpr std::chrono::seconds kBootloaderProbeSilence{2};

// The version line in a bootloader's answer to the version command, without its line end: the
// line begins with "v" and a version number and ends in LF CR, for example
// "v1.1 [Arduino:XYZ] Mar  5 2016 17:56:47\n\r". Line ends before it (a late answer to the mode
// command) are skipped; anything else, a cut-off line or bytes after it, is no such answer.
std::optional<std::string> bootloaderVersionLine(std::string_view answer);

}  // namespace orvane
