#include "maneuver/ManeuverSchedule.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvane {

const char* phaseName(ManeuverPhase phase) {
    switch (phase) {
        case ManeuverPhase::run: return "run";
        case ManeuverPhase::settle: return "settle";
        case ManeuverPhase::finished: return "finished";
    }
    return "";
}

std::int64_t ManeuverSchedule::ticksOf(double seconds) { return std::llround(seconds / kTickSeconds); }

ManeuverSchedule::ManeuverSchedule(const ManeuverSuite& suite) : maneuvers_(suite.maneuvers) {
    for (const Maneuver& maneuver : maneuvers_) {
        Timing timing{.firstTick = tickCount_,
                      .runTicks = std::max<std::int64_t>(1, ticksOf(maneuver.profile.duration)),
                      .settleTicks = std::max<std::int64_t>(1, ticksOf(maneuver.settle)),
                      .repeats = std::max(1, maneuver.repeats)};
        tickCount_ += (timing.runTicks + timing.settleTicks) * timing.repeats;
        timing_.push_back(timing);
    }
}

std::size_t ManeuverSchedule::maneuverAt(std::int64_t tick) const {
    auto after = std::upper_bound(timing_.begin(), timing_.end(), tick,
                                  [](std::int64_t value, const Timing& timing) { return value < timing.firstTick; });
    return static_cast<std::size_t>(after - timing_.begin()) - 1;
}

ManeuverTick ManeuverSchedule::at(std::int64_t tick) const {
    tick = std::max<std::int64_t>(tick, 0);
    ManeuverTick result;
    if (tick >= tickCount_) {
        result.maneuver = maneuvers_.size();
        result.phaseTick = tick - tickCount_;
        return result;
    }
    result.maneuver = maneuverAt(tick);
    const Timing& timing = timing_[result.maneuver];
    const std::int64_t period = timing.runTicks + timing.settleTicks;
    const std::int64_t offset = tick - timing.firstTick;
    result.repeat = static_cast<int>(offset / period);
    const std::int64_t inRepeat = offset % period;
    if (inRepeat < timing.runTicks) {
        result.phase = ManeuverPhase::run;
        result.phaseTick = inRepeat;
        result.phaseTicksLeft = timing.runTicks - inRepeat;
        const Maneuver& maneuver = maneuvers_[result.maneuver];
        const double value = maneuver.profile.valueAt(static_cast<double>(inRepeat) * kTickSeconds);
        (maneuver.channel == ManeuverChannel::lateral ? result.lateral : result.longitudinal) = value;
    } else {
        result.phase = ManeuverPhase::settle;
        result.phaseTick = inRepeat - timing.runTicks;
        result.phaseTicksLeft = period - inRepeat;
    }
    return result;
}

std::int64_t ManeuverSchedule::runEndAfter(std::int64_t tick) const {
    const ManeuverTick where = at(tick);
    return where.phase == ManeuverPhase::run ? std::max<std::int64_t>(tick, 0) + where.phaseTicksLeft
                                             : std::numeric_limits<std::int64_t>::max();
}

std::int64_t ManeuverSchedule::runStart(std::size_t maneuver, int repeat) const {
    const Timing& timing = timing_.at(maneuver);
    return timing.firstTick + repeat * (timing.runTicks + timing.settleTicks);
}

}  // namespace orvane
