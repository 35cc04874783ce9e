#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include "inspector/SharedFormatters.h"
#include "inspector/SpeedFormatter.h"
#include "inspector/StatusIndication.h"
#include "support/FakeWidgets.h"

namespace orvane {
namespace {

// Sets ICU's default locale and time zone for one test and restores them afterwards.
class LocaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedLocale_ = icu::Locale::getDefault();
        savedZone_.reset(icu::TimeZone::createDefault());
    }
    void TearDown() override {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(savedLocale_, status);
        icu::TimeZone::setDefault(*savedZone_);
    }

    static void useLocale(const char* name) {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(name), status);
        ASSERT_TRUE(U_SUCCESS(status));
    }
    static void useTimeZone(const char* id) { icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone(id)); }

private:
    icu::Locale savedLocale_;
    std::unique_ptr<icu::TimeZone> savedZone_;
};

// 2019-06-14 10:30 in Los Angeles (17:30 UTC).
const std::chrono::system_clock::time_point kJune14 =
    std::chrono::system_clock::time_point{} + std::chrono::seconds(1560533400);

TEST(StatusIndicationTest, AppliesLampAndTextIndependently) {
    FakeImageView image;
    FakeTextField text;
    StatusIndication::warning("Connecting to vehicle...").apply(&image, &text);
    EXPECT_EQ(image.imageName, std::optional<std::string>("NSStatusPartiallyAvailable"));
    EXPECT_EQ(text.value, "Connecting to vehicle...");

    FakeTextField alone;
    StatusIndication::positive("Vehicle connnected").apply(nullptr, &alone);
    EXPECT_EQ(alone.value, "Vehicle connnected");

    FakeImageView lampOnly;
    StatusIndication::negative("Faulted").apply(&lampOnly, nullptr);
    EXPECT_EQ(lampOnly.imageName, std::optional<std::string>("NSStatusUnavailable"));
}

TEST(StatusIndicationTest, EachCaseHasItsImageAndNoneDiffersFromUnknown) {
    EXPECT_STREQ(StatusIndication::none("x").imageName(), "NSStatusNone");
    EXPECT_STREQ(StatusIndication::unknown("x").imageName(), "NSStatusNone");
    EXPECT_STREQ(StatusIndication::negative("x").imageName(), "NSStatusUnavailable");
    EXPECT_STREQ(StatusIndication::warning("x").imageName(), "NSStatusPartiallyAvailable");
    EXPECT_STREQ(StatusIndication::positive("x").imageName(), "NSStatusAvailable");

    EXPECT_NE(StatusIndication::none("Unknown"), StatusIndication::unknown("Unknown"));
    EXPECT_NE(StatusIndication::positive("a"), StatusIndication::positive("b"));
    EXPECT_EQ(StatusIndication::warning("a"), StatusIndication(StatusIndication::Case::warning, "a"));
}

using SpeedFormatterTest = LocaleTest;

TEST_F(SpeedFormatterTest, MetricLocaleKeepsKilometresPerHour) {
    SpeedFormatter formatter;
    formatter.setLocale("de_DE");
    EXPECT_EQ(formatter.stringForObjectValue(100.0), "100.0 km/hour");
    EXPECT_EQ(formatter.stringForObjectValue(0.0), "0.0 km/hour");
    EXPECT_EQ(formatter.stringForObjectValue(-10.0), "-10.0 km/hour");
    EXPECT_EQ(formatter.stringForObjectValue(120.5), "120.5 km/hour");
    EXPECT_EQ(formatter.stringForObjectValue(std::int64_t{5}), "5.0 km/hour");
}

TEST_F(SpeedFormatterTest, NonMetricLocalesMultiplyByPointSixTwo) {
    SpeedFormatter formatter;
    formatter.setLocale("en_US");
    EXPECT_EQ(formatter.stringForObjectValue(100.0), "62.0 miles/hour");
    EXPECT_EQ(formatter.stringForObjectValue(80.0), "49.6 miles/hour");
    EXPECT_EQ(formatter.stringForObjectValue(33.0), "20.46 miles/hour");
    EXPECT_EQ(formatter.stringForObjectValue(3.0), "1.8599999999999999 miles/hour");

    // The United Kingdom's system is neither metric nor US; it is not metric.
    formatter.setLocale("en_GB");
    EXPECT_EQ(formatter.stringForObjectValue(100.0), "62.0 miles/hour");
}

