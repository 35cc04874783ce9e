#pragma once

#include <string>

#include "platform/Translation.h"
#include "update/FirmwareTrust.h"

namespace orvane {

// A downloaded firmware image whose SHA-256 differs from the one its document announced: a
// refusal, since the image is never written.
class ChecksumMismatchError : public FirmwareRefusedError {
public:
    ChecksumMismatchError(std::string expected, std::string actual)
        : FirmwareRefusedError(withArgs(
              translate("ChecksumMismatchError", "the image's SHA-256 is %1, not the announced %2"), actual, expected)),
          expected_(std::move(expected)),
          actual_(std::move(actual)) {}

    const std::string& expected() const { return expected_; }
    const std::string& actual() const { return actual_; }

    std::string localizedDescription() const override {
        return withArgs(translate("ChecksumMismatchError",
                                  "The downloaded firmware image does not match its published SHA-256 checksum "
                                  "(expected %1, received %2)."),
                        expected_, actual_);
    }
    std::string domain() const override { return "orvane.ChecksumMismatchError"; }

private:
    std::string expected_;
    std::string actual_;
};

}  // namespace orvane
