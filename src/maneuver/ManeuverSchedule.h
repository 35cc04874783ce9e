#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "maneuver/ManeuverSuite.h"

namespace orvane {

enum class ManeuverPhase { run, settle, finished };

// "run", "settle" or "finished".
const char* phaseName(ManeuverPhase phase);

// What the suite asks for at one tick of the control rate.
struct ManeuverTick {
    std::size_t maneuver = 0;  // index into the suite; the maneuver count once finished
    int repeat = 0;            // from 0
    ManeuverPhase phase = ManeuverPhase::finished;
    std::int64_t phaseTick = 0;       // ticks since the phase began
    std::int64_t phaseTicksLeft = 0;  // ticks until the phase ends
    double lateral = 0;
    double longitudinal = 0;
};

// The suite laid out on the control timer's ticks, one every 20 ms from tick 0. Each repeat of
// each maneuver is a run followed by its settle: the run's ticks carry the profile's value at
// the tick's time into the run on the maneuver's channel (the other channel stays 0); the settle
// starts on the tick at the run's end and carries 0 on both channels. The settle lasts at least
// that one tick, so every run ends on a tick with both requests exactly 0, also with a settle of
// 0 s. After the last settle the suite is finished, at 0.
class ManeuverSchedule {
public:
    static constexpr double kTickSeconds = 0.02;

    explicit ManeuverSchedule(const ManeuverSuite& suite);

    // A negative tick counts as tick 0.
    ManeuverTick at(std::int64_t tick) const;
    // Ticks before the suite is finished.
    std::int64_t tickCount() const { return tickCount_; }
    // The first tick of the settle that ends the run `tick` falls in: the furthest a late tick
    // may jump from `tick`. Outside a run there is no such bound (the largest tick).
    std::int64_t runEndAfter(std::int64_t tick) const;
    // The tick a repeat's run starts on.
    std::int64_t runStart(std::size_t maneuver, int repeat) const;
    // Ticks of one run, and of the settle after it, of a maneuver.
    std::int64_t runTicks(std::size_t maneuver) const { return timing_.at(maneuver).runTicks; }
    std::int64_t settleTicks(std::size_t maneuver) const { return timing_.at(maneuver).settleTicks; }

    static std::int64_t ticksOf(double seconds);

private:
    struct Timing {
        std::int64_t firstTick;  // of the maneuver's first run
        std::int64_t runTicks;
        std::int64_t settleTicks;
        int repeats;
    };

    std::size_t maneuverAt(std::int64_t tick) const;

    std::vector<Maneuver> maneuvers_;
    std::vector<Timing> timing_;
    std::int64_t tickCount_ = 0;
};

}  // namespace orvane
