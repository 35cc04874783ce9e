#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/Error.h"
#include "platform/InformativeError.h"
#include "platform/OptionalNilError.h"

namespace orvane {
namespace {

ErrorRef underlying(const std::string& description) {
    return std::make_shared<PlatformError>("orvane::TransferError", 7, description);
}

TEST(InformativeErrorTest, RecoverySuggestionEndsWithTheTechnicalDetails) {
    const auto cause = underlying("The request timed out.");
    const InformativeError error("Unable to check for updates.", "Check your internet connection and try again.",
                                 cause);

    EXPECT_EQ(error.localizedDescription(), "Unable to check for updates.");
    EXPECT_EQ(error.errorDescription(), std::optional<std::string>("Unable to check for updates."));
    EXPECT_EQ(error.recoverySuggestion(), std::optional<std::string>("Check your internet connection and try again.\n\n"
                                                                     "Technical Details: The request timed out."));
    EXPECT_EQ(error.failureReason(), std::optional<std::string>("The request timed out."));
    EXPECT_EQ(error.helpAnchor(), std::nullopt);
    EXPECT_EQ(error.underlyingError(), cause);
}

TEST(InformativeErrorTest, AnExplicitFailureReasonIsKeptAndTheDetailsStillFollow) {
    const InformativeError error("Failed.", "Try again.", underlying("D"), std::string("F"));
    EXPECT_EQ(error.failureReason(), std::optional<std::string>("F"));
    EXPECT_EQ(error.recoverySuggestion(), std::optional<std::string>("Try again.\n\nTechnical Details: D"));
    EXPECT_EQ(error.helpAnchor(), std::nullopt);
}

TEST(InformativeErrorTest, EmptyPartsLeaveOnlyTheLabel) {
    const InformativeError emptyRecovery("Failed.", "", underlying("D"));
    EXPECT_EQ(emptyRecovery.recoverySuggestion(), std::optional<std::string>("\n\nTechnical Details: D"));

    const InformativeError emptyDetails("Failed.", "Try again.", underlying(""));
    EXPECT_EQ(emptyDetails.recoverySuggestion(), std::optional<std::string>("Try again.\n\nTechnical Details: "));

    // A missing underlying error is treated like one without a description instead of failing.
    const InformativeError missing("Failed.", "Try again.", nullptr);
    EXPECT_EQ(missing.recoverySuggestion(), std::optional<std::string>("Try again.\n\nTechnical Details: "));
    EXPECT_EQ(missing.failureReason(), std::optional<std::string>(""));
    EXPECT_EQ(missing.underlyingError(), nullptr);
}

TEST(InformativeErrorTest, OptionalNilErrorDescribesTheMissingValue) {
    const InformativeError error("Unable to check for updates.", "Try again.", std::make_shared<OptionalNilError>());
    EXPECT_EQ(error.recoverySuggestion(),
              std::optional<std::string>(
                  "Try again.\n\nTechnical Details: A value was expected but there was not one present."));
    EXPECT_EQ(OptionalNilError().failureReason(), std::nullopt);
}

}  // namespace
}  // namespace orvane
