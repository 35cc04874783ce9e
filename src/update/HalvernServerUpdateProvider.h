#pragma once

#include <string>

#include "update/DeviceUpdateProvider.h"
#include "update/FirmwareTrust.h"
#include "update/ResourceTransfer.h"

namespace orvane {

// Fetches the firmware-information document over HTTP and turns it into the announced
// firmware. Each fetch runs on the global queue and hands its result to the main queue; the
// provider keeps no state between fetches, so fetches may overlap.
class HalvernServerUpdateProvider : public DeviceUpdateProvider {
public:
    // With the default policy nothing is trusted: every announcement is refused until keys (or
    // unsigned firmware) are allowed.
    explicit HalvernServerUpdateProvider(std::string infoURL, TransferOptions options = {},
                                         FirmwareTrustPolicy trust = {});

    const std::string& infoURL() const { return infoURL_; }
    const TransferOptions& transferOptions() const { return options_; }

    void fetchUpdateInformation(std::function<void(UpdateInformationResult)> completion) override;

    // Whom the announcements must be signed by.
    const FirmwareTrustPolicy& trustPolicy() const { return trust_; }
    void setTrustPolicy(FirmwareTrustPolicy trust) { trust_ = std::move(trust); }

    // The fetch itself, on the calling thread: the document (at most 64 KiB) and its signature at
    // its address + ".minisig" (at most 4 KiB; none when the server has none), then the reading of
    // the document and the check of its signature.
    static UpdateInformationResult fetchNow(const std::string& infoURL, const TransferOptions& options,
                                            const FirmwareTrustPolicy& trust);

private:
    const std::string infoURL_;
    const TransferOptions options_;
    FirmwareTrustPolicy trust_;
};

}  // namespace orvane
