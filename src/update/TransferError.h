#pragma once

#include <string>

#include "platform/Error.h"

namespace orvane {

// A failed HTTP transfer: the connection could not be made, the server answered with a status
// outside 200-299, the transfer stalled, or the body grew past its limit. The description names
// the resource and the cause, so the technical details of an alert tell the user what went wrong.
class TransferError : public Error {
public:
    enum class Reason {
        failed,      // the transfer layer reported an error (code() is the libcurl code)
        httpStatus,  // the server answered with a status outside 200-299 (code() is the status)
        tooLarge,    // the body grew past the limit of the transfer (code() is the limit in bytes)
    };

    TransferError(Reason reason, long code, std::string url, std::string cause);

    static ErrorRef transferFailed(const std::string& url, long curlCode, const std::string& curlText);
    static ErrorRef badStatus(const std::string& url, long status);
    static ErrorRef bodyTooLarge(const std::string& url, std::size_t limit);

    Reason reason() const { return reason_; }
    const std::string& url() const { return url_; }
    // What went wrong, without the resource's address.
    const std::string& cause() const { return cause_; }

    std::string localizedDescription() const override;
    std::string domain() const override { return "orvane.TransferError"; }
    long code() const override { return code_; }

private:
    Reason reason_;
    long code_;
    std::string url_;
    std::string cause_;
};

}  // namespace orvane
