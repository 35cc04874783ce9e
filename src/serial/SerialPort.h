#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "serial/PortError.h"

namespace orvane {

// Line speeds, each standing for its rate in bits per second.
enum class BaudRate {
    baud0,
    baud50,
    baud75,
    baud110,
    baud134,
    baud150,
    baud200,
    baud300,
    baud600,
    baud1200,
    baud1800,
    baud2400,
    baud4800,
    baud9600,
    baud19200,
    baud38400,
    baud57600,
    baud115200,
    baud230400,
};

// The rate in bits per second (baud134 is 134).
int bitsPerSecond(BaudRate rate);

enum class DataBitsSize { bits5, bits6, bits7, bits8 };

enum class ParityType { none, even, odd };

// Blocking, unbuffered access to one serial device file. Failures are thrown as PortError.
//
// Exclusive access: the open takes flock(LOCK_EX|LOCK_NB) and sets TIOCEXCL, so a port held
// by another program (or another SerialPort) fails to open at once with a "busy" error.
//
// Reads wait in the system read, as VMIN and VTIME say. close() may be called from any thread:
// it wakes a read or write that waits in the terminal at once (which then fails with
// mustBeOpen), and the descriptor itself is closed only when the last operation using it has
// left, so its number can never be reused under a reader. The port checks that the device is
// still present before reading (the device file must still have exactly one link): before
// every read that follows a time-out, and at least every 0.1 s while data flows. A line that
// hung up (an unplugged USB device, a pty whose master closed) counts as absent too.
class SerialPort {
public:
    explicit SerialPort(std::string path);
    // Closes the port if it is still open: the descriptor and its lock are never leaked.
    virtual ~SerialPort();

    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    const std::string& path() const { return path_; }
    // The open descriptor; absent before the first open and after close. After a failed
    // system open it is -1 (the port counts as open: reads fail with deviceNotConnected and
    // writes give -1) until the next open or close.
    std::optional<int> fileDescriptor() const;
    bool isOpen() const { return fileDescriptor().has_value(); }

    // Opens for reading and writing.
    virtual void open();
    // Throws invalidPath, mustReceiveOrTransmit or failedToOpen. An open port is closed first.
    virtual void open(bool reading, bool writing);

    // Sets the terminal attributes; does nothing when the port is not open. readTimeout is in
    // tenths of a second (VTIME), minimumBytes is VMIN. Failures of the system calls are ignored.
    virtual void configure(BaudRate inputSpeed, BaudRate outputSpeed, std::uint8_t minimumBytes,
                           std::uint8_t readTimeout, ParityType parity, bool twoStopBits, DataBitsSize dataBits,
                           bool hardwareFlowControl, bool softwareFlowControl, bool outputProcessing);

    // Safe from any thread and harmless when closed.
    virtual void close();

    // Drops bytes that have arrived but not been read (tcflush TCIFLUSH); nothing when closed.
    void discardInput();

    // One system read of up to `size` bytes, waiting as VMIN and VTIME say. Gives the count,
    // 0 when the read time-out passed with nothing to read.
    ssize_t readBuffer(std::uint8_t* buffer, std::size_t size);
    // Up to `length` bytes from one read; none on a time-out.
    std::vector<std::uint8_t> readChunk(std::size_t length);
    // Reads until `length` bytes have arrived; a chunk that is not UTF-8 ends the read at once
    // with what was gathered before it (the chunk is lost).
    std::string readText(std::size_t length);
    // Reads byte by byte up to `terminator`, which is consumed and not returned. A byte with
    // the high bit set fails with unableToConvertByteToCharacter; the gathered bytes are lost.
    std::string readTextUntil(std::uint8_t terminator);
    std::string readTextLine() { return readTextUntil('\n'); }
    std::uint8_t readOneByte();
    // The scalar whose value is the byte read (0-255).
    char32_t readOneCharacter();

    // One system write; gives its count (a partial write is not completed).
    ssize_t writeBuffer(const std::uint8_t* buffer, std::size_t size);
    // The same for a span; virtual so that a test can stand in a line that takes less.
    virtual ssize_t writeChunk(std::span<const std::uint8_t> bytes);
    // Throws stringsMustBeUTF8 when `text` is not well-formed UTF-8.
    ssize_t writeText(std::string_view text);
    // Throws stringsMustBeUTF8 for a surrogate or a value above U+10FFFF.
    ssize_t writeCharacter(char32_t character);

private:
    struct Handle;

    std::shared_ptr<Handle> acquire() const;
    ssize_t readSome(Handle& handle, std::uint8_t* buffer, std::size_t size);
    void checkPresence(Handle& handle) const;

    const std::string path_;
    mutable std::mutex mutex_;
    std::shared_ptr<Handle> handle_;
};

// True when `bytes` is well-formed UTF-8.
bool isWellFormedUTF8(std::string_view bytes);

}  // namespace orvane
