#pragma once

#include <string>

#include "update/DeviceUpdateProvider.h"
#include "update/ResourceTransfer.h"

namespace orvane {

// Fetches the firmware-information document over HTTP and turns it into the announced
// firmware. Each fetch runs on the global queue and hands its result to the main queue; the
// provider keeps no state between fetches, so fetches may overlap.
class HalvernServerUpdateProvider : public DeviceUpdateProvider {
public:
    explicit HalvernServerUpdateProvider(std::string infoURL, TransferOptions options = {});

    const std::string& infoURL() const { return infoURL_; }
    const TransferOptions& transferOptions() const { return options_; }

    void fetchUpdateInformation(std::function<void(UpdateInformationResult)> completion) override;

    // The fetch itself, on the calling thread: transfer, then reading of the document.
    static UpdateInformationResult fetchNow(const std::string& infoURL, const TransferOptions& options);

private:
    const std::string infoURL_;
    const TransferOptions options_;
};

}  // namespace orvane
