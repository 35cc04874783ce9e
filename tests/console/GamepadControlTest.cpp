// The gamepad's safety settings: the sticks' dead zone, inverted axes and hold-to-enable.

#include <cmath>
#include <stdexcept>

#include <gtest/gtest.h>

#include "console/ControlInput.h"
#include "support/FakeGamepads.h"

using namespace orvane;
using namespace orvane::testing;

namespace {

// The requests once the lateral average holds only samples of the pad's current state.
GamepadControl::Requests settled(GamepadControl& control, const FakeGameController& pad) {
    GamepadControl::Requests requests;
    for (int i = 0; i < GamepadControl::lateralAverageCapacity; ++i) requests = control.poll(&pad);
    return requests;
}

TEST(GamepadDeadZone, RoundZoneWithContinuousRescalingBeyondIt) {
    // On or inside the edge nothing; the zone is round, so Y counts towards it.
    EXPECT_EQ(deadZonedStickX(0.1875, 0.25, 0.3125), 0.0);  // length exactly 0.3125
    EXPECT_EQ(deadZonedStickX(0.3, 0, 0.3125), 0.0);
    EXPECT_GT(deadZonedStickX(0.3, 0.1, 0.3125), 0.0);
    // Halfway from the edge to full gives half; the direction is kept; X stays within [-1, 1]
    // at a square gate's corner.
    EXPECT_DOUBLE_EQ(deadZonedStickX(-0.6, 0, 0.2), -0.5);
    EXPECT_NEAR(deadZonedStickX(0.6 / std::sqrt(2.0), 0.6 / std::sqrt(2.0), 0.2), 0.5 / std::sqrt(2.0), 1e-12);
    EXPECT_EQ(deadZonedStickX(1, 1, 0.2), 1.0);

    // From the edge to full deflection the output rises in small steps from 0 to exactly 1.
    double previous = 0;
    for (int i = 0; i <= 1000; ++i) {
        const double out = deadZonedStickX(i / 1000.0, 0, 0.1);
        EXPECT_GE(out, previous) << "x " << i / 1000.0;
        EXPECT_LE(out - previous, 0.0012) << "jump at x " << i / 1000.0;
        previous = out;
    }
    EXPECT_EQ(previous, 1.0);
}

TEST(GamepadDeadZone, AppliesToEachStickOfTheLateralRequest) {
    GamepadControl control;  // default zone 0.1
    FakeGameController pad;
    pad.lx = 0.08f;  // sticks that drift a little when let go move nothing
    pad.ly = -0.05f;
    pad.rx = -0.07f;
    EXPECT_EQ(settled(control, pad).lateral, 0.0);
    pad.lx = pad.rx = 1.0f;
    pad.ly = 0;
    EXPECT_EQ(settled(control, pad).lateral, -1.0);
    pad.rx = 0;
    pad.lx = 0.55f;  // halfway from the zone's edge to full
    EXPECT_NEAR(settled(control, pad).lateral, -0.25, 1e-6);

    control.setSettings({.deadZone = 0});
    pad.lx = 0.08f;
    EXPECT_NEAR(settled(control, pad).lateral, -0.04, 1e-6);

    EXPECT_THROW(control.setSettings({.deadZone = GamepadSettings::maximumDeadZone + 0.01}), std::invalid_argument);
    EXPECT_THROW(control.setSettings({.deadZone = 1.0}), std::invalid_argument);
    EXPECT_THROW(control.setSettings({.deadZone = std::nan("")}), std::invalid_argument);
    EXPECT_EQ(control.settings().deadZone, 0.0) << "a rejected setting keeps the old ones";
}

TEST(GamepadInversion, EachSettingFlipsOnlyItsOwnAxis) {
    FakeGameController pad;
    pad.lx = pad.rx = 1.0f;
    pad.lt = 0.5f;
    GamepadControl lateral;
    lateral.setSettings({.invertLateral = true});
    EXPECT_EQ(settled(lateral, pad).lateral, 1.0);
    EXPECT_EQ(settled(lateral, pad).longitudinal, -0.5);

    GamepadControl longitudinal;
    longitudinal.setSettings({.invertLongitudinal = true});
    EXPECT_EQ(settled(longitudinal, pad).lateral, -1.0);
    EXPECT_EQ(settled(longitudinal, pad).longitudinal, 0.5);
    pad.lt = 0;
    pad.rt = 0.25f;
    EXPECT_EQ(longitudinal.poll(&pad).longitudinal, -0.25);
    pad.rt = 0;  // an inverted 0 stays +0, which the device is sent as "0.0"
    EXPECT_FALSE(std::signbit(longitudinal.poll(&pad).longitudinal));
}

TEST(GamepadHoldToEnable, RequestsAreZeroUnlessHeldAndOldSamplesDoNotReturn) {
    GamepadControl control;
    FakeGameController pad;
    pad.lx = pad.rx = 1.0f;
    pad.rt = 1.0f;
    EXPECT_EQ(settled(control, pad).lateral, -1.0) << "off by default";

    control.setSettings({.holdToEnable = true});
    auto requests = control.poll(&pad);
    EXPECT_EQ(requests.lateral, 0.0) << "the full stick before is not kept";
    EXPECT_EQ(requests.longitudinal, 0.0);
    EXPECT_FALSE(requests.released) << "the gamepad is still there";

    // Held: the lateral request ramps in from 0 through the average.
    pad.enableHeld = true;
    requests = control.poll(&pad);
    EXPECT_EQ(requests.longitudinal, 1.0);
    EXPECT_DOUBLE_EQ(requests.lateral, -0.05);
    EXPECT_EQ(settled(control, pad).lateral, -1.0);

    // Let go for two polls with everything still deflected, then pressed again.
    pad.enableHeld = false;
    requests = control.poll(&pad);
    EXPECT_EQ(requests.lateral, 0.0);
    EXPECT_EQ(requests.longitudinal, 0.0);
    control.poll(&pad);
    pad.enableHeld = true;
    EXPECT_DOUBLE_EQ(control.poll(&pad).lateral, -0.05);

    // A gamepad that vanishes while enabled leaves nothing to drain.
    settled(control, pad);
    requests = control.poll(nullptr);
    EXPECT_EQ(requests.lateral, 0.0);
    EXPECT_EQ(requests.longitudinal, 0.0);
    EXPECT_TRUE(requests.released);
}

}  // namespace
