#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "serial/SerialPort.h"
#include "support/PtyPeer.h"
#include "support/WaitFor.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;

template <typename Operation>
std::optional<PortError::Code> errorOf(Operation operation) {
    try {
        operation();
    } catch (const PortError& error) {
        return error.value();
    }
    return std::nullopt;
}

void configureLikeTheSession(SerialPort& port, std::uint8_t minimumBytes = 0, std::uint8_t readTimeout = 10) {
    port.configure(BaudRate::baud115200, BaudRate::baud115200, minimumBytes, readTimeout, ParityType::none, false,
                   DataBitsSize::bits8, false, false, false);
}

TEST(PortError, CarriesRawValuesAndActionableTexts) {
    EXPECT_EQ(PortError(PortError::failedToOpen).code(), -1);
    EXPECT_EQ(PortError(PortError::invalidPath).code(), 0);
    EXPECT_EQ(PortError(PortError::mustReceiveOrTransmit).code(), 1);
    EXPECT_EQ(PortError(PortError::mustBeOpen).code(), 2);
    EXPECT_EQ(PortError(PortError::stringsMustBeUTF8).code(), 3);
    EXPECT_EQ(PortError(PortError::unableToConvertByteToCharacter).code(), 4);
    EXPECT_EQ(PortError(PortError::deviceNotConnected).code(), 5);
    EXPECT_EQ(PortError(PortError::mustBeOpen).domain(), "SerialPort.PortError");

    PortError denied(PortError::failedToOpen, "/dev/ttyACM0", EACCES);
    EXPECT_NE(denied.localizedDescription().find("/dev/ttyACM0"), std::string::npos);
    EXPECT_NE(denied.localizedDescription().find(std::strerror(EACCES)), std::string::npos);
    EXPECT_NE(denied.localizedDescription().find("dialout"), std::string::npos);
    EXPECT_FALSE(denied.isBusy());

    for (int busyErrno : {EBUSY, EWOULDBLOCK}) {
        PortError busy(PortError::failedToOpen, "/dev/ttyACM0", busyErrno);
        EXPECT_TRUE(busy.isBusy());
        EXPECT_NE(busy.localizedDescription().find("in use by another program"), std::string::npos);
    }
    PortError missing(PortError::failedToOpen, "/dev/ttyACM9", ENOENT);
    EXPECT_NE(missing.localizedDescription().find(std::strerror(ENOENT)), std::string::npos);
    EXPECT_EQ(std::string(missing.what()), missing.localizedDescription());
}

TEST(SerialPort, OpenChecksItsArgumentsInOrder) {
    SerialPort unnamed("");
    EXPECT_EQ(errorOf([&] { unnamed.open(false, false); }), PortError::invalidPath);
    EXPECT_FALSE(unnamed.isOpen());

    PtyPeer peer;
    SerialPort port(peer.devicePath());
    EXPECT_EQ(errorOf([&] { port.open(false, false); }), PortError::mustReceiveOrTransmit);
    EXPECT_FALSE(port.isOpen());
}

TEST(SerialPort, FailedOpenLeavesDescriptorMinusOne) {
    SerialPort port("/nonexistent/ttyACM0");
    try {
        port.open();
        FAIL() << "open of a missing file succeeded";
    } catch (const PortError& error) {
        EXPECT_EQ(error.value(), PortError::failedToOpen);
        EXPECT_EQ(error.systemError(), ENOENT);
        EXPECT_NE(error.localizedDescription().find("/nonexistent/ttyACM0"), std::string::npos);
    }
    EXPECT_EQ(port.fileDescriptor(), -1);
    // Nothing touches a device: configure does nothing, reads find no device, writes give -1.
    configureLikeTheSession(port);
    std::uint8_t byte = 0;
    EXPECT_EQ(errorOf([&] { port.readBuffer(&byte, 1); }), PortError::deviceNotConnected);
    EXPECT_EQ(port.writeText("x"), -1);
    port.close();
    EXPECT_FALSE(port.fileDescriptor().has_value());
}

