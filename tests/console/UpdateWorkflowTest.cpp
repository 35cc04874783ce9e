// The firmware-update workflow end to end over fakes of the widgets: a local firmware endpoint,
// a device at the far end of a pty that reports its version, and a stand-in flashing tool.

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <mutex>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "console/ConsoleHarness.h"
#include "device/DeviceSerialInterface.h"
#include "platform/InformativeError.h"
#include "support/PtyPeer.h"
#include "support/TemporaryDirectory.h"
#include "support/TestHTTPServer.h"
#include "update/BossacError.h"
#include "update/BossacManager.h"
#include "update/FirmwareDownload.h"
#include "update/HalvernServerUpdateProvider.h"
#include "update/UpdateWorkflow.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;
const std::string kImage(4096, 'F');

struct UpdateWorkflow : ::testing::Test {
    void SetUp() override {
        // The download goes to the private firmware directory under this runtime directory.
        setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
        server.server().Get("/devices/orvane/firmware/latest.json",
                            [this](const httplib::Request&, httplib::Response& response) {
                                ++documentRequests;
                                response.set_content(document.dump(), "application/json");
                            });
        server.server().Get("/devices/orvane/firmware/fw/image.bin",
                            [](const httplib::Request&, httplib::Response& response) {
                                response.set_content(kImage, "application/octet-stream");
                            });
        server.start();
        document = {{"version", "1.2.3.4"},
                    {"releaseNotes", "Notes"},
                    {"date", "2019-06-14T10:30:00.000Z"},
                    {"location", "fw/image.bin"}};

        tool = runtime.path() / "bossac";
        writeTool("echo \"Verify successful\"\n");

        // The device reports 1.2.3.4 until the tool has run, then the version it comes back as.
        device.startAnswering([this](const DeviceReport&) {
            const bool flashed = std::filesystem::exists(runtime.path() / "args");
            std::lock_guard lock(versionMutex);
            return "DEVICE-INFO{version:" + (flashed ? cameBackAs : std::string("1.2.3.4")) + "\n}";
        });
        devices.link("ttyACM0", device.devicePath());

        auto bossac = std::make_shared<BossacManager>();
        bossac->setToolPath(tool);
        bossac->setBootloaderKickDelays(1ms, 1ms);
        h = std::make_unique<ConsoleHarness>(
            ViewController::Configuration{.deviceDirectory = devices.path().string(),
                                          .updateProvider = std::make_shared<HalvernServerUpdateProvider>(
                                              server.url("/devices/orvane/firmware/latest.json"), TransferOptions{},
                                              FirmwareTrustPolicy{.keys = {}, .allowUnsigned = true}),
                                          .bossac = bossac});
        h->loadWithoutTimers();
    }

    void TearDown() override { unsetenv("XDG_RUNTIME_DIR"); }

