#pragma once

// The window's update workflow without the window: a host that answers the workflow's questions
// for one device from the command line's choices, prints on standard error what the window would
// show, and follows the device back after it was written.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "console/DeviceConnection.h"
#include "update/DeviceUpdateProvider.h"
#include "update/FirmwareDownload.h"
#include "update/UpdateWorkflow.h"

namespace orvane::bench {

// What one device came to: its JSON line and its share of the exit status.
struct DeviceResult {
    std::string device;
    std::optional<std::string> serialNumber;
    std::optional<Version> versionBefore;
    std::optional<Version> versionAfter;
    std::string outcome;  // updated, current, available, refused, unusable, failed, unconfirmed, skipped
    std::string reason;
    int status = 0;  // 0 done, 1 not usable, 3 refused, 4 failed, 5 not confirmed
};

// Hands every run the one announcement fetched at the start.
class FixedUpdateProvider : public DeviceUpdateProvider {
public:
    explicit FixedUpdateProvider(UpdateInformationResult result) : result_(std::move(result)) {}
    void fetchUpdateInformation(std::function<void(UpdateInformationResult)> completion) override;

private:
    UpdateInformationResult result_;
};

// Downloads the announced image on its first call and hands every later call the same result, so
// a bench of devices costs one download and one check of the image.
class DownloadOnce {
public:
    FirmwareDownloadResult operator()(const DeviceSoftwareUpdateInformation& information,
                                      const FirmwareDownloadOptions& options);

private:
    std::mutex mutex_;
    std::optional<FirmwareDownloadResult> result_;
};

class BenchHost : public UpdateWorkflowHost, public std::enable_shared_from_this<BenchHost> {
public:
    // How long a device is given to connect and report its version.
    static constexpr std::chrono::seconds kConnectTime{10};

    BenchHost(std::string path, bool checkOnly);

    // Connects the device and reads what it reports; false (with the reason in `problem`) when it
    // cannot be used. A device in its bootloader is usable: it gets the announced firmware.
    bool connect(std::string& problem);
    bool inBootloader() const { return connection_->isInBootloader(); }
    std::string serialNumber() const { return serialNumber_; }

    // Runs `workflow` for this device on the main queue until it ends; then lets the device go.
    UpdateRunOutcome run(UpdateWorkflow& workflow);

    void setModalProgressStatusText(std::optional<std::string> text) override;
    void setModalProgressStatusProgress(std::optional<double> progress) override { progress_ = progress; }
    void setModalProgressDetailText(std::optional<std::string> text) override;
    void setModalProgressOutput(std::optional<std::string>) override {}
    void presentUpdateInformationDialog(std::function<void(UpdateInformationViewController&)> prepare) override;
    void dismissUpdateInformationDialog(UpdateInformationViewController&) override {}
    void presentError(const ErrorRef& error) override;
    void presentErrorModalForWindow(const ErrorRef& error) override { presentError(error); }
    void showAlertModalForWindow(const Alert& alert) override;
    bool hasDeviceSession() const override { return true; }
    std::optional<Version> deviceVersion() const override { return version_; }
    std::optional<std::string> takeSelectedDevice() override { return path_; }
    void disconnectDeviceFirst(std::function<void()> then) override;
    void followDevice(const std::string& path, std::chrono::seconds within,
                      std::function<void(std::optional<Version>)> cameBack) override;
    void updateRunEnded(const UpdateRunOutcome& outcome) override { outcome_ = outcome; }

private:
    void say(const std::string& line) const;
    // Looks after the device the workflow waits for: connects it once it is back, and tells the
    // workflow what it reports.
    void poll();
    void letGo();

    const std::string path_;
    const bool checkOnly_;
    std::shared_ptr<DeviceConnection> connection_;
    std::optional<Version> version_;
    std::string serialNumber_;
    std::optional<std::string> lastStatus_;
    std::optional<UpdateRunOutcome> outcome_;
    std::optional<double> progress_;
    std::string shownStage_;
    int shownTenth_ = -1;

    struct Follow {
        std::chrono::steady_clock::time_point until;
        std::chrono::steady_clock::time_point nextAttempt;
        std::function<void(std::optional<Version>)> cameBack;
    };
    std::optional<Follow> follow_;
};

// The JSON line and exit status of a device whose run ended with `outcome`.
void settle(DeviceResult& result, const UpdateRunOutcome& outcome, bool checkOnly);

}  // namespace orvane::bench
