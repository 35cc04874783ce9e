#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// The firmware-information description is signed with minisign: a detached signature file next
// to it (its URL + ".minisig") made with an Ed25519 key, checked here in-process with libsodium.
// Everything read here comes from the network or from a file anyone may have edited, so every
// reader refuses bad input with a MinisignError whose what() is one line, and never allocates more
// than a few KiB for it.

// Why a key, a signature or a signed message was refused: one line, fit for a log or an alert.
class MinisignError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The most bytes a key or signature file may have; real ones have a few hundred.
inline constexpr std::size_t kMaximumMinisignFileBytes = 4096;

using MinisignKeyId = std::array<std::uint8_t, 8>;

// A key ID as minisign prints it: the 8 bytes read as a little-endian 64-bit number, in 16
// upper-case hex digits.
std::string minisignKeyIdText(const MinisignKeyId& keyId);

// A public key: a key file ("untrusted comment: ...", then the base64 line) or the bare base64
// line that `minisign -P` takes.
struct MinisignPublicKey {
    MinisignKeyId keyId{};
    std::array<std::uint8_t, 32> key{};
    // The file the key was read from; empty when it was parsed from text.
    std::filesystem::path file;

    std::string keyIdText() const { return minisignKeyIdText(keyId); }
};

MinisignPublicKey parseMinisignPublicKey(std::string_view text);

// A detached signature (.minisig): the Ed25519 signature of the message (prehashed: of its
// BLAKE2b-512, as minisign makes by default; otherwise of the message itself), and the global
// signature of that signature followed by the trusted comment.
struct MinisignSignature {
    bool prehashed = true;
    MinisignKeyId keyId{};
    std::array<std::uint8_t, 64> signature{};
    std::string trustedComment;
    std::array<std::uint8_t, 64> globalSignature{};

    std::string keyIdText() const { return minisignKeyIdText(keyId); }
};

MinisignSignature parseMinisignSignature(std::string_view text);

// Checks `signature` of `message` against the trusted keys and returns the key that made it. A
// MinisignError says why not: the key is not trusted (naming its ID), the signature does not
// match the message, or the trusted comment's signature does not match.
MinisignPublicKey verifyMinisign(std::string_view message, const MinisignSignature& signature,
                                 const std::vector<MinisignPublicKey>& trustedKeys);

// An unencrypted secret key, as `minisign -G -W` writes it. Its bytes are wiped when it goes.
class MinisignSecretKey {
public:
    MinisignSecretKey(const MinisignKeyId& keyId, const std::array<std::uint8_t, 64>& secretKey);
    MinisignSecretKey(const MinisignSecretKey& other) = default;
    MinisignSecretKey& operator=(const MinisignSecretKey& other) = default;
    ~MinisignSecretKey();

    const MinisignKeyId& keyId() const { return keyId_; }
    std::string keyIdText() const { return minisignKeyIdText(keyId_); }
    // The Ed25519 secret key: its seed followed by its public key.
    const std::array<std::uint8_t, 64>& secretKey() const { return secretKey_; }
    MinisignPublicKey publicKey() const;

private:
    MinisignKeyId keyId_;
    std::array<std::uint8_t, 64> secretKey_;
};

// Reads a secret key file. An encrypted key is refused: the signing side runs unattended.
MinisignSecretKey parseMinisignSecretKey(std::string_view text);

// The .minisig text for `message`, as `minisign -S` writes it (with -l when not prehashed).
// The trusted comment must be one line of text (UTF-8 without control characters) short enough
// for the file to stay within kMaximumMinisignFileBytes; otherwise a MinisignError.
std::string signMinisign(std::string_view message, const MinisignSecretKey& secretKey, std::string_view trustedComment,
                         bool prehashed = true);

}  // namespace orvane
