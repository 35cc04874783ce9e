#pragma once

#include <string>
#include <string_view>

namespace orvane {

// Text from a file, a device or the system made fit for a one-line message: each control
// character (C0 and DEL) becomes `replacement`, so none can break the line or move the cursor.
std::string withoutControlCharacters(std::string_view text, char replacement = ' ');

}  // namespace orvane
