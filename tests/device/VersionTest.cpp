#include <gtest/gtest.h>

#include "device/Version.h"

namespace orvane {
namespace {

struct ParseCase {
    const char* text;
    Version expected;
};

TEST(Version, ParsesDottedTextPaddingAndDroppingPieces) {
    const ParseCase cases[] = {
        {"", {0, 0, 0, 0}},
        {"1.2", {1, 2, 0, 0}},
        {"1.2.3.4.5", {1, 2, 3, 4}},
        {"1..2", {1, 2, 0, 0}},
        {".1.2.", {1, 2, 0, 0}},
        {"...", {0, 0, 0, 0}},
        {"v1.2", {0, 2, 0, 0}},
        {" 1.2", {0, 2, 0, 0}},
        {"1.2.3-beta", {1, 2, 0, 0}},
        {"1.2.3\r", {1, 2, 0, 0}},
        {"+1.-2", {1, -2, 0, 0}},
        {"++1.--2.+-3.-", {0, 0, 0, 0}},
        {"99999999999999999999.7", {0, 7, 0, 0}},
        {"9223372036854775807.-9223372036854775808", {INT64_MAX, INT64_MIN, 0, 0}},
        {"9223372036854775808.1", {0, 1, 0, 0}},
        {"1.2.3.4.x.y", {1, 2, 3, 4}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Version(c.text), c.expected) << "text: \"" << c.text << "\"";
    }
}

TEST(Version, DescriptionShowsRevisionAndBuildOnlyWhenPositive) {
    EXPECT_EQ(Version("").description(), "0.0");
    EXPECT_EQ(Version("1.2").description(), "1.2");
    EXPECT_EQ(Version("1.2.3").description(), "1.2.3");
    EXPECT_EQ(Version("1.2.0.5").description(), "1.2.0.5");
    EXPECT_EQ(Version("1.2.3.5").description(), "1.2.3.5");
    EXPECT_EQ(Version("1.2.3.0").description(), "1.2.3");
    EXPECT_EQ(Version("+1.-2").description(), "1.-2");
    EXPECT_EQ(Version(1, 2, -1, 5).description(), "1.2.5");
    EXPECT_EQ(Version(1, 2, -1, 0).description(), "1.2");
    EXPECT_EQ(Version(-1, -2, 3, -4).description(), "-1.-2.3");
}

TEST(Version, EqualityIsFieldByField) {
    EXPECT_EQ(Version("1.2.3.4"), Version("1.2.3.4"));
    EXPECT_NE(Version("1.2.3.4"), Version("1.2.3.5"));
    EXPECT_EQ(Version("1.2"), Version("1.2.0.0"));
    EXPECT_NE(Version(0, 0, 0, 1), Version(0, 0, 0, 0));
}

TEST(Version, HasGreaterComponentComparesEachFieldOnItsOwn) {
    EXPECT_FALSE(Version("1.2.3.4").hasGreaterComponent(Version("1.2.3.4")));
    EXPECT_TRUE(Version("1.2.3.5").hasGreaterComponent(Version("1.2.3.4")));
    EXPECT_TRUE(Version("1.5.0.0").hasGreaterComponent(Version("2.0.0.0")));
    EXPECT_TRUE(Version("2.0.0.0").hasGreaterComponent(Version("1.5.0.0")));
    EXPECT_FALSE(Version("1.0.0.0").hasGreaterComponent(Version("1.0.0.0")));
    EXPECT_TRUE(Version("1.0.1").hasGreaterComponent(Version("1.0.0.9")));
    EXPECT_FALSE(Version("1.0.0.0").hasGreaterComponent(Version("1.0.0.1")));
}

}  // namespace
}  // namespace orvane
