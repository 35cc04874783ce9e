#pragma once

#include <string>

#include "platform/Error.h"
#include "platform/Translation.h"

namespace orvane {

// A value that the console needed was absent.
class OptionalNilError : public Error {
public:
    std::string localizedDescription() const override {
        return translate("OptionalNilError", "A value was expected but there was not one present.");
    }
    std::string domain() const override { return "orvane::OptionalNilError"; }
};

}  // namespace orvane
