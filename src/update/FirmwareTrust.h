#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/Error.h"
#include "platform/Translation.h"
#include "update/DeviceUpdateProvider.h"
#include "update/Minisign.h"

namespace orvane {

// The largest firmware-information document and signature that are read.
inline constexpr std::size_t kMaximumDescriptionBytes = 64 * 1024;

// Whom the console trusts to announce firmware.
struct FirmwareTrustPolicy {
    std::vector<MinisignPublicKey> keys;
    // A lab's own builds: a description with no signature, or one signed by a key that is not
    // trusted, is let through as "not signed" (a signature that does not match never is).
    bool allowUnsigned = false;
};

// Announced firmware that must not be written, with the reason in one line; nothing has touched
// the device when it is raised.
class FirmwareRefusedError : public Error {
public:
    explicit FirmwareRefusedError(std::string reason) : reason_(std::move(reason)) {}
    std::string localizedDescription() const override {
        return withArgs(translate("FirmwareRefusedError", "The announced firmware was refused: %1"), reason_);
    }
    const std::string& reason() const { return reason_; }
    std::string domain() const override { return "orvane.FirmwareRefusedError"; }

private:
    std::string reason_;
};

// The signature check alone: the key ID of the trusted key whose signature over `document`
// verifies, none for a description the policy lets through unsigned, or a FirmwareRefusedError.
std::variant<std::optional<std::string>, ErrorRef> checkDescriptionSignature(std::string_view document,
                                                                            const std::optional<std::string>& signature,
                                                                            const FirmwareTrustPolicy& policy);

// Decides whether the description `document` (already read into `information`) may be used:
// its minisign signature (`signature`, the text at the description's URL + ".minisig"; none when
// there is none) must verify with a trusted key, a signed description must give the image's
// sha256 and size, and an "expires" time must not have passed at `now`. Returns the information
// with `signedBy` set (or left empty when the policy lets an unsigned description through), or a
// FirmwareRefusedError.
UpdateInformationResult checkFirmwareTrust(DeviceSoftwareUpdateInformation information, std::string_view document,
                                           const std::optional<std::string>& signature,
                                           const FirmwareTrustPolicy& policy,
                                           std::chrono::system_clock::time_point now);

}  // namespace orvane