    // A stand-in flashing tool that records its arguments and what the console showed.
    void writeTool(const std::string& body) {
        std::ofstream(tool) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" << (runtime.path() / "args").string() << "\"\n"
                            << body;
        chmod(tool.c_str(), 0755);
    }
    Texts toolArguments() const {
        std::ifstream in(runtime.path() / "args");
        Texts lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    void connectDevice() {
        h->console->setSelectedDevice(port);
        h->console->connectToDevice(port);
        ASSERT_TRUE(waitFor([&] {
            auto s = h->console->vehicleInterface();
            return s && s->version().has_value();
        })) << ::testing::PrintToString(h->statusTexts);
    }

    // Presses "Check for Update" and waits for the check to end.
    void check() {
        h->console->inspectorManager().device().version->didPressActionButtonWithButton(nullptr);
        ASSERT_TRUE(waitFor(
            [&] { return !h->host->alerts.empty() || !h->host->presentedErrors.empty() || h->dialog != nullptr; }));
    }

    // Checks, answers "Update" in the dialog, and waits for the error that ends the workflow.
    void updateUntilAnError() {
        connectDevice();
        check();
        ASSERT_TRUE(h->dialog);
        h->dialog->didSelectUpdate(nullptr);
        ASSERT_TRUE(waitFor([&] { return !h->host->presentedErrors.empty(); }, 10s));
    }

    bool sheetGone() const { return h->console->currentModalProgressViewController() == nullptr; }

    TemporaryDirectory runtime;
    TestHTTPServer server;
    nlohmann::json document;
    std::atomic<int> documentRequests{0};
    std::filesystem::path tool;
    PtyPeer device;
    TemporaryDirectory devices;  // the device is listed under a name, so it is followed back
    const std::string port = (devices.path() / "ttyACM0").string();
    std::mutex versionMutex;
    std::string cameBackAs = "1.2.3.5";
    std::unique_ptr<ConsoleHarness> h;
};

TEST_F(UpdateWorkflow, WithoutASessionTheButtonDoesNothing) {
    h->console->inspectorManager().device().version->didPressActionButtonWithButton(nullptr);
    MainQueue::shared().runFor(200ms);
    EXPECT_TRUE(h->host->performedSegues.empty());
    EXPECT_EQ(documentRequests.load(), 0);
}

TEST_F(UpdateWorkflow, EqualVersionsSayNoUpdateIsAvailable) {
    connectDevice();
    check();
    ASSERT_GE(h->host->performedSegues.size(), 1u);
    EXPECT_EQ(h->host->performedSegues[0].identifier, "Modal Progress");
    ASSERT_EQ(h->host->alerts.size(), 1u);
    const auto& shown = h->host->alerts[0];
    EXPECT_EQ(shown.alert.messageText, "No software update is available.");
    EXPECT_EQ(shown.alert.informativeText, "Your device is already running the latest version.");
    EXPECT_EQ(shown.alert.iconName, "FirmwareUpdate");
    EXPECT_TRUE(shown.asSheetOnWindow);
    EXPECT_TRUE(sheetGone());
}

TEST_F(UpdateWorkflow, AnyGreaterComponentOpensTheDialogAndDontUpdateChangesNothing) {
    document["version"] = "1.1.9.0";  // older, but its revision is greater than the device's 3
    document["location"] = server.url("/devices/orvane/firmware/fw/image.bin");
    connectDevice();
    check();
    ASSERT_TRUE(h->dialog);
    EXPECT_EQ(h->dialogVersion->value, "1.1.9");
    EXPECT_EQ(h->dialogNotes->value, "Notes");
    EXPECT_FALSE(h->dialogDate->value.empty());
    EXPECT_TRUE(sheetGone());

    h->dialog->didSelectDontUpdate(nullptr);
    ASSERT_EQ(h->host->dismissals.size(), 2u);  // the progress sheet, then the dialog
    EXPECT_EQ(h->host->dismissals[1].presented, h->dialog.get());
    MainQueue::shared().runFor(100ms);
    EXPECT_TRUE(h->console->vehicleInterface()->isConnected());
    EXPECT_EQ(h->console->selectedDevice(), port);
    EXPECT_TRUE(toolArguments().empty());
}

// "Update" downloads, disconnects and runs the tool; the update is complete only once the device
// has come back (followed and connected by the console, with no click) reporting the version
// written. A device that comes back with another version is a failure that says which.
TEST_F(UpdateWorkflow, UpdateNowFlashesAndIsConfirmedByTheVersionTheDeviceReportsBack) {
    const struct {
        const char* cameBackAs;
        const char* title;
        const char* says;
    } cases[] = {{"1.2.3.5", "The firmware update completed.", "The device now reports 1.2.3.5."},
                 {"1.2.3.4", "The firmware update was not confirmed.",
                  "The device came back reporting version 1.2.3.4, not 1.2.3.5."}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cameBackAs);
        std::filesystem::remove(runtime.path() / "args");
        {
            std::lock_guard lock(versionMutex);
            cameBackAs = c.cameBackAs;
        }
        h->host->alerts.clear();
        h->host->presentedErrors.clear();
        h->dialog = nullptr;
        document["version"] = "1.2.3.5";
        connectDevice();
        check();
        ASSERT_TRUE(h->dialog);
        h->statusTexts.clear();
        h->dialog->didSelectUpdate(nullptr);
        EXPECT_EQ(h->sheetLabel->value, "Downloading software...");

        ASSERT_TRUE(waitFor([&] {
            h->console->scanDevices();
            h->console->refreshTelemetry();
            return !h->host->alerts.empty() || !h->host->presentedErrors.empty();
        }));
        // The tool was given the device's whole path, then the console connected it again.
        const auto image = defaultFirmwareDirectory() / "firmware.bin";
        EXPECT_EQ(toolArguments(),
                  (Texts{"--port=" + port, "--write", "--verify", "--reset", image.string(), "--boot"}));
        EXPECT_EQ(h->statusTexts, (Texts{"Disconnecting from vehicle...", "Disconnected", "Connecting to vehicle...",
                                         "Vehicle connnected"}));
        EXPECT_EQ(h->console->selectedDevice(), port);
        EXPECT_FALSE(h->console->bossac().completionHandler);
        EXPECT_TRUE(sheetGone());
        if (!h->host->alerts.empty()) {
            EXPECT_EQ(h->host->alerts.back().alert.messageText, c.title);
            EXPECT_NE(h->host->alerts.back().alert.informativeText.find(c.says), std::string::npos);
            EXPECT_TRUE(h->host->alerts.back().asSheetOnWindow);
        } else {
            const auto& error = h->host->presentedErrors.back().error;
            EXPECT_EQ(error->localizedDescription(), c.title);
            EXPECT_NE(error->recoverySuggestion().value_or("").find(c.says), std::string::npos);
        }
    }
}

