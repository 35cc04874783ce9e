#pragma once

#include <chrono>
#include <cmath>
#include <deque>

#include "maneuver/ManeuverRunner.h"

namespace orvane::testing {

// The maneuver file of the feature's description: 3 x (3 s + 2 s), 4 + 2 s, 6 + 2 s, 1.6 + 2 s.
inline const char* const kExampleSuite = R"({
  "limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1.0},
  "maneuvers": [
    {"name": "steer step 20%", "channel": "lateral", "profile": "step",
     "amplitude": 0.2, "duration": 3.0, "repeats": 3, "settle": 2.0},
    {"name": "steer ramp", "channel": "lateral", "profile": "ramp", "from": 0.0, "to": 0.25, "duration": 4.0},
    {"name": "steer sine 0.5 Hz", "channel": "lateral", "profile": "sine",
     "amplitude": 0.15, "frequency": 0.5, "duration": 6.0},
    {"name": "brake pulse", "channel": "longitudinal", "profile": "points",
     "points": [[0.0, 0.0], [0.5, -0.1], [1.5, -0.1], [1.6, 0.0]]}
  ]
})";

struct FakeClock {
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};

    ManeuverRunner::Clock function() {
        return [this] { return now; };
    }
    void advance(double seconds) {
        now += std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
    }
};

// A wheel that follows the lateral request as the simulator's does: after a delay, through a
// first-order lag, 360 degrees clockwise (negative) per unit of request. Stepped once a tick.
struct SimulatedWheel {
    double delay = 0.1;
    double lag = 0.15;
    double angle = 0;
    double assist = 0;
    std::deque<double> pending;

    void step(double lateral, double seconds) {
        pending.push_back(lateral);
        double applied = 0;
        if (pending.size() > static_cast<std::size_t>(std::lround(delay / seconds))) {
            applied = pending.front();
            pending.pop_front();
        }
        const double target = -360 * applied;
        assist = 0.04 * (target - angle);
        angle += (target - angle) * (1 - std::exp(-seconds / lag));
    }
};

}  // namespace orvane::testing
