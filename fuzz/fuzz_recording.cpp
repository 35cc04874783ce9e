// libFuzzer target for the recording reader and its replay: any bytes either read as a recording
// whose every entry can be taken and jumped to, or fail with a one-line RecordingError. A
// recording that reads is replayed: jumps to its first, middle and last rows, a step forward and
// back from each, a stretch of playing, and the views (telemetry, series, traffic, wall clock) at
// every stop. A crash, a hang, a sanitizer report or a broken promise of either interface is a
// finding.

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "console/RecordingReplay.h"
#include "console/TelemetrySeries.h"
#include "device/Recording.h"

using orvane::Recording;
using orvane::RecordingError;
using orvane::RecordingReplay;

namespace {

// What the replay shows at its playhead must agree with the recording.
void checkViews(const RecordingReplay& replay) {
    const Recording& recording = replay.recording();
    if (!(replay.playhead() >= 0 && replay.playhead() <= replay.duration())) std::abort();
    const auto current = replay.currentIndex();
    if (current.has_value() != replay.telemetry().has_value()) std::abort();
    const auto& traffic = replay.traffic()->history();
    if (traffic.size() > RecordingReplay::kTrafficEntries) std::abort();
    if (current) {
        if (*current >= recording.size() || recording.time(*current) > replay.playhead()) std::abort();
        if (traffic.empty() || traffic.back().message.name != recording.entry(*current).message) std::abort();
    } else if (!traffic.empty()) {
        std::abort();
    }
    (void)replay.wallClockTime();
    const double window = std::chrono::duration<double>(orvane::TelemetrySeries::kDefaultWindow).count();
    for (std::size_t kind = 0; kind < orvane::kTelemetrySeriesCount; ++kind) {
        for (const auto& point : replay.series()->points(static_cast<orvane::TelemetrySeriesKind>(kind))) {
            if (!(point.seconds <= 0 && point.seconds >= -window)) std::abort();
        }
    }
}

void replay(Recording recording) {
    auto shared = std::make_shared<const Recording>(std::move(recording));
    std::chrono::steady_clock::time_point now{};
    // The clock is injected, and advance() is called in place of the timer's ticks.
    const auto replay = std::make_shared<RecordingReplay>(shared, [&now] { return now; });
    checkViews(*replay);
    if (shared->empty()) return;
    const std::size_t last = shared->size() - 1;
    for (std::size_t row : {std::size_t{0}, last / 2, last}) {
        replay->seek(shared->time(row));
        checkViews(*replay);
        // Of the entries that share the row's time, the last is shown.
        if (replay->currentIndex() < row || shared->time(*replay->currentIndex()) != shared->time(row)) std::abort();
        replay->stepForward();
        checkViews(*replay);
        replay->stepBackward();
        checkViews(*replay);
    }
    replay->seek(0);
    replay->setSpeed(8);
    for (int tick = 0; tick < 3; ++tick) {
        now += std::chrono::milliseconds(700);
        replay->advance();
        checkViews(*replay);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        auto recording = Recording::parse(text, "fuzz.csv");
        for (std::size_t i = 0; i < recording.size(); ++i) {
            const auto entry = recording.entry(i);
            if (entry.index != i || entry.time != recording.time(i)) std::abort();
            if (i > 0 && recording.time(i) < recording.time(i - 1)) std::abort();
            if (!(entry.time >= 0 && entry.time <= Recording::kMaximumTime)) std::abort();
            if (recording.indexAt(entry.time) < i) std::abort();
            for (std::size_t column = 0; column < recording.extraColumns().size(); ++column) {
                if (recording.extraText(i, column).size() > Recording::kMaximumFieldBytes) std::abort();
            }
        }
        if (recording.indexAt(-1e300) != (recording.empty() ? Recording::npos : 0)) std::abort();
        if (recording.warning() && std::strchr(recording.warning()->c_str(), '\n')) std::abort();
        replay(std::move(recording));
    } catch (const RecordingError& error) {
        if (std::strchr(error.what(), '\n') || error.line() > size + 1) std::abort();
    }
    return 0;
}