TEST(SerialPort, ClosedPortRefusesReadsAndWrites) {
    SerialPort never("/dev/null");
    configureLikeTheSession(never);  // not open: nothing happens, nothing is thrown
    never.close();
    never.close();

    PtyPeer peer;
    SerialPort port(peer.devicePath());
    port.open();
    port.close();
    port.close();
    std::uint8_t byte = 0;
    EXPECT_EQ(errorOf([&] { port.readBuffer(&byte, 1); }), PortError::mustBeOpen);
    EXPECT_EQ(errorOf([&] { port.readTextUntil(':'); }), PortError::mustBeOpen);
    EXPECT_EQ(errorOf([&] { port.readText(1); }), PortError::mustBeOpen);
    EXPECT_EQ(errorOf([&] { port.readOneByte(); }), PortError::mustBeOpen);
    EXPECT_EQ(errorOf([&] { port.writeText("x"); }), PortError::mustBeOpen);
    EXPECT_EQ(errorOf([&] { port.writeBuffer(&byte, 1); }), PortError::mustBeOpen);
}

TEST(SerialPort, ConfigureSetsARawLine) {
    PtyPeer peer;
    SerialPort port(peer.devicePath());
    port.open();
    const int fd = *port.fileDescriptor();
    port.configure(BaudRate::baud1200, BaudRate::baud1200, 1, 0, ParityType::odd, true, DataBitsSize::bits7, true, true,
                   true);
    termios attributes{};
    ASSERT_EQ(tcgetattr(fd, &attributes), 0);
    EXPECT_EQ(cfgetispeed(&attributes), static_cast<speed_t>(B1200));
    // (A pseudo-terminal keeps CS8 and no parity whatever is asked, so those are not checked here.)
    EXPECT_TRUE(attributes.c_cflag & CSTOPB);
    EXPECT_TRUE(attributes.c_iflag & IXON);
    EXPECT_TRUE(attributes.c_oflag & OPOST);
    EXPECT_EQ(attributes.c_cc[VMIN], 1);

    configureLikeTheSession(port);
    ASSERT_EQ(tcgetattr(fd, &attributes), 0);
    EXPECT_EQ(cfgetispeed(&attributes), static_cast<speed_t>(B115200));
    EXPECT_EQ(cfgetospeed(&attributes), static_cast<speed_t>(B115200));
    EXPECT_EQ(attributes.c_cflag & (PARENB | PARODD), 0u);
    EXPECT_EQ(attributes.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(attributes.c_cflag & CSTOPB);
    EXPECT_FALSE(attributes.c_cflag & CRTSCTS);
    EXPECT_TRUE(attributes.c_cflag & CREAD);
    EXPECT_TRUE(attributes.c_cflag & CLOCAL);
    EXPECT_FALSE(attributes.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR));
    EXPECT_FALSE(attributes.c_lflag & (ICANON | ECHO | ECHOE | ISIG));
    EXPECT_FALSE(attributes.c_oflag & OPOST);
    EXPECT_EQ(attributes.c_cc[VMIN], 0);
    EXPECT_EQ(attributes.c_cc[VTIME], 10);
    EXPECT_EQ(attributes.c_cc[VINTR], 0);
}

TEST(SerialPort, ReadsTextByTheByteRules) {
    PtyPeer peer;
    SerialPort port(peer.devicePath());
    port.open();
    configureLikeTheSession(port);

    ASSERT_TRUE(peer.send("ab:c"));
    EXPECT_EQ(port.readTextUntil(':'), "ab");
    EXPECT_EQ(port.readOneByte(), 'c');  // the terminator was consumed, nothing more

    ASSERT_TRUE(
        peer.send("a\xC3"
                  "d"));
    EXPECT_EQ(errorOf([&] { port.readTextUntil(':'); }), PortError::unableToConvertByteToCharacter);
    EXPECT_EQ(port.readOneByte(), 'd');  // the "a" is lost with the failed read

    ASSERT_TRUE(peer.send("\x80z"));
    EXPECT_EQ(port.readText(1), "");  // not UTF-8 on its own: empty text, byte consumed
    EXPECT_EQ(port.readText(1), "z");

    ASSERT_TRUE(peer.send("line\r\n\xE9"));
    EXPECT_EQ(port.readTextLine(), "line\r");
    EXPECT_EQ(port.readOneCharacter(), U'\u00E9');

    ASSERT_TRUE(peer.send("wxyz"));
    EXPECT_EQ(port.readText(3), "wxy");
    auto chunk = port.readChunk(16);
    EXPECT_EQ(std::string(chunk.begin(), chunk.end()), "z");
}

