#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "update/DeviceUpdateProvider.h"

namespace orvane {

// Reading of the firmware-information document:
//
//   { "version": "1.4.2", "releaseNotes": "...", "date": "2019-06-14T10:30:00.000Z",
//     "location": "fw/1.4.2.bin", "sha256": "<64 hexadecimal digits, optional>" }
//
// The keys are looked at in that order and the first one that is missing or unusable makes the
// result an OptionalNilError; keys not listed here are ignored.

// Parses an internet date and time in the one accepted form YYYY-MM-DDTHH:MM:SS.f followed by
// Z or a signed offset +HH:MM / -HH:MM, with 1 to 9 digits of fractional seconds. Anything else
// (no fraction, no zone, an impossible calendar date, an instant the clock cannot hold) is
// rejected.
std::optional<std::chrono::system_clock::time_point> parseReleaseDate(std::string_view text);

// Resolves a URL reference against `base` by the rules of RFC 3986. Absent when either
// cannot be read as a URL, or the reference is empty or has characters a URI cannot contain.
std::optional<std::string> resolveURLReference(const std::string& base, const std::string& reference);

// Turns the body of the firmware-information document into the record: a JSONError when the
// body is not a JSON object or array, an OptionalNilError when the document lacks a key or has
// a value of the wrong kind.
UpdateInformationResult parseFirmwareInformationDocument(std::string_view body,
                                                         const std::string& infoURL);

}  // namespace orvane
