#include "console/RecordingReplay.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "console/SessionTap.h"
#include "console/TelemetrySeries.h"
#include "device/NumberText.h"
#include "device/TrafficLog.h"
#include "device/ValueSyntax.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

// A time on the recording's axis as a point of the clocks the series and the traffic stamp with.
template <typename TimePoint>
TimePoint timePointOf(double seconds) {
    return TimePoint{} +
           std::chrono::duration_cast<typename TimePoint::duration>(std::chrono::duration<double>(seconds));
}

constexpr double kSeriesWindowSeconds = std::chrono::duration<double>(TelemetrySeries::kDefaultWindow).count();

// The device's texts that decode to a recorded value (the reverse of the decoders in
// DeviceTelemetry::apply); none for a value no message decodes to.
std::optional<std::string> toiDeviceText(TOIStatus status) {
    switch (status) {
        case TOIStatus::unknown: return std::nullopt;
        case TOIStatus::inactive: return "inactive";
        case TOIStatus::faulted: return "faulted";
        case TOIStatus::active: return "activated";
        case TOIStatus::temporaryDeactivated: return "temporary-deactivation";
    }
    return std::nullopt;
}

std::optional<std::string> lateralMethodDeviceText(const LateralControlMethod& method) {
    switch (method.kind) {
        case LateralControlMethod::other: return method.otherText;
        case LateralControlMethod::unknown: return std::nullopt;
        case LateralControlMethod::half: return "HALF";
        case LateralControlMethod::apa: return "APA";
        case LateralControlMethod::configuring: return "";
    }
    return std::nullopt;
}

std::optional<std::string> longitudinalMethodDeviceText(const LongitudinalControlMethod& method) {
    switch (method.kind) {
        case LongitudinalControlMethod::other: return method.otherText;
        case LongitudinalControlMethod::unknown: return "";
        case LongitudinalControlMethod::dasm: return "DASM";
    }
    return std::nullopt;
}

}  // namespace

TrafficEntry replayedTrafficEntry(const RecordingEntry& entry) {
    TrafficEntry traffic;
    traffic.steadyTime = timePointOf<std::chrono::steady_clock::time_point>(entry.time);
    traffic.systemTime = entry.wallClockTime.value_or(timePointOf<std::chrono::system_clock::time_point>(entry.time));
    traffic.direction = TrafficDirection::received;
    traffic.message.name = entry.message;
    auto& fields = traffic.message.fields;
    const DeviceTelemetry& telemetry = entry.telemetry;
    // Each value the row holds goes back under the key the device sent it with, in the device's
    // text, so the message reads as it came (and decodes to the values the row holds).
    const auto put = [&](RecordingField field, const char* key, const std::optional<std::string>& text) {
        if (entry.known(field) && text) fields[key] = *text;
    };
    if (entry.message == "STEERING") {
        put(RecordingField::steeringWheelAngle, "angle", numberText(telemetry.steeringWheelAngle));
        put(RecordingField::parkTOI, "apaTOI", toiDeviceText(telemetry.parkTOI));
        put(RecordingField::halfTOI, "halfTOI", toiDeviceText(telemetry.halfTOI));
        put(RecordingField::steeringAssistanceTorque, "assist-torque", numberText(telemetry.steeringAssistanceTorque));
        put(RecordingField::steeringDriverTorque, "driver-torque", numberText(telemetry.steeringDriverTorque));
    } else if (entry.message == "STATE") {
        put(RecordingField::lateralControlMethod, "lateral-control-method",
            lateralMethodDeviceText(telemetry.lateralControlMethod));
        put(RecordingField::longitudinalControlMethod, "longitudinal-control-method",
            longitudinalMethodDeviceText(telemetry.longitudinalControlMethod));
    } else if (entry.message == "DEVICE-INFO") {
        if (telemetry.version) put(RecordingField::version, "version", telemetry.version->description());
        if (telemetry.buildDate)
            put(RecordingField::buildDate, "build-date", internetDateTimeText(*telemetry.buildDate));
        put(RecordingField::serialNumber, "serial-number", telemetry.serialNumber);
    } else if (entry.message == "STATISTICS") {
        for (const auto& [field, channel] :
             {std::pair{RecordingField::can0ReceivedMessages, 0}, std::pair{RecordingField::can1ReceivedMessages, 1}}) {
            const auto count = telemetry.receivedMessageCount(channel);
            if (entry.known(field) && count) {
                fields["can" + std::to_string(channel) + "-rx-message-count"] = std::to_string(*count);
            }
        }
    }
    return traffic;
}

