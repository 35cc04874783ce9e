#include "Bootloader.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvane::sim {

namespace {

// Memory map of the ATSAMD21G18A as far as bossac touches it.
constexpr std::uint32_t kRamBase = 0x20000000;
constexpr std::uint32_t kRamSize = 32 * 1024;
constexpr std::uint32_t kUserRowBase = 0x00804000;
constexpr std::uint32_t kUserRowSize = Flash::kRowSize;
constexpr std::uint32_t kDsuDid = 0x41002018;
constexpr std::uint32_t kDeviceId = 0x10010305;  // SAMD21, die 0, revision D, ATSAMD21G18A
constexpr std::uint32_t kCpuid = 0xE000ED00;
constexpr std::uint32_t kCortexM0PlusCpuid = 0x410CC601;
constexpr std::uint32_t kAircr = 0xE000ED0C;
constexpr std::uint32_t kAircrSystemReset = 0x05FA0004;

// NVM controller registers and commands.
constexpr std::uint32_t kNvmBase = 0x41004000;
constexpr std::uint32_t kNvmCtrlA = kNvmBase + 0x00;
constexpr std::uint32_t kNvmCtrlB = kNvmBase + 0x04;
constexpr std::uint32_t kNvmParam = kNvmBase + 0x08;
constexpr std::uint32_t kNvmIntFlag = kNvmBase + 0x14;
constexpr std::uint32_t kNvmStatus = kNvmBase + 0x18;
constexpr std::uint32_t kNvmAddr = kNvmBase + 0x1C;
constexpr std::uint32_t kNvmLock = kNvmBase + 0x20;
constexpr std::uint32_t kNvmCommandKey = 0xA5;
constexpr std::uint32_t kNvmStatusProgrammingError = 0x04;
enum NvmCommand : std::uint32_t {
    eraseRow = 0x02,
    writePage = 0x04,
    eraseAuxRow = 0x05,
    writeAuxPage = 0x06,
    lockRegion = 0x40,
    unlockRegion = 0x41,
    pageBufferClear = 0x44,
    setSecurityBit = 0x45,
};

// The word-copy applet bossac loads into RAM: code from its start, then its parameters.
constexpr std::uint32_t kAppletDestination = 0x28;
constexpr std::uint32_t kAppletSource = 0x2C;
constexpr std::uint32_t kAppletWords = 0x30;

// XMODEM-CRC, as the monitor speaks it on a plain serial line.
constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::uint8_t kAutoBaud = 0x80;
constexpr std::size_t kXmodemData = 128;
constexpr std::size_t kXmodemBlock = kXmodemData + 5;
constexpr std::uint32_t kMaxTransfer = 64 * 1024;

const char kMonitorVersion[] = "v2.0 Orvane SAM-BA monitor Nov 30 2026 09:00:00\n\r";

std::uint16_t crc16(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc =
                (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021) : static_cast<std::uint16_t>(crc << 1);
    }
    return crc;
}

bool parseHex(const std::string& text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    char* end = nullptr;
    value = static_cast<std::uint32_t>(std::strtoul(text.c_str(), &end, 16));
    return *end == '\0';
}

// "AAAAAAAA,BBBBBBBB" after the command letter; the second number is optional.
bool parseArguments(const std::string& text, std::uint32_t& first, std::uint32_t& second) {
    const auto comma = text.find(',');
    second = 0;
    if (comma == std::string::npos) return parseHex(text, first);
    return parseHex(text.substr(0, comma), first) && parseHex(text.substr(comma + 1), second);
}

bool inRange(std::uint32_t address, std::uint32_t base, std::uint32_t size) {
    return address >= base && address - base < size;
}

}  // namespace

std::optional<std::string> firmwareVersionIn(std::span<const std::uint8_t> image) {
    const std::string_view marker(kFirmwareVersionMarker);
    const std::string_view text(reinterpret_cast<const char*>(image.data()), image.size());
    for (auto at = text.find(marker); at != std::string_view::npos; at = text.find(marker, at + 1)) {
        const auto begin = at + marker.size();
        const auto end = text.find('\0', begin);
        if (end == std::string_view::npos) break;
        const auto version = text.substr(begin, end - begin);
        if (!version.empty() && version.size() <= 64 &&
            std::all_of(version.begin(), version.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; })) {
            return std::string(version);
        }
    }
    return std::nullopt;
}

Bootloader::Bootloader(Flash& flash, BootloaderFaults faults)
    : flash_(flash),
      faults_(faults),
      ram_(kRamSize, 0),
      userRow_(kUserRowSize, 0xFF),
      pageBuffer_(Flash::kPageSize, 0xFF) {}

