#include "update/ResourceTransfer.h"

#include <memory>
#include <mutex>

#include <curl/curl.h>

#include "update/TransferError.h"

namespace orvane {

namespace {

void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Body {
    CURL* curl = nullptr;
    std::string bytes;
    std::size_t limit = 0;
    bool exceeded = false;
    const std::function<void(std::uint64_t, std::optional<std::uint64_t>)>* progress = nullptr;
};

std::size_t appendToBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto* body = static_cast<Body*>(context);
    const std::size_t length = size * count;
    long status = 0;
    curl_easy_getinfo(body->curl, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
        return 0;  // an error page is not read: the status alone decides the result
    }
    if (length > body->limit - body->bytes.size()) {
        body->exceeded = true;
        return 0;  // ends the transfer with CURLE_WRITE_ERROR
    }
    body->bytes.append(data, length);
    if (body->progress && *body->progress) {
        curl_off_t announced = -1;
        curl_easy_getinfo(body->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
        (*body->progress)(body->bytes.size(), announced >= 0
                                                  ? std::optional<std::uint64_t>(static_cast<std::uint64_t>(announced))
                                                  : std::nullopt);
    }
    return length;
}

struct EasyHandleDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

}  // namespace

ResourceResult fetchWholeResource(const std::string& url, const TransferOptions& options) {
    initialiseCurlOnce();
    std::unique_ptr<CURL, EasyHandleDeleter> handle(curl_easy_init());
    if (!handle) {
        return TransferError::transferFailed(url, CURLE_FAILED_INIT, curl_easy_strerror(CURLE_FAILED_INIT));
    }
    CURL* curl = handle.get();

    Body body;
    body.curl = curl;
    body.limit = options.maximumSize;
    body.progress = &options.progress;
    char errorText[CURL_ERROR_SIZE] = {};

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    // Only web transfers: a document must not be able to point the console at file:// or
    // another protocol, directly or through a redirect.
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
    // Worker threads must not be interrupted by the transfer layer's signals.
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.connectTimeout.count()));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, options.stallSpeedLimit);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.stallTime.count()));
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maximumSize));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendToBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    if (status != 0 && (status < 200 || status > 299)) {
        return TransferError::badStatus(url, status);
    }
    if (body.exceeded || result == CURLE_FILESIZE_EXCEEDED) {
        return TransferError::bodyTooLarge(url, options.maximumSize);
    }
    if (result != CURLE_OK) {
        std::string cause = curl_easy_strerror(result);
        if (errorText[0] != '\0' && cause != errorText) {
            cause += " (" + std::string(errorText) + ")";
        }
        return TransferError::transferFailed(url, result, cause);
    }
    if (status == 0) {
        return TransferError::badStatus(url, status);  // no HTTP answer at all
    }
    return std::move(body.bytes);
}

}  // namespace orvane
