#include "serial/PortError.h"

#include <cerrno>
#include <cstring>

#include "platform/Translation.h"

namespace orvane {

namespace {

bool isBusyErrno(int systemError) {
    return systemError == EBUSY || systemError == EWOULDBLOCK || systemError == EAGAIN;
}

std::string describe(PortError::Code code, const std::string& path, int systemError) {
    switch (code) {
        case PortError::failedToOpen: {
            const std::string name = path.empty() ? translate("PortError", "the serial port")
                                                  : withArgs(translate("PortError", "“%1”"), path);
            if (systemError == EACCES || systemError == EPERM) {
                return withArgs(translate("PortError",
                                          "Could not open %1: %2. Your user must be in the “dialout” group to use "
                                          "serial ports."),
                                name, std::strerror(systemError));
            }
            if (isBusyErrno(systemError)) {
                return withArgs(
                    translate("PortError", "Could not open %1: the port is busy, it is in use by another program."),
                    name);
            }
            if (systemError == ENOTTY) {
                return withArgs(translate("PortError", "Could not open %1: it is not a serial device."), name);
            }
            if (systemError != 0) {
                return withArgs(translate("PortError", "Could not open %1: %2."), name, std::strerror(systemError));
            }
            return withArgs(translate("PortError", "Could not open %1."), name);
        }
        case PortError::invalidPath: return translate("PortError", "No serial port was given to open.");
        case PortError::mustReceiveOrTransmit:
            return translate("PortError", "A serial port must be opened for reading, for writing or for both.");
        case PortError::mustBeOpen: return translate("PortError", "The serial port is not open.");
        case PortError::stringsMustBeUTF8:
            return translate("PortError", "Text sent or received on the serial port must be UTF-8.");
        case PortError::unableToConvertByteToCharacter:
            return translate("PortError", "The device sent a byte that is not a 7-bit ASCII character.");
        case PortError::deviceNotConnected: return translate("PortError", "The device is not connected.");
    }
    return withArgs(translate("PortError", "Serial port error %1."), std::to_string(static_cast<int>(code)));
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
        return translate("PortError",
                         "Add your user to the dialout group (sudo usermod -aG dialout $USER), then log out and in "
                         "again.");
    }
    if (isBusy()) return translate("PortError", "Quit the other program that uses the port, then connect again.");
    if (systemError_ == ENOENT || systemError_ == ENXIO || systemError_ == ENODEV) {
        return translate("PortError", "Check that the device is plugged in.");
    }
    return std::nullopt;
}

}  // namespace orvane
