#include "serial/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>

#include <unicode/utf8.h>

namespace orvane {

namespace {

constexpr auto kNeverChecked = std::numeric_limits<std::chrono::steady_clock::rep>::min() / 2;
constexpr auto kPresenceCheckInterval =
    std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::milliseconds(100)).count();

speed_t speedConstant(BaudRate rate) {
    switch (rate) {
        case BaudRate::baud0: return B0;
        case BaudRate::baud50: return B50;
        case BaudRate::baud75: return B75;
        case BaudRate::baud110: return B110;
        case BaudRate::baud134: return B134;
        case BaudRate::baud150: return B150;
        case BaudRate::baud200: return B200;
        case BaudRate::baud300: return B300;
        case BaudRate::baud600: return B600;
        case BaudRate::baud1200: return B1200;
        case BaudRate::baud1800: return B1800;
        case BaudRate::baud2400: return B2400;
        case BaudRate::baud4800: return B4800;
        case BaudRate::baud9600: return B9600;
        case BaudRate::baud19200: return B19200;
        case BaudRate::baud38400: return B38400;
        case BaudRate::baud57600: return B57600;
        case BaudRate::baud115200: return B115200;
        case BaudRate::baud230400: return B230400;
    }
    return B0;
}

tcflag_t sizeFlag(DataBitsSize size) {
    switch (size) {
        case DataBitsSize::bits5: return CS5;
        case DataBitsSize::bits6: return CS6;
        case DataBitsSize::bits7: return CS7;
        case DataBitsSize::bits8: return CS8;
    }
    return CS8;
}

bool isRetryable(int error) { return error == EINTR || error == EAGAIN || error == EWOULDBLOCK; }

}  // namespace

