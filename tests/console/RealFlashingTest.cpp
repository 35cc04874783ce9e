// The whole update path with the real flashing tool: the console, a local firmware endpoint, the
// simulated device that reboots into its bootloader on the 1200-baud reset, and Debian's bossac.

#include <filesystem>
#include <fstream>
#include <random>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "console/ConsoleHarness.h"
#include "device/DeviceSerialInterface.h"
#include "platform/InformativeError.h"
#include "support/ChildProcess.h"
#include "support/TestHTTPServer.h"
#include "update/BossacError.h"
#include "update/BossacManager.h"
#include "update/HalvernServerUpdateProvider.h"
#include "update/UpdateWorkflow.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

constexpr const char* kBossac = "/usr/bin/bossac";

// Random bytes that carry the firmware version the device reports once it runs them.
std::string firmwareImage(std::size_t size, const std::string& version) {
    std::mt19937 random(static_cast<unsigned>(size));
    std::string image(size, '\0');
    for (auto& byte : image) byte = static_cast<char>(random());
    const std::string marker = "ORVANE-FIRMWARE-VERSION=" + version + '\0';
    image.replace(size / 3, marker.size(), marker);
    return image;
}

std::string contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

class RealFlashing : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
        server.server().Get("/latest.json", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(nlohmann::json{{"version", "9.8.7.6"},
                                                {"releaseNotes", "Notes"},
                                                {"date", "2026-12-01T10:00:00.000Z"},
                                                {"location", "image.bin"}}
                                     .dump(),
                                 "application/json");
        });
        server.server().Get("/image.bin", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content(image, "application/octet-stream");
        });
        server.start();
    }

    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

    // Starts the simulated device in the scan directory and connects the console to it (unless
    // it starts in its bootloader).
    void startDevice(std::vector<std::string> options, bool connecting = true) {
        std::vector<std::string> arguments{(kToolsDirectory / "orvane-sim").string(),
                                           "--link",
                                           link.string(),
                                           "--firmware-version",
                                           "1.0.0.0",
                                           "--flash-dump",
                                           dump.string()};
        arguments.insert(arguments.end(), options.begin(), options.end());
        simulator = std::make_unique<Child>(arguments);
        ASSERT_TRUE(simulator->readLine().has_value());  // the device's path: it is up

        auto bossac = std::make_shared<BossacManager>();
        h = std::make_unique<ConsoleHarness>(ViewController::Configuration{
            .deviceDirectory = devices.path().string(),
            .updateProvider = std::make_shared<HalvernServerUpdateProvider>(
                server.url("/latest.json"), TransferOptions{}, FirmwareTrustPolicy{.keys = {}, .allowUnsigned = true}),
            .bossac = bossac});
        h->loadWithoutTimers();
        if (connecting) connect();
    }

    void connect() {
        h->console->setSelectedDevice(link.string());
        h->console->connectToDevice(link.string());
        ASSERT_TRUE(waitFor([&] {
            auto session = h->console->vehicleInterface();
            return session && session->version().has_value();
        }));
    }

    // The scans (one a second in the window) find the device back after an update; the console
    // connects it by itself and the inspector shows the new version.
    void followedBack() {
        ASSERT_TRUE(waitFor(
            [&] {
                h->console->scanDevices();
                h->console->refreshTelemetry();
                return h->console->inspectorManager().device().version->value() == Version(9, 8, 7, 6);
            },
            20s));
        EXPECT_EQ(h->console->selectedDevice(), link.string());
    }

    // Check for Update, "Update", and wait for the alert or the error that ends the workflow.
    void update() {
        h->console->checkForUpdates();
        ASSERT_TRUE(waitFor([&] { return h->dialog != nullptr; }));
        h->dialog->didSelectUpdate(nullptr);
        ASSERT_NO_FATAL_FAILURE(waitForTheEnd());
    }

    // Waits for the alert or the error that ends the workflow, scanning as the window does (once
    // a second) so that a device that was written is followed back.
    void waitForTheEnd() {
        ASSERT_TRUE(waitFor(
            [&] {
                h->console->scanDevices();
                h->console->refreshTelemetry();
                return !h->host->alerts.empty() || !h->host->presentedErrors.empty();
            },
            120s));
    }

    // The step the failure alert names, and the tool's error behind it.
    std::pair<std::string, std::shared_ptr<const BossacError>> failure() const {
        if (h->host->presentedErrors.empty()) return {"no failure alert", nullptr};
        const auto& error = h->host->presentedErrors.back().error;
        EXPECT_EQ(error->localizedDescription(), "Failed to flash the firmware update.");
        auto informative = std::dynamic_pointer_cast<const InformativeError>(error);
        auto step =
            informative ? std::dynamic_pointer_cast<const FlashingStepError>(informative->underlyingError()) : nullptr;
        if (!step) return {"not a step of the flash", nullptr};
        return {step->stage(), std::dynamic_pointer_cast<const BossacError>(step->underlying())};
    }

    TemporaryDirectory runtime;
    TemporaryDirectory devices;
    const fs::path link = devices.path() / "ttyACM0";
    const fs::path dump = runtime.path() / "flash.bin";
    std::string image = firmwareImage(5000, "9.8.7.6");
    TestHTTPServer server;
    std::unique_ptr<Child> simulator;
    std::unique_ptr<ConsoleHarness> h;
};

