#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace orvane {

// A firmware version of four signed 64-bit components. Any text yields a version: components
// that are missing or unreadable are 0.
class Version {
public:
    Version() = default;
    // Brace initialisers: some system headers define function-like macros named major and minor.
    Version(std::int64_t majorValue, std::int64_t minorValue, std::int64_t revisionValue, std::int64_t buildValue)
        : major{majorValue}, minor{minorValue}, revision{revisionValue}, build{buildValue} {}

    // Splits at ".", drops empty pieces, pads to four with "0" and reads the first four as
    // decimal integers with an optional single sign; anything else in a piece makes it 0.
    explicit Version(std::string_view text);

    // "major.minor[.revision][.build]": the revision appears when positive (or as 0 when the
    // build is positive), the build only when positive.
    std::string description() const;

    // True when any one component is greater than the same component of `other`. This is not
    // an ordering: 1.5 and 2.0 each have a greater component than the other.
    bool hasGreaterComponent(const Version& other) const;

    friend bool operator==(const Version&, const Version&) = default;

    std::int64_t major = 0;
    std::int64_t minor = 0;
    std::int64_t revision = 0;
    std::int64_t build = 0;
};

std::ostream& operator<<(std::ostream& stream, const Version& version);

}  // namespace orvane
