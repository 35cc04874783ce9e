#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/LogLines.h"
#include "support/TemporaryDirectory.h"
#include "update/Minisign.h"
#include "update/TrustedKeys.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

// Files made by the minisign program: a key, and a prehashed and a legacy signature of kMessage.
const std::filesystem::path kSeeds = std::filesystem::path(ORVANE_SOURCE_DIR) / "fuzz" / "seeds";
constexpr std::string_view kMessage = "{\"version\":\"1.4.0\",\"url\":\"orvane-1.4.0.bin\",\"sha256\":\"00\"}\n";

std::string seed(const char* name) { return testing::readFile(kSeeds / name); }

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// The first `count` lines of `text`, with line `index` replaced (or left out when `replacement`
// is absent).
std::string edited(const std::string& text, std::size_t index, std::optional<std::string> replacement,
                   std::size_t count = 99) {
    std::string out;
    const auto lines = linesOf(text);
    for (std::size_t i = 0; i < lines.size() && i < count; ++i) {
        if (i != index) {
            out += lines[i] + "\n";
        } else if (replacement) {
            out += *replacement + "\n";
        }
    }
    return out;
}
std::string firstLines(const std::string& text, std::size_t count) { return edited(text, 99, {}, count); }

std::string base64(const Bytes& bytes) {
    std::string text(sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes.data(), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    text.pop_back();
    return text;
}

Bytes unbase64(const std::string& text) {
    Bytes bytes(text.size());
    std::size_t length = 0;
    EXPECT_EQ(sodium_base642bin(bytes.data(), bytes.size(), text.data(), text.size(), nullptr, &length, nullptr,
                                sodium_base64_VARIANT_ORIGINAL),
              0);
    bytes.resize(length);
    return bytes;
}

// Line `index` of `text` decoded, changed and encoded again.
std::string rewritten(const std::string& text, std::size_t index, const std::function<void(Bytes&)>& change) {
    Bytes bytes = unbase64(linesOf(text)[index]);
    change(bytes);
    return edited(text, index, base64(bytes));
}

// A secret key file in the layout of `minisign -G -W`, its checksum left zero as minisign 0.11
// leaves it, for a fixed seed.
Bytes secretKeyBytes() {
    std::uint8_t seedBytes[32] = {7, 1, 2, 3}, publicKey[32], secretKey[64];
    crypto_sign_seed_keypair(publicKey, secretKey, seedBytes);
    Bytes bytes = {'E', 'd', 0, 0, 'B', '2'};
    bytes.resize(54);  // salt, opslimit and memlimit: unused without encryption
    for (std::uint8_t id : {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}) bytes.push_back(id);
    bytes.insert(bytes.end(), secretKey, secretKey + 64);
    bytes.resize(158);
    return bytes;
}
std::string secretKeyText(const std::function<void(Bytes&)>& change = [](Bytes&) {}) {
    Bytes bytes = secretKeyBytes();
    change(bytes);
    return "untrusted comment: minisign encrypted secret key\n" + base64(bytes) + "\n";
}

std::string publicKeyText(const MinisignPublicKey& key) {
    Bytes bytes = {'E', 'd'};
    bytes.insert(bytes.end(), key.keyId.begin(), key.keyId.end());
    bytes.insert(bytes.end(), key.key.begin(), key.key.end());
    return "untrusted comment: minisign public key " + key.keyIdText() + "\n" + base64(bytes) + "\n";
}

enum class Reader { signature, publicKey, secretKey };

void read(Reader reader, const std::string& text) {
    switch (reader) {
        case Reader::signature: parseMinisignSignature(text); break;
        case Reader::publicKey: parseMinisignPublicKey(text); break;
        case Reader::secretKey: parseMinisignSecretKey(text); break;
    }
}

// Every reader refuses each fault with its own one-line reason, and takes the forms real files
// come in (with or without comment, CRLF, no final newline).
TEST(Minisign, ReadersAcceptRealFilesAndRefuseEachFaultWithOneLine) {
    const std::string sig = seed("minisign-prehashed.minisig");
    const std::string pub = seed("minisign.pub");
    const auto sigLine = linesOf(sig)[1];
    const auto crlf = [](std::string text) {
        for (std::size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 2) text.insert(at, "\r");
        return text;
    };
    const auto retag = [](char a, char b, std::size_t at = 0) {
        return [=](Bytes& bytes) { bytes[at] = a, bytes[at + 1] = b; };
    };
    struct Row {
        Reader reader;
        std::string text;
        std::string reason;  // empty: accepted
    };
    const Row rows[] = {
        {Reader::signature, sig, ""},
        {Reader::signature, seed("minisign-legacy.minisig"), ""},
        {Reader::signature, crlf(sig), ""},
        {Reader::signature, sig.substr(0, sig.size() - 1) + "\n\n\n", ""},
        {Reader::signature, sig.substr(0, sig.size() - 1), ""},
        {Reader::signature, sig + std::string(4096, '\n'), "the signature file is larger than 4 KiB"},
        {Reader::signature, std::string(10 << 20, 'A'), "the signature file is larger than 4 KiB"},
        {Reader::signature, "", "the signature file is empty"},
        {Reader::signature, "\n\r\n\n", "the signature file is empty"},
        {Reader::signature, edited(sig, 0, {}), "does not begin with an \"untrusted comment:\" line"},
        {Reader::signature, firstLines(sig, 1), "ends before its signature line"},
        {Reader::signature, edited(sig, 1, "*" + sigLine.substr(1)), "the signature line is not base64"},
        {Reader::signature, edited(sig, 1, sigLine.substr(0, 96)), "the signature line holds 72 bytes, not 74"},
        {Reader::signature, edited(sig, 1, linesOf(pub)[1]), "the signature line holds 42 bytes, not 74"},
        {Reader::signature, rewritten(sig, 1, retag('X', 'y')), "the signature uses an unknown algorithm \"Xy\""},
        {Reader::signature, rewritten(sig, 1, retag(0, '\n')), "the signature uses an unknown algorithm 0x000A"},
        {Reader::signature, firstLines(sig, 2), "ends before its trusted comment"},
        {Reader::signature, edited(sig, 2, "trusted comment:no space"), "third line is not a \"trusted comment: \""},
        {Reader::signature, edited(sig, 2, "trusted comment: caf\xe9"), "the trusted comment is not valid UTF-8"},
        {Reader::signature, edited(sig, 2, "trusted comment: \xc0\xaf"), "the trusted comment is not valid UTF-8"},
        {Reader::signature, edited(sig, 2, "trusted comment: a\tb"), "the trusted comment has control characters"},
        {Reader::signature, edited(sig, 2, "trusted comment: \x1b[2J"), "the trusted comment has control characters"},
        {Reader::signature, edited(sig, 2, "trusted comment: \xc2\x9b"), "the trusted comment has control characters"},
        {Reader::signature, firstLines(sig, 3), "ends before the trusted comment's signature"},
        {Reader::signature, edited(sig, 3, "AAAA"), "the trusted comment's signature holds 3 bytes, not 64"},
        {Reader::signature, sig + "more\n", "the signature file has more than four lines"},

        {Reader::publicKey, pub, ""},
        {Reader::publicKey, "  " + linesOf(pub)[1] + " \n", ""},  // as `minisign -P` takes it
        {Reader::publicKey, crlf(pub), ""},
        {Reader::publicKey, pub + std::string(4000, ' '), "the public key file is larger than 4 KiB"},
        {Reader::publicKey, "\n", "the public key file is empty"},
        {Reader::publicKey, "comment\n" + linesOf(pub)[1], "does not begin with an \"untrusted comment:\" line"},
        {Reader::publicKey, pub + "more\n", "the public key file has more than two lines"},
        {Reader::publicKey, edited(pub, 1, sigLine), "the public key holds 74 bytes, not 42"},
        {Reader::publicKey, edited(pub, 1, linesOf(pub)[1] + "!"), "the public key is not base64"},
        {Reader::publicKey, rewritten(pub, 1, retag('E', 'D')), "the public key uses an unknown algorithm \"ED\""},

        {Reader::secretKey, secretKeyText(), ""},
        {Reader::secretKey, secretKeyText([](Bytes& b) {
             crypto_generichash_state state;
             crypto_generichash_init(&state, nullptr, 0, 32);
             crypto_generichash_update(&state, b.data(), 2);
             crypto_generichash_update(&state, b.data() + 54, 72);
             crypto_generichash_final(&state, b.data() + 126, 32);
         }),
         ""},
        {Reader::secretKey, secretKeyText([](Bytes& b) { b[157] = 1; }),
         "the secret key's checksum does not match: the key is damaged"},
        {Reader::secretKey, secretKeyText(retag('S', 'c', 2)),
         "encrypted secret keys are not supported: make it with minisign -G -W"},
        {Reader::secretKey, secretKeyText(retag('X', 'x', 2)), "unknown key derivation algorithm \"Xx\""},
        {Reader::secretKey, secretKeyText(retag('B', '3', 4)), "unknown checksum algorithm \"B3\""},
        {Reader::secretKey, secretKeyText(retag('E', 'D')), "the secret key uses an unknown algorithm \"ED\""},
        {Reader::secretKey, secretKeyText([](Bytes& b) { b[62 + 40] ^= 1; }), "its public half does not belong"},
        {Reader::secretKey, secretKeyText([](Bytes& b) { b.resize(155); }), "the secret key holds 155 bytes, not 158"},
        {Reader::secretKey, pub, "the secret key holds 42 bytes, not 158"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 300));
        try {
            read(row.reader, row.text);
            EXPECT_EQ(row.reason, "") << "accepted";
        } catch (const MinisignError& error) {
            EXPECT_THAT(error.what(), HasSubstr(row.reason.empty() ? "(to be accepted)" : row.reason));
            EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
        }
    }
}

