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
#include "platform/SmallFile.h"

namespace orvane {
namespace {

// A key file's text, or (in `problem`) why it was not read.
std::optional<std::string> readKeyFile(const std::filesystem::path& path, std::string& problem) {
    auto read = readSmallFile(path, kMaximumMinisignFileBytes);
    if (auto* text = std::get_if<std::string>(&read)) return std::move(*text);
    const auto failure = std::get<SmallFileProblem>(read);
    switch (failure.kind) {
        case SmallFileProblem::Kind::unreadable: problem = std::strerror(failure.error); break;
        case SmallFileProblem::Kind::directory:
        case SmallFileProblem::Kind::notRegular: problem = "not a regular file"; break;
        case SmallFileProblem::Kind::tooLarge: problem = "the public key file is larger than 4 KiB"; break;
    }
    return std::nullopt;
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