int bitsPerSecond(BaudRate rate) {
    static constexpr int rates[] = {0,    50,   75,   110,  134,   150,   200,   300,    600,   1200,
                                    1800, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    return rates[static_cast<int>(rate)];
}

bool isWellFormedUTF8(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto length = static_cast<std::int32_t>(bytes.size());
    if (static_cast<std::size_t>(length) != bytes.size()) return false;
    std::int32_t index = 0;
    while (index < length) {
        UChar32 c;
        U8_NEXT(data, index, length, c);
        if (c < 0) return false;
    }
    return true;
}

// One open of the device file. Operations hold a reference while they use the descriptor; the
// descriptor is closed when the port has let go and the last operation has left, so its number
// is never reused under a reader.
struct SerialPort::Handle {
    Handle(int fileDescriptor, bool exclusive) : fd(fileDescriptor), exclusiveMode(exclusive) {}

    ~Handle() {
        if (fd >= 0) {
            releaseExclusiveAccess();
            ::close(fd);
        }
    }

    // Gives up the claim on the device as soon as the port is closed, even while a woken reader
    // still holds the descriptor for a moment: a new open of the same device right after a
    // close must not find it busy, and a late release must not clear a newer open's exclusive
    // mode (exclusive mode belongs to the tty, not to this descriptor).
    void releaseExclusiveAccess() {
        if (fd < 0 || released.exchange(true)) return;
        if (exclusiveMode) ::ioctl(fd, TIOCNXCL);
        ::flock(fd, LOCK_UN);
    }

    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    // Ends every operation on this open; they fail with mustBeOpen. A read or write that waits
    // inside the terminal's line discipline is woken at once: the open file is made
    // non-blocking, and the terminal attributes are applied again, unchanged, which wakes the
    // line discipline's waiters; a woken wait checks O_NONBLOCK again and returns EAGAIN.
    // (Without that wake a read would still end at its VTIME time-out.)
    void interrupt() {
        closed.store(true);
        releaseExclusiveAccess();
        if (fd < 0 || inside.load() == 0) return;
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        termios attributes{};
        if (::tcgetattr(fd, &attributes) == 0) ::tcsetattr(fd, TCSANOW, &attributes);
    }

    const int fd;
    const bool exclusiveMode;
    std::atomic<bool> closed{false};
    std::atomic<bool> released{false};
    // Operations inside a system read or write. Entering counts first and then checks
    // `closed`; interrupt() sets `closed` and then looks at the count: one of them sees the other.
    std::atomic<int> inside{0};
    // steady_clock ticks of the last presence check that found the device.
    std::atomic<std::chrono::steady_clock::rep> lastPresenceCheck{kNeverChecked};
};

namespace {

class Inside {
public:
    explicit Inside(std::atomic<int>& count) : count_(count) { count_.fetch_add(1); }
    ~Inside() { count_.fetch_sub(1); }
    Inside(const Inside&) = delete;
    Inside& operator=(const Inside&) = delete;

private:
    std::atomic<int>& count_;
};

// A line that hung up (a pty whose master closed, an unplugged USB device) reads as end of file.
bool hasHungUp(int fd) {
    pollfd descriptor{fd, POLLIN, 0};
    return ::poll(&descriptor, 1, 0) > 0 && (descriptor.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace

SerialPort::SerialPort(std::string path) : path_(std::move(path)) {}

SerialPort::~SerialPort() { close(); }

std::optional<int> SerialPort::fileDescriptor() const {
    std::lock_guard lock(mutex_);
    if (!handle_) return std::nullopt;
    return handle_->fd;
}

void SerialPort::open() { open(true, true); }

void SerialPort::open(bool reading, bool writing) {
    if (path_.empty()) throw PortError(PortError::invalidPath);
    if (!reading && !writing) throw PortError(PortError::mustReceiveOrTransmit, path_);
    close();

    int access = reading && writing ? O_RDWR : (reading ? O_RDONLY : O_WRONLY);
    int fd = ::open(path_.c_str(), access | O_NOCTTY | O_CLOEXEC);
    int error = errno;
    bool exclusive = false;
    if (fd >= 0) {
        // A port held by another program fails at once instead of waiting for it.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            error = errno;
            ::close(fd);
            fd = -1;
        } else if (!::isatty(fd)) {
            // Anything but a terminal (a regular file under a device name) would take the
            // settings without complaint and then never answer: refuse it here.
            error = ENOTTY;
            ::close(fd);
            fd = -1;
        } else {
            exclusive = ::ioctl(fd, TIOCEXCL) == 0;
        }
    }
    auto handle = std::make_shared<Handle>(fd, exclusive);
    {
        std::lock_guard lock(mutex_);
        handle_ = handle;
    }
    if (fd < 0) throw PortError(PortError::failedToOpen, path_, error);
}

void SerialPort::configure(BaudRate inputSpeed, BaudRate outputSpeed, std::uint8_t minimumBytes,
                           std::uint8_t readTimeout, ParityType parity, bool twoStopBits, DataBitsSize dataBits,
                           bool hardwareFlowControl, bool softwareFlowControl, bool outputProcessing) {
    std::shared_ptr<Handle> handle;
    {
        std::lock_guard lock(mutex_);
        handle = handle_;
    }
    if (!handle || handle->fd < 0) return;

    termios attributes{};
    ::tcgetattr(handle->fd, &attributes);
    ::cfsetispeed(&attributes, speedConstant(inputSpeed));
    ::cfsetospeed(&attributes, speedConstant(outputSpeed));

    // Parity is replaced, not added to: a PARENB or PARODD left by the last user of the device
    // would otherwise survive a request for no parity.
    attributes.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
    if (parity == ParityType::even) attributes.c_cflag |= PARENB;
    if (parity == ParityType::odd) attributes.c_cflag |= PARENB | PARODD;
    if (twoStopBits) {
        attributes.c_cflag |= CSTOPB;
    } else {
        attributes.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    }
    attributes.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    attributes.c_cflag |= sizeFlag(dataBits);
    if (hardwareFlowControl) {
        attributes.c_cflag |= CRTSCTS;
    } else {
        attributes.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    }
    attributes.c_cflag |= CREAD | CLOCAL;

    attributes.c_iflag &= ~static_cast<tcflag_t>(INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    if (softwareFlowControl) attributes.c_iflag |= IXON | IXOFF | IXANY;

    attributes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHOE | ISIG);

    if (outputProcessing) {
        attributes.c_oflag |= OPOST;
    } else {
        attributes.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    }

    std::memset(attributes.c_cc, 0, sizeof attributes.c_cc);
    attributes.c_cc[VMIN] = minimumBytes;
    attributes.c_cc[VTIME] = readTimeout;
    ::tcsetattr(handle->fd, TCSANOW, &attributes);
}

void SerialPort::close() {
    std::shared_ptr<Handle> handle;
    {
        std::lock_guard lock(mutex_);
        handle.swap(handle_);
    }
    // The descriptor closes when `handle` and every operation's reference are gone.
    if (handle) handle->interrupt();
}

void SerialPort::discardInput() {
    std::shared_ptr<Handle> handle;
    {
        std::lock_guard lock(mutex_);
        handle = handle_;
    }
    if (handle && handle->fd >= 0) ::tcflush(handle->fd, TCIFLUSH);
}

std::shared_ptr<SerialPort::Handle> SerialPort::acquire() const {
    std::lock_guard lock(mutex_);
    if (!handle_) throw PortError(PortError::mustBeOpen, path_);
    return handle_;
}

void SerialPort::checkPresence(Handle& handle) const {
    // While data flows the check is made at most every kPresenceCheckInterval: a read that
    // follows a time-out (a silent line) always checks, so a removed device file still fails
    // the next read within one read time-out.
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    if (now - handle.lastPresenceCheck.load(std::memory_order_relaxed) < kPresenceCheckInterval) return;
    struct stat status {};
    if (::fstat(handle.fd, &status) != 0 || status.st_nlink != 1) {
        throw PortError(PortError::deviceNotConnected, path_);
    }
    handle.lastPresenceCheck.store(now, std::memory_order_relaxed);
}

// The presence check, then one system read, which waits as VMIN and VTIME say. Gives the
// count, 0 on a time-out or an interrupted call; a hang-up or a read error means the device
// is gone.
ssize_t SerialPort::readSome(Handle& handle, std::uint8_t* buffer, std::size_t size) {
    checkPresence(handle);
    Inside inside(handle.inside);
    if (handle.closed.load()) throw PortError(PortError::mustBeOpen, path_);
    const ssize_t count = ::read(handle.fd, buffer, size);
    const int error = errno;
    if (count > 0) return count;
    if (handle.closed.load()) throw PortError(PortError::mustBeOpen, path_);
    if (count < 0) {
        if (isRetryable(error)) return 0;
        throw PortError(PortError::deviceNotConnected, path_, error);  // EIO: the line hung up
    }
    if (hasHungUp(handle.fd)) throw PortError(PortError::deviceNotConnected, path_);
    handle.lastPresenceCheck.store(kNeverChecked, std::memory_order_relaxed);
    return 0;  // the read time-out passed with nothing to read
}

ssize_t SerialPort::readBuffer(std::uint8_t* buffer, std::size_t size) {
    auto handle = acquire();
    return readSome(*handle, buffer, size);
}

std::vector<std::uint8_t> SerialPort::readChunk(std::size_t length) {
    std::vector<std::uint8_t> bytes(length);
    ssize_t count = readBuffer(bytes.data(), length);
    bytes.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return bytes;
}

std::string SerialPort::readText(std::size_t length) {
    std::string result;
    std::size_t remaining = length;
    while (remaining > 0) {
        auto chunk = readChunk(remaining);
        std::string_view text(reinterpret_cast<const char*>(chunk.data()), chunk.size());
        if (!isWellFormedUTF8(text)) return result;
        result.append(text);
        remaining -= chunk.size();
    }
    return result;
}

std::string SerialPort::readTextUntil(std::uint8_t terminator) {
    std::string gathered;
    for (;;) {
        auto handle = acquire();
        std::uint8_t byte = 0;
        if (readSome(*handle, &byte, 1) <= 0) continue;
        if (byte >= 0x80) throw PortError(PortError::unableToConvertByteToCharacter, path_);
        if (byte == terminator) {
            if (!isWellFormedUTF8(gathered)) throw PortError(PortError::stringsMustBeUTF8, path_);
            return gathered;
        }
        gathered.push_back(static_cast<char>(byte));
    }
}

std::uint8_t SerialPort::readOneByte() {
    for (;;) {
        auto handle = acquire();
        std::uint8_t byte = 0;
        if (readSome(*handle, &byte, 1) > 0) return byte;
    }
}

char32_t SerialPort::readOneCharacter() { return static_cast<char32_t>(readOneByte()); }

ssize_t SerialPort::writeBuffer(const std::uint8_t* buffer, std::size_t size) {
    auto handle = acquire();
    Inside inside(handle->inside);
    if (handle->closed.load()) throw PortError(PortError::mustBeOpen, path_);
    for (;;) {
        const ssize_t count = ::write(handle->fd, buffer, size);
        if (count >= 0) return count;
        // A write held back by flow control ends when the port is closed.
        if (handle->closed.load()) throw PortError(PortError::mustBeOpen, path_);
        if (errno != EINTR) return count;
    }
}

ssize_t SerialPort::writeChunk(std::span<const std::uint8_t> bytes) { return writeBuffer(bytes.data(), bytes.size()); }

ssize_t SerialPort::writeText(std::string_view text) {
    if (!isWellFormedUTF8(text)) throw PortError(PortError::stringsMustBeUTF8, path_);
    return writeBuffer(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

ssize_t SerialPort::writeCharacter(char32_t character) {
    if (character > 0x10FFFF || (character >= 0xD800 && character <= 0xDFFF)) {
        throw PortError(PortError::stringsMustBeUTF8, path_);
    }
    std::uint8_t bytes[4];
    std::int32_t length = 0;
    UBool isError = false;
    U8_APPEND(bytes, length, 4, static_cast<UChar32>(character), isError);
    if (isError) throw PortError(PortError::stringsMustBeUTF8, path_);
    return writeBuffer(bytes, static_cast<std::size_t>(length));
}

}  // namespace orvane
