#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>

#include "platform/Error.h"

namespace orvane {

// Limits of one HTTP transfer. The defaults keep a transfer from hanging for ever under the
// modal progress sheet: a server that does not accept the connection, or one that stops
// sending, ends the transfer with a TransferError.
struct TransferOptions {
    // Longest wait for the connection (name lookup included).
    std::chrono::milliseconds connectTimeout{15000};
    // A transfer slower than stallSpeedLimit bytes per second for stallTime is abandoned.
    long stallSpeedLimit = 1;
    std::chrono::seconds stallTime{30};
    // Largest body accepted; a larger one fails the transfer.
    std::size_t maximumSize = 1024 * 1024;
    // Called on the transferring thread as the body arrives, with the bytes received and the
    // length the server announced (none when it announced none).
    std::function<void(std::uint64_t received, std::optional<std::uint64_t> announced)> progress;
};

// The body of a successful transfer, or the error that ended it.
using ResourceResult = std::variant<std::string, ErrorRef>;

// Reads the whole resource at `url` with a plain GET (redirects followed, http and https only).
// Blocks the calling thread. A status outside 200-299 is a failed transfer.
ResourceResult fetchWholeResource(const std::string& url, const TransferOptions& options);

}  // namespace orvane
