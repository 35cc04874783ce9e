#include "update/Minisign.h"

#include <sodium.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include <unicode/utf8.h>

#include "platform/Translation.h"

namespace orvane {
namespace {

constexpr std::string_view kUntrustedCommentPrefix = "untrusted comment:";
constexpr std::string_view kTrustedCommentPrefix = "trusted comment: ";

// The algorithm tags at the start of each base64 line.
constexpr std::array<std::uint8_t, 2> kEd25519 = {'E', 'd'};
constexpr std::array<std::uint8_t, 2> kEd25519Prehashed = {'E', 'D'};
constexpr std::array<std::uint8_t, 2> kNoKeyDerivation = {0, 0};
constexpr std::array<std::uint8_t, 2> kScrypt = {'S', 'c'};
constexpr std::array<std::uint8_t, 2> kBlake2bChecksum = {'B', '2'};

// Sizes of the decoded lines.
constexpr std::size_t kPublicKeyBytes = 2 + 8 + 32;
constexpr std::size_t kSignatureBytes = 2 + 8 + 64;
constexpr std::size_t kGlobalSignatureBytes = 64;
// Algorithm, key derivation algorithm, checksum algorithm, salt, opslimit, memlimit, then the
// key ID, the secret key and the checksum.
constexpr std::size_t kSecretKeyBytes = 2 + 2 + 2 + 32 + 8 + 8 + 8 + 64 + 32;

void needSodium() {
    // sodium_init() may be called from any thread and more than once.
    if (sodium_init() < 0)
        throw MinisignError(translate("Minisign", "the signature library (libsodium) could not be initialised"));
}

using Bytes = std::span<const std::uint8_t>;

Bytes bytesOf(std::string_view text) { return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}; }

// An algorithm tag for a message: as text when it is printable, else in hex.
std::string tagText(Bytes tag) {
    if (std::all_of(tag.begin(), tag.end(), [](std::uint8_t c) { return c > ' ' && c < 0x7f; })) {
        return "\"" + std::string(tag.begin(), tag.end()) + "\"";
    }
    std::string hex = "0x";
    char digits[3];
    for (std::uint8_t c : tag) {
        std::snprintf(digits, sizeof digits, "%02X", c);
        hex += digits;
    }
    return hex;
}

bool tagIs(Bytes bytes, std::size_t offset, const std::array<std::uint8_t, 2>& tag) {
    return bytes[offset] == tag[0] && bytes[offset + 1] == tag[1];
}

template <std::size_t N>
std::array<std::uint8_t, N> slice(Bytes bytes, std::size_t offset) {
    std::array<std::uint8_t, N> out;
    std::memcpy(out.data(), bytes.data() + offset, N);
    return out;
}

// The lines of a key or signature file, each without a trailing CR, without the empty lines at
// its end. Refuses a file above the size limit before looking further.
std::vector<std::string_view> linesOf(std::string_view text, std::string_view what) {
    if (text.size() > kMaximumMinisignFileBytes)
        throw MinisignError(withArgs(translate("Minisign", "%1 is larger than 4 KiB"), what));
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.empty()) throw MinisignError(withArgs(translate("Minisign", "%1 is empty"), what));
    return lines;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Decodes one base64 line (standard alphabet with padding) that must hold exactly `expected`
// bytes. The buffer is wiped before it goes, as it may hold a secret key.
std::vector<std::uint8_t> decodeBase64(std::string_view line, std::size_t expected, std::string_view what) {
    line = trimmed(line);
    std::vector<std::uint8_t> bytes(line.size() / 4 * 3 + 3);
    std::size_t length = 0;
    if (sodium_base642bin(bytes.data(), bytes.size(), line.data(), line.size(), nullptr, &length, nullptr,
                          sodium_base64_VARIANT_ORIGINAL) != 0) {
        sodium_memzero(bytes.data(), bytes.size());
        throw MinisignError(withArgs(translate("Minisign", "%1 is not base64"), what));
    }
    if (length != expected) {
        sodium_memzero(bytes.data(), bytes.size());
        throw MinisignError(withArgs(translate("Minisign", "%1 holds %2 bytes, not %3"), what, std::to_string(length),
                                     std::to_string(expected)));
    }
    bytes.resize(length);
    return bytes;
}

std::string encodeBase64(Bytes bytes) {
    std::string text(sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes.data(), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    text.pop_back();  // the terminating NUL
    return text;
}

// The base64 line of a key file: either the only line, or the line after the untrusted comment.
std::string_view keyLine(std::string_view text, std::string_view what) {
    const auto lines = linesOf(text, what);
    if (lines.size() == 1) return lines[0];
    if (!lines[0].starts_with(kUntrustedCommentPrefix)) {
        throw MinisignError(
            withArgs(translate("Minisign", "%1 does not begin with an \"untrusted comment:\" line"), what));
    }
    if (lines.size() > 2) throw MinisignError(withArgs(translate("Minisign", "%1 has more than two lines"), what));
    return lines[1];
}

// A trusted comment is one line of text: well-formed UTF-8 without control characters (C0, DEL
// and C1), so that it can be shown as it is. A tab is text: minisign separates the fields of its
// default comment ("timestamp:… file:… hashed") with tabs.
void checkTrustedComment(std::string_view comment) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(comment.data());
    const auto length = static_cast<std::int32_t>(std::min(comment.size(), kMaximumMinisignFileBytes + 1));
    if (static_cast<std::size_t>(length) != comment.size()) {
        throw MinisignError(translate("Minisign", "the trusted comment is longer than a signature file may be"));
    }
    std::int32_t index = 0;
    while (index < length) {
        UChar32 c;
        U8_NEXT(data, index, length, c);
        if (c < 0) throw MinisignError(translate("Minisign", "the trusted comment is not valid UTF-8"));
        if ((c < 0x20 && c != '\t') || (c >= 0x7f && c <= 0x9f))
            throw MinisignError(translate("Minisign", "the trusted comment has control characters"));
    }
}

// What the global signature covers: the message's signature, then the trusted comment.
std::vector<std::uint8_t> globallySigned(const std::array<std::uint8_t, 64>& signature, std::string_view comment) {
    std::vector<std::uint8_t> data(signature.begin(), signature.end());
    const auto commentBytes = bytesOf(comment);
    data.insert(data.end(), commentBytes.begin(), commentBytes.end());
    return data;
}

std::array<std::uint8_t, crypto_generichash_BYTES_MAX> blake2b512(std::string_view message) {
    std::array<std::uint8_t, crypto_generichash_BYTES_MAX> hash;
    crypto_generichash(hash.data(), hash.size(), bytesOf(message).data(), message.size(), nullptr, 0);
    return hash;
}

}  // namespace

