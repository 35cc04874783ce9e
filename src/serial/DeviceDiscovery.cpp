#include "serial/DeviceDiscovery.h"

#include <dirent.h>

#include <string_view>

namespace orvane {

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
    return found;
}

}  // namespace orvane
