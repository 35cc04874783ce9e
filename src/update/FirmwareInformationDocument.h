#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "update/DeviceUpdateProvider.h"

namespace orvane {

// Resolves a URL reference against `base` by the rules of RFC 3986. Absent when either
// cannot be read as a URL, or the reference is empty or has characters a URI cannot contain.
std::optional<std::string> resolveURLReference(const std::string& base, const std::string& reference);

// Turns the body of the firmware-information document into the record: a JSONError when the
// body is not a JSON object or array, an OptionalNilError when the document lacks a key or has
// a value of the wrong kind.
UpdateInformationResult parseFirmwareInformationDocument(std::string_view body, const std::string& infoURL);

}  // namespace orvane
