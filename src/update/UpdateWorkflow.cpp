#include "update/UpdateWorkflow.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <utility>
#include <variant>

#include "platform/GlobalQueue.h"
#include "platform/InformativeError.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Translation.h"
#include "update/BossacManager.h"
#include "update/FirmwareDownload.h"
#include "update/FirmwareTrust.h"
#include "update/UpdateInformationViewController.h"

namespace orvane {

namespace {

constexpr const char* kFirmwareUpdateIcon = "FirmwareUpdate";

// The error behind the flashing alert when the device was deselected or unplugged while the
// dialog or the download was up.
class NoDeviceSelectedError : public Error {
public:
    std::string localizedDescription() const override {
        return translate("UpdateWorkflow",
                         "No device was selected when the firmware was ready to be written. Select the device in the "
                         "device list and check for the update again.");
    }
    std::string domain() const override { return "UpdateWorkflow.NoDeviceSelectedError"; }
};

}  // namespace

std::string UpdateWorkflow::stageName(Stage stage) {
    switch (stage) {
        case Stage::checking: return translate("UpdateWorkflow", "Checking for the update");
        case Stage::downloading: return translate("UpdateWorkflow", "Downloading the firmware");
        case Stage::resetting: return translate("UpdateWorkflow", "Resetting the device into its bootloader");
        case Stage::erasing: return translate("UpdateWorkflow", "Erasing the device's flash");
        case Stage::writing: return translate("UpdateWorkflow", "Writing the firmware");
        case Stage::verifying: return translate("UpdateWorkflow", "Verifying the firmware");
        case Stage::finishing: return translate("UpdateWorkflow", "Setting the device to start the new firmware");
        case Stage::confirming: return translate("UpdateWorkflow", "Waiting for the device to report the new version");
    }
    return translate("UpdateWorkflow", "Updating");
}

void UpdateWorkflow::showStage(Stage stage, std::optional<double> fraction) {
    auto host = host_.lock();
    if (!host) return;
    const std::optional<int> percent = fraction ? std::optional<int>(static_cast<int>(*fraction * 100)) : std::nullopt;
    if (stage == stage_ && percent == shownPercent_) return;
    if (stage != stage_) logInfo(kUpdateLog, stageName(stage));
    stage_ = stage;
    shownPercent_ = percent;
    host->setModalProgressStatusProgress(fraction);
    host->setModalProgressDetailText(
        percent ? withArgs(translate("UpdateWorkflow", "%1: %2%"), stageName(stage), std::to_string(*percent))
                : withArgs(translate("UpdateWorkflow", "%1..."), stageName(stage)));
}

UpdateWorkflow::UpdateWorkflow(std::shared_ptr<DeviceUpdateProvider> provider, std::shared_ptr<BossacManager> bossac)
    : _updateProvider(std::move(provider)), _bossac(std::move(bossac)) {}

void UpdateWorkflow::checkForUpdates() {
    auto host = host_.lock();
    if (!host || !host->hasDeviceSession()) return;
    logInfo(kUpdateLog, "Checking for a firmware update");
    installing_ = false;
    fetchUpdateInformation();
}

void UpdateWorkflow::installFirmware() {
    auto host = host_.lock();
    if (!host || !host->hasDeviceSession()) return;
    logInfo(kUpdateLog, "Installing the latest firmware into the device's bootloader");
    installing_ = true;
    fetchUpdateInformation();
}

void UpdateWorkflow::fetchUpdateInformation() {
    auto host = host_.lock();
    if (!host) return;
    host->setModalProgressStatusText(translate("UpdateWorkflow", "Checking for Updates..."));
    host->setModalProgressStatusProgress(std::nullopt);
    auto weak = weak_from_this();
    _updateProvider->fetchUpdateInformation([weak](UpdateInformationResult result) {
        if (auto self = weak.lock()) self->didReceiveUpdateInformation(result);
    });
}

void UpdateWorkflow::didReceiveUpdateInformation(const UpdateInformationResult& result) {
    auto host = host_.lock();
    if (!host) return;
    host->setModalProgressStatusText(std::nullopt);
    if (const auto* error = std::get_if<ErrorRef>(&result)) {
        installing_ = false;
        announced_.reset();
        // A refusal is no failure to check: what was announced must not be written, and why.
        if (const auto* refusal = dynamic_cast<const FirmwareRefusedError*>(error->get())) {
            logWarning(kUpdateLog, refusal->localizedDescription());
            host->presentErrorModalForWindow(std::make_shared<InformativeError>(
                translate("UpdateWorkflow", "The announced firmware was refused."),
                withArgs(translate("UpdateWorkflow", "Nothing was written to the device: %1."), refusal->reason()),
                *error));
            reportEnd(UpdateRunOutcome::Kind::refused, refusal->reason());
            return;
        }
        const std::string reason = *error ? (*error)->localizedDescription() : std::string();
        logWarning(kUpdateLog, "The check for an update failed: " + reason);
        host->presentErrorModalForWindow(std::make_shared<InformativeError>(
            translate("UpdateWorkflow", "Unable to check for updates."),
            translate("UpdateWorkflow", "Check your internet connection and try again."), *error));
        reportEnd(UpdateRunOutcome::Kind::checkFailed, reason);
        return;
    }
    const auto& information = std::get<DeviceSoftwareUpdateInformation>(result);
    announced_ = information.version;
    const Version deviceVersion = host->deviceVersion().value_or(Version(0, 0, 0, 0));
    if (installing_) {
        // No firmware runs: whatever is announced is what to install, once the person has seen
        // the version and its notes and said so.
        logInfo(kUpdateLog, "Announced firmware " + information.version.description() + ", to be installed");
    } else {
        logInfo(kUpdateLog, "Announced firmware " + information.version.description() + ", the device runs " +
                                deviceVersion.description());
    }
    const bool newer = information.version.hasGreaterComponent(deviceVersion);
    const bool downgrade = !newer && allowsOlder_ && information.version != deviceVersion;
    if (downgrade && !installing_) logWarning(kUpdateLog, "Offering an older version, as asked");
    if (installing_ || newer || downgrade) {
        auto weak = weak_from_this();
        host->presentUpdateInformationDialog([weak, information](UpdateInformationViewController& dialog) {
            if (auto self = weak.lock()) self->prepareUpdateInformationDialog(dialog, information);
        });
        return;
    }
    host->showAlertModalForWindow({translate("UpdateWorkflow", "No software update is available."),
                                   translate("UpdateWorkflow", "Your device is already running the latest version."),
                                   kFirmwareUpdateIcon});
    if (information.version == deviceVersion) {
        reportEnd(UpdateRunOutcome::Kind::current);
    } else {
        reportEnd(UpdateRunOutcome::Kind::refused, "the announced version " + information.version.description() +
                                                       " is not newer than the device's " +
                                                       deviceVersion.description());
    }
}

void UpdateWorkflow::prepareUpdateInformationDialog(UpdateInformationViewController& dialog,
                                                    const DeviceSoftwareUpdateInformation& information) {
    dialog.setUpdateInformation(information);
    auto weak = weak_from_this();
    auto weakDialog = std::weak_ptr<PlatformViewController>(dialog.shared_from_this());
    dialog.resultHandler = [weak, weakDialog, information](UpdateSoftwareInformationViewResult answer) {
        auto self = weak.lock();
        auto host = self ? self->host_.lock() : nullptr;
        if (!host) return;
        if (auto shown = weakDialog.lock()) {
            host->dismissUpdateInformationDialog(static_cast<UpdateInformationViewController&>(*shown));
        }
        if (answer == UpdateSoftwareInformationViewResult::dontUpdate) {
            logInfo(kUpdateLog, "Update declined");
            self->installing_ = false;
            self->reportEnd(UpdateRunOutcome::Kind::declined);
            return;
        }
        self->download(information);
    };
}

void UpdateWorkflow::download(const DeviceSoftwareUpdateInformation& information) {
    auto host = host_.lock();
    if (!host) return;
    logInfo(kUpdateLog, "Downloading " + information.downloadURL);
    host->setModalProgressStatusText(translate("UpdateWorkflow", "Downloading software..."));
    host->setModalProgressStatusProgress(std::nullopt);
    showStage(Stage::downloading, std::nullopt);
    auto weak = weak_from_this();
    Downloader downloader = downloader_ ? downloader_ : Downloader(downloadFirmware);
    dispatchGlobal([weak, information, downloader] {
        // The bar follows the bytes of the announced length; the sheet hears of each whole
        // percent once.
        FirmwareDownloadOptions options;
        int lastPercent = -1;
        options.transfer.progress = [weak, &lastPercent](std::uint64_t received,
                                                         std::optional<std::uint64_t> announced) {
            if (!announced || *announced == 0) return;
            const double fraction = std::min(1.0, static_cast<double>(received) / static_cast<double>(*announced));
            const int percent = static_cast<int>(fraction * 100);
            if (percent == lastPercent) return;
            lastPercent = percent;
            dispatchMain([weak, fraction] {
                if (auto workflow = weak.lock(); workflow && workflow->stage_ == Stage::downloading) {
                    workflow->showStage(Stage::downloading, fraction);
                }
            });
        };
        FirmwareDownloadResult download = downloader(information, options);
        dispatchMain([weak, download] {
            auto workflow = weak.lock();
            if (!workflow) return;
            if (const auto* error = std::get_if<ErrorRef>(&download)) {
                workflow->didDownloadUpdate({}, *error);
            } else {
                workflow->didDownloadUpdate(std::get<std::filesystem::path>(download).string(), nullptr);
            }
        });
    });
}

void UpdateWorkflow::didDownloadUpdate(const std::string& file, const ErrorRef& error) {
    auto host = host_.lock();
    if (!host) return;
    if (error) {
        host->setModalProgressDetailText(std::nullopt);
        endRun();
        // An image that is not the one announced is refused, like an announcement that is not trusted.
        if (const auto* refusal = dynamic_cast<const FirmwareRefusedError*>(error.get())) {
            logWarning(kUpdateLog, refusal->localizedDescription());
            host->presentError(std::make_shared<InformativeError>(
                translate("UpdateWorkflow", "The announced firmware was refused."),
                withArgs(translate("UpdateWorkflow", "Nothing was written to the device: %1."), refusal->reason()),
                error));
            reportEnd(UpdateRunOutcome::Kind::refused, refusal->reason());
            return;
        }
        logWarning(kUpdateLog, "The download failed: " + error->localizedDescription());
        host->presentError(std::make_shared<InformativeError>(
            translate("UpdateWorkflow", "The software update file could not be downloaded."),
            translate("UpdateWorkflow", "Make sure you're connected to the internet, and try again."), error));
        reportEnd(UpdateRunOutcome::Kind::downloadFailed, error->localizedDescription());
        return;
    }
    host->setModalProgressStatusText(translate("UpdateWorkflow", "Flashing new firmware to device..."));
    host->setModalProgressStatusProgress(std::nullopt);
    toolOutput_ = TerminalTranscript();
    host->setModalProgressOutput(std::string());
    // A device in its bootloader needs no reset: the tool erases first.
    showStage(installing_ ? Stage::erasing : Stage::resetting, std::nullopt);

    auto weak = weak_from_this();
    _bossac->completionHandler = [weak](ErrorRef outcome) {
        if (auto self = weak.lock()) self->didFinishFlashing(outcome);
    };
    _bossac->logOutputHandler = [weak](const std::string& chunk) {
        if (auto self = weak.lock()) self->didReceiveToolOutput(chunk);
    };
    _bossac->progressHandler = [weak](const FlashingProgress& progress) {
        if (auto self = weak.lock()) self->didReceiveFlashingProgress(progress);
    };

    const std::optional<std::string> devicePath = host->takeSelectedDevice();
    host->disconnectDeviceFirst([weak, devicePath, file] {
        if (auto self = weak.lock()) self->flashFirmware(devicePath, file);
    });
}

void UpdateWorkflow::flashFirmware(const std::optional<std::string>& devicePath, const std::string& file) {
    if (!devicePath) {
        // Nothing to write to: end with the flashing alert instead of running the tool.
        didFinishFlashing(std::make_shared<NoDeviceSelectedError>());
        return;
    }
    flashedPath_ = devicePath;
    auto bossac = _bossac;
    const auto device =
        installing_ ? BossacManager::DeviceState::inBootloader : BossacManager::DeviceState::runningFirmware;
    dispatchGlobal([bossac, port = *devicePath, file, device] { bossac->flash(port, file, device); });
}

void UpdateWorkflow::didReceiveToolOutput(const std::string& chunk) {
    toolOutput_.append(chunk);
    if (auto host = host_.lock()) host->setModalProgressOutput(toolOutput_.text());
}

void UpdateWorkflow::didReceiveFlashingProgress(const FlashingProgress& progress) {
    switch (progress.stage) {
        case FlashingProgress::Stage::erasing: showStage(Stage::erasing, progress.fraction); break;
        case FlashingProgress::Stage::writing: showStage(Stage::writing, progress.fraction); break;
        case FlashingProgress::Stage::verifying: showStage(Stage::verifying, progress.fraction); break;
        case FlashingProgress::Stage::finishing: showStage(Stage::finishing, progress.fraction); break;
    }
}

void UpdateWorkflow::didFinishFlashing(const ErrorRef& error) {
    _bossac->logOutputHandler = nullptr;
    _bossac->completionHandler = nullptr;
    _bossac->progressHandler = nullptr;
    const std::string output = toolOutput_.text();
    const Stage stage = stage_;
    if (!output.empty()) logInfo(kUpdateLog, "The flashing tool printed:\n" + output);
    const std::optional<std::string> flashed = std::exchange(flashedPath_, std::nullopt);
    auto host = host_.lock();
    if (!error && flashed && host) {
        // The tool's word is not the device's: the update is complete once the device has come
        // back and reports the version written.
        logInfo(kUpdateLog, "The flashing tool finished; waiting for the device to come back");
        showStage(Stage::confirming, std::nullopt);
        auto weak = weak_from_this();
        host->followDevice(*flashed, kConfirmationTime, [weak](std::optional<Version> reported) {
            if (auto self = weak.lock()) self->didComeBack(reported);
        });
        return;
    }
    if (error) logWarning(kUpdateLog, stageName(stage) + " failed: " + error->localizedDescription());
    endRun();
    if (!host) return;
    ErrorRef failure = error ? error : std::make_shared<NoDeviceSelectedError>();
    if (!dynamic_cast<const NoDeviceSelectedError*>(failure.get())) {
        failure = std::make_shared<FlashingStepError>(stageName(stage), failure, output);
    }
    host->presentError(std::make_shared<InformativeError>(
        translate("UpdateWorkflow", "Failed to flash the firmware update."),
        translate("UpdateWorkflow", "Disconnect and reconnect the device's USB connection and try again."), failure));
    reportEnd(UpdateRunOutcome::Kind::flashFailed, failure->localizedDescription());
}

void UpdateWorkflow::didComeBack(const std::optional<Version>& reported) {
    const std::string output = toolOutput_.text();
    const Version announced = announced_.value_or(Version());
    endRun();
    auto host = host_.lock();
    if (!host) return;
    if (reported && *reported == announced) {
        logInfo(kUpdateLog, "The firmware update completed: the device reports " + reported->description());
        Alert alert{translate("UpdateWorkflow", "The firmware update completed."),
                    withArgs(translate("UpdateWorkflow",
                                       "Your device should reappear in the device list.  If the status indicator on "
                                       "the device is not pulsing or flashing, disconnect and reconnect the device. "
                                       "The device now reports %1."),
                             reported->description()),
                    kFirmwareUpdateIcon};
        if (!output.empty()) alert.detailedText = output;
        host->showAlertModalForWindow(alert);
        reportEnd(UpdateRunOutcome::Kind::completed, {}, reported);
        return;
    }
    const std::string what =
        reported ? withArgs(translate("UpdateWorkflow", "The device came back reporting version %1, not %2."),
                            reported->description(), announced.description())
                 : withArgs(translate("UpdateWorkflow", "The device did not come back running firmware within %1 s."),
                            std::to_string(kConfirmationTime.count()));
    logWarning(kUpdateLog, "The firmware update was not confirmed: " + what);
    host->presentError(std::make_shared<InformativeError>(
        translate("UpdateWorkflow", "The firmware update was not confirmed."),
        withArgs(translate("UpdateWorkflow",
                           "%1 Check for Update again; a device left in its bootloader is recovered with Install "
                           "Firmware."),
                 what),
        std::make_shared<PlatformError>("orvane.UpdateWorkflow", 0, what)));
    reportEnd(UpdateRunOutcome::Kind::unconfirmed, what, reported);
}

void UpdateWorkflow::endRun() {
    stage_ = Stage::checking;
    shownPercent_.reset();
    installing_ = false;
    if (auto host = host_.lock()) {
        host->setModalProgressStatusText(std::nullopt);
        host->setModalProgressDetailText(std::nullopt);
        host->setModalProgressOutput(std::nullopt);
    }
}

void UpdateWorkflow::reportEnd(UpdateRunOutcome::Kind kind, std::string reason, std::optional<Version> reported) {
    UpdateRunOutcome outcome{kind, announced_, std::move(reported), std::move(reason)};
    announced_.reset();
    if (auto host = host_.lock()) host->updateRunEnded(outcome);
}

}  // namespace orvane