// The signatures minisign made verify with its key, and each change to message, comment,
// signature or key is refused with its reason.
TEST(Minisign, VerifiesMinisignsSignaturesAndRefusesEveryChange) {
    const std::string prehashed = seed("minisign-prehashed.minisig");
    const std::string legacy = seed("minisign-legacy.minisig");
    const MinisignPublicKey key = parseMinisignPublicKey(seed("minisign.pub"));
    // minisign names the key in the comment line it writes into the key file.
    EXPECT_EQ(linesOf(seed("minisign.pub"))[0], "untrusted comment: minisign public key " + key.keyIdText());
    MinisignPublicKey otherKey = parseMinisignSecretKey(secretKeyText()).publicKey();
    MinisignPublicKey sameIdOtherKey = otherKey;
    sameIdOtherKey.keyId = key.keyId;
    std::string changedMessage(kMessage);
    changedMessage[10] ^= 1;

    const std::string notTrusted = "signed by key ID " + key.keyIdText() + ", which is not trusted";
    const std::string noMatch = "the signature does not match the description";
    const std::string commentNoMatch = "the trusted comment's signature does not match";
    struct Row {
        std::string signature;
        std::string message;
        std::vector<MinisignPublicKey> keys;
        std::string reason;  // empty: verified by `key`
    };
    const Row rows[] = {
        {prehashed, std::string(kMessage), {otherKey, key}, ""},
        {legacy, std::string(kMessage), {key}, ""},
        {prehashed, std::string(kMessage), {sameIdOtherKey, key}, ""},
        {prehashed, changedMessage, {key}, noMatch},
        {legacy, changedMessage, {key}, noMatch},
        {prehashed, std::string(kMessage) + " ", {key}, noMatch},
        {legacy, "", {key}, noMatch},
        {prehashed, std::string(kMessage), {sameIdOtherKey}, noMatch},
        // The prehashed signature read as a legacy one, and the other way round.
        {rewritten(prehashed, 1, [](Bytes& b) { b[1] = 'd'; }), std::string(kMessage), {key}, noMatch},
        {rewritten(legacy, 1, [](Bytes& b) { b[1] = 'D'; }), std::string(kMessage), {key}, noMatch},
        {edited(prehashed, 2, "trusted comment: orvane firmware 1.4.1"), std::string(kMessage), {key}, commentNoMatch},
        {edited(legacy, 2, linesOf(prehashed)[2]), std::string(kMessage), {key}, commentNoMatch},
        {edited(prehashed, 3, linesOf(legacy)[3]), std::string(kMessage), {key}, commentNoMatch},
        {prehashed, std::string(kMessage), {}, notTrusted},
        {legacy, std::string(kMessage), {otherKey}, notTrusted},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.signature + "over: " + row.message);
        try {
            const MinisignPublicKey signer =
                verifyMinisign(row.message, parseMinisignSignature(row.signature), row.keys);
            EXPECT_EQ(row.reason, "") << "verified";
            EXPECT_EQ(signer.keyId, key.keyId);
            EXPECT_EQ(signer.key, key.key);
        } catch (const MinisignError& error) {
            EXPECT_EQ(error.what(), row.reason.empty() ? "(to be verified)" : row.reason);
        }
    }
    EXPECT_TRUE(parseMinisignSignature(prehashed).prehashed);
    EXPECT_FALSE(parseMinisignSignature(legacy).prehashed);
    EXPECT_EQ(parseMinisignSignature(legacy).trustedComment, "orvane firmware 1.4.0, legacy");
}

