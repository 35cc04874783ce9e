#pragma once

#include <string>

#include "platform/Error.h"
#include "platform/Translation.h"

namespace orvane {

// A body that is not a JSON document (or only a bare value, not an object or array).
class JSONError : public Error {
public:
    explicit JSONError(std::string parserMessage) : parserMessage_(std::move(parserMessage)) {}

    const std::string& parserMessage() const { return parserMessage_; }

    std::string localizedDescription() const override {
        return withArgs(translate("JSONError", "The firmware information could not be read as JSON: %1"),
                        parserMessage_);
    }
    std::string domain() const override { return "orvane.JSONError"; }

private:
    std::string parserMessage_;
};

}  // namespace orvane
