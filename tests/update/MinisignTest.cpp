#include <sodium.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/LogLines.h"
#include "support/TemporaryDirectory.h"
#include "update/FirmwareInformationDocument.h"
#include "update/FirmwareTrust.h"
#include "update/Minisign.h"
#include "update/TrustedKeys.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

// Made by the minisign program: a key, and a prehashed and a legacy signature of kMessage.
std::string seed(const char* name) {
    return testing::readFile(std::filesystem::path(ORVANE_SOURCE_DIR) / "fuzz/seeds" / name);
}
constexpr std::string_view kMessage = "{\"version\":\"1.4.0\",\"url\":\"orvane-1.4.0.bin\",\"sha256\":\"00\"}\n";

// The lines of a file, each with its newline.
std::vector<std::string> linesOf(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) lines.push_back(line + "\n");
    return lines;
}

std::string base64(const Bytes& bytes) {
    std::string text(sodium_base64_encoded_len(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(text.data(), text.size(), bytes.data(), bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    return text.substr(0, text.size() - 1);
}

// A base64 line decoded, changed and encoded again.
std::string recoded(const std::string& line, const std::function<void(Bytes&)>& change) {
    Bytes bytes(line.size());
    std::size_t length = 0;
    sodium_base642bin(bytes.data(), bytes.size(), line.data(), line.size(), "\n", &length, nullptr,
                      sodium_base64_VARIANT_ORIGINAL);
    bytes.resize(length);
    change(bytes);
    return base64(bytes) + "\n";
}
auto retag(char a, char b, std::size_t at = 0) {
    return [=](Bytes& bytes) { bytes[at] = a, bytes[at + 1] = b; };
}

// A secret key file in the layout of `minisign -G -W`, with the checksum left zero as minisign
// 0.11 leaves it; key ID 8877665544332211.
std::string secretKeyText(const std::function<void(Bytes&)>& change = [](Bytes&) {}) {
    std::uint8_t seedBytes[32] = {7}, publicKey[32];
    Bytes bytes = {'E', 'd', 0, 0, 'B', '2'};
    bytes.resize(54);  // salt, opslimit and memlimit: unused without encryption
    for (std::uint8_t id = 1; id <= 8; ++id) bytes.push_back(id * 0x11);
    bytes.resize(158);
    crypto_sign_seed_keypair(publicKey, bytes.data() + 62, seedBytes);
    change(bytes);
    return "untrusted comment: minisign encrypted secret key\n" + base64(bytes) + "\n";
}

// Each reader takes the forms real files come in and refuses each fault with its one-line reason.
TEST(Minisign, ReadersAcceptRealFilesAndRefuseEachFaultWithOneLine) {
    using Read = void (*)(std::string_view);
    const Read sig = [](std::string_view text) { parseMinisignSignature(text); };
    const Read pub = [](std::string_view text) { parseMinisignPublicKey(text); };
    const Read sec = [](std::string_view text) { parseMinisignSecretKey(text); };
    // Signing refuses a trusted comment that is not one line of text or would make the file larger than 4 KiB.
    const Read sign = [](std::string_view comment) {
        signMinisign(kMessage, parseMinisignSecretKey(secretKeyText()), comment);
    };
    const std::string signature = seed("minisign-prehashed.minisig"), key = seed("minisign.pub");
    const auto S = linesOf(signature), P = linesOf(key);
    std::string crlf = signature;
    for (std::size_t at = 0; (at = crlf.find('\n', at)) != std::string::npos; at += 2) crlf.insert(at, "\r");
    const struct {
        Read read;
        std::string text;
        std::string reason;  // empty: accepted
    } rows[] = {
        {sig, seed("minisign-legacy.minisig"), ""},
        {sig, crlf + "\n\n", ""},
        {sig, signature + std::string(4096, '\n'), "the signature file is larger than 4 KiB"},
        {sig, "\n\n", "the signature file is empty"},
        {sig, S[1] + S[2] + S[3], "the signature file does not begin with an \"untrusted comment:\" line"},
        {sig, S[0], "the signature file ends before its signature line"},
        {sig, S[0] + "*" + S[1].substr(1) + S[2] + S[3], "the signature line is not base64"},
        {sig, S[0] + S[1].substr(0, 96) + "\n" + S[2] + S[3], "the signature line holds 72 bytes, not 74"},
        {sig, S[0] + recoded(S[1], retag('X', 'y')) + S[2] + S[3], "the signature uses an unknown algorithm \"Xy\""},
        {sig, S[0] + S[1], "the signature file ends before its trusted comment"},
        {sig, S[0] + S[1] + "trusted comment:x\n" + S[3], "third line is not a \"trusted comment: \" line"},
        {sig, S[0] + S[1] + "trusted comment: caf\xe9\n" + S[3], "the trusted comment is not valid UTF-8"},
        {sig, S[0] + S[1] + "trusted comment: \x1b[2J\n" + S[3], "the trusted comment has control characters"},
        {sig, S[0] + S[1] + S[2], "the signature file ends before the trusted comment's signature"},
        {sig, S[0] + S[1] + S[2] + "AAAA", "the trusted comment's signature holds 3 bytes, not 64"},
        {sig, signature + "more\n", "the signature file has more than four lines"},
        {pub, key, ""},
        {pub, "  " + P[1], ""},  // the bare line `minisign -P` takes
        {pub, "comment\n" + P[1], "the public key file does not begin with an \"untrusted comment:\" line"},
        {pub, key + "more\n", "the public key file has more than two lines"},
        {pub, P[0] + S[1], "the public key holds 74 bytes, not 42"},
        {pub, P[0] + recoded(P[1], retag('E', 'D')), "the public key uses an unknown algorithm \"ED\""},
        {sec, secretKeyText(), ""},
        {sec, secretKeyText([](Bytes& b) { crypto_generichash(b.data() + 126, 32, b.data() + 54, 72, nullptr, 0); }),
         "the secret key's checksum does not match: the key is damaged"},  // the algorithm left out
        {sec, secretKeyText([](Bytes& b) {
             Bytes covered(b.begin(), b.begin() + 2);  // the algorithm, the key ID and the secret key
             covered.insert(covered.end(), b.begin() + 54, b.begin() + 126);
             crypto_generichash(b.data() + 126, 32, covered.data(), covered.size(), nullptr, 0);
         }),
         ""},
        {sec, secretKeyText(retag('S', 'c', 2)),
         "encrypted secret keys are not supported: make it with minisign -G -W"},
        {sec, secretKeyText(retag('X', 'x', 2)), "the secret key uses an unknown key derivation algorithm \"Xx\""},
        {sec, secretKeyText(retag('B', '3', 4)), "the secret key uses an unknown checksum algorithm \"B3\""},
        {sec, secretKeyText([](Bytes& b) { b[62 + 40] ^= 1; }), "its public half does not belong to its seed"},
        {sec, key, "the secret key holds 42 bytes, not 158"},
        {sign, std::string(3826, 'x'), ""},
        {sign, std::string(3827, 'x'), "the trusted comment is too long for a signature file of at most 4 KiB"},
        {sign, "two\nlines", "the trusted comment has control characters"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text.substr(0, 300));
        try {
            row.read(row.text);
            EXPECT_EQ(row.reason, "") << "accepted";
        } catch (const MinisignError& error) {
            EXPECT_THAT(error.what(), HasSubstr(row.reason.empty() ? "(to be accepted)" : row.reason));
            EXPECT_EQ(std::string(error.what()).find('\n'), std::string::npos);
        }
    }
}

// minisign's signatures verify with its key; any change to message, comment, signature or key
// is refused with its reason.
TEST(Minisign, VerifiesMinisignsSignaturesAndRefusesEveryChange) {
    const std::string prehashed = seed("minisign-prehashed.minisig"), legacy = seed("minisign-legacy.minisig");
    const auto S = linesOf(prehashed), L = linesOf(legacy);
    const MinisignPublicKey key = parseMinisignPublicKey(seed("minisign.pub"));
    // minisign names the key in the comment it writes into the key file.
    EXPECT_EQ(linesOf(seed("minisign.pub"))[0], "untrusted comment: minisign public key " + key.keyIdText() + "\n");
    MinisignPublicKey other = parseMinisignSecretKey(secretKeyText()).publicKey(), sameId = other;
    sameId.keyId = key.keyId;
    const std::string message(kMessage);
    std::string changed = message;
    changed[10] ^= 1;
    const std::string notTrusted = "signed by key ID " + key.keyIdText() + ", which is not trusted";
    const std::string noMatch = "the signature does not match the description";
    const std::string commentNoMatch = "the trusted comment's signature does not match";
    const struct {
        std::string signature, message;
        std::vector<MinisignPublicKey> keys;
        std::string reason;  // empty: verified by `key`
    } rows[] = {
        {prehashed, message, {other, key}, ""},
        {legacy, message, {key}, ""},
        {prehashed, message, {sameId, key}, ""},
        {prehashed, changed, {key}, noMatch},
        {legacy, changed, {key}, noMatch},
        {prehashed, message, {sameId}, noMatch},
        {S[0] + recoded(S[1], retag('E', 'd')) + S[2] + S[3], message, {key}, noMatch},  // read as legacy
        {S[0] + S[1] + "trusted comment: orvane firmware 1.4.1\n" + S[3], message, {key}, commentNoMatch},
        {S[0] + S[1] + S[2] + L[3], message, {key}, commentNoMatch},
        {prehashed, message, {}, notTrusted},
        {legacy, message, {other}, notTrusted},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.signature + "over: " + row.message);
        try {
            const MinisignPublicKey signer =
                verifyMinisign(row.message, parseMinisignSignature(row.signature), row.keys);
            EXPECT_EQ(row.reason, "") << "verified";
            EXPECT_EQ(signer.key, key.key);
        } catch (const MinisignError& error) {
            EXPECT_EQ(error.what(), row.reason.empty() ? "(to be verified)" : row.reason);
        }
    }
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

// With a fresh key of the minisign program, its signatures of either form verify here, and ours
// verify there (and over a changed message do not, so its check is real).
TEST(Minisign, MinisignAndThisSideAcceptEachOthersSignatures) {
    const std::string minisign = "/usr/bin/minisign";
    if (!std::filesystem::exists(minisign)) {
        GTEST_SKIP() << "the minisign program is not installed (scripts/install-deps.sh installs it)";
    }
    testing::TemporaryDirectory directory;
    const auto at = [&](const char* name) { return (directory.path() / name).string(); };
    const Ran made = run({minisign, "-G", "-W", "-p", at("key.pub"), "-s", at("key.sec")});
    ASSERT_EQ(made.status, 0) << made.output;
    const MinisignPublicKey key = parseMinisignPublicKey(testing::readFile(at("key.pub")));
    const MinisignSecretKey secret = parseMinisignSecretKey(testing::readFile(at("key.sec")));
    EXPECT_EQ(secret.publicKey().key, key.key);
    EXPECT_EQ(secret.keyId(), key.keyId);
    // Bytes that are neither text nor small.
    std::string message(200000, '\0'), changed;
    for (std::size_t i = 0; i < message.size(); ++i) message[i] = static_cast<char>(i * 7 + i / 251);
    (changed = message)[123456] ^= 0x40;
    std::ofstream(at("message"), std::ios::binary) << message;
    std::ofstream(at("changed"), std::ios::binary) << changed;
    const std::string comment = "timestamp:1760000000 file:latest.json – Orvane";

    for (bool prehashed : {true, false}) {
        SCOPED_TRACE(prehashed ? "prehashed" : "legacy");
        // -l signs in the legacy form; -H makes -V require the prehashed one.
        std::vector<std::string> sign = {minisign,      "-S", "-s",    at("key.sec"), "-m",
                                         at("message"), "-t", comment, "-x",          at("theirs.minisig")};
        std::vector<std::string> verify = {minisign, "-V", "-p", at("key.pub"), "-x", at("ours.minisig"), "-m"};
        (prehashed ? verify : sign).insert((prehashed ? verify : sign).begin() + 2, prehashed ? "-H" : "-l");
        const Ran theirs = run(sign);
        ASSERT_EQ(theirs.status, 0) << theirs.output;
        const MinisignSignature signature = parseMinisignSignature(testing::readFile(at("theirs.minisig")));
        EXPECT_EQ(signature.prehashed, prehashed);
        EXPECT_EQ(signature.trustedComment, comment);
        EXPECT_EQ(verifyMinisign(message, signature, {key}).key, key.key);

        std::ofstream(at("ours.minisig"), std::ios::binary) << signMinisign(message, secret, comment, prehashed);
        verify.push_back(at("message"));
        const Ran accepted = run(verify);
        EXPECT_EQ(accepted.status, 0) << accepted.output;
        EXPECT_THAT(accepted.output, HasSubstr("Trusted comment: " + comment));
        verify.back() = at("changed");
        EXPECT_NE(run(verify).status, 0);
    }
}

// What a description must be to be used: signed (by the minisign program here) with a trusted
// key, with the image's sha256 and size, not expired. Each refusal says why; a lab's setting lets
// an unsigned or untrusted description through, never one whose signature does not match.
TEST(FirmwareTrust, OnlyADescriptionSignedByATrustedKeyIsUsedAndEachRefusalSaysWhy) {
    const std::string minisign = "/usr/bin/minisign";
    if (!std::filesystem::exists(minisign)) {
        GTEST_SKIP() << "the minisign program is not installed (scripts/install-deps.sh installs it)";
    }
    testing::TemporaryDirectory directory;
    const auto at = [&](const std::string& name) { return (directory.path() / name).string(); };
    const auto keyPair = [&](const std::string& name) {
        EXPECT_EQ(run({minisign, "-G", "-W", "-p", at(name + ".pub"), "-s", at(name + ".sec")}).status, 0);
        return parseMinisignPublicKey(testing::readFile(at(name + ".pub")));
    };
    const MinisignPublicKey trusted = keyPair("trusted"), other = keyPair("other");
    const auto signedBy = [&](const std::string& key, const std::string& document) {
        std::ofstream(at("document"), std::ios::binary) << document;
        EXPECT_EQ(
            run({minisign, "-S", "-s", at(key + ".sec"), "-m", at("document"), "-x", at("document.minisig")}).status,
            0);
        return testing::readFile(at("document.minisig"));
    };
    const std::string head = R"({"version": "2.0", "releaseNotes": "n", "date": "2026-01-01T00:00:00.000Z",
                                 "location": "fw.bin", "sha256": ")" +
                             std::string(64, 'a') + "\"";
    const std::string good = head + R"(, "size": 5000, "expires": "2030-01-01T00:00:00.000Z"})";
    const std::string changed = head + R"(, "size": 5001, "expires": "2030-01-01T00:00:00.000Z"})";
    const std::string unsized = head + "}";
    const std::string expired = head + R"(, "size": 5000, "expires": "2026-12-01T00:00:00.000Z"})";
    const auto now = std::chrono::sys_days(std::chrono::year(2026) / 12 / 9);
    struct Case {
        const char* what;
        std::string document;
        std::optional<std::string> signature;
        bool allowUnsigned;
        std::string outcome;  // the key ID that signed, "unsigned", or the refusal's reason
    };
    const Case cases[] = {
        {"signed by a trusted key", good, signedBy("trusted", good), false, trusted.keyIdText()},
        {"an untrusted key", good, signedBy("other", good), false,
         "the description is signed by key ID " + other.keyIdText() + ", which is not trusted"},
        {"no signature", good, std::nullopt, false,
         "the description is not signed (nothing at its address + .minisig)"},
        {"no signature, allowed", good, std::nullopt, true, "unsigned"},
        {"an untrusted key, allowed", good, signedBy("other", good), true, "unsigned"},
        {"a changed description, allowed", changed, signedBy("trusted", good), true,
         "the signature does not match the description"},
        {"a garbage signature, allowed", good, std::string("untrusted comment: x\nnot base64\n"), true,
         "its signature cannot be read: "},
        {"signed without size", unsized, signedBy("trusted", unsized), false,
         "a signed description must give the image's sha256 and size"},
        {"expired", expired, signedBy("trusted", expired), false,
         "the description expired at 2026-12-01T00:00:00.000Z"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto parsed = parseFirmwareInformationDocument(c.document, "https://example.org/latest.json");
        ASSERT_TRUE(std::holds_alternative<DeviceSoftwareUpdateInformation>(parsed));
        const auto result = checkFirmwareTrust(std::get<DeviceSoftwareUpdateInformation>(parsed), c.document,
                                               c.signature, {{trusted}, c.allowUnsigned}, now);
        if (const auto* information = std::get_if<DeviceSoftwareUpdateInformation>(&result)) {
            EXPECT_EQ(information->signedBy.value_or("unsigned"), c.outcome);
        } else {
            const auto* refusal = dynamic_cast<const FirmwareRefusedError*>(std::get<ErrorRef>(result).get());
            ASSERT_TRUE(refusal);
            EXPECT_EQ(refusal->reason().substr(0, c.outcome.size()), c.outcome);
        }
    }
}

// Keys come from every regular file of the directories, then from the files named; each file
// passed over is named with its reason in the problems and in the update log.
TEST(TrustedKeys, ReadsKeyFilesAndNamesEachOnePassedOver) {
    testing::TemporaryDirectory directory;
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(directory.path() / name, std::ios::binary) << text;
        return directory.path() / name;
    };
    const std::string key = seed("minisign.pub");
    std::filesystem::create_directories(directory.path() / "keys/nested");
    write("keys/nested/ignored.pub", key);
    write("keys/b-release.pub", key);
    write("keys/a-bare.pub", linesOf(key)[1]);
    write("keys/c-notes.txt", "not a key");
    write("keys/d-large.pub", key + std::string(4096, '\n'));
    ASSERT_EQ(::mkfifo((directory.path() / "keys/e-fifo").c_str(), 0600), 0);

    testing::CapturedLog log;
    const TrustedKeys trusted = loadTrustedKeys({directory.path() / "missing", directory.path() / "keys"},
                                                {write("named.pub", key), directory.path() / "absent.pub"});
    std::vector<std::string> files;
    for (const auto& each : trusted.keys) files.push_back(each.file.filename().string() + " " + each.keyIdText());
    const std::string id = parseMinisignPublicKey(key).keyIdText();
    EXPECT_EQ(files, (std::vector<std::string>{"a-bare.pub " + id, "b-release.pub " + id, "named.pub " + id}));
    const std::vector<std::string> problems = {
        "c-notes.txt: the public key is not base64",
        "d-large.pub: the public key file is larger than 4 KiB",
        "e-fifo: not a regular file",
        "absent.pub: No such file or directory",
    };
    ASSERT_EQ(trusted.problems.size(), problems.size());
    for (std::size_t i = 0; i < problems.size(); ++i) {
        EXPECT_THAT(trusted.problems[i], HasSubstr(problems[i]));
        EXPECT_TRUE(log.contains("orvane.update: " + trusted.problems[i]));
    }
}

}  // namespace
}  // namespace orvane
