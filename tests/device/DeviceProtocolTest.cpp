#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <type_traits>

#include <gtest/gtest.h>

#include "device/DeviceReport.h"
#include "device/DeviceTelemetry.h"
#include "device/TrafficLog.h"
#include "device/ValueSyntax.h"
#include "support/TemporaryDirectory.h"

namespace orvane {
namespace {

using namespace std::chrono;

TEST(ValueSyntax, NumberMustBeOneWholeStrtodValue) {
    EXPECT_EQ(parseNumber("12.5"), 12.5);
    EXPECT_EQ(parseNumber("-0.5"), -0.5);
    EXPECT_EQ(parseNumber("1e1"), 10.0);
    EXPECT_EQ(parseNumber("+3"), 3.0);
    EXPECT_EQ(parseNumber(".5"), 0.5);
    EXPECT_EQ(parseNumber("0x1p3"), 8.0);
    EXPECT_EQ(parseNumber("inf"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(parseNumber("-Infinity"), -std::numeric_limits<double>::infinity());
    ASSERT_TRUE(parseNumber("nan").has_value());
    EXPECT_TRUE(std::isnan(*parseNumber("nan")));

    for (const char* bad :
         {"", " 12", "12 ", "\t12", "12\r", "abc", "12abc", "1,5", "--1", "1e", "1e400", "-1e400", "1e-400"}) {
        EXPECT_FALSE(parseNumber(bad).has_value()) << "\"" << bad << "\"";
    }
    // A NUL inside the value must not cut it short.
    EXPECT_FALSE(parseNumber(std::string("12\0"
                                         "3",
                                         4))
                     .has_value());
}

TEST(ValueSyntax, NumberIgnoresTheProcessLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    std::string saved = previous ? previous : "C";
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_ALL, name)) {
            comma = name;
            break;
        }
    }
    // No such locale installed: compile one into a scratch directory (glibc's localedef, from
    // the locales package) and point the C library at it.
    testing::TemporaryDirectory compiled;
    const char* previousLocPath = std::getenv("LOCPATH");
    const std::string savedLocPath = previousLocPath ? previousLocPath : "";
    if (!comma) {
        const std::string command =
            "localedef -i de_DE -f UTF-8 '" + (compiled.path() / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0) {
            ::setenv("LOCPATH", compiled.path().c_str(), 1);
            if (std::setlocale(LC_ALL, "de_DE.UTF-8")) comma = "de_DE.UTF-8";
        }
    }
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma is installed, and localedef could not make one";
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 12.5);
    EXPECT_STREQ(printed, "12,5") << "the locale in force must really use a decimal comma";
    EXPECT_EQ(parseNumber("12.5"), 12.5);
    EXPECT_FALSE(parseNumber("12,5").has_value());
    std::setlocale(LC_ALL, saved.c_str());
    if (previousLocPath) {
        ::setenv("LOCPATH", savedLocPath.c_str(), 1);
    } else {
        ::unsetenv("LOCPATH");
    }
}

