#include <gtest/gtest.h>

#include "device/BootloaderProbe.h"

using namespace orvane;

namespace {

TEST(BootloaderProbe, TakesAnyVersionLineOfTheFamilyAndNothingElse) {
    using namespace std::string_literals;
    const struct {
        std::string answer;
        std::optional<std::string> line;
    } cases[] = {
        {"v1.1 [Arduino:XYZ] Mar  5 2016 17:56:47\n\r", "v1.1 [Arduino:XYZ] Mar  5 2016 17:56:47"},
        {"v2.0 Orvane SAM-BA monitor Nov 30 2026 09:00:00\n\r", "v2.0 Orvane SAM-BA monitor Nov 30 2026 09:00:00"},
        {"v1.2\n\r", "v1.2"},
        {"v3\n\r", "v3"},
        // A late answer to the mode command before the line.
        {"\n\rv1.1 [Arduino:XYZ] Mar  5 2016 17:56:47\n\r", "v1.1 [Arduino:XYZ] Mar  5 2016 17:56:47"},
        // Cut off, or ended otherwise than the family ends its lines.
        {"v1.1 [Arduino:XYZ] Mar  5 20", std::nullopt},
        {"v1.1 [Arduino:XYZ]\n", std::nullopt},
        {"v1.1 [Arduino:XYZ]\r\n", std::nullopt},
        // Something else after the line: not the answer of a bootloader that was only asked.
        {"v1.1\n\rSTEERING{angle:1.0\n}", std::nullopt},
        // No version number right after the "v".
        {"version 1.1\n\r", std::nullopt},
        {"v.1\n\r", std::nullopt},
        {"v1..1\n\r", std::nullopt},
        {"v1.1.\n\r", std::nullopt},
        {"V1.1\n\r", std::nullopt},
        // The device's own reports, bytes that are not text, nothing.
        {"STEERING{angle:12.5\n}", std::nullopt},
        {"v1.1 \xff\n\r", std::nullopt},
        {"v1.1 \0\n\r"s, std::nullopt},
        {"\n\r", std::nullopt},
        {"", std::nullopt},
        {"v1.1 " + std::string(300, 'x') + "\n\r", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bootloaderVersionLine(c.answer), c.line) << ::testing::PrintToString(c.answer);
    }
}

}  // namespace