TEST(SerialPort, ReadTimesOutWithNothing) {
    PtyPeer peer;
    SerialPort port(peer.devicePath());
    port.open();
    configureLikeTheSession(port, 0, 1);  // 0.1 s
    std::uint8_t buffer[8];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.readBuffer(buffer, sizeof buffer), 0);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 90ms);
    EXPECT_LT(waited, 10s);  // it ends: a read without its time-out would wait for ever
    EXPECT_TRUE(port.readChunk(8).empty());
}

TEST(SerialPort, WritesTextAndCharactersAsUTF8) {
    PtyPeer peer;
    SerialPort port(peer.devicePath());
    port.open();
    configureLikeTheSession(port);
    EXPECT_EQ(port.writeText("CONTROL{}"), 9);
    EXPECT_EQ(port.writeCharacter(U'\u00E9'), 2);
    EXPECT_EQ(port.writeCharacter(U'\U0001F697'), 4);
    const std::uint8_t bytes[] = {'x', 'y'};
    EXPECT_EQ(port.writeChunk(bytes), 2);
    EXPECT_EQ(errorOf([&] { port.writeText("bad \xC3("); }), PortError::stringsMustBeUTF8);
    EXPECT_EQ(errorOf([&] { port.writeCharacter(0xD800); }), PortError::stringsMustBeUTF8);
    EXPECT_EQ(errorOf([&] { port.writeCharacter(0x110000); }), PortError::stringsMustBeUTF8);

    std::string received;
    orvane::testing::waitFor([&] {
        char buffer[64];
        const ssize_t count = ::read(peer.masterDescriptor(), buffer, sizeof buffer);
        if (count > 0) received.append(buffer, static_cast<std::size_t>(count));
        return received.size() >= 17;
    });
    EXPECT_EQ(received, "CONTROL{}\xC3\xA9\xF0\x9F\x9A\x97xy");
}

TEST(SerialPort, PortHeldElsewhereFailsAtOnceAsBusy) {
    PtyPeer peer;
    SerialPort first(peer.devicePath());
    first.open();

    SerialPort second(peer.devicePath());
    const auto start = std::chrono::steady_clock::now();
    try {
        second.open();
        FAIL() << "second open of a held port succeeded";
    } catch (const PortError& error) {
        EXPECT_EQ(error.value(), PortError::failedToOpen);
        EXPECT_TRUE(error.isBusy()) << error.localizedDescription();
        EXPECT_NE(error.localizedDescription().find("busy"), std::string::npos);
    }
    // It fails instead of waiting for the port to be free.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);

    first.close();
    EXPECT_NO_THROW(second.open());
    EXPECT_TRUE(second.isOpen());

    // Dropping a port releases it too.
    second.close();
    {
        SerialPort scoped(peer.devicePath());
        scoped.open();
    }
    EXPECT_NO_THROW(first.open());
}

TEST(SerialPort, UnplugEndsAWaitingRead) {
    PtyPeer peer;
    SerialPort port(peer.devicePath());
    port.open();
    configureLikeTheSession(port);
    auto reader = std::async(std::launch::async, [&] { return errorOf([&] { port.readTextUntil('\n'); }); });
    std::this_thread::sleep_for(100ms);
    peer.unplug();
    // Without the presence check the read would time out and wait again for ever.
    ASSERT_EQ(reader.wait_for(15s), std::future_status::ready);
    EXPECT_EQ(reader.get(), PortError::deviceNotConnected);

    // The device file is gone; the presence check fails every read from now on.
    std::uint8_t byte = 0;
    EXPECT_EQ(errorOf([&] { port.readBuffer(&byte, 1); }), PortError::deviceNotConnected);
    port.close();
}

