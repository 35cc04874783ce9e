#include "update/FirmwareInformationDocument.h"

#include <curl/curl.h>

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>

#include "app/OptionalNilError.h"
#include "update/JSONError.h"

namespace orvane {

namespace {

// Reads `count` ASCII digits at `position`; absent if any of them is not a digit.
std::optional<int> digitsAt(std::string_view text, std::size_t position, std::size_t count) {
    if (position + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = position; i < position + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

bool charAt(std::string_view text, std::size_t position, char expected) {
    return position < text.size() && text[position] == expected;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The characters RFC 3986 allows in a URI reference. The URL parser would quietly
// percent-encode blanks and other strays in a relative reference; a document that carries them
// is not well-formed, so it is refused instead.
bool isURIReferenceText(std::string_view text) {
    static constexpr std::string_view allowed =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~:/?#[]@!$&'()*+,;=%";
    return text.find_first_not_of(allowed) == std::string_view::npos;
}

ErrorRef missingValue() { return std::make_shared<OptionalNilError>(); }

}  // namespace

std::optional<std::chrono::system_clock::time_point> parseReleaseDate(std::string_view text) {
    using namespace std::chrono;

    // Fixed part: YYYY-MM-DDTHH:MM:SS.
    const auto year = digitsAt(text, 0, 4);
    const auto month = digitsAt(text, 5, 2);
    const auto day = digitsAt(text, 8, 2);
    const auto hour = digitsAt(text, 11, 2);
    const auto minute = digitsAt(text, 14, 2);
    const auto second = digitsAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || !charAt(text, 4, '-') ||
        !charAt(text, 7, '-') || !charAt(text, 10, 'T') || !charAt(text, 13, ':') ||
        !charAt(text, 16, ':') || !charAt(text, 19, '.')) {
        return std::nullopt;
    }

    // Fractional seconds: 1 to 9 digits, kept to the nanosecond.
    std::size_t position = 20;
    std::int64_t fraction = 0;
    std::size_t fractionDigits = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
        if (++fractionDigits > 9) {
            return std::nullopt;
        }
        fraction = fraction * 10 + (text[position] - '0');
        ++position;
    }
    if (fractionDigits == 0) {
        return std::nullopt;
    }
    for (std::size_t i = fractionDigits; i < 9; ++i) {
        fraction *= 10;
    }

    // Zone: Z, or +HH:MM / -HH:MM, and nothing after it.
    minutes offset{0};
    if (charAt(text, position, 'Z')) {
        position += 1;
    } else if (charAt(text, position, '+') || charAt(text, position, '-')) {
        const bool negative = text[position] == '-';
        const auto offsetHours = digitsAt(text, position + 1, 2);
        const auto offsetMinutes = digitsAt(text, position + 4, 2);
        if (!offsetHours || !offsetMinutes || !charAt(text, position + 3, ':') ||
            *offsetHours > 23 || *offsetMinutes > 59) {
            return std::nullopt;
        }
        offset = hours{*offsetHours} + minutes{*offsetMinutes};
        if (negative) {
            offset = -offset;
        }
        position += 6;
    } else {
        return std::nullopt;
    }
    if (position != text.size()) {
        return std::nullopt;
    }

    const year_month_day date{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                              std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }

    // The local time minus its offset is the UTC instant; it must fit the system clock.
    const sys_seconds instant =
        sys_days{date} + hours{*hour} + minutes{*minute} + seconds{*second} - offset;
    using ClockDuration = system_clock::duration;
    const auto earliest = duration_cast<seconds>(system_clock::time_point::min().time_since_epoch());
    const auto latest = duration_cast<seconds>(system_clock::time_point::max().time_since_epoch());
    if (instant.time_since_epoch() <= earliest || instant.time_since_epoch() >= latest) {
        return std::nullopt;
    }
    return system_clock::time_point{duration_cast<ClockDuration>(instant.time_since_epoch()) +
                                    duration_cast<ClockDuration>(nanoseconds{fraction})};
}

std::optional<std::string> resolveURLReference(const std::string& base, const std::string& reference) {
    struct URLHandleDeleter {
        void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
    };
    // An empty reference would name the information document itself.
    if (reference.empty() || !isURIReferenceText(reference)) {
        return std::nullopt;
    }
    std::unique_ptr<CURLU, URLHandleDeleter> url(curl_url());
    if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK ||
        curl_url_set(url.get(), CURLUPART_URL, reference.c_str(), 0) != CURLUE_OK) {
        return std::nullopt;
    }
    char* resolved = nullptr;
    if (curl_url_get(url.get(), CURLUPART_URL, &resolved, 0) != CURLUE_OK || resolved == nullptr) {
        return std::nullopt;
    }
    std::string result(resolved);
    curl_free(resolved);
    return result;
}

UpdateInformationResult parseFirmwareInformationDocument(std::string_view body,
                                                         const std::string& infoURL) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(body.begin(), body.end());
    } catch (const nlohmann::json::exception& error) {
        return std::make_shared<JSONError>(error.what());
    }
    if (!document.is_object() && !document.is_array()) {
        return std::make_shared<JSONError>("the document is a bare value, not an object or array");
    }
    if (!document.is_object()) {
        return missingValue();
    }

    const auto text = [&document](const char* key) -> std::optional<std::string> {
        const auto found = document.find(key);
        if (found == document.end() || !found->is_string()) {
            return std::nullopt;
        }
        return found->get<std::string>();
    };

    const auto version = text("version");
    if (!version) {
        return missingValue();
    }
    auto releaseNotes = text("releaseNotes");
    if (!releaseNotes) {
        return missingValue();
    }
    const auto dateText = text("date");
    const auto releaseDate = dateText ? parseReleaseDate(*dateText) : std::nullopt;
    if (!releaseDate) {
        return missingValue();
    }
    const auto location = text("location");
    auto downloadURL = location ? resolveURLReference(infoURL, *location) : std::nullopt;
    if (!downloadURL) {
        return missingValue();
    }

    // An optional checksum; one that is present but malformed makes the document unusable
    // rather than being ignored, so a damaged document never turns the check off.
    std::optional<std::string> sha256;
    if (document.contains("sha256")) {
        sha256 = text("sha256");
        if (!sha256 || sha256->size() != 64) {
            return missingValue();
        }
        for (char& c : *sha256) {
            if (!isHexDigit(c)) {
                return missingValue();
            }
            if (c >= 'A' && c <= 'F') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
    }

    return DeviceSoftwareUpdateInformation{Version(*version), std::move(*releaseNotes), *releaseDate,
                                           std::move(*downloadURL), std::move(sha256)};
}

}  // namespace orvane
