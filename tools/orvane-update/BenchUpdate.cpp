#include "BenchUpdate.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include "device/DeviceSerialInterface.h"
#include "platform/InformativeError.h"
#include "platform/MainQueue.h"
#include "update/UpdateInformationViewController.h"

namespace orvane::bench {

namespace {

using namespace std::chrono_literals;

// How often the run looks after its device, and how soon a failed connection is tried again.
constexpr auto kPollInterval = 100ms;
constexpr auto kRetryInterval = 500ms;

}  // namespace

void FixedUpdateProvider::fetchUpdateInformation(std::function<void(UpdateInformationResult)> completion) {
    dispatchMain([completion = std::move(completion), result = result_] { completion(result); });
}

FirmwareDownloadResult DownloadOnce::operator()(const DeviceSoftwareUpdateInformation& information,
                                                const FirmwareDownloadOptions& options) {
    std::lock_guard lock(mutex_);
    if (!result_) result_ = downloadFirmware(information, options);
    return *result_;
}

BenchHost::BenchHost(std::string path, bool checkOnly)
    : path_(std::move(path)),
      checkOnly_(checkOnly),
      connection_(std::make_shared<DeviceConnection>([this](const StatusIndication& status) {
          // Failures say why a device could not be used; the rest only repeats the log.
          lastStatus_ = status.text();
      })) {}

void BenchHost::say(const std::string& line) const {
    const std::string text = "orvane-update: " + path_ + ": " + line + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

bool BenchHost::connect(std::string& problem) {
    if (!std::filesystem::exists(path_)) {
        problem = "no such device";
        return false;
    }
    connection_->connectToDevice(path_);
    const bool answered = MainQueue::shared().runUntil(
        [&] {
            connection_->checkResponsiveness();
            const auto& session = connection_->session();
            return (session && session->isConnected() && session->version()) || connection_->isInBootloader() ||
                   (!session && !connection_->isConnecting());
        },
        std::chrono::duration_cast<std::chrono::milliseconds>(kConnectTime));
    const auto& session = connection_->session();
    if (answered && connection_->isInBootloader()) {
        say("the device is in its bootloader: it gets the announced firmware");
        return true;
    }
    if (answered && session && session->version()) {
        version_ = session->version();
        serialNumber_ = session->serialNumber();
        say("the device runs firmware " + version_->description() +
            (serialNumber_.empty() ? std::string() : ", serial number " + serialNumber_));
        return true;
    }
    problem = !session && lastStatus_ ? *lastStatus_
                                      : "it reported no firmware version within " +
                                            std::to_string(kConnectTime.count()) + " s";
    letGo();
    return false;
}

UpdateRunOutcome BenchHost::run(UpdateWorkflow& workflow) {
    if (connection_->isInBootloader()) {
        workflow.installFirmware();
    } else {
        workflow.checkForUpdates();
    }
    // The workflow's own limits (the transfer's stall, the tool's silence, the confirmation's
    // 20 s) end every run; a device is never left in the middle of a write.
    while (!outcome_) {
        MainQueue::shared().runFor(kPollInterval);
        poll();
    }
    letGo();
    return *outcome_;
}

void BenchHost::letGo() {
    bool released = false;
    connection_->disconnectIfConnected([&released] { released = true; });
    MainQueue::shared().runUntil([&] { return released; }, std::chrono::milliseconds(10000));
}

void BenchHost::setModalProgressStatusText(std::optional<std::string> text) {
    if (text) say(*text);
}

void BenchHost::setModalProgressDetailText(std::optional<std::string> text) {
    if (!text) return;
    // A line when the step changes and at every tenth of it, not at every percent.
    const std::string stage = text->substr(0, text->find_first_of(":."));
    const int tenth = progress_ ? static_cast<int>(*progress_ * 10) : -1;
    if (stage == shownStage_ && tenth == shownTenth_) return;
    shownStage_ = stage;
    shownTenth_ = tenth;
    say(*text);
}

void BenchHost::presentUpdateInformationDialog(std::function<void(UpdateInformationViewController&)> prepare) {
    auto dialog = std::make_shared<UpdateInformationViewController>();
    prepare(*dialog);
    if (const auto& information = dialog->updateInformation()) {
        say("firmware " + information->version.description() + " is announced, " +
            (information->signedBy ? "signed by key ID " + *information->signedBy : std::string("NOT SIGNED")));
    }
    // The answer a person gives in the window: here the command line gave it.
    dialog->resultHandler(checkOnly_ ? UpdateSoftwareInformationViewResult::dontUpdate
                                     : UpdateSoftwareInformationViewResult::updateNow);
}

void BenchHost::presentError(const ErrorRef& error) {
    if (!error) return;
    std::string line = error->localizedDescription();
    if (auto suggestion = error->recoverySuggestion()) line += " " + *suggestion;
    say(line);
}

void BenchHost::showAlertModalForWindow(const Alert& alert) { say(alert.messageText + " " + alert.informativeText); }

void BenchHost::disconnectDeviceFirst(std::function<void()> then) {
    connection_->disconnectIfConnected(std::move(then));
}

void BenchHost::followDevice(const std::string&, std::chrono::seconds within,
                             std::function<void(std::optional<Version>)> cameBack) {
    const auto now = std::chrono::steady_clock::now();
    follow_ = Follow{now + within, now, std::move(cameBack)};
}

void BenchHost::poll() {
    connection_->checkResponsiveness();
    if (!follow_) return;
    const auto now = std::chrono::steady_clock::now();
    const auto& session = connection_->session();
    std::optional<Version> reported;
    if (session && session->isConnected() && !connection_->isInBootloader()) reported = session->version();
    if (reported || now >= follow_->until) {
        auto cameBack = std::move(follow_->cameBack);
        follow_.reset();
        cameBack(reported);
        return;
    }
    // The device restarts on a new port under its old name: connect it once the name is there,
    // and again when a connection fails or finds the bootloader still there.
    const bool waiting = session && session->isConnected() && !connection_->isInBootloader();
    if (!waiting && !connection_->isConnecting() && now >= follow_->nextAttempt &&
        std::filesystem::exists(path_)) {
        follow_->nextAttempt = now + kRetryInterval;
        connection_->connectToDevice(path_);
    }
}

void settle(DeviceResult& result, const UpdateRunOutcome& outcome, bool checkOnly) {
    using Kind = UpdateRunOutcome::Kind;
    result.reason = outcome.reason;
    // Nothing was written unless the tool ran: the device still runs what it ran.
    result.versionAfter = result.versionBefore;
    switch (outcome.kind) {
        case Kind::completed:
            result.outcome = "updated";
            result.versionAfter = outcome.reported;
            result.status = 0;
            break;
        case Kind::current:
            result.outcome = "current";
            result.status = 0;
            break;
        case Kind::declined:
            // Only a check declines: the update is there to be made.
            result.outcome = checkOnly ? "available" : "declined";
            result.reason = checkOnly && outcome.announced ? "firmware " + outcome.announced->description() +
                                                                 " is available"
                                                           : outcome.reason;
            result.status = 0;
            break;
        case Kind::refused:
            result.outcome = "refused";
            result.status = 3;
            break;
        case Kind::checkFailed:
        case Kind::downloadFailed:
            result.outcome = "failed";
            result.status = 4;
            break;
        case Kind::flashFailed:
            result.outcome = "failed";
            result.versionAfter.reset();  // not known: the tool may have stopped half-way
            result.status = 4;
            break;
        case Kind::unconfirmed:
            result.outcome = "unconfirmed";
            result.versionAfter = outcome.reported;
            result.status = 5;
            break;
    }
}

}  // namespace orvane::bench
