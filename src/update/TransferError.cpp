#include "update/TransferError.h"

#include <memory>

#include "platform/Translation.h"

namespace orvane {

TransferError::TransferError(Reason reason, long code, std::string url, std::string cause)
    : reason_(reason), code_(code), url_(std::move(url)), cause_(std::move(cause)) {}

ErrorRef TransferError::transferFailed(const std::string& url, long curlCode, const std::string& curlText) {
    return std::make_shared<TransferError>(Reason::failed, curlCode, url, curlText);
}

ErrorRef TransferError::badStatus(const std::string& url, long status) {
    return std::make_shared<TransferError>(
        Reason::httpStatus, status, url,
        withArgs(translate("TransferError", "the server answered with HTTP status %1"), std::to_string(status)));
}

ErrorRef TransferError::bodyTooLarge(const std::string& url, std::size_t limit) {
    constexpr std::size_t mebibyte = 1024 * 1024;
    std::string size = (limit % mebibyte == 0 && limit != 0)
                           ? withArgs(translate("TransferError", "%1 MiB"), std::to_string(limit / mebibyte))
                           : withArgs(translate("TransferError", "%1 bytes"), std::to_string(limit));
    return std::make_shared<TransferError>(
        Reason::tooLarge, static_cast<long>(limit), url,
        withArgs(translate("TransferError", "the response is larger than the limit of %1"), size));
}

std::string TransferError::localizedDescription() const {
    return withArgs(translate("TransferError", "The transfer of %1 failed: %2."), url_, cause_);
}

}  // namespace orvane