TEST_F(SpeedFormatterTest, NoLocaleFollowsTheCurrentLocaleAndAnAssignedOneOverridesIt) {
    SpeedFormatter formatter;
    useLocale("fr_FR");
    EXPECT_EQ(formatter.stringForObjectValue(100.0), "100.0 km/hour");
    useLocale("en_US");
    EXPECT_EQ(formatter.stringForObjectValue(100.0), "62.0 miles/hour");
    formatter.setLocale("fr_FR");
    EXPECT_EQ(formatter.stringForObjectValue(100.0), "100.0 km/hour");
    EXPECT_EQ(speedFormatter()->stringForObjectValue(100.0), "62.0 miles/hour");
}

TEST_F(SpeedFormatterTest, TextPassesThroughAndOtherValuesGiveNothing) {
    SpeedFormatter formatter;
    formatter.setLocale("de_DE");
    EXPECT_EQ(formatter.stringForObjectValue(std::string("Unknown")), "Unknown");
    EXPECT_EQ(formatter.stringForObjectValue(kJune14), std::nullopt);
    EXPECT_EQ(formatter.stringForObjectValue(FormatterValue{}), std::nullopt);
    EXPECT_EQ(formatter.stringForObjectValue(Version("1.0")), std::nullopt);
    // An integer that a double cannot hold exactly is not taken as a speed.
    EXPECT_EQ(formatter.stringForObjectValue(std::int64_t{(1LL << 53) + 1}), std::nullopt);
    EXPECT_EQ(formatter.stringForObjectValue(std::int64_t{(1LL << 53) + 2}), "9007199254740994.0 km/hour");
}

TEST_F(SpeedFormatterTest, NeverParses) {
    SpeedFormatter formatter;
    formatter.setLocale("de_DE");
    const std::string own = *formatter.stringForObjectValue(100.0);
    for (const std::string& text : {own, std::string("100"), std::string()}) {
        FormatterValue object = std::string("untouched");
        std::string description = "untouched";
        EXPECT_FALSE(formatter.getObjectValue(&object, text, &description));
        EXPECT_EQ(std::get<std::string>(object), "untouched");
        EXPECT_EQ(description, "untouched");
    }
}

using MessageCountFormatterTest = LocaleTest;

TEST_F(MessageCountFormatterTest, WritesPlainDigitsWithoutSeparators) {
    for (const char* locale : {"en_US", "de_DE", "fr_FR"}) {
        useLocale(locale);
        EXPECT_EQ(messageCountFormatter()->stringForObjectValue(std::int64_t{1234567}), "1234567") << locale;
        EXPECT_EQ(messageCountFormatter()->stringForObjectValue(std::int64_t{0}), "0") << locale;
    }
    useLocale("en_US");
    EXPECT_EQ(messageCountFormatter()->stringForObjectValue(std::int64_t{-42}), "-42");
    EXPECT_EQ(messageCountFormatter()->stringForObjectValue(std::string("12")), std::nullopt);
}

using BuildDateFormatterTest = LocaleTest;

TEST_F(BuildDateFormatterTest, WritesShortDateAndTimeInTheUsersLocaleAndZone) {
    useLocale("en_US");
    useTimeZone("America/Los_Angeles");
    EXPECT_EQ(buildDateFormatter()->stringForObjectValue(kJune14), "6/14/19, 10:30\u202FAM");

    // The shared formatter follows later changes of locale and time zone.
    useTimeZone("Europe/Berlin");
    useLocale("de_DE");
    EXPECT_EQ(buildDateFormatter()->stringForObjectValue(kJune14), "14.06.19, 19:30");

    EXPECT_EQ(buildDateFormatter()->stringForObjectValue(std::string("6/14/19")), std::nullopt);
    EXPECT_EQ(buildDateFormatter()->stringForObjectValue(1560533400.0), std::nullopt);
}

}  // namespace
}  // namespace orvane
