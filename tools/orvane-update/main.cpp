// orvane-update: brings the firmware of one device, or of a bench of them, up to the announced
// version without the window. It fetches and checks the announcement once (its signature by a
// trusted key, its expiry), downloads and checks the image once (its size and SHA-256), then
// updates each device in turn with the console's own update workflow: the bootloader reset,
// bossac, and the wait for the device to come back reporting the new version. Progress goes to
// standard error; each device ends with one JSON line on standard output.
//
// Exit status: 0 every device updated and confirmed, or already current (with --check-only: each
// checked); 1 a device could not be used (or was left out after SIGINT); 2 a bad option; 3 refused
// (trust, size, SHA-256, expiry, version); 4 the check, the download or the flashing tool failed;
// 5 a device did not come back with the new version. With several devices, the largest of theirs.

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "BenchUpdate.h"
#include "StopSignals.h"
#include "ToolOptions.h"
#include "platform/GlobalQueue.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "serial/DeviceDiscovery.h"
#include "update/BossacManager.h"
#include "update/FirmwareEndpoint.h"
#include "update/HalvernServerUpdateProvider.h"
#include "update/TrustedKeys.h"

namespace {

using orvane::bench::DeviceResult;
using Json = nlohmann::ordered_json;

struct Options {
    std::string endpoint;
    std::vector<std::string> trustedKeys;
    bool allowUnsigned = false;
    bool allowOlder = false;
    bool checkOnly = false;
    std::string deviceDirectory = "/dev/";
    bool all = false;
    std::vector<std::string> devices;
};

using orvane::tools::gStopSignal;
using orvane::tools::installStopHandlers;

std::variant<Options, int> parseOptions(int argc, char** argv) {
    Options options;
    CLI::App app{
        "Updates the firmware of each Orvane vehicle interface DEVICE (or, with --all, of every device in "
        "--device-dir) to the version the firmware endpoint announces. The announcement is fetched and its "
        "minisign signature checked once, the image downloaded and checked once (its size and SHA-256); then each "
        "device in turn is reset into its bootloader, written with bossac, and followed back until it reports the "
        "new version (at most 20 s). Nothing is written when the announcement or the image is refused.\n\n"
        "Trusted keys are the minisign public keys in /etc/orvane-console/trusted-keys.d/, "
        "$XDG_CONFIG_HOME/orvane-console/trusted-keys.d/ and each --trusted-key FILE.\n\n"
        "Progress goes to standard error. Each device ends with one JSON object on a line of standard output: "
        "\"device\", \"serialNumber\", \"versionBefore\", \"versionAfter\" (null when not known), \"outcome\" "
        "(updated, current, available, refused, unusable, failed, unconfirmed or skipped) and \"reason\".\n\n"
        "Ctrl+C (SIGINT) or SIGTERM stops once the device under way is done, never in the middle of a write; the "
        "devices left are reported as skipped.\n\n"
        "Exit status: 0 every device updated and confirmed or already current (with --check-only: checked), 1 a "
        "device could not be used or was skipped, 2 a bad option, 3 refused (signature, trust, expiry, size, "
        "SHA-256, or an announced version not newer than the device's), 4 the check, the download or the flashing "
        "tool failed, 5 a device did not come back with the new version. With several devices, the largest of "
        "their statuses."};
    orvane::tools::describeTool(app, "orvane-update");
    app.add_option("--endpoint", options.endpoint,
                   "The firmware-information document to check (default: the console's endpoint, or "
                   "ORVANE_FIRMWARE_ENDPOINT when set)")
        ->type_name("URL")
        ->check(CLI::Validator(
            [](std::string& text) { return text.empty() ? std::string("is no address") : std::string(); }, ""));
    app.add_option("--trusted-key", options.trustedKeys,
                   "Also trust the minisign public key in FILE (repeatable)")
        ->type_name("FILE")
        ->check(orvane::tools::kNamesAFile)
        ->allow_extra_args(false);
    app.add_flag("--allow-unsigned", options.allowUnsigned,
                 "Let an announcement that is not signed by a trusted key through (a lab's own builds); a signature "
                 "that does not match is still refused");
    app.add_flag("--allow-older", options.allowOlder,
                 "Write the announced version also when it is not newer than a device's (a deliberate downgrade)");
    app.add_flag("--check-only", options.checkOnly,
                 "Check the announcement and read each device's version, and write nothing");
    auto* all = app.add_flag("--all", options.all, "Update every device found in --device-dir (not with DEVICE)");
    app.add_option("--device-dir", options.deviceDirectory,
                   "With --all: where to look for devices (default /dev/)")
        ->type_name("DIR")
        ->check(orvane::tools::kNamesAFile)
        ->needs(all);
    app.add_option("DEVICE", options.devices, "A device, for example /dev/ttyACM0")->type_name("")->excludes(all);
    if (auto status = orvane::tools::parseToolOptions(app, argc, argv)) return *status;
    if (!options.all && options.devices.empty()) {
        return orvane::tools::usageError(app, "name a DEVICE, or --all");
    }
    if (options.deviceDirectory.back() != '/') options.deviceDirectory += '/';
    return options;
}

// The update log on standard error; the link's warnings too, which say why a device went away.
class StandardErrorLog : public orvane::LogSink {
public:
    void write(std::string_view category, orvane::LogLevel level, std::string_view message) override {
        if (category != orvane::kUpdateLog && level < orvane::LogLevel::warning) return;
        std::string line = "orvane-update: ";
        line += message;
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
};

Json versionJson(const std::optional<orvane::Version>& version) {
    return version ? Json(version->description()) : Json(nullptr);
}

void printResult(const DeviceResult& result) {
    Json line;
    line["device"] = result.device;
    line["serialNumber"] = result.serialNumber ? Json(*result.serialNumber) : Json(nullptr);
    line["versionBefore"] = versionJson(result.versionBefore);
    line["versionAfter"] = versionJson(result.versionAfter);
    line["outcome"] = result.outcome;
    line["reason"] = result.reason.empty() ? Json(nullptr) : Json(result.reason);
    const std::string text = line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

DeviceResult updateDevice(const std::string& device, orvane::UpdateWorkflow& workflow, bool checkOnly) {
    DeviceResult result{.device = device};
    auto host = std::make_shared<orvane::bench::BenchHost>(device, checkOnly);
    std::string problem;
    if (!host->connect(problem)) {
        result.outcome = "unusable";
        result.reason = problem;
        result.status = 1;
        return result;
    }
    if (!host->serialNumber().empty()) result.serialNumber = host->serialNumber();
    result.versionBefore = host->deviceVersion();
    workflow.setHost(host);
    settle(result, host->run(workflow), checkOnly);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    auto parsed = parseOptions(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const Options& options = std::get<Options>(parsed);
    installStopHandlers();
    orvane::setLogSink(std::make_shared<StandardErrorLog>());
    orvane::MainQueue::shared().bindToCurrentThread();

    std::vector<std::string> devices = options.devices;
    if (options.all) {
        devices = orvane::scanDeviceDirectory(options.deviceDirectory);
        if (devices.empty()) {
            std::fprintf(stderr, "orvane-update: no devices found in %s\n", options.deviceDirectory.c_str());
            return 1;
        }
    }

    std::vector<std::filesystem::path> keyFiles(options.trustedKeys.begin(), options.trustedKeys.end());
    const orvane::TrustedKeys trusted = orvane::loadTrustedKeys(orvane::standardTrustedKeyDirectories(), keyFiles);
    for (const auto& problem : trusted.problems) std::fprintf(stderr, "orvane-update: %s\n", problem.c_str());
    for (const auto& key : trusted.keys) {
        std::fprintf(stderr, "orvane-update: trusting key ID %s\n", key.keyIdText().c_str());
    }
    const std::string endpoint = options.endpoint.empty() ? orvane::firmwareInformationEndpoint() : options.endpoint;

    // One check of the announcement for every device.
    std::fprintf(stderr, "orvane-update: checking %s\n", endpoint.c_str());
    const orvane::UpdateInformationResult announcement = orvane::HalvernServerUpdateProvider::fetchNow(
        endpoint, {}, orvane::FirmwareTrustPolicy{trusted.keys, options.allowUnsigned});
    auto workflow = std::make_shared<orvane::UpdateWorkflow>(
        std::make_shared<orvane::bench::FixedUpdateProvider>(announcement), std::make_shared<orvane::BossacManager>());
    workflow->setAllowsOlder(options.allowOlder);
    auto downloadOnce = std::make_shared<orvane::bench::DownloadOnce>();
    workflow->setDownloader([downloadOnce](const auto& information, const auto& downloadOptions) {
        return (*downloadOnce)(information, downloadOptions);
    });

    int status = 0;
    for (const auto& device : devices) {
        DeviceResult result;
        if (gStopSignal.load() != 0) {
            result = DeviceResult{.device = device, .outcome = "skipped", .reason = "stopped by a signal", .status = 1};
        } else {
            result = updateDevice(device, *workflow, options.checkOnly);
        }
        printResult(result);
        status = std::max(status, result.status);
    }
    // The devices' exchange loops end on workers, logging as they go: let them finish first.
    orvane::GlobalQueue::shared().waitIdle(std::chrono::seconds(10));
    return status;
}
