#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "platform/Error.h"

namespace orvane {

// A failure of the serial port. The case is carried as its raw value (-1 to 5), which is also the
// error's code; failedToOpen also carries the path and the system's errno so that the text can
// say what the user can do about it.
class PortError : public Error, public std::exception {
public:
    enum class Code : std::int32_t {
        failedToOpen = -1,
        invalidPath = 0,
        mustReceiveOrTransmit = 1,
        mustBeOpen = 2,
        stringsMustBeUTF8 = 3,
        unableToConvertByteToCharacter = 4,
        deviceNotConnected = 5,
    };
    using enum Code;

    explicit PortError(Code code, std::string path = {}, int systemError = 0);

    Code value() const { return code_; }
    std::int32_t rawValue() const { return static_cast<std::int32_t>(code_); }
    const std::string& path() const { return path_; }
    // errno of the failed system call; 0 when there was none.
    int systemError() const { return systemError_; }
    // True for failedToOpen because another program holds the port.
    bool isBusy() const;

    std::string localizedDescription() const override { return description_; }
    std::optional<std::string> recoverySuggestion() const override;
    std::string domain() const override { return "SerialPort.PortError"; }
    long code() const override { return rawValue(); }
    const char* what() const noexcept override { return description_.c_str(); }

    friend bool operator==(const PortError& error, Code code) { return error.code_ == code; }

private:
    Code code_;
    std::string path_;
    int systemError_;
    std::string description_;
};

}  // namespace orvane
