// The device's serial bootloader, as the flashing tool bossac sees it.
//
// The device's microcontroller is an ATSAMD21G18A (Cortex-M0+, 256 KB flash in 4096 pages of
// 64 bytes, erased in rows of 4 pages, 32 KB RAM). Its bootloader is a SAM-BA monitor without
// extensions, so bossac identifies the chip by its CPUID and DSU device id, writes each page by
// loading it into RAM and running its word-copy applet there, drives the NVM controller's
// registers to erase rows and commit pages, verifies by reading the flash back and resets the
// chip through the Cortex-M application interrupt and reset control register.
//
// A bootloader session is fed the bytes the host sends and returns the bytes it answers. The
// flash outlives the session: the simulator keeps one for its whole run.

#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orvane::sim {

// A firmware image names its version with the ASCII marker "ORVANE-FIRMWARE-VERSION=" followed by
// the version text and a NUL byte, anywhere in the image (the first marker counts). The text is
// at most 64 bytes of digits and dots. An image without a well-formed marker has no version.
inline constexpr char kFirmwareVersionMarker[] = "ORVANE-FIRMWARE-VERSION=";
std::optional<std::string> firmwareVersionIn(std::span<const std::uint8_t> image);

// The ways a bootloader can misbehave on purpose.
struct BootloaderFaults {
    bool flipBitAfterWrite = false;  // flip one written bit before the first read that follows a write
    bool vanishDuringWrite = false;  // disappear once kVanishAfterPages pages have been written
    bool silent = false;             // read everything, answer nothing
};

// Flash of the simulated chip. The application starts at address 0: the bootloader lives outside
// the flash array, so bossac's default offset of 0 is where images go.
class Flash {
public:
    static constexpr std::uint32_t kPageSize = 64;
    static constexpr std::uint32_t kPages = 4096;
    static constexpr std::uint32_t kRowSize = 4 * kPageSize;
    static constexpr std::uint32_t kSize = kPageSize * kPages;

    Flash() : bytes_(kSize, 0xFF) {}

    std::vector<std::uint8_t>& bytes() { return bytes_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

    // The range the last session that wrote anything wrote into: the image now in flash.
    bool programmed() const { return imageEnd_ > imageBegin_; }
    std::span<const std::uint8_t> image() const {
        return std::span<const std::uint8_t>(bytes_).subspan(imageBegin_, imageEnd_ - imageBegin_);
    }
    void setImage(std::uint32_t begin, std::uint32_t end) {
        imageBegin_ = begin;
        imageEnd_ = end;
    }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t imageBegin_ = 0;
    std::uint32_t imageEnd_ = 0;
};

class Bootloader {
public:
    static constexpr std::uint32_t kVanishAfterPages = 16;

    Bootloader(Flash& flash, BootloaderFaults faults);

    // A new host opened the port: whatever the last one left half done is dropped.
    void hostOpened();

    // Takes bytes from the host; returns the answer to send back.
    std::string receive(std::span<const std::uint8_t> bytes);

    // The host asked for a system reset: the chip leaves the bootloader.
    bool resetRequested() const { return resetRequested_; }
    // The bootloader's port is to disappear now (the vanishing fault).
    bool vanished() const { return vanished_; }

    // Flash this session wrote, from its lowest written page to the last byte the host sent for
    // its highest one: bossac loads only the image's bytes of a last, partial page, and the rest of
    // that page is whatever its RAM buffer held before.
    bool wrote() const { return writtenEnd_ > writtenBegin_; }
    std::span<const std::uint8_t> written() const;

private:
    enum class State { command, binaryIn, xmodemIn, xmodemOutStart, xmodemOut, xmodemOutEnd };

    void command(const std::string& text, std::string& out);
    void finishTransferIn();

    std::uint8_t readByte(std::uint32_t address);
    std::uint32_t readWord(std::uint32_t address);
    void writeByte(std::uint32_t address, std::uint8_t value);
    void writeWord(std::uint32_t address, std::uint32_t value);
    void nvmCommand(std::uint32_t value);
    void go(std::uint32_t address);
    void beforeFlashRead();

    void sendXmodemBlock(std::string& out);

    Flash& flash_;
    BootloaderFaults faults_;
    std::vector<std::uint8_t> ram_;
    std::vector<std::uint8_t> userRow_;

    // NVM controller.
    std::vector<std::uint8_t> pageBuffer_;
    std::uint32_t pageBufferFill_ = 0;  // leading bytes of the page buffer the host meant to write
    std::uint32_t nvmCtrlB_ = 0;
    std::uint32_t nvmAddr_ = 0;
    std::uint32_t nvmStatus_ = 0;
    bool nvmError_ = false;

    // Host link.
    State state_ = State::command;
    bool xmodem_ = false;  // the host sent the serial auto-baud sequence: transfers use XMODEM
    std::string line_;
    std::uint32_t transferAddress_ = 0;
    std::uint32_t transferSize_ = 0;
    std::uint32_t transferDone_ = 0;
    std::vector<std::uint8_t> transfer_;
    std::vector<std::uint8_t> block_;
    std::uint8_t blockNumber_ = 1;
    std::uint32_t lastLoadAddress_ = 0;  // where the host's latest transfer went, and its length
    std::uint32_t lastLoadSize_ = 0;

    std::uint32_t pagesWritten_ = 0;
    std::uint32_t writtenBegin_ = Flash::kSize;
    std::uint32_t writtenEnd_ = 0;
    bool unreadWrite_ = false;
    bool flipped_ = false;
    bool resetRequested_ = false;
    bool vanished_ = false;
};

}  // namespace orvane::sim
