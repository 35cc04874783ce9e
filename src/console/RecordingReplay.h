#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/TelemetrySource.h"
#include "device/Recording.h"
#include "device/TrafficLog.h"
#include "platform/RepeatingTimer.h"

namespace orvane {

// Where a maneuver or one of its repeats begins in a recording made while a maneuver suite ran:
// the first row whose maneuver and repeat columns (SessionTap::kRecordingColumns, which
// orvane-monitor writes too) name it.
struct ReplayMark {
    std::size_t index = 0;  // the row
    double time = 0;        // its time, in seconds
    std::string maneuver;
    std::string repeat;          // as recorded: "1" for the first
    bool maneuverStart = false;  // a maneuver's first repeat (else a later one)

    friend bool operator==(const ReplayMark&, const ReplayMark&) = default;
};

// The marks of a recording, in time order: one wherever the maneuver or the repeat changes to one
// that is named. A row with an empty maneuver (outside a suite) ends the one before, so a suite
// run again is marked again. A new maneuver name or a repeat of "1" starts a maneuver. None
// without the maneuver column.
std::vector<ReplayMark> maneuverMarks(const Recording& recording);

// A recording played back as a source of telemetry: a playhead on the recording's own time
// axis (seconds since it started), the entry shown at it, a clock that moves the playhead while
// playing, and the views' data as they stood at the playhead: the entry's telemetry, the plots'
// 30 s window ending at the playhead (series()) and the messages up to the playhead (traffic()).
//
// An entry is shown once the playhead has reached its time; before the first entry's time
// nothing is. Seeking puts the playhead anywhere in [0, duration()] and shows the last entry at
// or before it; stepping moves one entry back or forward and puts the playhead on its time (so
// entries that share a time are stepped through one by one).
//
// While playing, a main-queue timer moves the playhead every 20 ms, the pace of the console's
// control tick, by the clock's time since the last move times the speed; at the end it stops.
// Nothing is redrawn here: the views read the source on their own refresh ticks, at the pace
// they keep for the live session. onChange runs after every move and every change of state.
//
// Main queue only. Create it with std::make_shared: its timer holds it weakly.
class RecordingReplay : public TelemetrySource, public std::enable_shared_from_this<RecordingReplay> {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::array<double, 6> kSpeeds{0.25, 0.5, 1, 2, 4, 8};
    static constexpr std::chrono::milliseconds kTickInterval{20};
    // The Traffic panel's history while replaying: the last messages up to the playhead (10 s at
    // 100 a second). A jump builds it afresh, so it is kept short enough for a jump to redraw fast.
    static constexpr std::size_t kTrafficEntries = 1000;
    // The plots' series hold the 30 s window of a recording of up to 400 messages a second.
    static constexpr std::size_t kSeriesCapacity = 12000;

    // `clock` gives the real time that moves the playhead (steady_clock::now unless given).
    explicit RecordingReplay(std::shared_ptr<const Recording> recording, Clock clock = nullptr);
    ~RecordingReplay() override;

    RecordingReplay(const RecordingReplay&) = delete;
    RecordingReplay& operator=(const RecordingReplay&) = delete;

    const Recording& recording() const { return *recording_; }
    // The recording's file name without its folder.
    const std::string& name() const { return name_; }
    // The time of the last entry, in seconds.
    double duration() const { return duration_; }
    // Where the recording's maneuvers and repeats begin (maneuverMarks), found once.
    const std::vector<ReplayMark>& marks() const { return marks_; }
    double playhead() const { return playhead_; }
    // The entry shown; none before the first entry's time (or in an empty recording).
    std::optional<std::size_t> currentIndex() const { return current_; }
    // The wall-clock time at the playhead: that of the entry shown (or of the first) moved by the
    // playhead's distance from it; none when the recording has no wall-clock times.
    std::optional<std::chrono::system_clock::time_point> wallClockTime() const;

    void seek(double seconds);
    void stepForward();
    void stepBackward();

    void play();
    void pause();
    void setPlaying(bool playing) { playing ? play() : pause(); }
    bool isPlaying() const { return timer_ != nullptr; }
    // One of kSpeeds (another value is taken as the nearest).
    void setSpeed(double speed);
    double speed() const { return speed_; }
    // Moves the playhead by the clock's time since the last move, times the speed (the timer's
    // work); at the end, stops playing.
    void advance();

    std::function<void()> onChange;

    // TelemetrySource: "Replaying NAME".
    StatusIndication status() const override;
    // The wheel at the recorded angle, the sliders at the recorded requests (0 before the first entry).
    ShownTelemetry shown() const override {
        return {.wheelAngle = telemetry_ ? telemetry_->steeringWheelAngle : 0.0, .requests = requests_};
    }
    std::optional<DeviceTelemetry> telemetry() const override;
    KnownTelemetryFields knownFields() const override { return knownFields_; }
    const std::shared_ptr<TelemetrySeries>& series() const override { return series_; }
    const std::shared_ptr<TrafficLog>& traffic() const override { return traffic_; }

private:
    // Puts the playhead at `seconds` with entry `index` shown, bringing the series and the
    // traffic up to it: forward by appending, otherwise afresh.
    void moveTo(double seconds, std::optional<std::size_t> index);
    void rebuildViews();
    void appendToViews(std::size_t from, std::size_t to);
    void changed();

    std::shared_ptr<const Recording> recording_;
    Clock clock_;
    std::string name_;
    double duration_ = 0;
    std::vector<ReplayMark> marks_;
    double playhead_ = 0;
    std::optional<std::size_t> current_;
    std::optional<DeviceTelemetry> telemetry_;
    ControlRequest requests_;
    KnownTelemetryFields knownFields_;
    double speed_ = 1;
    std::chrono::steady_clock::time_point lastAdvance_;
    std::unique_ptr<RepeatingTimer> timer_;

    // The series' clock: the playhead, or the time of the entry being appended. Shared with the
    // series, which may outlive the replay (its window then stays where the replay left it).
    std::shared_ptr<std::chrono::steady_clock::time_point> seriesTime_;
    std::shared_ptr<TelemetrySeries> series_;
    std::shared_ptr<TrafficLog> traffic_;
};

// A recording entry as a message in the traffic: its name, and for the messages whose values the
// recording holds (STEERING's angle and torques, STATISTICS' counts) those values under the
// device's keys. The entry's wall-clock time, where the recording has one, stamps it.
TrafficEntry replayedTrafficEntry(const RecordingEntry& entry);

}  // namespace orvane
