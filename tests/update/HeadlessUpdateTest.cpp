// orvane-update against the simulated device (which takes images from the real bossac and comes
// back reporting the version the image carries) and a local endpoint whose descriptions are signed
// by Debian's minisign program.

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/ChildProcess.h"
#include "support/TemporaryDirectory.h"
#include "support/TestHTTPServer.h"
#include "update/FirmwareDownload.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// An image of `size` bytes that carries the firmware version `version`.
std::string image(const std::string& version, std::size_t size = 4096) {
    std::string bytes = "ORVANE-FIRMWARE-VERSION=" + version + '\0';
    while (bytes.size() < size) bytes += static_cast<char>('a' + bytes.size() % 26);
    bytes.resize(size);
    return bytes;
}

void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

class HeadlessUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/minisign") || !fs::exists("/usr/bin/bossac")) {
            GTEST_SKIP() << "needs minisign and bossac (scripts/install-deps.sh)";
        }
        fs::create_directory(dir.path() / "run");
        fs::permissions(dir.path() / "run", fs::perms::owner_all);
        for (const char* name : {"trusted", "stranger"}) makeKey(name);
        server.server().Get(R"(/(latest\.json(\.minisig)?|image\.bin))",
                            [this](const httplib::Request& request, httplib::Response& response) {
                                std::lock_guard lock(mutex);
                                const auto served = files.find(request.matches[1]);
                                if (served == files.end()) {
                                    response.status = 404;
                                } else {
                                    response.set_content(served->second, "application/octet-stream");
                                }
                            });
        server.start();
    }

    void makeKey(const std::string& name) {
        const auto base = (dir.path() / name).string();
        Child make({"/usr/bin/minisign", "-G", "-W", "-p", base + ".pub", "-s", base + ".sec"});
        ASSERT_EQ(make.wait(30s), 0);
    }

    // Serves `document` as the description, signed by `key` (none: no signature), and `served` as
    // the image.
    void publish(const Json& document, const std::string& served, const char* key = "trusted") {
        const std::string text = document.dump(2);
        std::optional<std::string> signature;
        if (key) {
            write(dir.path() / "latest.json", text);
            Child sign({"/usr/bin/minisign", "-S", "-s", (dir.path() / key).string() + ".sec", "-m",
                        (dir.path() / "latest.json").string()});
            ASSERT_EQ(sign.wait(30s), 0);
            signature = readFile(dir.path() / "latest.json.minisig");
        }
        std::lock_guard lock(mutex);
        files.clear();
        files["latest.json"] = text;
        if (signature) files["latest.json.minisig"] = *signature;
        files["image.bin"] = served;
    }

    static Json describe(const std::string& version, const std::string& bytes) {
        return {{"version", version},
                {"releaseNotes", "Notes"},
                {"date", "2026-12-01T10:00:00.000Z"},
                {"location", "image.bin"},
                {"sha256", sha256Hex(bytes)},
                {"size", bytes.size()}};
    }

    // Runs orvane-update for the simulated device; its exit status and its one JSON line.
    std::pair<int, Json> update(std::vector<std::string> options = {}) {
        std::vector<std::string> arguments{(kToolsDirectory / "orvane-update").string(), "--endpoint",
                                           server.url("/latest.json"), "--trusted-key",
                                           (dir.path() / "trusted.pub").string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.push_back(link.string());
        setenv("XDG_RUNTIME_DIR", (dir.path() / "run").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
        Child tool(arguments, (dir.path() / "update.err").string());
        const auto lines = tool.readLines();
        const auto status = tool.wait(60s);
        unsetenv("XDG_RUNTIME_DIR");
        unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(lines.size(), 1u) << readFile(dir.path() / "update.err");
        return {status.value_or(-1), lines.empty() ? Json() : Json::parse(lines.front(), nullptr, false)};
    }

    void startDevice() {
        simulator = std::make_unique<Child>(std::vector<std::string>{(kToolsDirectory / "orvane-sim").string(),
                                                                     "--link", link.string(), "--flash-dump",
                                                                     dump.string()});
        ASSERT_TRUE(simulator->readLine().has_value());
    }

    TemporaryDirectory dir;
    TestHTTPServer server;
    std::mutex mutex;
    std::map<std::string, std::string> files;
    fs::path link = dir.path() / "ttyACM0";
    fs::path dump = dir.path() / "flash.bin";
    std::unique_ptr<Child> simulator;
};

// Every announcement or image that must not be written is refused before the device is touched:
// exit 3, the reason on the JSON line, nothing in the device's flash.
TEST_F(HeadlessUpdate, RefusalsWriteNothing) {
    ASSERT_NO_FATAL_FAILURE(startDevice());  // runs 1.1.9.0
    const std::string good = image("2.3.4.5");
    struct Case {
        const char* name;
        std::function<void()> publishIt;
        const char* reason;
    };
    const std::vector<Case> cases{
        {"a changed image byte",
         [&] {
             std::string changed = good;
             changed[100] ^= 1;
             publish(describe("2.3.4.5", good), changed);
         },
         "SHA-256"},
        {"a changed description",
         [&] {
             publish(describe("2.3.4.5", good), good);
             std::lock_guard lock(mutex);
             files["latest.json"].replace(files["latest.json"].find("2.3.4.5"), 7, "2.3.4.6");
         },
         "signature"},
        {"an untrusted key", [&] { publish(describe("2.3.4.5", good), good, "stranger"); }, "not trusted"},
        {"no signature", [&] { publish(describe("2.3.4.5", good), good, nullptr); }, "not signed"},
        {"an expired description",
         [&] {
             Json document = describe("2.3.4.5", good);
             document["expires"] = "2026-01-01T00:00:00Z";
             publish(document, good);
         },
         "expired"},
        {"an image longer than its size", [&] { publish(describe("2.3.4.5", good), good + "more"); }, "longer"},
        {"a garbage signature",
         [&] {
             publish(describe("2.3.4.5", good), good);
             std::lock_guard lock(mutex);
             files["latest.json.minisig"] = "untrusted comment: x\n!!!not base64!!!\n";
         },
         "cannot be read"},
        {"an older version", [&] { publish(describe("1.0.0.0", image("1.0.0.0")), image("1.0.0.0")); }, "not newer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.publishIt();
        const auto [status, line] = update();
        EXPECT_EQ(status, 3);
        EXPECT_EQ(line.value("outcome", ""), "refused");
        EXPECT_NE(line.value("reason", "").find(c.reason), std::string::npos) << line.dump();
        EXPECT_EQ(line.value("versionAfter", ""), "1.1.9") << line.dump();
        EXPECT_FALSE(fs::exists(dump));
    }
    // A check of a good announcement writes nothing either.
    publish(describe("2.3.4.5", good), good);
    const auto [status, line] = update({"--check-only"});
    EXPECT_EQ(status, 0);
    EXPECT_EQ(line.value("outcome", ""), "available");
    EXPECT_FALSE(fs::exists(dump));
}

// A good signed update is written, confirmed and reported; a signed image that brings the old
// version back is written but not confirmed (exit 5); a downgrade is written only when asked for.
TEST_F(HeadlessUpdate, WritesConfirmsAndTellsAVersionThatDidNotChange) {
    ASSERT_NO_FATAL_FAILURE(startDevice());
    const std::string good = image("2.3.4.5");
    publish(describe("2.3.4.5", good), good);
    auto [status, line] = update();
    EXPECT_EQ(status, 0) << readFile(dir.path() / "update.err");
    EXPECT_EQ(line, (Json{{"device", link.string()},
                          {"serialNumber", "OV-SIM-0001"},
                          {"versionBefore", "1.1.9"},
                          {"versionAfter", "2.3.4.5"},
                          {"outcome", "updated"},
                          {"reason", nullptr}}));
    EXPECT_EQ(readFile(dump).substr(0, good.size()), good);

    const std::string stale = image("2.3.4.5", 5000);
    publish(describe("3.4.5.6", stale), stale);
    std::tie(status, line) = update();
    EXPECT_EQ(status, 5) << readFile(dir.path() / "update.err");
    EXPECT_EQ(line.value("outcome", ""), "unconfirmed");
    EXPECT_EQ(line.value("versionAfter", ""), "2.3.4.5");
    EXPECT_NE(line.value("reason", "").find("reporting version 2.3.4.5, not 3.4.5.6"), std::string::npos);

    // A lab takes its device back to an unsigned older build, on purpose.
    const std::string older = image("1.0.0.0");
    publish(describe("1.0.0.0", older), older, nullptr);
    std::tie(status, line) = update({"--allow-older", "--allow-unsigned"});
    EXPECT_EQ(status, 0) << readFile(dir.path() / "update.err");
    EXPECT_EQ(line.value("versionAfter", ""), "1.0");
}

}  // namespace
