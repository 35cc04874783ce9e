#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Widgets.h"

namespace orvane {

class DeviceConnection;

// The console's list of devices: the serial devices found in the device directory, mirrored in
// the device popup (a header, then one entry per device named as the system knows it), the
// user's choice among them, and the device to connect again whenever it appears. A connected
// device (or the device of a link that just ended) that leaves the list is deselected and
// disconnected. Connections go through the console's DeviceConnection. All calls run on the
// main queue.
class DeviceList {
public:
    struct Configuration {
        std::string deviceDirectory = "/dev/";             // where the scan looks
        std::string ttyClassDirectory = "/sys/class/tty";  // where devices' USB names are read
        std::shared_ptr<PopupButton> popup;                // none: the list is kept without a popup
    };

    // `selectionChanged` runs after every assignment of the selected device.
    DeviceList(Configuration configuration, std::shared_ptr<DeviceConnection> connection,
               std::function<void()> selectionChanged);

    // Lists the device directory and assigns the result to `devices`.
    void scan();

    // Assigning the list rebuilds the popup when the list changed (or the popup is empty),
    // disconnects a device that has gone, and connects the device to reconnect when it has
    // appeared and nothing is connected or connecting.
    const std::vector<std::string>& devices() const { return devices_; }
    void setDevices(std::vector<std::string> devices);

    // Assigning the selection selects its popup entry (the header for none).
    const std::optional<std::string>& selectedDevice() const { return selectedDevice_; }
    void setSelectedDevice(std::optional<std::string> device);

    // The popup's choice: selects its device (none for the header) and connects to it.
    void didSelectDevice();

    // Whether the last device (the one last connected in this run, or the one remembered from an
    // earlier run until another connects) is connected whenever it appears in the list and nothing
    // is connected; the device that is, or none.
    std::optional<std::string> reconnectDevice() const {
        return reconnectsLastDevice_ ? lastConnectedDevice_ : std::nullopt;
    }
    void setReconnectsLastDevice(bool reconnects) { reconnectsLastDevice_ = reconnects; }
    // How long a device whose link ended by itself, and which stays listed, is tried again.
    static constexpr std::chrono::seconds kReconnectTime{60};

    // The device last connected, for remembering it.
    const std::optional<std::string>& lastConnectedDevice() const { return lastConnectedDevice_; }
    void noteConnected(std::string path) { lastConnectedDevice_ = std::move(path); }
    // The device remembered from an earlier run: the last connected device until another
    // connects, and selected (not connected) at the first scan that lists it while nothing is.
    void rememberLastDevice(std::string path);

    // Connects `path` at the first scan within `within` that lists it while nothing is
    // connected or connecting: the device coming back after an update, or a reconnect asked for
    // while it is away. A connection that fails is tried again at the next scan; the wait ends
    // once the device is connected, or (logged) when the time has passed.
    void follow(std::string path, std::chrono::seconds within);
    const std::optional<std::string>& followedDevice() const { return followed_; }

private:
    void rebuild(const std::vector<std::string>& previous);
    void connectFollowed();
    void selectPopupEntry();

    Configuration configuration_;
    std::shared_ptr<DeviceConnection> connection_;
    std::function<void()> selectionChanged_;
    std::vector<std::string> devices_;
    std::optional<std::string> selectedDevice_;
    bool reconnectsLastDevice_ = false;
    std::optional<std::string> lastConnectedDevice_;
    std::optional<std::string> preselect_;
    std::optional<std::string> followed_;
    std::chrono::steady_clock::time_point followUntil_;
};

}  // namespace orvane
