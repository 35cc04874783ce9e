#include "platform/InformativeError.h"

#include "platform/Translation.h"

namespace orvane {

InformativeError::InformativeError(std::string errorDescription, const std::string& recoveryText,
                                   ErrorRef underlyingError, std::optional<std::string> failureReason)
    : errorDescription_(std::move(errorDescription)), underlyingError_(std::move(underlyingError)) {
    const std::string technicalDetails = underlyingError_ ? underlyingError_->localizedDescription() : std::string();
    failureReason_ = failureReason ? std::move(failureReason) : technicalDetails;
    recoverySuggestion_ =
        withArgs(translate("InformativeError", "%1\n\nTechnical Details: %2"), recoveryText, technicalDetails);
}

std::string InformativeError::localizedDescription() const { return errorDescription_.value_or(std::string()); }

}  // namespace orvane
