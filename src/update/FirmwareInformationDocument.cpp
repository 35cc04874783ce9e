#include "update/FirmwareInformationDocument.h"

#include <cstdint>
#include <memory>

#include <curl/curl.h>
#include <nlohmann/json.hpp>

#include "device/ValueSyntax.h"
#include "platform/OptionalNilError.h"
#include "platform/Translation.h"
#include "update/JSONError.h"

namespace orvane {

namespace {

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

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

UpdateInformationResult parseFirmwareInformationDocument(std::string_view body, const std::string& infoURL) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(body.begin(), body.end());
    } catch (const nlohmann::json::exception& error) {
        return std::make_shared<JSONError>(error.what());
    }
    if (!document.is_object() && !document.is_array()) {
        return std::make_shared<JSONError>(
            translate("FirmwareInformationDocument", "the document is a bare value, not an object or array"));
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
    const auto releaseDate = dateText ? parseInternetDateTime(*dateText) : std::nullopt;
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

    DeviceSoftwareUpdateInformation information{Version(*version), std::move(*releaseNotes), *releaseDate,
                                                std::move(*downloadURL), std::move(sha256)};
    // The image's length and the announcement's end, each optional; present but malformed makes
    // the document unusable, as the checksum does.
    if (const auto found = document.find("size"); found != document.end()) {
        if (!found->is_number_unsigned() || found->get<std::uint64_t>() == 0) return missingValue();
        information.size = found->get<std::uint64_t>();
    }
    if (document.contains("expires")) {
        const auto expiresText = text("expires");
        information.expires = expiresText ? parseInternetDateTime(*expiresText, false) : std::nullopt;
        if (!information.expires) return missingValue();
    }
    return information;
}

}  // namespace orvane
