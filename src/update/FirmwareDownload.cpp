#include "update/FirmwareDownload.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

#include <openssl/evp.h>

#include "platform/Translation.h"
#include "update/ChecksumMismatchError.h"
#include "update/TransferError.h"

namespace orvane {

namespace {

// Owns one descriptor.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Hands the descriptor over without closing it.
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void adopt(int fd) {
        reset();
        fd_ = fd;
    }
    // Closes now and reports the result of close (a write error can first show here).
    int reset() {
        int result = 0;
        if (fd_ >= 0) {
            result = ::close(fd_);
            fd_ = -1;
        }
        return result;
    }

private:
    int fd_;
};

ErrorRef directoryError(const std::filesystem::path& directory, const std::string& problem) {
    return std::make_shared<PlatformError>(
        "orvane.FirmwareDirectory", EACCES,
        withArgs(translate("FirmwareDownload", "The firmware directory %1 cannot be used: %2."), directory.string(),
                 problem));
}

// Opens the firmware directory, creating it when missing, and makes sure it is private:
// a real directory (not a link), owned by this user, with no access for anyone else.
std::variant<int, ErrorRef> openPrivateDirectory(const std::filesystem::path& directory) {
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
        return makeSystemError(
            withArgs(translate("FirmwareDownload", "Creating the firmware directory %1 failed"), directory.string()),
            errno);
    }
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ELOOP || error == ENOTDIR) {
            return directoryError(directory, translate("FirmwareDownload", "it is a link or not a directory"));
        }
        return makeSystemError(
            withArgs(translate("FirmwareDownload", "Opening the firmware directory %1 failed"), directory.string()),
            error);
    }
    Descriptor owned(fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return makeSystemError(
            withArgs(translate("FirmwareDownload", "Examining the firmware directory %1 failed"), directory.string()),
            errno);
    }
    if (status.st_uid != ::geteuid()) {
        return directoryError(directory, translate("FirmwareDownload", "it belongs to another user"));
    }
    if ((status.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(status.st_mode & 07777));
        return directoryError(directory,
                              withArgs(translate("FirmwareDownload", "other users have access to it (mode %1)"), mode));
    }
    return owned.release();
}

std::string temporaryName() {
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    char suffix[17];
    std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(generator()));
    return std::string(firmwareFileName) + ".part-" + suffix;
}

// Writes `bytes` to a new file in the directory and renames it over "firmware.bin".
ErrorRef writeReplacing(int directoryFd, const std::filesystem::path& directory, std::string_view bytes) {
    std::string name;
    Descriptor file;
    int openError = 0;
    for (int attempt = 0; attempt < 16 && file.get() < 0; ++attempt) {
        name = temporaryName();
        file.adopt(::openat(directoryFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        openError = file.get() < 0 ? errno : 0;
        if (openError != 0 && openError != EEXIST) {
            break;
        }
    }
    if (file.get() < 0) {
        return makeSystemError(
            withArgs(translate("FirmwareDownload", "Creating the firmware file in %1 failed"), directory.string()),
            openError);
    }
    const std::string target = (directory / firmwareFileName).string();

    const auto fail = [&](int error) {
        file.reset();
        ::unlinkat(directoryFd, name.c_str(), 0);
        return makeSystemError(withArgs(translate("FirmwareDownload", "Writing the firmware file %1 failed"), target),
                               error);
    };
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(file.get(), bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        written += static_cast<std::size_t>(count);
    }
    if (file.reset() != 0) {
        return fail(errno);
    }
    if (::renameat(directoryFd, name.c_str(), directoryFd, std::string(firmwareFileName).c_str()) != 0) {
        const int error = errno;
        ::unlinkat(directoryFd, name.c_str(), 0);
        return makeSystemError(withArgs(translate("FirmwareDownload", "Replacing the firmware file %1 failed"), target),
                               error);
    }
    return nullptr;
}

}  // namespace

std::filesystem::path defaultFirmwareDirectory() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && runtime[0] == '/') {
        return std::filesystem::path(runtime) / "orvane-console";
    }
    return std::filesystem::path("/tmp") / ("orvane-console-" + std::to_string(::geteuid()));
}

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) {
        return {};
    }
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 0x0f];
    }
    return text;
}

FirmwareDownloadResult downloadFirmware(const DeviceSoftwareUpdateInformation& information,
                                        const FirmwareDownloadOptions& options) {
    // An image of an announced length is read no further than that length.
    TransferOptions transfer = options.transfer;
    if (information.size && *information.size < transfer.maximumSize) {
        transfer.maximumSize = static_cast<std::size_t>(*information.size);
    }
    ResourceResult body = fetchWholeResource(information.downloadURL, transfer);
    if (auto* error = std::get_if<ErrorRef>(&body)) {
        // An image that keeps coming past its announced length is not the image announced.
        const auto* failed = dynamic_cast<const TransferError*>(error->get());
        if (information.size && failed && failed->reason() == TransferError::Reason::tooLarge) {
            return std::make_shared<FirmwareRefusedError>(
                withArgs(translate("FirmwareDownload", "the image is longer than the announced %1 bytes"),
                         std::to_string(*information.size)));
        }
        return *error;
    }
    const std::string& image = std::get<std::string>(body);

    // The image is checked before it is written, so a damaged one never becomes firmware.bin.
    if (information.size && image.size() != *information.size) {
        return std::make_shared<FirmwareRefusedError>(
            withArgs(translate("FirmwareDownload", "the image is %1 bytes long, not the announced %2"),
                     std::to_string(image.size()), std::to_string(*information.size)));
    }
    if (information.sha256) {
        std::string actual = sha256Hex(image);
        if (actual != *information.sha256) {
            return std::make_shared<ChecksumMismatchError>(*information.sha256, std::move(actual));
        }
    }

    const std::filesystem::path directory = options.directory.empty() ? defaultFirmwareDirectory() : options.directory;
    auto opened = openPrivateDirectory(directory);
    if (auto* error = std::get_if<ErrorRef>(&opened)) {
        return *error;
    }
    Descriptor directoryFd(std::get<int>(opened));
    if (ErrorRef error = writeReplacing(directoryFd.get(), directory, image)) {
        return error;
    }
    return directory / firmwareFileName;
}

}  // namespace orvane
