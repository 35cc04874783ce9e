#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/Version.h"
#include "platform/Error.h"
#include "platform/ViewControllerBase.h"
#include "update/DeviceUpdateProvider.h"

namespace orvane {

class BossacManager;
class UpdateInformationViewController;

// What the update workflow needs from the window it runs in: the modal progress sheet, the
// update dialog, alerts and errors, and the device it updates. The console implements it.
class UpdateWorkflowHost {
public:
    virtual ~UpdateWorkflowHost() = default;

    // Setting a text shows or updates the modal progress sheet, clearing it dismisses the sheet;
    // no progress value makes the sheet's bar indeterminate.
    virtual void setModalProgressStatusText(std::optional<std::string> text) = 0;
    virtual void setModalProgressStatusProgress(std::optional<double> progress) = 0;

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

    // The entry, "Check for Update": does nothing without a device session.
    void checkForUpdates();

    DeviceUpdateProvider& updateProvider() { return *_updateProvider; }
    BossacManager& bossac() { return *_bossac; }

private:
    void didReceiveUpdateInformation(const UpdateInformationResult& result);
    void prepareUpdateInformationDialog(UpdateInformationViewController& dialog,
                                        const DeviceSoftwareUpdateInformation& information);
    void didDownloadUpdate(const std::string& file, const ErrorRef& error);
    void flashFirmware(const std::optional<std::string>& devicePath, const std::string& file);
    void didFinishFlashing(const ErrorRef& error);

    std::shared_ptr<DeviceUpdateProvider> _updateProvider;
    std::shared_ptr<BossacManager> _bossac;
    std::weak_ptr<UpdateWorkflowHost> host_;
};

}  // namespace orvane
