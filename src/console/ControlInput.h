#pragma once

#include <string>

#include "console/MovingAverage.h"
#include "platform/Gamepad.h"
#include "platform/Widgets.h"

namespace orvane {

// How the gamepad's inputs become requests. The defaults give the plain mapping with a small
// dead zone on the sticks.
struct GamepadSettings {
    // Radius of each stick's dead zone, from 0 (none) to `maximumDeadZone`. A stick whose (x, y)
    // deflection is shorter reads as centred; beyond it the deflection is rescaled so that it
    // grows continuously from 0 at the zone's edge to 1 at full deflection.
    double deadZone = 0.1;
    // The largest dead zone: a larger one leaves too little of the stick's travel to steer with.
    static constexpr double maximumDeadZone = 0.9;
    // Flip the sign of the lateral or the longitudinal request.
    bool invertLateral = false;
    bool invertLongitudinal = false;
    // Both requests stay 0 unless the gamepad's enable button is held.
    bool holdToEnable = false;
};

// Turns a gamepad's state into the two control requests. The longitudinal request is the
// brake (left trigger, negative) or else the throttle (right trigger); the lateral request is
// the mean of both sticks' X after the dead zone, negated (sticks to the right give a negative,
// counterclockwise request unless the lateral axis is inverted) and smoothed over the last 20
// samples.
class GamepadControl {
public:
    static constexpr std::int64_t lateralAverageCapacity = 20;

    // Throws std::invalid_argument for a dead zone outside [0, GamepadSettings::maximumDeadZone].
    void setSettings(const GamepadSettings& settings);
    const GamepadSettings& settings() const { return settings_; }

    struct Requests {
        double longitudinal = 0;
        double lateral = 0;
        // The gamepad has gone and the lateral average has drained to 0.
        bool released = false;
    };

    // One sample. A gamepad that has gone away (`pad` none) reads as released: the longitudinal
    // request drops to 0 at once and the lateral one drains through the average.
    //
    // With hold-to-enable on and the enable button not held (a gone gamepad holds nothing), both
    // requests are 0 at once and the average is refilled with zeros, so that pressing the button
    // again ramps the lateral request up from 0 rather than resuming the samples of before.
    Requests poll(const ExtendedGamepad* pad);

    // Refills the average with zeros: once something else has driven the requests (a replay, a
    // maneuver suite), the lateral request ramps up from 0 rather than resuming the samples of
    // before.
    void forgetSamples();

    const MovingAverage& lateralAverage() const { return lateralAverage_; }

private:
    GamepadSettings settings_;
    MovingAverage lateralAverage_{lateralAverageCapacity};
};

// One stick's X after a radial dead zone of radius `deadZone` (0 <= deadZone < 1) on its
// (x, y) deflection: 0 inside the zone (a deflection of exactly the radius included); outside,
// the deflection keeps its direction and its length is rescaled from [deadZone, 1] to [0, 1].
// The result is clamped to [-1, 1], so that on a pad whose stick reaches past the unit circle
// (a square gate) full X stays full whatever the Y.
double deadZonedStickX(double x, double y, double deadZone);

// The texts and colours of the two request labels.
struct ControlLabel {
    std::string text;
    Color color = Color::label;
};
ControlLabel longitudinalControlLabel(double magnitude);
ControlLabel lateralControlLabel(double magnitude);

}  // namespace orvane
