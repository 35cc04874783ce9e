#include <chrono>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "device/ValueSyntax.h"
#include "platform/OptionalNilError.h"
#include "update/FirmwareInformationDocument.h"
#include "update/JSONError.h"

namespace orvane {
namespace {

using namespace std::chrono;

constexpr const char* endpoint = "https://firmware.example.com/devices/orvane/firmware/latest.json";

// 2019-06-14T10:30:00Z
const system_clock::time_point june14 = system_clock::time_point{seconds{1560508200}};

TEST(ReleaseDate, AcceptsTheStrictFormWithAnyZone) {
    EXPECT_EQ(parseInternetDateTime("2019-06-14T10:30:00.000Z"), june14);
    EXPECT_EQ(parseInternetDateTime("2019-06-14T12:30:00.000+02:00"), june14);
    EXPECT_EQ(parseInternetDateTime("2019-06-14T05:00:00.000-05:30"), june14);
    EXPECT_EQ(parseInternetDateTime("2019-06-15T00:30:00.0+14:00"), june14);
    EXPECT_EQ(parseInternetDateTime("2019-06-14T10:30:00.5Z"), june14 + milliseconds{500});
    EXPECT_EQ(parseInternetDateTime("2019-06-14T10:30:00.123456789Z"), june14 + nanoseconds{123456789});
    EXPECT_EQ(parseInternetDateTime("2020-02-29T00:00:00.000Z"), system_clock::time_point{seconds{1582934400}});
    EXPECT_EQ(parseInternetDateTime("1969-12-31T23:59:59.000Z"), system_clock::time_point{seconds{-1}});
    // An expiry may leave the fraction out; a dot without digits is still wrong.
    EXPECT_EQ(parseInternetDateTime("2019-06-14T12:30:00+02:00", false), june14);
    EXPECT_EQ(parseInternetDateTime("2019-06-14T10:30:00.5Z", false), june14 + milliseconds{500});
    EXPECT_EQ(parseInternetDateTime("2019-06-14T10:30:00.Z", false), std::nullopt);
}

TEST(ReleaseDate, RejectsEveryOtherForm) {
    for (const char* text : {
             "2019-06-14T10:30:00Z",             // no fractional seconds
             "2019-06-14T10:30:00.Z",            // a dot without digits
             "2019-06-14T10:30:00.000",          // no zone
             "2019-06-14T10:30:00.0000000001Z",  // more than nanoseconds
             "2019-06-14 10:30:00.000Z",         // blank instead of T
             "2019-06-14t10:30:00.000Z",
             "2019-06-14T10:30:00.000z",
             "2019-06-14T10:30:00.000+0200",  // offset without colon
             "2019-06-14T10:30:00.000+02",
             "2019-06-14T10:30:00.000+24:00",
             "2019-06-14T10:30:00.000+02:60",
             "2019-06-14T10:30:00.000Z ",  // anything after the zone
             " 2019-06-14T10:30:00.000Z",
             "2019-6-14T10:30:00.000Z",
             "20190614T103000.000Z",
             "2019-02-29T10:30:00.000Z",  // not a leap year
             "2019-04-31T10:30:00.000Z",
             "2019-13-01T10:30:00.000Z",
             "2019-00-01T10:30:00.000Z",
             "2019-06-14T24:00:00.000Z",
             "2019-06-14T10:60:00.000Z",
             "2019-06-14T10:30:60.000Z",
             "+019-06-14T10:30:00.000Z",
             "2300-01-01T00:00:00.000Z",  // beyond what the clock holds
             "1600-01-01T00:00:00.000Z",
             "",
         }) {
        EXPECT_FALSE(parseInternetDateTime(text).has_value()) << text;
    }
}

TEST(URLReference, ResolvesByRFC3986AgainstTheEndpoint) {
    EXPECT_EQ(resolveURLReference(endpoint, "fw/1.4.2.bin"),
              "https://firmware.example.com/devices/orvane/firmware/fw/1.4.2.bin");
    EXPECT_EQ(resolveURLReference(endpoint, "/images/1.4.2.bin"), "https://firmware.example.com/images/1.4.2.bin");
    EXPECT_EQ(resolveURLReference(endpoint, "../1.4.2.bin"), "https://firmware.example.com/devices/orvane/1.4.2.bin");
    EXPECT_EQ(resolveURLReference(endpoint, "http://cdn.example.net:8080/a/b.bin?x=1"),
              "http://cdn.example.net:8080/a/b.bin?x=1");
    EXPECT_EQ(resolveURLReference(endpoint, "//cdn.example.net/b.bin"), "https://cdn.example.net/b.bin");
    EXPECT_EQ(resolveURLReference(endpoint, "fw.bin?token=abc"),
              "https://firmware.example.com/devices/orvane/firmware/fw.bin?token=abc");

    EXPECT_FALSE(resolveURLReference(endpoint, "fw/with space.bin").has_value());
    EXPECT_FALSE(resolveURLReference(endpoint, "fw/caf\xc3\xa9.bin").has_value());
    EXPECT_FALSE(resolveURLReference(endpoint, "").has_value());
    EXPECT_FALSE(resolveURLReference(endpoint, "http://[::1/x").has_value());
    EXPECT_FALSE(resolveURLReference("not a url", "fw.bin").has_value());
}

std::string document(const std::string& members) { return "{" + members + "}"; }

const std::string versionMember = R"("version": "1.4.2")";
const std::string notesMember = R"("releaseNotes": "Faster steering.\nFixes.")";
const std::string dateMember = R"("date": "2019-06-14T10:30:00.000Z")";
const std::string locationMember = R"("location": "fw/1.4.2.bin")";

std::string fullDocument(const std::string& extra = "") {
    return document(versionMember + "," + notesMember + "," + dateMember + "," + locationMember + extra);
}

template <typename ErrorType>
bool isError(const UpdateInformationResult& result) {
    const auto* error = std::get_if<ErrorRef>(&result);
    return error != nullptr && dynamic_cast<const ErrorType*>(error->get()) != nullptr;
}

TEST(FirmwareInformationDocument, ReadsAGoodDocument) {
    const auto result =
        parseFirmwareInformationDocument(fullDocument(R"(, "size": 123456, "channel": null)"), endpoint);
    ASSERT_TRUE(std::holds_alternative<DeviceSoftwareUpdateInformation>(result));
    const auto& information = std::get<DeviceSoftwareUpdateInformation>(result);
    EXPECT_EQ(information.version, Version(1, 4, 2, 0));
    EXPECT_EQ(information.releaseNotes, "Faster steering.\nFixes.");
    EXPECT_EQ(information.releaseDate, june14);
    EXPECT_EQ(information.downloadURL, "https://firmware.example.com/devices/orvane/firmware/fw/1.4.2.bin");
    EXPECT_FALSE(information.sha256.has_value());

    // An unreadable version is still a record.
    const auto abc = parseFirmwareInformationDocument(
        document(R"("version": "abc",)" + notesMember + "," + dateMember + "," + locationMember), endpoint);
    ASSERT_TRUE(std::holds_alternative<DeviceSoftwareUpdateInformation>(abc));
    EXPECT_EQ(std::get<DeviceSoftwareUpdateInformation>(abc).version, Version(0, 0, 0, 0));
}

TEST(FirmwareInformationDocument, MissingOrUnusableValuesGiveOptionalNilError) {
    const std::string r = R"("releaseDate": "2019-06-14T10:30:00.000Z")";
    for (const std::string& body : {
             document(notesMember + "," + dateMember + "," + locationMember),
             document(versionMember + "," + dateMember + "," + locationMember + R"(, "notes": "x")"),
             document(versionMember + "," + notesMember + "," + locationMember + "," + r),
             document(versionMember + "," + notesMember + "," + dateMember),
             document(versionMember + "," + notesMember + R"(, "date": "2019-06-14T10:30:00Z",)" + locationMember),
             document(R"("version": 1.4,)" + notesMember + "," + dateMember + "," + locationMember),
             document(versionMember + R"(, "releaseNotes": null,)" + dateMember + "," + locationMember),
             document(versionMember + "," + notesMember + "," + dateMember + R"(, "location": ["fw.bin"])"),
             document(versionMember + "," + notesMember + "," + dateMember + R"(, "location": "a b.bin")"),
             std::string("[") + fullDocument() + "]",
             std::string("{}"),
         }) {
        EXPECT_TRUE(isError<OptionalNilError>(parseFirmwareInformationDocument(body, endpoint))) << body;
    }
}

TEST(FirmwareInformationDocument, BodiesThatAreNotJSONObjectsGiveJSONError) {
    for (const std::string& body : {
             std::string("<html>Not Found</html>"),
             std::string(""),
             std::string("\"1.4.2\""),
             std::string("42"),
             std::string("null"),
             fullDocument().substr(0, 40),
             std::string("{\"version\": \"1.\xff\"}"),
         }) {
        const auto result = parseFirmwareInformationDocument(body, endpoint);
        ASSERT_TRUE(isError<JSONError>(result)) << body;
        EXPECT_FALSE(std::get<ErrorRef>(result)->localizedDescription().empty());
    }
}

TEST(FirmwareInformationDocument, KeepsAWellFormedChecksumAndRefusesAMalformedOne) {
    const std::string digest = "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08";
    const auto result = parseFirmwareInformationDocument(fullDocument(R"(, "sha256": ")" + digest + "\""), endpoint);
    ASSERT_TRUE(std::holds_alternative<DeviceSoftwareUpdateInformation>(result));
    EXPECT_EQ(std::get<DeviceSoftwareUpdateInformation>(result).sha256,
              "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");

    for (const std::string& member : {
             R"(, "sha256": ")" + digest.substr(1) + "\"",
             R"(, "sha256": ")" + digest + "0\"",
             R"(, "sha256": ")" + digest.substr(1) + "g\"",
             std::string(R"(, "sha256": null)"),
             std::string(R"(, "sha256": 12)"),
         }) {
        EXPECT_TRUE(isError<OptionalNilError>(parseFirmwareInformationDocument(fullDocument(member), endpoint)))
            << member;
    }
}

}  // namespace
}  // namespace orvane
