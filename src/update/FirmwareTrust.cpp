#include "update/FirmwareTrust.h"

#include <algorithm>

#include "device/ValueSyntax.h"
#include "platform/Log.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

ErrorRef refused(std::string reason) {
    logWarning(kUpdateLog, "The announced firmware was refused: " + reason);
    return std::make_shared<FirmwareRefusedError>(std::move(reason));
}

}  // namespace

std::variant<std::optional<std::string>, ErrorRef> checkDescriptionSignature(std::string_view document,
                                                                            const std::optional<std::string>& signature,
                                                                            const FirmwareTrustPolicy& policy) {
    std::string unsignedBecause =
        translate("FirmwareTrust", "the description is not signed (nothing at its address + .minisig)");
    if (signature) {
        MinisignSignature parsed;
        try {
            parsed = parseMinisignSignature(*signature);
        } catch (const MinisignError& error) {
            return refused(withArgs(translate("FirmwareTrust", "its signature cannot be read: %1"), error.what()));
        }
        const bool trusted = std::any_of(policy.keys.begin(), policy.keys.end(),
                                         [&](const MinisignPublicKey& key) { return key.keyId == parsed.keyId; });
        if (trusted) {
            try {
                return std::optional<std::string>(verifyMinisign(document, parsed, policy.keys).keyIdText());
            } catch (const MinisignError& error) {
                return refused(error.what());
            }
        }
        unsignedBecause =
            withArgs(translate("FirmwareTrust", "the description is signed by key ID %1, which is not trusted"),
                     minisignKeyIdText(parsed.keyId));
    }
    if (!policy.allowUnsigned) return refused(unsignedBecause);
    logWarning(kUpdateLog, "Not signed by a trusted key, let through by the setting: " + unsignedBecause);
    return std::optional<std::string>();
}

UpdateInformationResult checkFirmwareTrust(DeviceSoftwareUpdateInformation information, std::string_view document,
                                           const std::optional<std::string>& signature,
                                           const FirmwareTrustPolicy& policy,
                                           std::chrono::system_clock::time_point now) {
    auto signer = checkDescriptionSignature(document, signature, policy);
    if (auto* error = std::get_if<ErrorRef>(&signer)) return *error;
    information.signedBy = std::get<std::optional<std::string>>(signer);
    if (information.signedBy && (!information.sha256 || !information.size)) {
        return refused(translate("FirmwareTrust", "a signed description must give the image's sha256 and size"));
    }
    if (information.expires && *information.expires <= now) {
        return refused(withArgs(translate("FirmwareTrust", "the description expired at %1"),
                                internetDateTimeText(*information.expires)));
    }
    return information;
}

}  // namespace orvane
