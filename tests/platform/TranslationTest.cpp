#include <string>

#include <gtest/gtest.h>

#include "platform/Translation.h"

namespace orvane {
namespace {

TEST(Translation, ArgumentsFillTheirPlaceHoldersOnceAndTheRestStaysAsWritten) {
    struct Case {
        const char* pattern;
        std::string expected;
    };
    const Case cases[] = {
        {"Connection lost: %1.", "Connection lost: port closed."},
        // German may put the second value first.
        {"%2 von %1", "2 s von port closed"},
        // An argument that holds a place holder (a device's text) is not filled again.
        {"%3 then %2", "%2 then 2 s"},
        {"100% of %1", "100% of port closed"},
        {"%4 and %0 and a last %", "%4 and %0 and a last %"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(withArgs(c.pattern, std::string("port closed"), std::string("2 s"), std::string("%2")), c.expected)
            << c.pattern;
    }
}

TEST(Translation, TheInstalledTranslatorIsUsedUntilItIsRemoved) {
    EXPECT_EQ(translate("DeviceConnection", "Vehicle connnected"), "Vehicle connnected");
    setTranslator([](const char* context, const char* text) { return std::string(context) + "|" + text; });
    EXPECT_EQ(translate("DeviceConnection", "Vehicle connnected"), "DeviceConnection|Vehicle connnected");
    setTranslator(nullptr);
    EXPECT_EQ(translate("DeviceConnection", "Vehicle connnected"), "Vehicle connnected");
}

}  // namespace
}  // namespace orvane
