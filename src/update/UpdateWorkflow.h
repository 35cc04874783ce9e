#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/Version.h"
#include "platform/Error.h"
#include "platform/Translation.h"
#include "platform/ViewControllerBase.h"
#include "update/DeviceUpdateProvider.h"
#include "update/FirmwareDownload.h"
#include "update/FlashingToolOutput.h"

namespace orvane {

class BossacManager;
class UpdateInformationViewController;

// A failure of one step of the flash, as the closing alert reports it: names the step, carries
// the flasher's error and the tool's output (the alert's details).
class FlashingStepError : public Error {
public:
    FlashingStepError(std::string stage, ErrorRef underlying, std::string output)
        : stage_(std::move(stage)), underlying_(std::move(underlying)), output_(std::move(output)) {}
    std::string localizedDescription() const override {
        return withArgs(translate("FlashingStepError", "%1 failed: %2"), stage_,
                        underlying_ ? underlying_->localizedDescription() : std::string());
    }
    const std::string& stage() const { return stage_; }
    std::optional<std::string> detailedText() const override {
        if (output_.empty()) return std::nullopt;
        return output_;
    }
    std::string domain() const override { return underlying_ ? underlying_->domain() : "UpdateWorkflow"; }
    long code() const override { return underlying_ ? underlying_->code() : 0; }
    const ErrorRef& underlying() const { return underlying_; }

private:
    std::string stage_;
    ErrorRef underlying_;
    std::string output_;
};

// How a run of the update workflow ended, for a host that acts on it (the headless updater).
struct UpdateRunOutcome {
    enum class Kind {
        current,         // the device runs the announced version already
        declined,        // the dialog was answered "Don't Update"
        refused,         // the announcement, its image or its version was refused: nothing was written
        checkFailed,     // the announcement could not be fetched
        downloadFailed,  // the image could not be fetched or stored
        flashFailed,     // the flashing tool failed, or there was no device to write
        unconfirmed,     // written, but the device did not come back with the announced version
        completed,       // written, and the device came back reporting the announced version
    };
    Kind kind = Kind::checkFailed;
    std::optional<Version> announced;
    // The version the device reported after it was written; none when it did not come back.
    std::optional<Version> reported;
    // Why the run did not complete, in one line; empty when it completed or had nothing to do.
    std::string reason;
};

// What the update workflow needs from the window it runs in: the modal progress sheet, the
// update dialog, alerts and errors, and the device it updates. The console implements it.
class UpdateWorkflowHost {
public:
    virtual ~UpdateWorkflowHost() = default;

    // Setting a text shows or updates the modal progress sheet, clearing it dismisses the sheet;
    // no progress value makes the sheet's bar indeterminate.
    virtual void setModalProgressStatusText(std::optional<std::string> text) = 0;
    virtual void setModalProgressStatusProgress(std::optional<double> progress) = 0;
    // A line under the sheet's text that names the step, and the flashing tool's output in the
    // sheet's details area; none clears them.
    virtual void setModalProgressDetailText(std::optional<std::string> text) = 0;
    virtual void setModalProgressOutput(std::optional<std::string> output) = 0;

    // Presents the update dialog; `prepare` receives it before it is shown.
    virtual void presentUpdateInformationDialog(std::function<void(UpdateInformationViewController&)> prepare) = 0;
    virtual void dismissUpdateInformationDialog(UpdateInformationViewController& dialog) = 0;

    virtual void presentError(const ErrorRef& error) = 0;                // application-modal
    virtual void presentErrorModalForWindow(const ErrorRef& error) = 0;  // as a sheet
    virtual void showAlertModalForWindow(const Alert& alert) = 0;        // as a sheet, no completion

    // Whether the console has a device session, and the firmware version that session reported.
    virtual bool hasDeviceSession() const = 0;
    virtual std::optional<Version> deviceVersion() const = 0;

