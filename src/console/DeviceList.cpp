#include "console/DeviceList.h"

#include <algorithm>

#include "console/DeviceConnection.h"
#include "console/PopupEntries.h"
#include "device/DeviceSerialInterface.h"
#include "platform/Log.h"
#include "platform/Translation.h"
#include "serial/DeviceDiscovery.h"

namespace orvane {

namespace {

bool contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

DeviceList::DeviceList(Configuration configuration, std::shared_ptr<DeviceConnection> connection,
                       std::function<void()> selectionChanged)
    : configuration_(std::move(configuration)),
      connection_(std::move(connection)),
      selectionChanged_(std::move(selectionChanged)) {
    if (configuration_.deviceDirectory.empty() || configuration_.deviceDirectory.back() != '/') {
        configuration_.deviceDirectory += '/';
    }
}

void DeviceList::scan() { setDevices(scanDeviceDirectory(configuration_.deviceDirectory)); }

void DeviceList::setDevices(std::vector<std::string> devices) {
    const std::vector<std::string> previous = std::exchange(devices_, std::move(devices));
    const PopupButton* popup = configuration_.popup.get();
    if (devices_ != previous || !popup || popup->numberOfItems() < 1) rebuild(previous);
    if (preselect_ && contains(devices_, *preselect_)) {
        if (!selectedDevice_ && !connection_->session() && !connection_->isConnecting()) setSelectedDevice(preselect_);
        preselect_.reset();
    }
    // A link to the device to reconnect that ended by itself while the device stays listed (noise
    // on the line, a failed write, a reset that put another port behind the same name): it is
    // connected again like a device coming back, tried at each scan until it answers.
    const auto reconnect = reconnectDevice();
    if (reconnect && !followed_ && connection_->lostPath() == reconnect && contains(devices_, *reconnect)) {
        logInfo(kConsoleLog, "The link to " + *reconnect + " ended while it is listed: connecting it again");
        follow(*reconnect, kReconnectTime);
    }
    connectFollowed();
}

void DeviceList::rememberLastDevice(std::string path) {
    lastConnectedDevice_ = path;
    preselect_ = std::move(path);
}

void DeviceList::follow(std::string path, std::chrono::seconds within) {
    followed_ = std::move(path);
    followUntil_ = std::chrono::steady_clock::now() + within;
}

void DeviceList::connectFollowed() {
    if (!followed_) return;
    const auto& session = connection_->session();
    if (session && session->isConnected() && session->path() == *followed_) {
        followed_.reset();
        return;
    }
    if (std::chrono::steady_clock::now() > followUntil_) {
        logWarning(kConsoleLog, *followed_ + " did not come back: choose it again once it is listed");
        followed_.reset();
        return;
    }
    if (!session && !connection_->isConnecting() && contains(devices_, *followed_)) {
        logInfo(kConsoleLog, "Connecting " + *followed_ + " again, which is listed");
        setSelectedDevice(followed_);
        connection_->connectToDevice(selectedDevice_);
    }
}

void DeviceList::rebuild(const std::vector<std::string>& previous) {
    PopupButton* popup = configuration_.popup.get();

    if (popup) {
        popup->removeAllItems();
        if (!devices_.empty()) {
            popup->addItemWithTitle(
                withArgs(translate("DeviceList", "Discovered %1 devices."), std::to_string(devices_.size())));
        } else {
            const std::string none = translate("DeviceList", "No devices found.");
            popup->setTitle(none);
            popup->addItemWithTitle(none);
        }
        popup->setItemEnabled(0, false);
    }

    // The device of the session, or of a link that just ended by itself, has gone.
    const auto& session = connection_->session();
    const std::optional<std::string> gone = session ? std::optional(session->path()) : connection_->lostPath();
    if (gone && !contains(devices_, *gone)) {
        setSelectedDevice(std::nullopt);
        connection_->connectToDevice(std::nullopt);
    }

    // Each entry names the device as the system knows it; the path stays its identity.
    if (popup) {
        for (const auto& path : devices_) {
            popup->addItemWithTitle(describeSerialDevice(path, configuration_.ttyClassDirectory).title());
        }
    }

    // The device to reconnect has appeared (or is there at the first scan) and nothing runs.
    const auto reconnect = reconnectDevice();
    if (reconnect && !connection_->session() && !connection_->isConnecting() && contains(devices_, *reconnect) &&
        !contains(previous, *reconnect)) {
        logInfo(kConsoleLog, "Reconnecting " + *reconnect + ", which has appeared");
        setSelectedDevice(*reconnect);
        connection_->connectToDevice(selectedDevice_);
    }
}

void DeviceList::setSelectedDevice(std::optional<std::string> device) {
    selectedDevice_ = std::move(device);
    selectPopupEntry();
    if (selectionChanged_) selectionChanged_();
}

void DeviceList::selectPopupEntry() {
    if (PopupButton* popup = configuration_.popup.get()) {
        popup->selectItemAtIndex(selectedDevice_ ? popupEntryOf(devices_, *selectedDevice_) : 0);
    }
}

void DeviceList::didSelectDevice() {
    PopupButton* popup = configuration_.popup.get();
    setSelectedDevice(itemOfPopupEntry(devices_, popup ? popup->indexOfSelectedItem() : 0));
    connection_->connectToDevice(selectedDevice_);
}

}  // namespace orvane