TEST(ValueSyntax, DecimalIntegerIsSignAndDigitsWithin64Bits) {
    EXPECT_EQ(parseDecimalInteger("0"), 0);
    EXPECT_EQ(parseDecimalInteger("+17"), 17);
    EXPECT_EQ(parseDecimalInteger("-17"), -17);
    EXPECT_EQ(parseDecimalInteger("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(parseDecimalInteger("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    for (const char* bad : {"", "+", "-", "9223372036854775808", " 1", "1 ", "1.0", "0x10", "+-1", "1e3", "12\r"}) {
        EXPECT_FALSE(parseDecimalInteger(bad).has_value()) << "\"" << bad << "\"";
    }
}

TEST(ValueSyntax, InternetDateTimeNeedsFractionAndZoneDesignator) {
    const auto expected = sys_days{2019y / May / 14} + 9h + 30min;
    EXPECT_EQ(parseInternetDateTime("2019-05-14T09:30:00.000Z"), expected);
    EXPECT_EQ(parseInternetDateTime("2019-05-14T11:30:00.000+02:00"), expected);
    EXPECT_EQ(parseInternetDateTime("2019-05-14T04:00:00.0-05:30"), expected);
    EXPECT_EQ(parseInternetDateTime("2019-05-14T09:30:00.5Z"), expected + 500ms);
    EXPECT_EQ(parseInternetDateTime("2019-05-14T09:30:00.123456789Z"), expected + 123456789ns);
    EXPECT_EQ(parseInternetDateTime("2020-02-29T23:59:59.999Z"), sys_days{2020y / February / 29} + 86399999ms);

    for (const char* bad : {"", "2019-05-14T09:30:00Z", "2019-05-14T09:30:00.Z", "2019-05-14T09:30:00.1234567890Z",
                            "2019-05-14T09:30:00.000", "2019-05-14T09:30:00.000z", "2019-05-14 09:30:00.000Z",
                            "2019-05-14T09:30:00.000+0200", "2019-02-29T09:30:00.000Z", "2019-13-01T09:30:00.000Z",
                            "2019-05-14T24:00:00.000Z", "2019-05-14T09:60:00.000Z", "2019-5-14T09:30:00.000Z",
                            "2019-05-14T09:30:00.000Z ", " 2019-05-14T09:30:00.000Z", "2019-05-14T09:30:00.000Z\r"}) {
        EXPECT_FALSE(parseInternetDateTime(bad).has_value()) << "\"" << bad << "\"";
    }
}

TEST(ValueSyntax, InternetDateTimeTextRoundTrips) {
    for (const char* text : {"2019-05-14T09:30:00.000Z", "1969-12-31T23:59:59.250Z", "2038-01-19T03:14:08.123456Z",
                             "2001-09-09T01:46:40.000000001Z"}) {
        auto time = parseInternetDateTime(text);
        ASSERT_TRUE(time) << text;
        EXPECT_EQ(internetDateTimeText(*time), text);
    }
}

TEST(ValueSyntax, InternetDateTimeCoversExactlyTheClocksRange) {
    // Every instant the parser accepts can be written back: at the clock's two ends too, where
    // the days they fall in start or end outside the clock.
    const auto earliest = system_clock::time_point::min();
    const auto latest = system_clock::time_point::max();
    const std::string earliestText = internetDateTimeText(earliest);
    const std::string latestText = internetDateTimeText(latest);
    EXPECT_EQ(parseInternetDateTime(earliestText), earliest) << earliestText;
    EXPECT_EQ(parseInternetDateTime(latestText), latest) << latestText;
    for (const char* text : {"1677-09-21T01:12:44.0Z", "1677-09-21T00:12:44.000Z", "2262-04-11T23:47:16.000Z",
                             "2262-04-11T00:00:00.000Z"}) {
        auto time = parseInternetDateTime(text);
        ASSERT_TRUE(time) << text;
        EXPECT_EQ(parseInternetDateTime(internetDateTimeText(*time)), time) << text;
    }
    if constexpr (std::is_same_v<system_clock::duration, nanoseconds>) {
        EXPECT_EQ(earliestText, "1677-09-21T00:12:43.145224192Z");
        EXPECT_EQ(latestText, "2262-04-11T23:47:16.854775807Z");
        EXPECT_EQ(internetDateTimeText(earliest + 1h), "1677-09-21T01:12:43.145224192Z");
        // One nanosecond outside the clock, also when an offset carries it there.
        for (const char* outside :
             {"1677-09-21T00:12:43.145224191Z", "2262-04-11T23:47:16.854775808Z", "1677-09-21T00:12:43.145224192+00:01",
              "2262-04-11T23:47:16.0-00:01", "1000-01-01T00:00:00.000Z", "9999-12-31T23:59:59.999Z"}) {
            EXPECT_FALSE(parseInternetDateTime(outside).has_value()) << outside;
        }
    }
}

TEST(DeviceEnumerations, DisplayTextsAndCaseNames) {
    EXPECT_EQ(description(TOIStatus::unknown), "Unknown");
    EXPECT_EQ(description(TOIStatus::inactive), "Not Active");
    EXPECT_EQ(description(TOIStatus::faulted), "Faulted");
    EXPECT_EQ(description(TOIStatus::active), "Activated");
    EXPECT_EQ(description(TOIStatus::temporaryDeactivated), "Temporarily Deactivated");
    EXPECT_EQ(caseName(TOIStatus::temporaryDeactivated), "temporaryDeactivated");
    EXPECT_EQ(static_cast<int>(TOIStatus::temporaryDeactivated), 4);

    EXPECT_EQ(description(LateralControlMethod{}), "Unknown");
    EXPECT_EQ(description(LateralControlMethod::fromDeviceText("HALF")), "HaLF");
    EXPECT_EQ(description(LateralControlMethod::fromDeviceText("APA")), "APA");
    EXPECT_EQ(description(LateralControlMethod::fromDeviceText("")), "Configuring");
    EXPECT_EQ(description(LateralControlMethod::fromDeviceText("x")), "x");
    EXPECT_EQ(caseName(LateralControlMethod::fromDeviceText("x")), "other");
    EXPECT_EQ(caseName(LateralControlMethod::fromDeviceText("HALF")), "half");
    EXPECT_EQ(LateralControlMethod::fromDeviceText("half"), LateralControlMethod::makeOther("half"));

    EXPECT_EQ(description(LongitudinalControlMethod{}), "Unknown");
    EXPECT_EQ(description(LongitudinalControlMethod::fromDeviceText("DASM")), "DASM");
    EXPECT_EQ(description(LongitudinalControlMethod::fromDeviceText("")), "Unknown");
    EXPECT_EQ(description(LongitudinalControlMethod::fromDeviceText("Brake")), "Brake");
    EXPECT_EQ(caseName(LongitudinalControlMethod::fromDeviceText("DASM")), "dasm");
}

TEST(DeviceTelemetry, SteeringSetsEveryPropertyAbsentKeysIncluded) {
    DeviceTelemetry telemetry;
    EXPECT_TRUE(telemetry.apply({"STEERING",
                                 {{"angle", "12.5"},
                                  {"apaTOI", "activated"},
                                  {"halfTOI", "temporary-deactivation"},
                                  {"assist-torque", "1.25"},
                                  {"driver-torque", "-0.5"}}}));
    EXPECT_EQ(telemetry.steeringWheelAngle, 12.5);
    EXPECT_EQ(telemetry.parkTOI, TOIStatus::active);
    EXPECT_EQ(telemetry.halfTOI, TOIStatus::temporaryDeactivated);
    EXPECT_EQ(telemetry.steeringAssistanceTorque, 1.25);
    EXPECT_EQ(telemetry.steeringDriverTorque, -0.5);

    telemetry.apply({"STEERING", {{"halfTOI", "faulted"}, {"apaTOI", "Activated"}, {"angle", "12\r"}}});
    EXPECT_EQ(telemetry.steeringWheelAngle, 0);
    EXPECT_EQ(telemetry.halfTOI, TOIStatus::faulted);
    EXPECT_EQ(telemetry.parkTOI, TOIStatus::inactive);

    telemetry.apply({"STEERING", {}});
    EXPECT_EQ(telemetry.steeringWheelAngle, 0);
    EXPECT_EQ(telemetry.parkTOI, TOIStatus::inactive);
    EXPECT_EQ(telemetry.halfTOI, TOIStatus::inactive);
    EXPECT_EQ(telemetry.steeringAssistanceTorque, 0);
    EXPECT_EQ(telemetry.steeringDriverTorque, 0);
}

TEST(DeviceTelemetry, StateAndDeviceInfo) {
    DeviceTelemetry telemetry;
    telemetry.apply({"STATE", {{"lateral-control-method", "APA"}, {"longitudinal-control-method", "DASM"}}});
    EXPECT_EQ(telemetry.lateralControlMethod.kind, LateralControlMethod::apa);
    EXPECT_EQ(telemetry.longitudinalControlMethod.kind, LongitudinalControlMethod::dasm);
    telemetry.apply({"STATE", {{"lateral-control-method", ""}}});
    EXPECT_EQ(telemetry.lateralControlMethod.kind, LateralControlMethod::configuring);
    EXPECT_EQ(telemetry.longitudinalControlMethod.kind, LongitudinalControlMethod::unknown);
    telemetry.apply({"STATE", {{"lateral-control-method", "x"}}});
    EXPECT_EQ(telemetry.lateralControlMethod, LateralControlMethod::makeOther("x"));

    telemetry.apply({"DEVICE-INFO", {{"version", "1.2"}}});
    EXPECT_EQ(telemetry.version, Version(1, 2, 0, 0));
    EXPECT_FALSE(telemetry.buildDate.has_value());
    EXPECT_EQ(telemetry.serialNumber, "");

    telemetry.apply(
        {"DEVICE-INFO",
         {{"version", "2.0.1.7"}, {"build-date", "2019-05-14T09:30:00.000Z"}, {"serial-number", "SN 42:a"}}});
    EXPECT_EQ(telemetry.version, Version(2, 0, 1, 7));
    EXPECT_EQ(telemetry.buildDate, sys_days{2019y / May / 14} + 9h + 30min);
    EXPECT_EQ(telemetry.serialNumber, "SN 42:a");

    // The version is stored as present even without the key; a bad date clears the old one.
    telemetry.apply({"DEVICE-INFO", {{"build-date", "2019-05-14T09:30:00Z"}}});
    EXPECT_EQ(telemetry.version, Version(0, 0, 0, 0));
    EXPECT_FALSE(telemetry.buildDate.has_value());
    EXPECT_TRUE(telemetry.name.empty());
}

TEST(DeviceTelemetry, StatisticsReplaceTheMapOnlyAsAWhole) {
    DeviceTelemetry telemetry;
    telemetry.apply({"STATISTICS", {{"can0-rx-message-count", "120"}, {"can1-rx-message-count", "+7"}, {"x", "1"}}});
    const std::map<std::int64_t, std::int64_t> expected{{0, 120}, {1, 7}};
    EXPECT_EQ(telemetry.receivedMessageCountsByChannel, expected);

    telemetry.apply({"STATISTICS", {{"can0-rx-message-count", "121"}}});
    EXPECT_EQ(telemetry.receivedMessageCountsByChannel, expected);
    telemetry.apply({"STATISTICS", {{"can0-rx-message-count", "121"}, {"can1-rx-message-count", "8.0"}}});
    EXPECT_EQ(telemetry.receivedMessageCountsByChannel, expected);

    telemetry.apply({"STATISTICS", {{"can0-rx-message-count", "-1"}, {"can1-rx-message-count", "0"}}});
    EXPECT_EQ(telemetry.receivedMessageCountsByChannel, (std::map<std::int64_t, std::int64_t>{{0, -1}, {1, 0}}));
}

TEST(DeviceTelemetry, AckAndUnknownNamesChangeNothing) {
    DeviceTelemetry telemetry;
    telemetry.apply({"STEERING", {{"angle", "3"}}});
    const DeviceTelemetry before = telemetry;
    EXPECT_TRUE(telemetry.apply({"ACK", {}}));
    EXPECT_FALSE(telemetry.apply({"FOO", {{"angle", "5"}}}));
    EXPECT_FALSE(telemetry.apply({"steering", {{"angle", "5"}}}));
    EXPECT_FALSE(telemetry.apply({"\nSTEERING", {{"angle", "5"}}}));
    EXPECT_EQ(telemetry.steeringWheelAngle, before.steeringWheelAngle);
    EXPECT_EQ(telemetry.parkTOI, before.parkTOI);
}

TEST(DeviceReport, ControlRequestCarriesPercentagesAsNumberText) {
    EXPECT_EQ(messageText(controlRequest(0, -0.5)), "CONTROL{lat:0.0\nlong:-50.0\n}");
    EXPECT_EQ(controlRequest(1e-07, 1).fields.at("lat"), "9.999999999999999e-06");
    EXPECT_EQ(controlRequest(-0.0, 1.0).fields.at("lat"), "-0.0");
    EXPECT_EQ(controlRequest(1.0 / 3.0, 0).fields.at("lat"), "33.33333333333333");
    EXPECT_EQ(controlRequest(std::nan(""), 0).fields.at("lat"), "nan");
}

// One escaping for every place that shows device text: the log line, the traffic's lines and
// the Traffic panel.
TEST(DeviceReport, DeviceTextIsEscapedForShowing) {
    const std::pair<std::string, std::string> cases[] = {
        {"STEERING", "STEERING"},
        {"", ""},
        {"a b=c:{}", "a b=c:{}"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"back\\slash", "back\\\\slash"},
        {"line\nend\r\ttab", "line\\nend\\r\\ttab"},
        {"\x1b[2J", "\\u001b[2J"},
        {std::string("nul\0", 4), "nul\\u0000"},
        {"\b\f\x1f", "\\b\\f\\u001f"},
        {"del\x7f", "del\\u007f"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},            // UTF-8 stays as it is
        {"bad\xc9 byte", "bad\xef\xbf\xbd byte"},  // a byte that is not UTF-8 becomes U+FFFD
    };
    for (const auto& [text, shown] : cases) EXPECT_EQ(escapedDeviceText(text), shown) << text;
    // The traffic's tokens and the log line escape with it, and quote where they must.
    EXPECT_EQ(trafficToken("del\x7f"), "\"del\\u007f\"");
    EXPECT_EQ(trafficFieldsText({"X", {{"k", "\b"}, {"ok", "1"}}}), "k=\"\\b\" ok=1");
    EXPECT_EQ(unknownMessageLogText({"N\x7f", {{"k", "\x7f"}}}), " N\\u007f:\n{\n    \"k\" = \"\\u007f\";\n}\n-------");
}

TEST(DeviceReport, UnknownMessageLogText) {
    EXPECT_EQ(unknownMessageLogText({"FOO", {{"a", "1"}}}), " FOO:\n{\n    \"a\" = \"1\";\n}\n-------");
    EXPECT_EQ(unknownMessageLogText({"BAR", {}}), " BAR:\n{\n}\n-------");
    EXPECT_EQ(unknownMessageLogText({"X", {{"k\"", "v\r"}}}), " X:\n{\n    \"k\\\"\" = \"v\\r\";\n}\n-------");
    // A name can neither drive the terminal nor forge a log line of its own.
    EXPECT_EQ(unknownMessageLogText({"\x1b[2J\nBAR:\n{\n}\n-------\n\"\\", {}}),
              " \\u001b[2J\\nBAR:\\n{\\n}\\n-------\\n\\\"\\\\:\n{\n}\n-------");
}

}  // namespace
}  // namespace orvane
