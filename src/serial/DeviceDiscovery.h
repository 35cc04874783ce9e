#pragma once

#include <string>
#include <vector>

namespace orvane {

// The prefixes of the names of serial devices that the console lists.
const std::vector<std::string>& deviceNamePrefixes();

// The serial devices in `directory` (which ends with a slash): the entries whose names begin
// with one of the prefixes, as full paths, in the directory's order. A directory that cannot be
// read has none.
std::vector<std::string> scanDeviceDirectory(const std::string& directory);

}  // namespace orvane
