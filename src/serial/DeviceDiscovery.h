#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// The prefixes of the names of serial devices that the console lists.
const std::vector<std::string>& deviceNamePrefixes();

// The serial devices in `directory` (which ends with a slash): the entries whose names begin
// with one of the prefixes, as full paths, sorted by path. A directory that cannot be read has
// none.
std::vector<std::string> scanDeviceDirectory(const std::string& directory);

// What the system knows about the USB device behind a serial device path.
struct SerialDeviceDescription {
    std::string path;
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
    std::optional<std::string> serialNumber;

    // A line for a device list: "Orvane Interface (Orvane GmbH, serial 12345) — /dev/ttyACM0",
    // with what is unknown left out ("Orvane Interface — /dev/ttyACM0"), and only the path when
    // nothing is known.
    std::string title() const;
};

// Reads the USB manufacturer, product and serial number of the device at `path` from the tty
// class directory of sysfs (a parameter so that tests can give a tree of their own). The lookup
// goes by the path's own file name, also for a symbolic link; when the sysfs entry records a
// device number and the path is a character device with another one (a link that merely shares
// a real device's name), nothing is taken from it. Whatever cannot be read stays unknown.
SerialDeviceDescription describeSerialDevice(const std::string& path,
                                             const std::filesystem::path& ttyClassDirectory = "/sys/class/tty");

}  // namespace orvane