std::string minisignKeyIdText(const MinisignKeyId& keyId) {
    std::uint64_t number = 0;
    for (std::size_t i = keyId.size(); i-- > 0;) number = (number << 8) | keyId[i];
    char text[17];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(number));
    return text;
}

MinisignPublicKey parseMinisignPublicKey(std::string_view text) {
    const auto bytes = decodeBase64(keyLine(text, translate("Minisign", "the public key file")), kPublicKeyBytes,
                                    translate("Minisign", "the public key"));
    if (!tagIs(bytes, 0, kEd25519)) {
        throw MinisignError(withArgs(translate("Minisign", "the public key uses an unknown algorithm %1"),
                                     tagText(Bytes(bytes).first(2))));
    }
    MinisignPublicKey key;
    key.keyId = slice<8>(bytes, 2);
    key.key = slice<32>(bytes, 10);
    return key;
}

MinisignSignature parseMinisignSignature(std::string_view text) {
    const auto lines = linesOf(text, translate("Minisign", "the signature file"));
    if (!lines[0].starts_with(kUntrustedCommentPrefix)) {
        throw MinisignError(
            translate("Minisign", "the signature file does not begin with an \"untrusted comment:\" line"));
    }
    if (lines.size() < 2)
        throw MinisignError(translate("Minisign", "the signature file ends before its signature line"));
    const auto bytes = decodeBase64(lines[1], kSignatureBytes, translate("Minisign", "the signature line"));
    MinisignSignature signature;
    if (tagIs(bytes, 0, kEd25519Prehashed)) {
        signature.prehashed = true;
    } else if (tagIs(bytes, 0, kEd25519)) {
        signature.prehashed = false;
    } else {
        throw MinisignError(withArgs(translate("Minisign", "the signature uses an unknown algorithm %1"),
                                     tagText(Bytes(bytes).first(2))));
    }
    signature.keyId = slice<8>(bytes, 2);
    signature.signature = slice<64>(bytes, 10);

    if (lines.size() < 3)
        throw MinisignError(translate("Minisign", "the signature file ends before its trusted comment"));
    if (!lines[2].starts_with(kTrustedCommentPrefix)) {
        throw MinisignError(
            translate("Minisign", "the signature file's third line is not a \"trusted comment: \" line"));
    }
    const std::string_view comment = lines[2].substr(kTrustedCommentPrefix.size());
    checkTrustedComment(comment);
    signature.trustedComment = comment;

    if (lines.size() < 4)
        throw MinisignError(translate("Minisign", "the signature file ends before the trusted comment's signature"));
    signature.globalSignature = slice<64>(
        decodeBase64(lines[3], kGlobalSignatureBytes, translate("Minisign", "the trusted comment's signature")), 0);
    if (lines.size() > 4) throw MinisignError(translate("Minisign", "the signature file has more than four lines"));
    return signature;
}

