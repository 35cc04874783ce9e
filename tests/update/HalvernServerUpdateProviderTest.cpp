#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include <arpa/inet.h>
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include "platform/MainQueue.h"
#include "platform/OptionalNilError.h"
#include "support/TestHTTPServer.h"
#include "update/FirmwareEndpoint.h"
#include "update/HalvernServerUpdateProvider.h"
#include "update/JSONError.h"
#include "update/TransferError.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;

constexpr const char* documentPath = "/devices/orvane/firmware/latest.json";

const std::string goodDocument = R"({
  "version": "1.4.2",
  "releaseNotes": "Smoother lateral control.",
  "date": "2019-06-14T12:30:00.000+02:00",
  "location": "fw/1.4.2.bin"
})";

TransferOptions quickOptions() {
    TransferOptions options;
    options.connectTimeout = 500ms;
    options.stallTime = 1s;
    return options;
}

// Runs one fetch and drives the main queue until its completion; checks that the completion
// ran once and on the main thread.
UpdateInformationResult fetch(const std::string& url, TransferOptions options = quickOptions()) {
    HalvernServerUpdateProvider provider(url, options, FirmwareTrustPolicy{.keys = {}, .allowUnsigned = true});
    int completions = 0;
    bool onMainThread = false;
    std::optional<UpdateInformationResult> result;
    provider.fetchUpdateInformation([&](UpdateInformationResult value) {
        ++completions;
        onMainThread = MainQueue::shared().isMainThread();
        result = std::move(value);
    });
    EXPECT_TRUE(MainQueue::shared().runUntil([&] { return completions > 0; }, 20s));
    MainQueue::shared().runFor(20ms);
    EXPECT_EQ(completions, 1);
    EXPECT_TRUE(onMainThread);
    if (!result) {
        return ErrorRef{};
    }
    return *result;
}

const TransferError* transferError(const UpdateInformationResult& result) {
    const auto* error = std::get_if<ErrorRef>(&result);
    return error ? dynamic_cast<const TransferError*>(error->get()) : nullptr;
}

template <typename ErrorType>
bool isError(const UpdateInformationResult& result) {
    const auto* error = std::get_if<ErrorRef>(&result);
    return error != nullptr && dynamic_cast<const ErrorType*>(error->get()) != nullptr;
}

TEST(HalvernServerUpdateProvider, FetchesAndReadsTheDocument) {
    testing::TestHTTPServer server;
    server.server().Get(documentPath, [](const httplib::Request&, httplib::Response& response) {
        response.set_content(goodDocument, "application/json");
    });
    server.server().Get("/moved.json", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(documentPath);
    });
    server.start();

    const auto result = fetch(server.url(documentPath));
    ASSERT_TRUE(std::holds_alternative<DeviceSoftwareUpdateInformation>(result));
    const auto& information = std::get<DeviceSoftwareUpdateInformation>(result);
    EXPECT_EQ(information.version, Version(1, 4, 2, 0));
    EXPECT_EQ(information.releaseNotes, "Smoother lateral control.");
    EXPECT_EQ(information.releaseDate, std::chrono::system_clock::time_point{std::chrono::seconds{1560508200}});
    EXPECT_EQ(information.downloadURL, server.url("/devices/orvane/firmware/fw/1.4.2.bin"));

    // A redirect is followed; the location resolves against the address that was asked for.
    const auto moved = fetch(server.url("/moved.json"));
    ASSERT_TRUE(std::holds_alternative<DeviceSoftwareUpdateInformation>(moved));
    EXPECT_EQ(std::get<DeviceSoftwareUpdateInformation>(moved).downloadURL, server.url("/fw/1.4.2.bin"));
}

TEST(HalvernServerUpdateProvider, OverlappingFetchesEachComplete) {
    testing::TestHTTPServer server;
    server.server().Get(documentPath, [](const httplib::Request&, httplib::Response& response) {
        response.set_content(goodDocument, "application/json");
    });
    server.start();

    HalvernServerUpdateProvider provider(server.url(documentPath), quickOptions(),
                                         FirmwareTrustPolicy{.keys = {}, .allowUnsigned = true});
    int records = 0;
    for (int i = 0; i < 4; ++i) {
        provider.fetchUpdateInformation([&](UpdateInformationResult result) {
            records += std::holds_alternative<DeviceSoftwareUpdateInformation>(result) ? 1 : 100;
        });
    }
    EXPECT_TRUE(MainQueue::shared().runUntil([&] { return records >= 4; }, 20s));
    EXPECT_EQ(records, 4);
}

TEST(HalvernServerUpdateProvider, StatusOutsideSuccessIsAFailedTransfer) {
    testing::TestHTTPServer server;
    server.server().Get(documentPath, [](const httplib::Request&, httplib::Response& response) {
        response.status = 500;
        response.set_content(goodDocument, "application/json");  // a usable body must not count
    });
    server.start();

    for (const auto& [url, status] :
         {std::pair{server.url("/missing.json"), 404L}, std::pair{server.url(documentPath), 500L}}) {
        const auto result = fetch(url);
        const TransferError* error = transferError(result);
        ASSERT_NE(error, nullptr) << url;
        EXPECT_EQ(error->reason(), TransferError::Reason::httpStatus);
        EXPECT_EQ(error->code(), status);
        EXPECT_NE(error->localizedDescription().find("HTTP status " + std::to_string(status)), std::string::npos)
            << error->localizedDescription();
    }
}

