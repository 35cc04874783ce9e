// libFuzzer target for the minisign readers: any bytes either read as a signature file and a
// public key, or fail with a one-line MinisignError. A signature that reads is checked against
// the key read from the same bytes (when they read as one too) and against a fixed key; a key
// that reads must print its ID in 16 hex digits. A crash, a hang, a sanitizer report or another
// exception is a finding.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "update/Minisign.h"

using orvane::MinisignError;
using orvane::MinisignPublicKey;

namespace {

void checkOneLine(const MinisignError& error) {
    if (std::strchr(error.what(), '\n') || std::strlen(error.what()) == 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<MinisignPublicKey> keys(1);  // a key of zeros: never a valid point, always refused
    try {
        auto key = orvane::parseMinisignPublicKey(text);
        if (key.keyIdText().size() != 16 || size > orvane::kMaximumMinisignFileBytes) std::abort();
        keys.push_back(key);
    } catch (const MinisignError& error) {
        checkOneLine(error);
    }
    try {
        const auto signature = orvane::parseMinisignSignature(text);
        if (size > orvane::kMaximumMinisignFileBytes) std::abort();
        if (signature.trustedComment.find_first_of("\r\n") != std::string::npos) std::abort();
        try {
            orvane::verifyMinisign(text, signature, keys);
        } catch (const MinisignError& error) {
            checkOneLine(error);
        }
    } catch (const MinisignError& error) {
        checkOneLine(error);
    }
    return 0;
}