// What signMinisign makes verifies and carries its comment; a comment that is not one line of
// text, or too long for the file, is refused.
TEST(Minisign, SignsWithTextCommentsOnly) {
    const MinisignSecretKey secret = parseMinisignSecretKey(secretKeyText());
    EXPECT_EQ(secret.keyIdText(), "8877665544332211");
    for (bool prehashed : {true, false}) {
        const std::string text = signMinisign(kMessage, secret, "Orvane 1.4.0 – größer", prehashed);
        EXPECT_EQ(linesOf(text).size(), 4u);
        const MinisignSignature signature = parseMinisignSignature(text);
        EXPECT_EQ(signature.prehashed, prehashed);
        EXPECT_EQ(signature.trustedComment, "Orvane 1.4.0 – größer");
        EXPECT_EQ(verifyMinisign(kMessage, signature, {secret.publicKey()}).keyId, secret.keyId());
    }
    // The longest comment that keeps the file within 4 KiB.
    EXPECT_EQ(signMinisign(kMessage, secret, std::string(3826, 'x')).size(), kMaximumMinisignFileBytes);
    for (const auto& [comment, reason] : std::vector<std::pair<std::string, std::string>>{
             {"two\nlines", "control characters"},
             {"carriage\r", "control characters"},
             {"caf\xe9", "not valid UTF-8"},
             {std::string(3827, 'x'), "too long for a signature file of at most 4 KiB"},
             {std::string(1 << 20, 'x'), "longer than a signature file may be"},
         }) {
        SCOPED_TRACE(comment.substr(0, 20));
        try {
            signMinisign(kMessage, secret, comment);
            ADD_FAILURE() << "signed";
        } catch (const MinisignError& error) {
            EXPECT_THAT(error.what(), HasSubstr(reason));
        }
    }
}

