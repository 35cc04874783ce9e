#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "update/Minisign.h"

namespace orvane {

// The public keys a firmware description may be signed with, each with the file it came from.
struct TrustedKeys {
    std::vector<MinisignPublicKey> keys;
    // One line for each file that was passed over, naming it and saying why.
    std::vector<std::string> problems;
};

// The folders trusted keys are read from: /etc/orvane-console/trusted-keys.d (the package's) and
// $XDG_CONFIG_HOME/orvane-console/trusted-keys.d ($HOME/.config when that variable is unset or
// not an absolute path), the user's.
std::vector<std::filesystem::path> standardTrustedKeyDirectories();

// Reads the trusted public keys: every regular file directly in each of `directories` (in name
// order), then each of `files`. A directory that does not exist is skipped silently; a file that
// cannot be read, is not a regular file, is larger than kMaximumMinisignFileBytes or is not a
// minisign public key is skipped with a warning in the update log and a line in `problems`.
TrustedKeys loadTrustedKeys(const std::vector<std::filesystem::path>& directories,
                            const std::vector<std::filesystem::path>& files);

}  // namespace orvane