void Bootloader::hostOpened() {
    state_ = State::command;
    xmodem_ = false;
    line_.clear();
    block_.clear();
    transfer_.clear();
}

std::span<const std::uint8_t> Bootloader::written() const {
    if (!wrote()) return {};
    return std::span<const std::uint8_t>(flash_.bytes()).subspan(writtenBegin_, writtenEnd_ - writtenBegin_);
}

std::string Bootloader::receive(std::span<const std::uint8_t> bytes) {
    std::string out;
    if (faults_.silent) return out;
    for (std::uint8_t byte : bytes) {
        if (vanished_ || resetRequested_) break;
        switch (state_) {
            case State::command:
                if (byte == kAutoBaud) {
                    xmodem_ = true;
                } else if (byte == '#') {
                    command(line_, out);
                    line_.clear();
                } else if (byte != '\r' && byte != '\n') {
                    // Like the monitor on the chip: any byte that is neither a hexadecimal digit
                    // nor a comma is the command letter and starts the command afresh, so bytes
                    // a host sent before (a device's requests, say) do not spoil the next
                    // command. A line that runs on is noise: drop it rather than grow.
                    if (!std::isxdigit(byte) && byte != ',') line_.clear();
                    if (line_.size() >= 32) line_.clear();
                    line_.push_back(static_cast<char>(byte));
                }
                break;
            case State::binaryIn:
                transfer_.push_back(byte);
                if (transfer_.size() == transferSize_) finishTransferIn();
                break;
            case State::xmodemIn:
                if (block_.empty() && byte == kEot) {
                    out.push_back(static_cast<char>(kAck));
                    finishTransferIn();
                    break;
                }
                block_.push_back(byte);
                if (block_.size() == kXmodemBlock) {
                    const std::uint16_t crc =
                        static_cast<std::uint16_t>(block_[kXmodemBlock - 2] << 8 | block_[kXmodemBlock - 1]);
                    const bool good = block_[0] == kSoh && block_[1] == blockNumber_ &&
                                      block_[2] == static_cast<std::uint8_t>(~blockNumber_) &&
                                      crc16(&block_[3], kXmodemData) == crc;
                    if (good) {
                        const std::size_t take = std::min<std::size_t>(kXmodemData, transferSize_ - transfer_.size());
                        transfer_.insert(transfer_.end(), block_.begin() + 3,
                                         block_.begin() + 3 + static_cast<long>(take));
                        ++blockNumber_;
                    }
                    out.push_back(static_cast<char>(good ? kAck : kNak));
                    block_.clear();
                }
                break;
            case State::xmodemOutStart:
                if (byte == 'C') {
                    state_ = State::xmodemOut;
                    sendXmodemBlock(out);
                }
                break;
            case State::xmodemOut:
                if (byte == kAck) {
                    transferDone_ += kXmodemData;
                    ++blockNumber_;
                    if (transferDone_ >= transferSize_) {
                        state_ = State::xmodemOutEnd;
                        out.push_back(static_cast<char>(kEot));
                    } else {
                        sendXmodemBlock(out);
                    }
                } else if (byte == kNak || (byte == 'C' && transferDone_ == 0)) {
                    sendXmodemBlock(out);
                }
                break;
            case State::xmodemOutEnd:
                if (byte == kAck) {
                    state_ = State::command;
                } else if (byte == kNak) {
                    out.push_back(static_cast<char>(kEot));
                }
                break;
        }
    }
    return out;
}

void Bootloader::sendXmodemBlock(std::string& out) {
    std::uint8_t block[kXmodemBlock] = {};
    block[0] = kSoh;
    block[1] = blockNumber_;
    block[2] = static_cast<std::uint8_t>(~blockNumber_);
    const std::size_t take = std::min<std::size_t>(kXmodemData, transfer_.size() - transferDone_);
    std::memcpy(block + 3, transfer_.data() + transferDone_, take);
    const std::uint16_t crc = crc16(block + 3, kXmodemData);
    block[kXmodemBlock - 2] = static_cast<std::uint8_t>(crc >> 8);
    block[kXmodemBlock - 1] = static_cast<std::uint8_t>(crc);
    out.append(reinterpret_cast<const char*>(block), sizeof block);
}

