#include "serial/PortError.h"

#include <cerrno>
#include <cstring>

namespace orvane {

namespace {

bool isBusyErrno(int systemError) {
    return systemError == EBUSY || systemError == EWOULDBLOCK || systemError == EAGAIN;
}

std::string describe(PortError::Code code, const std::string& path, int systemError) {
    switch (code) {
        case PortError::failedToOpen: {
            std::string name = path.empty() ? std::string("the serial port") : "“" + path + "”";
            if (systemError == EACCES || systemError == EPERM) {
                return "Could not open " + name + ": " + std::strerror(systemError) +
                       ". Your user must be in the “dialout” group to use serial ports.";
            }
            if (isBusyErrno(systemError)) {
                return "Could not open " + name + ": the port is busy, it is in use by another program.";
            }
            if (systemError == ENOTTY) return "Could not open " + name + ": it is not a serial device.";
            if (systemError != 0) return "Could not open " + name + ": " + std::strerror(systemError) + ".";
            return "Could not open " + name + ".";
        }
        case PortError::invalidPath: return "No serial port was given to open.";
        case PortError::mustReceiveOrTransmit:
            return "A serial port must be opened for reading, for writing or for both.";
        case PortError::mustBeOpen: return "The serial port is not open.";
        case PortError::stringsMustBeUTF8: return "Text sent or received on the serial port must be UTF-8.";
        case PortError::unableToConvertByteToCharacter:
            return "The device sent a byte that is not a 7-bit ASCII character.";
        case PortError::deviceNotConnected: return "The device is not connected.";
    }
    return "Serial port error " + std::to_string(static_cast<int>(code)) + ".";
}

}  // namespace

PortError::PortError(Code code, std::string path, int systemError)
    : code_(code),
      path_(std::move(path)),
      systemError_(systemError),
      description_(describe(code_, path_, systemError_)) {}

bool PortError::isBusy() const { return code_ == failedToOpen && isBusyErrno(systemError_); }

std::optional<std::string> PortError::recoverySuggestion() const {
    if (code_ != failedToOpen) return std::nullopt;
    if (systemError_ == EACCES || systemError_ == EPERM) {
        return "Add your user to the dialout group (sudo usermod -aG dialout $USER), then log out and in again.";
    }
    if (isBusy()) return "Quit the other program that uses the port, then connect again.";
    if (systemError_ == ENOENT || systemError_ == ENXIO || systemError_ == ENODEV) {
        return "Check that the device is plugged in.";
    }
    return std::nullopt;
}

}  // namespace orvane