    // Takes the selected device's path and clears the selection.
    virtual std::optional<std::string> takeSelectedDevice() = 0;
    // Ends a connected session ("Disconnecting from vehicle...", then "Disconnected") and calls
    // `then` on the main queue; with no connected session calls `then` at once.
    virtual void disconnectDeviceFirst(std::function<void()> then) = 0;
    // The firmware was written into the device at `path`, which restarts into it: the console
    // follows it back and connects it (so the new version shows unasked), and calls `cameBack`
    // once, on the main queue, with the version the device then reports, or with none when it
    // did not come back running firmware within `within`.
    virtual void followDevice(const std::string& path, std::chrono::seconds within,
                              std::function<void(std::optional<Version>)> cameBack) = 0;

    // Every run ends here once, after its closing alert or error (if any) was presented.
    virtual void updateRunEnded(const UpdateRunOutcome& /*outcome*/) {}
};

// The firmware-update workflow: check, dialog, download, disconnect, flash, closing alert. Each
// step after the first starts from the completion of the one before; every step runs on the main
// queue except the fetch, the download, the disconnect and the flash. It owns the update provider
// and the flasher, and reaches the console only through its host, which it holds weakly.
//
// Create it with std::make_shared: its asynchronous steps hold it weakly.
class UpdateWorkflow : public std::enable_shared_from_this<UpdateWorkflow> {
public:
    UpdateWorkflow(std::shared_ptr<DeviceUpdateProvider> provider, std::shared_ptr<BossacManager> bossac);

    void setHost(std::weak_ptr<UpdateWorkflowHost> host) { host_ = std::move(host); }

    // Fetches and checks the announced image; it runs on the global queue. downloadFirmware unless
    // changed (the headless updater downloads once for all its devices).
    using Downloader =
        std::function<FirmwareDownloadResult(const DeviceSoftwareUpdateInformation&, const FirmwareDownloadOptions&)>;
    void setDownloader(Downloader downloader) { downloader_ = std::move(downloader); }

    // A deliberate downgrade: an announced version that is not newer than the device's (and not
    // the same) is offered instead of refused.
    void setAllowsOlder(bool allows) { allowsOlder_ = allows; }

    // The steps a user sees on the progress sheet, in order.
    enum class Stage { checking, downloading, resetting, erasing, writing, verifying, finishing, confirming };
    // How long a device that was written is waited for to come back with its new version.
    static constexpr std::chrono::seconds kConfirmationTime{20};
    static std::string stageName(Stage stage);

    // The entry, "Check for Update": does nothing without a device session.
    void checkForUpdates();
    // The entry for a device in its bootloader, "Install Firmware": fetches the announced
    // firmware and goes straight to its download and flash, with no version to compare, no
    // dialog and no reset into the bootloader. Does nothing without a device session.
    void installFirmware();

    DeviceUpdateProvider& updateProvider() { return *_updateProvider; }
    BossacManager& bossac() { return *_bossac; }

private:
    void fetchUpdateInformation();
    void didReceiveUpdateInformation(const UpdateInformationResult& result);
    void download(const DeviceSoftwareUpdateInformation& information);
    void prepareUpdateInformationDialog(UpdateInformationViewController& dialog,
                                        const DeviceSoftwareUpdateInformation& information);
    void didDownloadUpdate(const std::string& file, const ErrorRef& error);
    void flashFirmware(const std::optional<std::string>& devicePath, const std::string& file);
    void didFinishFlashing(const ErrorRef& error);
    void didComeBack(const std::optional<Version>& reported);
    void endRun();
    void reportEnd(UpdateRunOutcome::Kind kind, std::string reason = {}, std::optional<Version> reported = {});
    void showStage(Stage stage, std::optional<double> fraction);
    void didReceiveToolOutput(const std::string& chunk);
    void didReceiveFlashingProgress(const FlashingProgress& progress);

    std::shared_ptr<DeviceUpdateProvider> _updateProvider;
    std::shared_ptr<BossacManager> _bossac;
    std::weak_ptr<UpdateWorkflowHost> host_;
    Downloader downloader_;
    bool allowsOlder_ = false;

    // The run under way: its stage, the percentage last shown, the tool's output so far.
    Stage stage_ = Stage::checking;
    // Whether the run installs firmware into a device in its bootloader.
    bool installing_ = false;
    std::optional<std::string> flashedPath_;  // the device of the flash under way
    std::optional<Version> announced_;        // the version announced in this run
    std::optional<int> shownPercent_;
    TerminalTranscript toolOutput_;
};

}  // namespace orvane
