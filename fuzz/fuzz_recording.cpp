// libFuzzer target for the recording reader: any bytes either read as a recording whose every
// entry can be taken and jumped to, or fail with a one-line RecordingError. A crash, a hang, a
// sanitizer report or a broken promise of the reader's interface is a finding.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "device/Recording.h"

using orvane::Recording;
using orvane::RecordingError;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const auto recording = Recording::parse(text, "fuzz.csv");
        for (std::size_t i = 0; i < recording.size(); ++i) {
            const auto entry = recording.entry(i);
            if (entry.index != i || entry.time != recording.time(i)) std::abort();
            if (i > 0 && recording.time(i) < recording.time(i - 1)) std::abort();
            if (recording.indexAt(entry.time) < i) std::abort();
            for (std::size_t column = 0; column < recording.extraColumns().size(); ++column) {
                if (recording.extraText(i, column).size() > Recording::kMaximumFieldBytes) std::abort();
            }
        }
        if (recording.indexAt(-1e300) != (recording.empty() ? Recording::npos : 0)) std::abort();
        if (recording.warning() && std::strchr(recording.warning()->c_str(), '\n')) std::abort();
    } catch (const RecordingError& error) {
        if (std::strchr(error.what(), '\n') || error.line() > size + 1) std::abort();
    }
    return 0;
}
