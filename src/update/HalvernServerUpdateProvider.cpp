#include "update/HalvernServerUpdateProvider.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "platform/Translation.h"
#include "update/FirmwareInformationDocument.h"
#include "update/TransferError.h"

namespace orvane {

HalvernServerUpdateProvider::HalvernServerUpdateProvider(std::string infoURL, TransferOptions options,
                                                         FirmwareTrustPolicy trust)
    : infoURL_(std::move(infoURL)), options_(options), trust_(std::move(trust)) {}

UpdateInformationResult HalvernServerUpdateProvider::fetchNow(const std::string& infoURL,
                                                              const TransferOptions& options,
                                                              const FirmwareTrustPolicy& trust) {
    TransferOptions limited = options;
    limited.maximumSize = std::min(options.maximumSize, kMaximumDescriptionBytes);
    ResourceResult body = fetchWholeResource(infoURL, limited);
    if (auto* error = std::get_if<ErrorRef>(&body)) {
        const auto* transfer = dynamic_cast<const TransferError*>(error->get());
        if (transfer && transfer->reason() == TransferError::Reason::tooLarge) {
            return std::make_shared<FirmwareRefusedError>(
                withArgs(translate("HalvernServerUpdateProvider", "the description is larger than %1 bytes"),
                         std::to_string(kMaximumDescriptionBytes)));
        }
        return *error;
    }
    const std::string& document = std::get<std::string>(body);
    UpdateInformationResult parsed = parseFirmwareInformationDocument(document, infoURL);

    // The signature beside it: a server without one answers 404; anything else that fails is a
    // failed check, not an unsigned description.
    limited.maximumSize = kMaximumMinisignFileBytes;
    std::optional<std::string> signature;
    ResourceResult signatureBody = fetchWholeResource(infoURL + ".minisig", limited);
    if (auto* error = std::get_if<ErrorRef>(&signatureBody)) {
        const auto* transfer = dynamic_cast<const TransferError*>(error->get());
        const bool absent = transfer && transfer->reason() == TransferError::Reason::httpStatus &&
                            (transfer->code() == 404 || transfer->code() == 410);
        if (!absent) {
            if (transfer && transfer->reason() == TransferError::Reason::tooLarge) {
                return std::make_shared<FirmwareRefusedError>(
                    withArgs(translate("HalvernServerUpdateProvider", "its signature is larger than %1 bytes"),
                             std::to_string(kMaximumMinisignFileBytes)));
            }
            return *error;
        }
    } else {
        signature = std::get<std::string>(signatureBody);
    }
    if (std::holds_alternative<ErrorRef>(parsed)) {
        // A description changed on its way is refused for its signature, whether or not it still reads.
        auto signer = checkDescriptionSignature(document, signature, trust);
        if (auto* refusal = std::get_if<ErrorRef>(&signer)) return *refusal;
        return parsed;
    }
    return checkFirmwareTrust(std::get<DeviceSoftwareUpdateInformation>(std::move(parsed)), document, signature, trust,
                              std::chrono::system_clock::now());
}

void HalvernServerUpdateProvider::fetchUpdateInformation(std::function<void(UpdateInformationResult)> completion) {
    // The task copies what it needs, so it does not depend on the provider living on.
    dispatchGlobal(
        [infoURL = infoURL_, options = options_, trust = trust_, completion = std::move(completion)]() mutable {
            auto result = std::make_shared<UpdateInformationResult>(ErrorRef{});
            try {
                *result = fetchNow(infoURL, options, trust);
            } catch (const std::exception& error) {
                *result = std::make_shared<PlatformError>(
                    "orvane.UpdateProvider", 0,
                    withArgs(translate("HalvernServerUpdateProvider", "Checking for updates failed: %1"),
                             error.what()));
            }
            dispatchMain([completion = std::move(completion), result] {
                if (completion) {
                    completion(std::move(*result));
                }
            });
        });
}

}  // namespace orvane