void Bootloader::command(const std::string& text, std::string& out) {
    if (text.empty()) {
        // The end of the auto-baud sequence: the monitor greets with its prompt.
        out += "\n\r>";
        return;
    }
    const char letter = text[0];
    std::uint32_t address = 0;
    std::uint32_t value = 0;
    const bool parsed = parseArguments(text.substr(1), address, value);
    switch (letter) {
        case 'N':  // binary mode
        case 'T':  // terminal mode: the same to this monitor
            out += "\n\r";
            return;
        case 'V': out += kMonitorVersion; return;
        default: break;
    }
    if (!parsed) return;
    switch (letter) {
        case 'o': out.push_back(static_cast<char>(readByte(address))); break;
        case 'h': {
            const std::uint32_t word = readWord(address & ~3u) >> (8 * (address & 2));
            out.push_back(static_cast<char>(word));
            out.push_back(static_cast<char>(word >> 8));
            break;
        }
        case 'w': {
            const std::uint32_t word = readWord(address);
            for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(word >> (8 * i)));
            break;
        }
        case 'O': writeByte(address, static_cast<std::uint8_t>(value)); break;
        case 'H':
            writeByte(address, static_cast<std::uint8_t>(value));
            writeByte(address + 1, static_cast<std::uint8_t>(value >> 8));
            break;
        case 'W': writeWord(address, value); break;
        case 'S':
            if (value == 0 || value > kMaxTransfer) return;
            transferAddress_ = address;
            transferSize_ = value;
            transfer_.clear();
            if (xmodem_) {
                block_.clear();
                blockNumber_ = 1;
                state_ = State::xmodemIn;
                out.push_back('C');
            } else {
                state_ = State::binaryIn;
            }
            break;
        case 'R':
            if (value == 0 || value > kMaxTransfer) return;
            transfer_.clear();
            for (std::uint32_t i = 0; i < value; ++i) transfer_.push_back(readByte(address + i));
            if (xmodem_) {
                transferSize_ = value;
                transferDone_ = 0;
                blockNumber_ = 1;
                state_ = State::xmodemOutStart;
            } else {
                out.append(transfer_.begin(), transfer_.end());
            }
            break;
        case 'G': go(address); break;
        default: break;
    }
}

void Bootloader::finishTransferIn() {
    for (std::uint32_t i = 0; i < transfer_.size(); ++i) writeByte(transferAddress_ + i, transfer_[i]);
    lastLoadAddress_ = transferAddress_;
    lastLoadSize_ = static_cast<std::uint32_t>(transfer_.size());
    transfer_.clear();
    block_.clear();
    state_ = State::command;
}

void Bootloader::beforeFlashRead() {
    if (!faults_.flipBitAfterWrite || flipped_ || !wrote()) return;
    const std::uint32_t address = writtenBegin_ + (writtenEnd_ - writtenBegin_) / 2;
    flash_.bytes()[address] ^= 0x01;
    flipped_ = true;
    std::fprintf(stderr, "orvane-sim: flipped bit 0 of flash at 0x%08X\n", address);
}

std::uint8_t Bootloader::readByte(std::uint32_t address) {
    if (inRange(address, 0, Flash::kSize)) {
        beforeFlashRead();
        return flash_.bytes()[address];
    }
    if (inRange(address, kRamBase, kRamSize)) return ram_[address - kRamBase];
    if (inRange(address, kUserRowBase, kUserRowSize)) return userRow_[address - kUserRowBase];
    return static_cast<std::uint8_t>(readWord(address & ~3u) >> (8 * (address & 3)));
}

std::uint32_t Bootloader::readWord(std::uint32_t address) {
    switch (address) {
        case kCpuid: return kCortexM0PlusCpuid;
        case kDsuDid: return kDeviceId;
        case kNvmCtrlB: return nvmCtrlB_;
        case kNvmParam: return (3u << 16) | Flash::kPages;        // page size code 3: 64 bytes
        case kNvmIntFlag: return 0x1u | (nvmError_ ? 0x2u : 0u);  // always ready: commands complete at once
        case kNvmStatus: return nvmStatus_;
        case kNvmAddr: return nvmAddr_;
        case kNvmLock: return 0xFFFF;  // no region locked
        default: break;
    }
    if (inRange(address, 0, Flash::kSize) || inRange(address, kRamBase, kRamSize) ||
        inRange(address, kUserRowBase, kUserRowSize)) {
        std::uint32_t word = 0;
        for (std::uint32_t i = 0; i < 4; ++i) word |= static_cast<std::uint32_t>(readByte(address + i)) << (8 * i);
        return word;
    }
    return 0;
}

void Bootloader::writeByte(std::uint32_t address, std::uint8_t value) {
    // Stores into flash or the user row go to the NVM page buffer; a command commits them.
    if (inRange(address, 0, Flash::kSize) || inRange(address, kUserRowBase, kUserRowSize)) {
        pageBuffer_[address % Flash::kPageSize] = value;
        pageBufferFill_ = std::max(pageBufferFill_, address % Flash::kPageSize + 1);
    } else if (inRange(address, kRamBase, kRamSize)) {
        ram_[address - kRamBase] = value;
    }
}