std::vector<ReplayMark> maneuverMarks(const Recording& recording) {
    std::vector<ReplayMark> marks;
    const auto maneuverColumn = recording.extraColumn(SessionTap::kRecordingColumns.at(0));
    if (!maneuverColumn) return marks;
    const auto repeatColumn = recording.extraColumn(SessionTap::kRecordingColumns.at(1));
    static const std::string kNone;
    const std::string* maneuver = &kNone;
    const std::string* repeat = &kNone;
    for (std::size_t i = 0; i < recording.size(); ++i) {
        const std::string& rowManeuver = recording.extraText(i, *maneuverColumn);
        const std::string& rowRepeat = repeatColumn ? recording.extraText(i, *repeatColumn) : kNone;
        if (!rowManeuver.empty() && (rowManeuver != *maneuver || rowRepeat != *repeat)) {
            marks.push_back({.index = i,
                             .time = recording.time(i),
                             .maneuver = rowManeuver,
                             .repeat = rowRepeat,
                             .maneuverStart = rowManeuver != *maneuver || rowRepeat == "1"});
        }
        maneuver = &rowManeuver;
        repeat = &rowRepeat;
    }
    return marks;
}

RecordingReplay::RecordingReplay(std::shared_ptr<const Recording> recording, Clock clock)
    : recording_(std::move(recording)),
      clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })),
      name_(std::filesystem::path(recording_->path()).filename().string()),
      duration_(recording_->empty() ? 0 : recording_->time(recording_->size() - 1)),
      marks_(maneuverMarks(*recording_)),
      seriesTime_(std::make_shared<std::chrono::steady_clock::time_point>()),
      series_(std::make_shared<TelemetrySeries>([time = seriesTime_] { return *time; }, TelemetrySeries::kDefaultWindow,
                                                kSeriesCapacity)),
      traffic_(std::make_shared<TrafficLog>(kTrafficEntries, kTrafficEntries)) {
    seek(0);
}

RecordingReplay::~RecordingReplay() { timer_.reset(); }

std::optional<std::chrono::system_clock::time_point> RecordingReplay::wallClockTime() const {
    if (recording_->empty()) return std::nullopt;
    const RecordingEntry entry = recording_->entry(current_.value_or(0));
    if (!entry.wallClockTime) return std::nullopt;
    using Wall = std::chrono::system_clock;
    const auto offset =
        std::chrono::duration_cast<Wall::duration>(std::chrono::duration<double>(playhead_ - entry.time));
    // The reader takes any date the clock holds: near the clock's ends the sum stops at them.
    const Wall::duration wall = entry.wallClockTime->time_since_epoch();
    if (offset > Wall::duration::zero() && wall > Wall::duration::max() - offset) return Wall::time_point::max();
    if (offset < Wall::duration::zero() && wall < Wall::duration::min() - offset) return Wall::time_point::min();
    return Wall::time_point(wall + offset);
}

void RecordingReplay::seek(double seconds) {
    if (!std::isfinite(seconds)) return;
    seconds = std::clamp(seconds, 0.0, duration_);
    std::optional<std::size_t> index;
    if (!recording_->empty() && recording_->time(0) <= seconds) index = recording_->indexAt(seconds);
    moveTo(seconds, index);
    changed();
}

void RecordingReplay::stepForward() {
    const std::size_t next = current_ ? *current_ + 1 : 0;
    if (next >= recording_->size()) return;
    moveTo(recording_->time(next), next);
    changed();
}

void RecordingReplay::stepBackward() {
    if (!current_ || *current_ == 0) return;
    moveTo(recording_->time(*current_ - 1), *current_ - 1);
    changed();
}

