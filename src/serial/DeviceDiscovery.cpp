#include "serial/DeviceDiscovery.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#include "platform/OneLineText.h"
#include "platform/Translation.h"

namespace orvane {

namespace fs = std::filesystem;

namespace {

// How many directories, from the tty's device directory upwards, may be the USB device: the
// USB device is the parent for a CDC ACM interface (ttyACM), the grandparent for a USB-serial
// port (ttyUSB).
constexpr int usbDeviceSearchDepth = 3;

// A sysfs attribute as one line of text: control characters become spaces and the surrounding
// blanks go. None when the file cannot be read or holds nothing else.
std::optional<std::string> readAttribute(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
    if (stream.bad()) return std::nullopt;
    text = withoutControlCharacters(text);
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// False when `path` is a character device whose number differs from the one the sysfs entry
// records ("major:minor" in its `dev` attribute); true when either is unknown.
bool mayBeTheSameDevice(const std::string& path, const fs::path& entry) {
    struct stat info {};
    // A path that is gone may still be named; one that is there but no character device (a
    // scratch file of the same name) is not that tty.
    if (::stat(path.c_str(), &info) != 0) return true;
    if (!S_ISCHR(info.st_mode)) return false;
    const auto recorded = readAttribute(entry / "dev");
    if (!recorded) return true;
    return *recorded == std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev));
}

}  // namespace

const std::vector<std::string>& deviceNamePrefixes() {
    static const std::vector<std::string> prefixes{"cu.usb", "ttyACM", "ttyUSB"};
    return prefixes;
}

std::vector<std::string> scanDeviceDirectory(const std::string& directory) {
    std::vector<std::string> found;
    DIR* listing = opendir(directory.c_str());
    if (!listing) return found;
    while (dirent* entry = readdir(listing)) {
        std::string_view name(entry->d_name);
        for (const auto& prefix : deviceNamePrefixes()) {
            if (name.starts_with(prefix)) {
                found.push_back(directory + std::string(name));
                break;
            }
        }
    }
    closedir(listing);
    // The listing's own order is the file system's; the console shows a stable one.
    std::sort(found.begin(), found.end());
    return found;
}

std::string SerialDeviceDescription::title() const {
    std::string details;
    auto addDetail = [&details](const std::string& text) { details += (details.empty() ? "" : ", ") + text; };

    std::string name;
    if (product) {
        name = *product;
        if (manufacturer && *manufacturer != *product) addDetail(*manufacturer);
    } else if (manufacturer) {
        name = *manufacturer;
    }
    if (serialNumber) addDetail(withArgs(translate("SerialDeviceDescription", "serial %1"), *serialNumber));

    if (name.empty() && details.empty()) return path;
    if (name.empty()) name = translate("SerialDeviceDescription", "USB device");
    if (!details.empty()) name += " (" + details + ")";
    return name + " \u2014 " + path;
}

SerialDeviceDescription describeSerialDevice(const std::string& path, const fs::path& ttyClassDirectory) {
    SerialDeviceDescription description{.path = path};
    const std::string name = fs::path(path).filename().string();
    if (name.empty() || name == "." || name == "..") return description;

    const fs::path entry = ttyClassDirectory / name;
    if (!mayBeTheSameDevice(path, entry)) return description;

    std::error_code error;
    fs::path directory = fs::canonical(entry / "device", error);
    if (error) return description;
    // The USB device is the nearest directory from the tty's device upwards that carries a
    // vendor id.
    for (int level = 0; level < usbDeviceSearchDepth; ++level) {
        if (fs::exists(directory / "idVendor", error)) {
            description.manufacturer = readAttribute(directory / "manufacturer");
            description.product = readAttribute(directory / "product");
            description.serialNumber = readAttribute(directory / "serial");
            break;
        }
        if (directory == directory.root_path()) break;
        directory = directory.parent_path();
    }
    return description;
}

}  // namespace orvane
