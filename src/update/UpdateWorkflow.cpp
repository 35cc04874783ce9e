// The firmware-update workflow of the console: check, dialog, download, disconnect, flash,
// closing alert. Every step after the first starts from the completion of the one before; all
// steps run on the main queue except the download, the disconnect and the flash.

#include <variant>

#include "app/InformativeError.h"
#include "app/MasterViewController.h"
#include "app/SeguePresentation.h"
#include "console/ViewController.h"
#include "device/DeviceSerialInterface.h"
#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "update/BossacManager.h"
#include "update/FirmwareDownload.h"
#include "update/UpdateInformationViewController.h"

namespace orvane {

namespace {

constexpr const char* kFirmwareUpdateIcon = "FirmwareUpdate";

// The error behind the flashing alert when the device was deselected or unplugged while the
// dialog or the download was up.
class NoDeviceSelectedError : public Error {
public:
    std::string localizedDescription() const override {
        return "No device was selected when the firmware was ready to be written. Select the device in the "
               "device list and check for the update again.";
    }
    std::string domain() const override { return "UpdateWorkflow.NoDeviceSelectedError"; }
};

}  // namespace

void ViewController::checkForUpdates() {
    if (!_vehicleInterface) return;
    setModalProgressStatusText(std::string("Checking for Updates..."));
    setModalProgressStatusProgress(std::nullopt);
    auto weak = weakSelf();
    _updateProvider->fetchUpdateInformation([weak](UpdateInformationResult result) {
        if (auto self = weak.lock()) self->didReceiveUpdateInformation(result);
    });
}

void ViewController::didReceiveUpdateInformation(const UpdateInformationResult& result) {
    setModalProgressStatusText(std::nullopt);
    if (const auto* error = std::get_if<ErrorRef>(&result)) {
        presentErrorModalForWindow(std::make_shared<InformativeError>(
            "Unable to check for updates.", "Check your internet connection and try again.", *error));
        return;
    }
    const auto& information = std::get<DeviceSoftwareUpdateInformation>(result);
    std::optional<Version> reported = _vehicleInterface ? _vehicleInterface->version() : std::nullopt;
    const Version deviceVersion = reported.value_or(Version(0, 0, 0, 0));

    if (information.version.hasGreaterComponent(deviceVersion)) {
        auto weak = weakSelf();
        performSegueWithHandler<UpdateInformationViewController>(
            *this, SoftwareUpdateInformationSegue, [weak, information](UpdateInformationViewController& dialog) {
                if (auto self = weak.lock()) self->prepareUpdateInformationDialog(dialog, information);
            });
    } else {
        showAlert({"No software update is available.", "Your device is already running the latest version.",
                   kFirmwareUpdateIcon},
                  true, [] {});
    }
}

void ViewController::prepareUpdateInformationDialog(UpdateInformationViewController& dialog,
                                                    const DeviceSoftwareUpdateInformation& information) {
    dialog.setUpdateInformation(information);
    auto weak = weakSelf();
    auto weakDialog = std::weak_ptr<PlatformViewController>(dialog.shared_from_this());
    dialog.resultHandler = [weak, weakDialog, information](UpdateSoftwareInformationViewResult answer) {
        auto self = weak.lock();
        if (!self) return;
        if (auto shown = weakDialog.lock()) self->dismissViewController(*shown);
        if (answer == UpdateSoftwareInformationViewResult::dontUpdate) return;

        self->setModalProgressStatusText(std::string("Downloading software..."));
        self->setModalProgressStatusProgress(std::nullopt);
        dispatchGlobal([weak, information] {
            FirmwareDownloadResult download = downloadFirmware(information);
            dispatchMain([weak, download] {
                auto console = weak.lock();
                if (!console) return;
                if (const auto* error = std::get_if<ErrorRef>(&download)) {
                    console->didDownloadUpdate({}, *error);
                } else {
                    console->didDownloadUpdate(std::get<std::filesystem::path>(download).string(), nullptr);
                }
            });
        });
    };
}

void ViewController::didDownloadUpdate(const std::string& file, const ErrorRef& error) {
    if (error) {
        setModalProgressStatusText(std::nullopt);
        presentError(std::make_shared<InformativeError>("The software update file could not be downloaded.",
                                                        "Make sure you're connected to the internet, and try again.",
                                                        error));
        return;
    }
    setModalProgressStatusText(std::string("Flashing new firmware to device..."));
    setModalProgressStatusProgress(std::nullopt);

    auto weak = weakSelf();
    _bossac->completionHandler = [weak](ErrorRef outcome) {
        if (auto self = weak.lock()) self->didFinishFlashing(outcome);
    };

    const std::optional<std::string> devicePath = selectedDevice_;
    setSelectedDevice(std::nullopt);

    if (_vehicleInterface && _vehicleInterface->isConnected()) {
        disconnectFirst([weak, devicePath, file] {
            if (auto self = weak.lock()) self->flashFirmware(devicePath, file);
        });
    } else {
        flashFirmware(devicePath, file);
    }
}

void ViewController::flashFirmware(const std::optional<std::string>& devicePath, const std::string& file) {
    if (!devicePath) {
        // Nothing to write to: end with the flashing alert instead of running the tool.
        didFinishFlashing(std::make_shared<NoDeviceSelectedError>());
        return;
    }
    auto bossac = _bossac;
    dispatchGlobal([bossac, port = *devicePath, file] { bossac->flash(port, file); });
}

void ViewController::didFinishFlashing(const ErrorRef& error) {
    setModalProgressStatusText(std::nullopt);
    _bossac->logOutputHandler = nullptr;
    _bossac->completionHandler = nullptr;
    if (error) {
        presentError(std::make_shared<InformativeError>(
            "Failed to flash the firmware update.",
            "Disconnect and reconnect the device's USB connection and try again.", error));
    } else {
        showAlert({"The firmware update completed.",
                   "Your device should reappear in the device list.  If the status indicator on the device is "
                   "not pulsing or flashing, disconnect and reconnect the device.",
                   kFirmwareUpdateIcon},
                  true, [] {});
    }
}

}  // namespace orvane
