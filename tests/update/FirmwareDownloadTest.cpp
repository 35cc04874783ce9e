#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "support/TemporaryDirectory.h"
#include "support/TestHTTPServer.h"
#include "update/ChecksumMismatchError.h"
#include "update/FirmwareDownload.h"
#include "update/TransferError.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using testing::readFile;

void writeFile(const fs::path& path, const std::string& contents) { std::ofstream(path, std::ios::binary) << contents; }

std::string image(std::size_t size, char seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(seed + i * 7);
    }
    return bytes;
}

class FirmwareDownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/orvane-download-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        options_.directory = root_ / "firmware";
        // The console's own time-outs: a busy machine may take seconds to serve 16 MiB.
        options_.transfer.connectTimeout = 15s;
        options_.transfer.stallTime = 30s;

        server_.server().Get(R"(/fw/(\w+)\.bin)", [this](const httplib::Request& request, httplib::Response& response) {
            const std::string name = request.matches[1];
            if (name == "first") {
                response.set_content(image(5000, 'a'), "application/octet-stream");
            } else if (name == "second") {
                response.set_content(image(300, 'z'), "application/octet-stream");
            } else if (name == "limit") {
                response.set_content(std::string(maximumFirmwareImageSize, '\x5a'), "application/octet-stream");
            } else if (name == "oversized") {
                response.set_content(std::string(maximumFirmwareImageSize + 1, '\x5a'), "application/octet-stream");
            } else if (name == "oversizedchunked") {
                // No length announced: the limit must hold while the body arrives.
                response.set_chunked_content_provider("application/octet-stream",
                                                      [](std::size_t offset, httplib::DataSink& sink) {
                                                          if (offset > maximumFirmwareImageSize) {
                                                              sink.done();
                                                              return true;
                                                          }
                                                          const std::string block(64 * 1024, '\x5a');
                                                          return sink.write(block.data(), block.size());
                                                      });
            } else {
                response.status = 404;
                response.set_content("<html>Not Found</html>", "text/html");
            }
        });
        server_.server().Get("/error.bin", [](const httplib::Request&, httplib::Response& response) {
            response.status = 500;
            response.set_content(image(100, 'e'), "application/octet-stream");
        });
        server_.addStallingRoute("/stall.bin", image(10, 's'), 100000);
        server_.start();
    }

    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    DeviceSoftwareUpdateInformation record(const std::string& path,
                                           std::optional<std::string> sha256 = std::nullopt) const {
        return DeviceSoftwareUpdateInformation{Version("1.4.2"), "notes", {}, server_.url(path), std::move(sha256)};
    }

    static const TransferError* transferError(const FirmwareDownloadResult& result) {
        const auto* error = std::get_if<ErrorRef>(&result);
        return error ? dynamic_cast<const TransferError*>(error->get()) : nullptr;
    }

    fs::path root_;
    FirmwareDownloadOptions options_;
    testing::TestHTTPServer server_;
};

