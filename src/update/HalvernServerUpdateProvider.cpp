#include "update/HalvernServerUpdateProvider.h"

#include <exception>
#include <memory>

#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "update/FirmwareInformationDocument.h"

namespace orvane {

HalvernServerUpdateProvider::HalvernServerUpdateProvider(std::string infoURL, TransferOptions options)
    : infoURL_(std::move(infoURL)), options_(options) {}

UpdateInformationResult HalvernServerUpdateProvider::fetchNow(const std::string& infoURL,
                                                              const TransferOptions& options) {
    ResourceResult body = fetchWholeResource(infoURL, options);
    if (auto* error = std::get_if<ErrorRef>(&body)) {
        return *error;
    }
    return parseFirmwareInformationDocument(std::get<std::string>(body), infoURL);
}

void HalvernServerUpdateProvider::fetchUpdateInformation(std::function<void(UpdateInformationResult)> completion) {
    // The task copies what it needs, so it does not depend on the provider living on.
    dispatchGlobal([infoURL = infoURL_, options = options_, completion = std::move(completion)]() mutable {
        auto result = std::make_shared<UpdateInformationResult>(ErrorRef{});
        try {
            *result = fetchNow(infoURL, options);
        } catch (const std::exception& error) {
            *result = std::make_shared<PlatformError>("orvane.UpdateProvider", 0,
                                                      std::string("Checking for updates failed: ") + error.what());
        }
        dispatchMain([completion = std::move(completion), result] {
            if (completion) {
                completion(std::move(*result));
            }
        });
    });
}

}  // namespace orvane
