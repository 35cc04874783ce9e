#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <variant>

namespace orvane {

// Why a small file was not read.
struct SmallFileProblem {
    enum class Kind {
        unreadable,  // it could not be opened, examined or read: `error` is the errno
        directory,   // it is a directory
        notRegular,  // it is a FIFO, a device, a socket
        tooLarge,    // it holds more than the limit (also when it grew while it was read)
    };
    Kind kind;
    int error = 0;
};

// Reads a regular file of at most `limit` bytes: a settings, key, plan or suite file. The open
// does not block (a FIFO would wait for a writer), and nothing but a regular file is read at all
// (a device such as /dev/zero never ends).
std::variant<std::string, SmallFileProblem> readSmallFile(const std::filesystem::path& path, std::size_t limit);

}  // namespace orvane