std::optional<std::filesystem::path> findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const auto end = rest.find(':');
        const std::filesystem::path candidate = std::filesystem::path(rest.substr(0, end)) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return std::nullopt;
}

struct Ran {
    int status;
    std::string output;
};
Ran run(std::vector<std::string> arguments) {
    testing::Child child(std::move(arguments), true);
    std::string output;
    for (const auto& line : child.readLines()) output += line + "\n";
    return {child.wait(std::chrono::seconds(60)).value_or(-1), output};
}

// Against the minisign program with a fresh key: its signatures of either form verify here, and
// ours verify there (and a changed message does not, so its check is real).
TEST(Minisign, MinisignAndThisSideAcceptEachOthersSignatures) {
    const auto minisign = findProgram("minisign");
    if (!minisign) GTEST_SKIP() << "the minisign program is not installed (scripts/install-deps.sh installs it)";
    testing::TemporaryDirectory directory;
    const auto at = [&](const char* name) { return (directory.path() / name).string(); };
    const Ran made = run({*minisign, "-G", "-W", "-p", at("key.pub"), "-s", at("key.sec")});
    ASSERT_EQ(made.status, 0) << made.output;
    const MinisignPublicKey key = parseMinisignPublicKey(testing::readFile(at("key.pub")));
    const MinisignSecretKey secret = parseMinisignSecretKey(testing::readFile(at("key.sec")));
    EXPECT_EQ(secret.publicKey().key, key.key);
    EXPECT_EQ(secret.keyIdText(), key.keyIdText());

    // Bytes that are neither text nor small.
    std::string message(200000, '\0');
    for (std::size_t i = 0; i < message.size(); ++i) message[i] = static_cast<char>(i * 7 + i / 251);
    std::ofstream(at("message"), std::ios::binary) << message;
    std::string changed = message;
    changed[123456] ^= 0x40;
    std::ofstream(at("changed"), std::ios::binary) << changed;
    const std::string comment = "timestamp:1760000000 file:latest.json – Orvane";

    for (bool prehashed : {true, false}) {
        SCOPED_TRACE(prehashed ? "prehashed" : "legacy");
        std::vector<std::string> sign = {
            *minisign, "-S", "-s", at("key.sec"), "-m", at("message"), "-x", at("theirs.minisig"), "-t", comment};
        if (!prehashed) sign.push_back("-l");
        const Ran signedByThem = run(sign);
        ASSERT_EQ(signedByThem.status, 0) << signedByThem.output;
        const MinisignSignature theirs = parseMinisignSignature(testing::readFile(at("theirs.minisig")));
        EXPECT_EQ(theirs.prehashed, prehashed);
        EXPECT_EQ(theirs.trustedComment, comment);
        EXPECT_EQ(verifyMinisign(message, theirs, {key}).keyIdText(), key.keyIdText());
        EXPECT_THROW(verifyMinisign(changed, theirs, {key}), MinisignError);

        std::ofstream(at("ours.minisig"), std::ios::binary) << signMinisign(message, secret, comment, prehashed);
        const Ran accepted = run({*minisign, "-V", "-p", at("key.pub"), "-m", at("message"), "-x", at("ours.minisig")});
        EXPECT_EQ(accepted.status, 0) << accepted.output;
        EXPECT_THAT(accepted.output, HasSubstr("Trusted comment: " + comment));
        const Ran refused = run({*minisign, "-V", "-p", at("key.pub"), "-m", at("changed"), "-x", at("ours.minisig")});
        EXPECT_NE(refused.status, 0) << refused.output;
    }
}