TEST(SerialPort, CloseFromAnotherThreadWakesABlockedRead) {
    PtyPeer peer;
    SerialPort port(peer.devicePath());
    port.open();
    // No read time-out at all: only the close can end this read.
    configureLikeTheSession(port, 1, 0);
    auto reader = std::async(std::launch::async, [&] { return errorOf([&] { port.readOneByte(); }); });
    std::this_thread::sleep_for(100ms);
    port.close();
    ASSERT_EQ(reader.wait_for(15s), std::future_status::ready);
    EXPECT_EQ(reader.get(), PortError::mustBeOpen);
    // The port can be opened again at once: the lock went with the descriptor.
    EXPECT_NO_THROW(port.open());
}

TEST(SerialPort, CloseFromAnotherThreadEndsAWriteHeldBack) {
    PtyPeer peer;  // never reads: the line fills up and the write waits
    SerialPort port(peer.devicePath());
    port.open();
    configureLikeTheSession(port);
    const std::vector<std::uint8_t> bytes(4 << 20, 'x');
    auto writer = std::async(std::launch::async, [&]() -> std::optional<ssize_t> {
        try {
            return port.writeChunk(bytes);
        } catch (const PortError& error) {
            EXPECT_EQ(error.value(), PortError::mustBeOpen);
            return std::nullopt;
        }
    });
    ASSERT_EQ(writer.wait_for(200ms), std::future_status::timeout) << "the write did not wait";
    port.close();
    ASSERT_EQ(writer.wait_for(1s), std::future_status::ready);
    auto written = writer.get();
    if (written) {
        EXPECT_LT(*written, static_cast<ssize_t>(bytes.size()));  // a partial write reports its count
    }
}

TEST(SerialPort, DeferredCloseReleasesTheDescriptorOnceTheReaderLeaves) {
    PtyPeer peer;
    SerialPort port(peer.devicePath());
    port.open();
    configureLikeTheSession(port, 1, 0);
    const int fd = *port.fileDescriptor();
    struct stat before {};
    ASSERT_EQ(fstat(fd, &before), 0);

    std::promise<void> inRead;
    auto reader = std::async(std::launch::async, [&] {
        inRead.set_value();
        return errorOf([&] { port.readOneByte(); });
    });
    inRead.get_future().wait();
    std::this_thread::sleep_for(50ms);
    port.close();
    // The reader's descriptor stays open until it has left; then it must really be closed.
    EXPECT_EQ(reader.get(), PortError::mustBeOpen);
    struct stat after {};
    EXPECT_FALSE(fstat(fd, &after) == 0 && after.st_ino == before.st_ino && after.st_dev == before.st_dev)
        << "descriptor of a closed port still open";
}

TEST(SerialPort, ClosingWhileAReaderWaitsFreesTheDeviceAtOnce) {
    // The reader still holds the descriptor for a moment after close(); a new open of the same
    // device in that moment must not find it busy, and the late release must not undo the new
    // open's exclusive claim.
    PtyPeer peer;
    for (int round = 0; round < 20; ++round) {
        SerialPort first(peer.devicePath());
        first.open();
        configureLikeTheSession(first);
        auto reader = std::async(std::launch::async, [&] {
            try {
                first.readTextUntil('{');
            } catch (const PortError&) {}
        });
        std::this_thread::sleep_for(2ms);
        first.close();
        SerialPort second(peer.devicePath());
        ASSERT_NO_THROW(second.open()) << "round " << round;
        reader.get();
        SerialPort third(peer.devicePath());
        EXPECT_EQ(errorOf([&] { third.open(); }), PortError::failedToOpen) << "round " << round;
        second.close();
    }
}

TEST(SerialPort, AFileThatIsNotATerminalIsRefused) {
    char name[] = "/tmp/orvane-not-a-tty-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    ::close(fd);
    SerialPort port(name);
    try {
        port.open();
        FAIL() << "a regular file opened as a serial port";
    } catch (const PortError& error) {
        EXPECT_EQ(error.value(), PortError::failedToOpen);
        EXPECT_NE(error.localizedDescription().find("not a serial device"), std::string::npos);
    }
    unlink(name);
}

}  // namespace
}  // namespace orvane