void Bootloader::writeWord(std::uint32_t address, std::uint32_t value) {
    switch (address) {
        case kNvmCtrlA: nvmCommand(value); return;
        case kNvmCtrlB: nvmCtrlB_ = value; return;
        case kNvmIntFlag:
            if (value & 0x2) nvmError_ = false;
            return;
        case kNvmStatus: nvmStatus_ &= ~value; return;
        case kNvmAddr: nvmAddr_ = value & 0x3FFFFF; return;
        case kAircr:
            if (value == kAircrSystemReset) {
                if (wrote()) flash_.setImage(writtenBegin_, writtenEnd_);
                resetRequested_ = true;
            }
            return;
        default: break;
    }
    for (std::uint32_t i = 0; i < 4; ++i) writeByte(address + i, static_cast<std::uint8_t>(value >> (8 * i)));
}

void Bootloader::nvmCommand(std::uint32_t value) {
    auto fail = [&] {
        nvmError_ = true;
        nvmStatus_ |= kNvmStatusProgrammingError;
    };
    if (((value >> 8) & 0xFF) != kNvmCommandKey) return fail();
    // ADDR holds a 16-bit-word address.
    const std::uint32_t address = nvmAddr_ * 2;
    auto& flash = flash_.bytes();
    switch (value & 0x7F) {
        case eraseRow:
            if (!inRange(address, 0, Flash::kSize)) return fail();
            std::fill_n(flash.begin() + (address / Flash::kRowSize) * Flash::kRowSize, Flash::kRowSize, 0xFF);
            break;
        case writePage: {
            if (!inRange(address, 0, Flash::kSize)) return fail();
            const std::uint32_t page = address / Flash::kPageSize * Flash::kPageSize;
            // Programming only clears bits: an unerased page keeps what the buffer does not clear.
            for (std::uint32_t i = 0; i < Flash::kPageSize; ++i) flash[page + i] &= pageBuffer_[i];
            if (pageBufferFill_ > 0) {
                writtenBegin_ = std::min(writtenBegin_, page);
                writtenEnd_ = std::max(writtenEnd_, page + pageBufferFill_);
            }
            if (faults_.vanishDuringWrite && ++pagesWritten_ >= kVanishAfterPages) vanished_ = true;
            break;
        }
        case eraseAuxRow:
            if (!inRange(address, kUserRowBase, kUserRowSize)) return fail();
            std::fill(userRow_.begin(), userRow_.end(), 0xFF);
            break;
        case writeAuxPage: {
            if (!inRange(address, kUserRowBase, kUserRowSize)) return fail();
            const std::uint32_t page = (address - kUserRowBase) / Flash::kPageSize * Flash::kPageSize;
            for (std::uint32_t i = 0; i < Flash::kPageSize; ++i) userRow_[page + i] &= pageBuffer_[i];
            break;
        }
        case pageBufferClear:
            std::fill(pageBuffer_.begin(), pageBuffer_.end(), 0xFF);
            pageBufferFill_ = 0;
            break;
        case lockRegion:
        case unlockRegion:
        case setSecurityBit: break;
        default: return fail();
    }
}

void Bootloader::go(std::uint32_t address) {
    // Like the monitor on the chip: the address is a vector of stack pointer and entry point.
    const std::uint32_t entry = readWord(address + 4);
    if (!(entry & 1) || !inRange(entry & ~1u, kRamBase, kRamSize)) return;
    // The only code bossac runs on this chip is its word-copy applet; run what it would do.
    const std::uint32_t applet = entry & ~1u;
    const std::uint32_t destination = readWord(applet + kAppletDestination);
    const std::uint32_t source = readWord(applet + kAppletSource);
    const std::uint32_t words = std::min<std::uint32_t>(readWord(applet + kAppletWords), kRamSize / 4);
    const std::uint32_t fill = pageBufferFill_;
    for (std::uint32_t i = 0; i < words; ++i) writeWord(destination + 4 * i, readWord(source + 4 * i));
    // The copy moves whole words of the RAM buffer; the host's own bytes are those of its latest
    // load into that buffer.
    if (inRange(destination, 0, Flash::kSize)) {
        const std::uint32_t meant = source == lastLoadAddress_ ? std::min(4 * words, lastLoadSize_) : 4 * words;
        pageBufferFill_ = std::max(fill, std::min(Flash::kPageSize, destination % Flash::kPageSize + meant));
    }
}

}  // namespace orvane::sim