void RecordingReplay::play() {
    if (timer_ || recording_->empty()) return;
    // Played to its end, a recording plays again from its start.
    if (playhead_ >= duration_) moveTo(0, recording_->time(0) <= 0 ? std::optional<std::size_t>(0) : std::nullopt);
    lastAdvance_ = clock_();
    std::weak_ptr<RecordingReplay> weak = std::static_pointer_cast<RecordingReplay>(shared_from_this());
    timer_ = RepeatingTimer::start(
        RepeatingTimer::Queue::main, kTickInterval, kTickInterval,
        [weak] {
            if (auto self = weak.lock()) self->advance();
        },
        "orvane-replay");
    changed();
}

void RecordingReplay::pause() {
    if (!timer_) return;
    advance();
    timer_.reset();
    changed();
}

void RecordingReplay::setSpeed(double speed) {
    const double chosen = *std::min_element(kSpeeds.begin(), kSpeeds.end(), [speed](double a, double b) {
        return std::abs(a - speed) < std::abs(b - speed);
    });
    // The time played so far counts at the speed it was played at.
    if (timer_) advance();
    speed_ = chosen;
    changed();
}

void RecordingReplay::advance() {
    const auto now = clock_();
    const double elapsed = std::chrono::duration<double>(now - lastAdvance_).count();
    lastAdvance_ = now;
    double target = playhead_ + std::max(elapsed, 0.0) * speed_;
    const bool atEnd = target >= duration_;
    if (atEnd) target = duration_;
    std::size_t next = current_ ? *current_ + 1 : 0;
    while (next < recording_->size() && recording_->time(next) <= target) ++next;
    moveTo(target, next > 0 ? std::optional<std::size_t>(next - 1) : std::nullopt);
    if (atEnd) timer_.reset();
    changed();
}

StatusIndication RecordingReplay::status() const {
    return StatusIndication::replaying(withArgs(translate("RecordingReplay", "Replaying %1"), name_));
}

std::optional<DeviceTelemetry> RecordingReplay::telemetry() const { return telemetry_; }

void RecordingReplay::moveTo(double seconds, std::optional<std::size_t> index) {
    const std::optional<std::size_t> previous = current_;
    const bool forward = seconds >= playhead_;
    playhead_ = seconds;
    current_ = index;
    *seriesTime_ = timePointOf<std::chrono::steady_clock::time_point>(playhead_);
    if (index) {
        RecordingEntry entry = recording_->entry(*index);
        telemetry_ = std::move(entry.telemetry);
        knownFields_ = entry.knownFields;
        requests_ = {entry.requestLateral, entry.requestLongitudinal};
    } else {
        telemetry_.reset();
        knownFields_.set();
        requests_ = {};
    }
    // Forward by a few entries, the views take the new ones; back (the plots' window then starts
    // earlier) or far, they are built afresh.
    if (forward && previous && index && *index >= *previous && *index - *previous <= kTrafficEntries) {
        appendToViews(*previous + 1, *index + 1);
    } else if (!forward || previous != index) {
        rebuildViews();
    }
}

void RecordingReplay::rebuildViews() {
    series_->clear();
    traffic_->clear();
    if (!current_) return;
    const std::size_t end = *current_ + 1;
    const std::size_t seriesFrom = recording_->indexAt(playhead_ - kSeriesWindowSeconds);
    const std::size_t trafficFrom = end > kTrafficEntries ? end - kTrafficEntries : 0;
    appendToViews(std::min(seriesFrom, trafficFrom), end);
}

void RecordingReplay::appendToViews(std::size_t from, std::size_t to) {
    const double windowStart = playhead_ - kSeriesWindowSeconds;
    const std::size_t trafficFrom = to > kTrafficEntries ? std::max(from, to - kTrafficEntries) : from;
    for (std::size_t i = from; i < to; ++i) {
        const RecordingEntry entry = recording_->entry(i);
        if (entry.time >= windowStart) {
            *seriesTime_ = timePointOf<std::chrono::steady_clock::time_point>(entry.time);
            series_->append(entry.telemetry, entry.requestLateral, entry.requestLongitudinal);
        }
        if (i >= trafficFrom) traffic_->push(replayedTrafficEntry(entry));
    }
    *seriesTime_ = timePointOf<std::chrono::steady_clock::time_point>(playhead_);
    traffic_->drain();
}

void RecordingReplay::changed() {
    if (onChange) onChange();
}

}  // namespace orvane