TEST_F(UpdateWorkflow, AFailedDownloadKeepsTheSessionAndSelection) {
    document["version"] = "2.0";
    document["location"] = "fw/missing.bin";
    ASSERT_NO_FATAL_FAILURE(updateUntilAnError());
    const auto& presented = h->host->presentedErrors[0];
    EXPECT_FALSE(presented.asSheetOnWindow);
    EXPECT_EQ(presented.error->localizedDescription(), "The software update file could not be downloaded.");
    const std::string suggestion = presented.error->recoverySuggestion().value_or("");
    EXPECT_EQ(suggestion.rfind("Make sure you're connected to the internet, and try again.\n\nTechnical Details: ", 0),
              0u);
    EXPECT_NE(suggestion.find("404"), std::string::npos) << suggestion;
    EXPECT_TRUE(h->console->vehicleInterface()->isConnected());
    EXPECT_EQ(h->console->selectedDevice(), port);
    EXPECT_TRUE(sheetGone());
    EXPECT_TRUE(toolArguments().empty());
}

TEST_F(UpdateWorkflow, AFlashTheToolReportsAsFailedEndsWithTheFlashingError) {
    document["version"] = "2.0";
    writeTool("echo 'Erase flash'\necho 'Verify failed at page 3'\n");
    ASSERT_NO_FATAL_FAILURE(updateUntilAnError());
    const auto& presented = h->host->presentedErrors[0];
    EXPECT_EQ(presented.error->localizedDescription(), "Failed to flash the firmware update.");
    auto informative = std::dynamic_pointer_cast<const InformativeError>(presented.error);
    ASSERT_TRUE(informative);
    // The technical details name the step that failed; the tool's output is in the details.
    auto step = std::dynamic_pointer_cast<const FlashingStepError>(informative->underlyingError());
    ASSERT_TRUE(step);
    EXPECT_EQ(step->stage(), "Erasing the device's flash");
    EXPECT_NE(presented.error->recoverySuggestion().value_or("").find("Erasing the device's flash failed: "),
              std::string::npos);
    EXPECT_EQ(presented.error->detailedText(), "Erase flash\nVerify failed at page 3\n");
    auto bossacError = std::dynamic_pointer_cast<const BossacError>(step->underlying());
    ASSERT_TRUE(bossacError);
    EXPECT_NE(bossacError->localizedDescription().find("Verify failed at page 3"), std::string::npos);
    EXPECT_FALSE(h->console->bossac().completionHandler);
    EXPECT_TRUE(sheetGone());
}

TEST_F(UpdateWorkflow, NoSelectedDeviceAtTheFlashingStepRunsNothing) {
    document["version"] = "2.0";
    connectDevice();
    check();
    ASSERT_TRUE(h->dialog);
    h->console->setSelectedDevice(std::nullopt);  // deselected while the dialog was up
    h->dialog->didSelectUpdate(nullptr);
    ASSERT_TRUE(waitFor([&] { return !h->host->presentedErrors.empty(); }, 10s));
    const auto& presented = h->host->presentedErrors[0];
    EXPECT_EQ(presented.error->localizedDescription(), "Failed to flash the firmware update.");
    EXPECT_NE(presented.error->recoverySuggestion().value_or("").find("No device was selected"), std::string::npos);
    EXPECT_TRUE(toolArguments().empty());
    EXPECT_TRUE(sheetGone());
    EXPECT_FALSE(h->console->bossac().completionHandler);
}

TEST_F(UpdateWorkflow, AnUnreachableEndpointSaysTheCheckFailed) {
    auto unreachable = std::make_shared<HalvernServerUpdateProvider>(
        "http://127.0.0.1:9/devices/orvane/firmware/latest.json", TransferOptions{},
        FirmwareTrustPolicy{.keys = {}, .allowUnsigned = true});
    ConsoleHarness other(
        ViewController::Configuration{.updateProvider = unreachable, .bossac = std::make_shared<BossacManager>()});
    other.loadWithoutTimers();
    other.console->connectToDevice(port);
    ASSERT_TRUE(waitFor([&] { return other.console->vehicleInterface() != nullptr; }));
    other.console->checkForUpdates();
    ASSERT_TRUE(waitFor([&] { return !other.host->presentedErrors.empty(); }, 10s));
    const auto& presented = other.host->presentedErrors[0];
    EXPECT_TRUE(presented.asSheetOnWindow);
    EXPECT_EQ(presented.error->localizedDescription(), "Unable to check for updates.");
    EXPECT_EQ(presented.error->recoverySuggestion().value_or("").rfind(
                  "Check your internet connection and try again.\n\nTechnical Details: ", 0),
              0u);
    EXPECT_TRUE(other.console->currentModalProgressViewController() == nullptr);
}

}  // namespace