MinisignPublicKey verifyMinisign(std::string_view message, const MinisignSignature& signature,
                                 const std::vector<MinisignPublicKey>& trustedKeys) {
    needSodium();
    const auto hash = signature.prehashed ? blake2b512(message) : decltype(blake2b512(message)){};
    const Bytes signedData = signature.prehashed ? Bytes(hash) : bytesOf(message);
    const MinisignPublicKey* signer = nullptr;
    bool known = false;
    // Two trusted files might give the same ID to different keys: any of them may have signed.
    for (const auto& key : trustedKeys) {
        if (key.keyId != signature.keyId) continue;
        known = true;
        if (crypto_sign_verify_detached(signature.signature.data(), signedData.data(), signedData.size(),
                                        key.key.data()) == 0) {
            signer = &key;
            break;
        }
    }
    if (!known)
        throw MinisignError(
            withArgs(translate("Minisign", "signed by key ID %1, which is not trusted"), signature.keyIdText()));
    if (!signer) throw MinisignError(translate("Minisign", "the signature does not match the description"));
    const auto global = globallySigned(signature.signature, signature.trustedComment);
    if (crypto_sign_verify_detached(signature.globalSignature.data(), global.data(), global.size(),
                                    signer->key.data()) != 0) {
        throw MinisignError(translate("Minisign", "the trusted comment's signature does not match"));
    }
    return *signer;
}

MinisignSecretKey::MinisignSecretKey(const MinisignKeyId& keyId, const std::array<std::uint8_t, 64>& secretKey)
    : keyId_(keyId), secretKey_(secretKey) {}

MinisignSecretKey::~MinisignSecretKey() { sodium_memzero(secretKey_.data(), secretKey_.size()); }

MinisignPublicKey MinisignSecretKey::publicKey() const {
    MinisignPublicKey key;
    key.keyId = keyId_;
    // An Ed25519 secret key carries its public key in its second half.
    std::copy(secretKey_.begin() + 32, secretKey_.end(), key.key.begin());
    return key;
}

