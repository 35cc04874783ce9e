#pragma once

#include <optional>
#include <string>

#include "platform/Error.h"

namespace orvane {

// An error as the user reads it: what failed (the alert's message), and what to do followed by
// the technical details of the underlying failure (the alert's informative text).
class InformativeError : public Error {
public:
    // The recovery suggestion becomes `recoveryText` + "\n\nTechnical Details: " + the underlying
    // error's description; the failure reason defaults to that description. A missing underlying
    // error counts as one with an empty description.
    InformativeError(std::string errorDescription, const std::string& recoveryText, ErrorRef underlyingError,
                     std::optional<std::string> failureReason = std::nullopt);

    const std::optional<std::string>& errorDescription() const { return errorDescription_; }
    const ErrorRef& underlyingError() const { return underlyingError_; }

    std::string localizedDescription() const override;
    std::optional<std::string> failureReason() const override { return failureReason_; }
    std::optional<std::string> recoverySuggestion() const override { return recoverySuggestion_; }
    std::optional<std::string> helpAnchor() const override { return helpAnchor_; }
    // The underlying error's.
    std::optional<std::string> detailedText() const override {
        return underlyingError_ ? underlyingError_->detailedText() : std::nullopt;
    }
    std::string domain() const override { return "orvane::InformativeError"; }

private:
    std::optional<std::string> errorDescription_;
    std::optional<std::string> failureReason_;
    std::optional<std::string> recoverySuggestion_;
    std::optional<std::string> helpAnchor_;
    ErrorRef underlyingError_;
};

}  // namespace orvane