TEST(HalvernServerUpdateProvider, BadDocumentsReachTheMainQueueAsErrors) {
    testing::TestHTTPServer server;
    server.server().Get("/html", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<html><body>Welcome</body></html>", "text/html");
    });
    server.server().Get("/no-date", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(R"({"version":"2.0","releaseNotes":"","location":"x.bin"})", "application/json");
    });
    server.server().Get("/array", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("[1,2,3]", "application/json");
    });
    server.server().Get("/huge", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(2 * 1024 * 1024, ' ') + goodDocument, "application/json");
    });
    server.start();

    EXPECT_TRUE(isError<JSONError>(fetch(server.url("/html"))));
    EXPECT_TRUE(isError<OptionalNilError>(fetch(server.url("/no-date"))));
    EXPECT_TRUE(isError<OptionalNilError>(fetch(server.url("/array"))));

    // The document is small; an endless or enormous body is refused instead of being collected.
    const auto huge = fetch(server.url("/huge"));
    ASSERT_TRUE(isError<FirmwareRefusedError>(huge));
    EXPECT_EQ(std::get<ErrorRef>(huge)->localizedDescription(),
              "The announced firmware was refused: the description is larger than 65536 bytes");
}

TEST(HalvernServerUpdateProvider, AStalledTransferEnds) {
    testing::TestHTTPServer server;
    server.addStallingRoute(documentPath, "{\"version\": ", 400);
    server.start();

    // The transfer layer averages the speed over a few seconds; a higher floor than the
    // console's own keeps the test short.
    TransferOptions options = quickOptions();
    options.stallSpeedLimit = 100;
    const auto started = std::chrono::steady_clock::now();
    const auto result = fetch(server.url(documentPath), options);
    const TransferError* error = transferError(result);
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->reason(), TransferError::Reason::failed);
    EXPECT_EQ(error->code(), CURLE_OPERATION_TIMEDOUT);
    EXPECT_FALSE(error->cause().empty());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 15s);
}

// A listening socket whose accept queue is full: the kernel drops new connection attempts, so a
// client waits until its own connect time-out.
class SilentListener {
public:
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd_, 0);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        // Fill the accept queue.
        for (int& filler : fillers_) {
            filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        ::usleep(100000);
    }
    ~SilentListener() {
        for (int filler : fillers_) ::close(filler);
        ::close(fd_);
    }
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = 0;
    int fillers_[2] = {-1, -1};
};

TEST(HalvernServerUpdateProvider, ConnectionFailuresNameTheirCause) {
    // Nothing listens on a port that was just released.
    int port = 0;
    {
        testing::TestHTTPServer server;
        server.start();
        port = server.port();
    }
    const auto refusedResult = fetch("http://127.0.0.1:" + std::to_string(port) + documentPath);
    const TransferError* refused = transferError(refusedResult);
    ASSERT_NE(refused, nullptr);
    EXPECT_EQ(refused->code(), CURLE_COULDNT_CONNECT);
    EXPECT_NE(refused->localizedDescription().find("connect"), std::string::npos) << refused->localizedDescription();

    SilentListener silent;
    const auto started = std::chrono::steady_clock::now();
    const auto timedOutResult = fetch("http://127.0.0.1:" + std::to_string(silent.port()) + documentPath);
    const TransferError* timedOut = transferError(timedOutResult);
    ASSERT_NE(timedOut, nullptr);
    EXPECT_EQ(timedOut->code(), CURLE_OPERATION_TIMEDOUT) << timedOut->localizedDescription();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 15s);
}

TEST(FirmwareEndpoint, IsFixedAtBuildTimeUnlessOverriddenForDevelopment) {
    ::unsetenv("ORVANE_FIRMWARE_ENDPOINT");
    const std::string built = firmwareInformationEndpoint();
    EXPECT_EQ(built, ORVANE_FIRMWARE_ENDPOINT);
    EXPECT_TRUE(built.ends_with("/devices/orvane/firmware/latest.json")) << built;

    ::setenv("ORVANE_FIRMWARE_ENDPOINT", "http://127.0.0.1:8123/devices/orvane/firmware/latest.json", 1);
    EXPECT_EQ(firmwareInformationEndpoint(), "http://127.0.0.1:8123/devices/orvane/firmware/latest.json");
    ::setenv("ORVANE_FIRMWARE_ENDPOINT", "", 1);
    EXPECT_EQ(firmwareInformationEndpoint(), built);
    ::unsetenv("ORVANE_FIRMWARE_ENDPOINT");
}

}  // namespace
}  // namespace orvane