TEST_F(RealFlashing, TheImageLandsByteForByteAndTheDeviceComesBackWithItsVersion) {
    ASSERT_NO_FATAL_FAILURE(startDevice({}));
    ASSERT_NO_FATAL_FAILURE(update());
    ASSERT_TRUE(h->host->presentedErrors.empty())
        << h->host->presentedErrors.back().error->recoverySuggestion().value_or("");
    EXPECT_EQ(h->host->alerts.back().alert.messageText, "The firmware update completed.");
    EXPECT_NE(h->host->alerts.back().alert.informativeText.find("The device now reports 9.8.7.6."), std::string::npos);
    // The tool's output stays readable in the alert's details.
    EXPECT_NE(h->host->alerts.back().alert.detailedText.value_or("").find("Verify successful"), std::string::npos);
    EXPECT_EQ(contents(dump), image);

    // The console follows the device back and connects it: the new version shows unasked.
    ASSERT_NO_FATAL_FAILURE(followedBack());
}

TEST_F(RealFlashing, ABootloaderUnderAnotherNameIsFollowed) {
    ASSERT_NO_FATAL_FAILURE(startDevice({"--bootloader-link", (devices.path() / "ttyACM1").string()}));
    ASSERT_NO_FATAL_FAILURE(update());
    ASSERT_TRUE(h->host->presentedErrors.empty())
        << h->host->presentedErrors.back().error->recoverySuggestion().value_or("");
    EXPECT_EQ(contents(dump), image);
}

TEST_F(RealFlashing, AFailedVerifyEndsInTheFailureAlertNamingTheVerify) {
    ASSERT_NO_FATAL_FAILURE(startDevice({"--flip-bit-after-write"}));
    ASSERT_NO_FATAL_FAILURE(update());
    const auto [stage, error] = failure();
    EXPECT_EQ(stage, "Verifying the firmware");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line(), "Verify failed");
    EXPECT_TRUE(h->host->alerts.empty());
}

TEST_F(RealFlashing, ABootloaderThatVanishesMidWriteEndsInTheFailureAlertNamingTheWrite) {
    ASSERT_NO_FATAL_FAILURE(startDevice({"--vanish-during-write"}));
    ASSERT_NO_FATAL_FAILURE(update());
    const auto [stage, error] = failure();
    EXPECT_EQ(stage, "Writing the firmware");
    EXPECT_TRUE(h->host->alerts.empty());
}

// A board without firmware: the console finds its bootloader on the chosen port, and "Install
// Firmware" writes the announced image there without a reset, no dialog asked.
TEST_F(RealFlashing, ADeviceInItsBootloaderIsRecognisedAndInstallFirmwareBringsItBack) {
    ASSERT_NO_FATAL_FAILURE(startDevice({"--start-in-bootloader"}, false));
    h->console->setSelectedDevice(link.string());
    h->console->connectToDevice(link.string());
    ASSERT_TRUE(waitFor(
        [&] {
            h->console->refreshTelemetry();
            return h->lastStatusText().rfind("The device is in its bootloader", 0) == 0;
        },
        20s))
        << h->lastStatusText();
    auto& firmware = *h->console->inspectorManager().device().version;
    EXPECT_EQ(firmware.actionTitle(), "Install Firmware");
    EXPECT_EQ(firmware.absentValueText(), "No firmware");
    EXPECT_EQ(firmware.value(), std::nullopt);
    EXPECT_NE(h->console->inspectorManager().device().connectionStatus->detail().value_or("").find("v2.0"),
              std::string::npos);

    const fs::path bootloader = fs::read_symlink(link);
    // What will be written is shown and asked for first.
    firmware.didPressActionButtonWithButton(nullptr);
    ASSERT_TRUE(waitFor([&] { return h->dialog != nullptr; }));
    EXPECT_EQ(h->dialogVersion->value, "9.8.7.6");
    h->dialog->didSelectUpdate(nullptr);
    ASSERT_NO_FATAL_FAILURE(waitForTheEnd());
    ASSERT_TRUE(h->host->presentedErrors.empty())
        << h->host->presentedErrors.back().error->recoverySuggestion().value_or("");
    EXPECT_EQ(h->host->alerts.back().alert.messageText, "The firmware update completed.");
    EXPECT_EQ(contents(dump), image);

    // The device comes back on a new port behind the same name, and the console connects it.
    ASSERT_NO_FATAL_FAILURE(followedBack());
    EXPECT_NE(fs::read_symlink(link), bootloader);
    EXPECT_EQ(firmware.actionTitle(), "Check for Update");
}

}  // namespace