TEST_F(FirmwareDownloadTest, WritesAPrivateFileAndReplacesTheEarlierOne) {
    const auto first = downloadFirmware(record("/fw/first.bin"), options_);
    ASSERT_TRUE(std::holds_alternative<fs::path>(first)) << std::get<ErrorRef>(first)->localizedDescription();
    const fs::path file = std::get<fs::path>(first);
    EXPECT_EQ(file, options_.directory / "firmware.bin");
    EXPECT_EQ(readFile(file), image(5000, 'a'));

    struct stat status {};
    ASSERT_EQ(::stat(options_.directory.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 077, 0u);

    const auto second = downloadFirmware(record("/fw/second.bin"), options_);
    ASSERT_TRUE(std::holds_alternative<fs::path>(second));
    EXPECT_EQ(readFile(file), image(300, 'z'));
    // Nothing but the image is left behind in the directory.
    EXPECT_EQ(std::distance(fs::directory_iterator(options_.directory), fs::directory_iterator()), 1);
}

TEST_F(FirmwareDownloadTest, ErrorPagesAreNeverWritten) {
    for (const auto& [path, status] : {std::pair{"/fw/absent.bin", 404L}, std::pair{"/error.bin", 500L}}) {
        const auto result = downloadFirmware(record(path), options_);
        const TransferError* error = transferError(result);
        ASSERT_NE(error, nullptr) << path;
        EXPECT_EQ(error->reason(), TransferError::Reason::httpStatus);
        EXPECT_EQ(error->code(), status);
        EXPECT_NE(error->localizedDescription().find(std::to_string(status)), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(options_.directory / "firmware.bin"));
}

TEST_F(FirmwareDownloadTest, TheImageIsCappedAt16MiB) {
    const auto atLimit = downloadFirmware(record("/fw/limit.bin"), options_);
    ASSERT_TRUE(std::holds_alternative<fs::path>(atLimit));
    EXPECT_EQ(fs::file_size(std::get<fs::path>(atLimit)), maximumFirmwareImageSize);
    fs::remove(std::get<fs::path>(atLimit));

    for (const char* path : {"/fw/oversized.bin", "/fw/oversizedchunked.bin"}) {
        const auto result = downloadFirmware(record(path), options_);
        const TransferError* error = transferError(result);
        ASSERT_NE(error, nullptr) << path;
        EXPECT_EQ(error->reason(), TransferError::Reason::tooLarge);
        EXPECT_NE(error->localizedDescription().find("16 MiB"), std::string::npos) << error->localizedDescription();
    }
    EXPECT_FALSE(fs::exists(options_.directory / "firmware.bin"));
}

TEST_F(FirmwareDownloadTest, AnAnnouncedChecksumMustMatch) {
    const std::string digest = sha256Hex(image(5000, 'a'));
    ASSERT_EQ(digest.size(), 64u);
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");

    ASSERT_TRUE(std::holds_alternative<fs::path>(downloadFirmware(record("/fw/first.bin", digest), options_)));
    EXPECT_EQ(readFile(options_.directory / "firmware.bin"), image(5000, 'a'));

    // A different image under the same checksum fails, and the earlier file stays as it was.
    const auto mismatch = downloadFirmware(record("/fw/second.bin", digest), options_);
    ASSERT_TRUE(std::holds_alternative<ErrorRef>(mismatch));
    const auto* error = dynamic_cast<const ChecksumMismatchError*>(std::get<ErrorRef>(mismatch).get());
    ASSERT_NE(error, nullptr);
    EXPECT_EQ(error->expected(), digest);
    EXPECT_EQ(error->actual(), sha256Hex(image(300, 'z')));
    EXPECT_NE(error->localizedDescription().find("checksum"), std::string::npos);
    EXPECT_EQ(readFile(options_.directory / "firmware.bin"), image(5000, 'a'));
}

TEST_F(FirmwareDownloadTest, StalledAndForeignTransfersFail) {
    // A higher speed floor and a shorter window than the console's own keep the test short; a
    // slow machine only makes the stall show sooner.
    FirmwareDownloadOptions stallOptions = options_;
    stallOptions.transfer.stallSpeedLimit = 100;
    stallOptions.transfer.stallTime = 1s;
    const auto started = std::chrono::steady_clock::now();
    const auto stallResult = downloadFirmware(record("/stall.bin"), stallOptions);
    const TransferError* stalled = transferError(stallResult);
    ASSERT_NE(stalled, nullptr);
    EXPECT_EQ(stalled->code(), CURLE_OPERATION_TIMEDOUT);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 60s);

    // A document can name any URL; only http and https are fetched.
    writeFile(root_ / "secret", "not firmware");
    auto local = record("/unused");
    local.downloadURL = "file://" + (root_ / "secret").string();
    const auto foreignResult = downloadFirmware(local, options_);
    const TransferError* foreign = transferError(foreignResult);
    ASSERT_NE(foreign, nullptr);
    EXPECT_EQ(foreign->code(), CURLE_UNSUPPORTED_PROTOCOL);
    EXPECT_FALSE(fs::exists(options_.directory / "firmware.bin"));
}

TEST_F(FirmwareDownloadTest, OnlyAPrivateDirectoryOfTheUserIsUsed) {
    fs::create_directory(root_ / "elsewhere");
    ::chmod((root_ / "elsewhere").c_str(), 0700);

    // The directory must not be a link, even to a private directory.
    fs::create_directory_symlink(root_ / "elsewhere", options_.directory);
    EXPECT_TRUE(std::holds_alternative<ErrorRef>(downloadFirmware(record("/fw/first.bin"), options_)));
    EXPECT_FALSE(fs::exists(root_ / "elsewhere" / "firmware.bin"));
    fs::remove(options_.directory);

    // Open to other users.
    fs::create_directory(options_.directory);
    ::chmod(options_.directory.c_str(), 0755);
    const auto open = downloadFirmware(record("/fw/first.bin"), options_);
    ASSERT_TRUE(std::holds_alternative<ErrorRef>(open));
    EXPECT_NE(std::get<ErrorRef>(open)->localizedDescription().find("0755"), std::string::npos)
        << std::get<ErrorRef>(open)->localizedDescription();
    EXPECT_FALSE(fs::exists(options_.directory / "firmware.bin"));

    // Owned by someone else (only root can arrange that here).
    ::chmod(options_.directory.c_str(), 0700);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(options_.directory.c_str(), 65534, 65534), 0);
        const auto foreign = downloadFirmware(record("/fw/first.bin"), options_);
        ASSERT_TRUE(std::holds_alternative<ErrorRef>(foreign));
        EXPECT_NE(std::get<ErrorRef>(foreign)->localizedDescription().find("another user"), std::string::npos);
        ASSERT_EQ(::chown(options_.directory.c_str(), 0, 0), 0);
    }

    // A link planted as firmware.bin is replaced, not written through.
    writeFile(root_ / "victim", "keep me");
    fs::create_symlink(root_ / "victim", options_.directory / "firmware.bin");
    const auto replaced = downloadFirmware(record("/fw/second.bin"), options_);
    ASSERT_TRUE(std::holds_alternative<fs::path>(replaced));
    EXPECT_EQ(readFile(root_ / "victim"), "keep me");
    EXPECT_FALSE(fs::is_symlink(options_.directory / "firmware.bin"));
    EXPECT_EQ(readFile(options_.directory / "firmware.bin"), image(300, 'z'));
}

}  // namespace
}  // namespace orvane