MinisignSecretKey parseMinisignSecretKey(std::string_view text) {
    needSodium();
    auto bytes = decodeBase64(keyLine(text, "the secret key file"), kSecretKeyBytes, "the secret key");
    struct Wipe {
        std::vector<std::uint8_t>& bytes;
        ~Wipe() { sodium_memzero(bytes.data(), bytes.size()); }
    } wipe{bytes};
    const Bytes all(bytes);
    if (!tagIs(all, 0, kEd25519)) {
        throw MinisignError("the secret key uses an unknown algorithm " + tagText(all.subspan(0, 2)));
    }
    if (tagIs(all, 2, kScrypt)) {
        throw MinisignError("encrypted secret keys are not supported: make it with minisign -G -W");
    }
    if (!tagIs(all, 2, kNoKeyDerivation)) {
        throw MinisignError("the secret key uses an unknown key derivation algorithm " + tagText(all.subspan(2, 2)));
    }
    if (!tagIs(all, 4, kBlake2bChecksum)) {
        throw MinisignError("the secret key uses an unknown checksum algorithm " + tagText(all.subspan(4, 2)));
    }
    constexpr std::size_t keyIdOffset = 54, secretKeyOffset = 62, checksumOffset = 126;
    const auto checksum = all.subspan(checksumOffset, 32);
    // minisign 0.11 leaves the checksum of an unencrypted key all zeros; any other value must be
    // the BLAKE2b-256 of the algorithm, the key ID and the secret key.
    if (!std::all_of(checksum.begin(), checksum.end(), [](std::uint8_t b) { return b == 0; })) {
        std::array<std::uint8_t, 32> expected;
        crypto_generichash_state state;
        crypto_generichash_init(&state, nullptr, 0, expected.size());
        crypto_generichash_update(&state, all.data(), 2);
        crypto_generichash_update(&state, all.data() + keyIdOffset, 8 + 64);
        crypto_generichash_final(&state, expected.data(), expected.size());
        sodium_memzero(&state, sizeof state);
        if (sodium_memcmp(expected.data(), checksum.data(), expected.size()) != 0) {
            throw MinisignError("the secret key's checksum does not match: the key is damaged");
        }
    }
    MinisignSecretKey key(slice<8>(all, keyIdOffset), slice<64>(all, secretKeyOffset));
    // The key's second half must be the public key of its first (the seed), or every signature
    // it made would fail to verify.
    std::array<std::uint8_t, 32> publicKey;
    std::array<std::uint8_t, 64> derived;
    crypto_sign_seed_keypair(publicKey.data(), derived.data(), key.secretKey().data());
    const bool matches = sodium_memcmp(derived.data(), key.secretKey().data(), derived.size()) == 0;
    sodium_memzero(derived.data(), derived.size());
    if (!matches) throw MinisignError("the secret key is damaged: its public half does not belong to its seed");
    return key;
}

std::string signMinisign(std::string_view message, const MinisignSecretKey& secretKey, std::string_view trustedComment,
                         bool prehashed) {
    needSodium();
    checkTrustedComment(trustedComment);
    const auto hash = prehashed ? blake2b512(message) : decltype(blake2b512(message)){};
    const Bytes signedData = prehashed ? Bytes(hash) : bytesOf(message);

    std::array<std::uint8_t, kSignatureBytes> line;
    const auto& tag = prehashed ? kEd25519Prehashed : kEd25519;
    std::copy(tag.begin(), tag.end(), line.begin());
    std::copy(secretKey.keyId().begin(), secretKey.keyId().end(), line.begin() + 2);
    std::array<std::uint8_t, 64> signature;
    crypto_sign_detached(signature.data(), nullptr, signedData.data(), signedData.size(), secretKey.secretKey().data());
    std::copy(signature.begin(), signature.end(), line.begin() + 10);

    const auto global = globallySigned(signature, trustedComment);
    std::array<std::uint8_t, 64> globalSignature;
    crypto_sign_detached(globalSignature.data(), nullptr, global.data(), global.size(), secretKey.secretKey().data());

    std::string text = std::string(kUntrustedCommentPrefix) + " signature from secret key " + secretKey.keyIdText() +
                       "\n" + encodeBase64(line) + "\n" + std::string(kTrustedCommentPrefix) +
                       std::string(trustedComment) + "\n" + encodeBase64(globalSignature) + "\n";
    if (text.size() > kMaximumMinisignFileBytes) {
        throw MinisignError("the trusted comment is too long for a signature file of at most 4 KiB");
    }
    return text;
}

}  // namespace orvane
