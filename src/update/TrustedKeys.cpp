#include "update/TrustedKeys.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>

#include "platform/Log.h"
#include "platform/OneLineText.h"

namespace orvane {
namespace {

// Reads at most one byte more of a key file than the parser takes, or says in `problem` why not. The open
// does not block, so a FIFO waits for no writer; only a regular file is read at all.
std::optional<std::string> readKeyFile(const std::filesystem::path& path, std::string& problem) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        problem = std::strerror(errno);
        return std::nullopt;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        problem = std::strerror(errno);
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        problem = "not a regular file";
        return std::nullopt;
    }
    // The file may grow while it is read: one byte more than the limit is enough for the parser to
    // refuse it.
    std::string text(kMaximumMinisignFileBytes + 1, '\0');
    std::size_t length = 0;
    while (length < text.size()) {
        const ssize_t got = ::read(fd, text.data() + length, text.size() - length);
        if (got < 0) {
            if (errno == EINTR) continue;
            problem = std::strerror(errno);
            return std::nullopt;
        }
        if (got == 0) break;
        length += static_cast<std::size_t>(got);
    }
    text.resize(length);
    return text;
}

void readKey(const std::filesystem::path& path, TrustedKeys& trusted) {
    std::string problem;
    if (const auto text = readKeyFile(path, problem)) {
        try {
            auto key = parseMinisignPublicKey(*text);
            key.file = path;
            trusted.keys.push_back(std::move(key));
            return;
        } catch (const MinisignError& error) {
            problem = error.what();
        }
    }
    auto line = "Skipped the trusted key file " + withoutControlCharacters(path.string()) + ": " + problem;
    logWarning(kUpdateLog, line);
    trusted.problems.push_back(std::move(line));
}

}  // namespace

TrustedKeys loadTrustedKeys(const std::vector<std::filesystem::path>& directories,
                            const std::vector<std::filesystem::path>& files) {
    TrustedKeys trusted;
    for (const auto& directory : directories) {
        std::error_code error;
        std::vector<std::filesystem::path> entries;
        for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
            // Subdirectories are not looked into; anything else that is not a regular file is
            // refused by readKey with its reason.
            std::error_code statusError;
            if (!it->is_directory(statusError)) entries.push_back(it->path());
        }
        if (error && error != std::errc::no_such_file_or_directory) {
            auto line = "Could not list the trusted key directory " + withoutControlCharacters(directory.string()) +
                        ": " + error.message();
            logWarning(kUpdateLog, line);
            trusted.problems.push_back(std::move(line));
        }
        std::sort(entries.begin(), entries.end());
        for (const auto& entry : entries) readKey(entry, trusted);
    }
    for (const auto& file : files) readKey(file, trusted);
    return trusted;
}

std::vector<std::filesystem::path> standardTrustedKeyDirectories() {
    std::vector<std::filesystem::path> directories{"/etc/orvane-console/trusted-keys.d"};
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::filesystem::path base;
    if (config && config[0] == '/') {
        base = config;
    } else if (home && home[0] == '/') {
        base = std::filesystem::path(home) / ".config";
    }
    if (!base.empty()) directories.push_back(base / "orvane-console" / "trusted-keys.d");
    return directories;
}

}  // namespace orvane