// Keys come from every regular file of the directories, then from the files named; each file
// passed over is named with its reason in the problems and the update log.
TEST(TrustedKeys, ReadsKeyFilesAndNamesEachOnePassedOver) {
    testing::TemporaryDirectory directory;
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(directory.path() / name, std::ios::binary) << text;
        return directory.path() / name;
    };
    const std::string pub = seed("minisign.pub");
    const MinisignPublicKey other = parseMinisignSecretKey(secretKeyText()).publicKey();
    std::filesystem::create_directory(directory.path() / "keys");
    std::filesystem::create_directory(directory.path() / "keys" / "nested");
    write("keys/nested/ignored.pub", pub);
    write("keys/b-release.pub", pub);
    write("keys/a-bare.pub", linesOf(publicKeyText(other))[1]);
    write("keys/c-notes.txt", "not a key");
    write("keys/d-large.pub", pub + std::string(4096, '\n'));
    ASSERT_EQ(::mkfifo((directory.path() / "keys" / "e-fifo").c_str(), 0600), 0);
    const auto named = write("named.pub", pub);

    testing::CapturedLog log;
    const TrustedKeys trusted = loadTrustedKeys({directory.path() / "missing", directory.path() / "keys"},
                                                {named, directory.path() / "absent.pub"});
    std::vector<std::string> files;
    for (const auto& key : trusted.keys) files.push_back(key.file.filename().string() + " " + key.keyIdText());
    const std::string id = parseMinisignPublicKey(pub).keyIdText();
    EXPECT_EQ(files,
              (std::vector<std::string>{"a-bare.pub " + other.keyIdText(), "b-release.pub " + id, "named.pub " + id}));
    const std::vector<std::pair<std::string, std::string>> problems = {
        {"c-notes.txt", "the public key is not base64"},
        {"d-large.pub", "larger than 4 KiB"},
        {"e-fifo", "not a regular file"},
        {"absent.pub", "No such file or directory"},
    };
    ASSERT_EQ(trusted.problems.size(), problems.size());
    for (std::size_t i = 0; i < problems.size(); ++i) {
        EXPECT_THAT(trusted.problems[i], HasSubstr(problems[i].first + ": "));
        EXPECT_THAT(trusted.problems[i], HasSubstr(problems[i].second));
        EXPECT_TRUE(log.contains("orvane.update: " + trusted.problems[i]));
    }
}

}  // namespace
}  // namespace orvane
