#pragma once

#include <string>

#include "console/MovingAverage.h"
#include "platform/Gamepad.h"
#include "platform/Widgets.h"

namespace orvane {

// Turns a gamepad's state into the two control requests. The longitudinal request is the
// brake (left trigger, negative) or else the throttle (right trigger); the lateral request is
// the mean of both sticks' X, negated (a stick to the right asks for a clockwise turn, which is
// positive) and smoothed over the last 20 samples.
class GamepadControl {
public:
    static constexpr std::int64_t lateralAverageCapacity = 20;

    struct Requests {
        double longitudinal = 0;
        double lateral = 0;
        // The gamepad has gone and the lateral average has drained to 0.
        bool released = false;
    };

    // One sample. A gamepad that has gone away (`pad` none) reads as released: the longitudinal
    // request drops to 0 at once and the lateral one drains through the average.
    Requests poll(const ExtendedGamepad* pad);

    const MovingAverage& lateralAverage() const { return lateralAverage_; }

private:
    MovingAverage lateralAverage_{lateralAverageCapacity};
};

// The texts and colours of the two request labels.
struct ControlLabel {
    std::string text;
    Color color = Color::label;
};
ControlLabel longitudinalControlLabel(double magnitude);
ControlLabel lateralControlLabel(double magnitude);

}  // namespace orvane
