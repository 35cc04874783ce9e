#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "ManeuverTestSupport.h"
#include "maneuver/ManeuverRunner.h"

namespace orvane {
namespace {

// A lateral step of 1 s, then a longitudinal one, each with 0.5 s settle: lateral runs on ticks
// 0-49, settles on 50-74; longitudinal runs on 75-124, settles on 125-149.
const char* const kTwoChannels = R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1},
  "maneuvers": [
    {"name": "lat", "channel": "lateral", "profile": "step", "amplitude": 0.2, "duration": 1, "settle": 0.5},
    {"name": "long", "channel": "longitudinal", "profile": "step", "amplitude": -0.1, "duration": 1, "settle": 0.5}]})";

// Drives a runner tick by tick on a fake clock and keeps every write with the tick it came at.
struct Drive {
    struct Write {
        int tick;
        double lateral;
        double longitudinal;
    };

    explicit Drive(const char* suite, ManeuverRunner::Options options = {})
        : runner(ManeuverSuite::fromJsonText(suite),
                 {[this](double value) {
                      writes.push_back({tick, value, NAN});
                  },
                  [this](double value) { writes.back().longitudinal = value; }},
                 options, clock.function()) {}

    // Ticks at 20 ms intervals while `tick` is below `until`.
    void run(int until, const ManeuverObservation& observed = {}) {
        for (; tick < until; ++tick, clock.advance(0.02)) runner.tick(observed);
    }

    testing::FakeClock clock;
    std::vector<Write> writes;
    int tick = 0;
    ManeuverRunner runner;
};

TEST(ManeuverRunnerTest, RunsTheScheduleTickByTickAndRecordsEveryRepeat) {
    Drive drive(testing::kExampleSuite);
    int ends = 0;
    drive.runner.setEndObserver([&](const ManeuverEnd&) { ++ends; });
    ManeuverObservation observed;
    observed.driverTorque = -1.0;  // at the limit, not beyond it
    drive.run(101, observed);
    EXPECT_EQ(drive.runner.state().stage, ManeuverRunnerState::Stage::running);
    EXPECT_EQ(drive.runner.state().phase, ManeuverPhase::run);
    EXPECT_NEAR(drive.runner.state().phaseSecondsLeft, 1.0, 1e-9);   // tick 100 of 150
    EXPECT_NEAR(drive.runner.state().suiteSecondsLeft, 30.6, 1e-9);  // 1530 of 1630 ticks
    drive.run(2000, observed);

    ASSERT_EQ(drive.writes.size(), 1631u);  // every tick of the suite, and the one that finds it finished
    for (std::size_t i = 0; i < drive.writes.size(); ++i) ASSERT_EQ(drive.writes[i].tick, int(i));
    // The example on the wire: the step of 0.2 for 150 ticks and 100 at exactly 0, three times;
    // the ramp on 750-949, the sine on 1050-1349 and the brake points on 1450-1529 (lateral 0
    // throughout), each followed by 100 ticks at 0, and the tick that finds the suite finished.
    struct Stretch {
        int first, last;
        std::optional<double> lateral, longitudinal;  // exactly, on every tick; nothing: not looked at
    };
    const Stretch stretches[] = {
        {0, 149, 0.2, 0},    {150, 249, 0, 0},      {250, 399, 0.2, 0}, {400, 499, 0, 0},    {500, 649, 0.2, 0},
        {650, 749, 0, 0},    {750, 949, {}, 0},     {950, 1049, 0, 0},  {1050, 1349, {}, 0}, {1350, 1449, 0, 0},
        {1450, 1529, 0, {}}, {1476, 1524, 0, -0.1}, {1530, 1630, 0, 0},
    };
    for (const Stretch& stretch : stretches) {
        for (int tick = stretch.first; tick <= stretch.last; ++tick) {
            const auto& write = drive.writes[static_cast<std::size_t>(tick)];
            ASSERT_EQ(write.lateral, stretch.lateral.value_or(write.lateral)) << tick;
            ASSERT_EQ(write.longitudinal, stretch.longitudinal.value_or(write.longitudinal)) << tick;
        }
    }
    // Inside the ramp (0 to 0.25 over 4 s), the sine (0.15 at 0.5 Hz) and the brake points.
    const std::tuple<int, double, double> values[] = {
        {750, 0, 0},  {850, 0.125, 0},  {949, 0.24875, 0}, {1075, 0.15, 0},
        {1100, 0, 0}, {1125, -0.15, 0}, {1460, 0, -0.04},  {1529, 0, -0.02},
    };
    for (const auto& [tick, lateral, longitudinal] : values) {
        EXPECT_NEAR(drive.writes[static_cast<std::size_t>(tick)].lateral, lateral, 1e-12) << tick;
        EXPECT_NEAR(drive.writes[static_cast<std::size_t>(tick)].longitudinal, longitudinal, 1e-12) << tick;
    }
    EXPECT_EQ(ends, 1);
    ASSERT_TRUE(drive.runner.end());
    EXPECT_TRUE(drive.runner.end()->completed);
    EXPECT_EQ(drive.runner.state().stage, ManeuverRunnerState::Stage::completed);

    const auto& records = drive.runner.records();
    const std::vector<std::tuple<std::size_t, int, std::size_t>> expected{{0, 0, 250}, {0, 1, 250}, {0, 2, 250},
                                                                          {1, 0, 300}, {2, 0, 400}, {3, 0, 180}};
    ASSERT_EQ(records.size(), expected.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(std::tuple(records[i].maneuver, records[i].repeat, records[i].samples.size()), expected[i]);
        EXPECT_TRUE(records[i].runCompleted);
        EXPECT_NEAR(records[i].samples.front().time, 0, 1e-9);  // times count from the repeat's run
    }
    EXPECT_NEAR(records[1].samples[150].time, 3.0, 1e-9);
    EXPECT_EQ(records[1].samples[150].phase, ManeuverPhase::settle);
    EXPECT_EQ(records[1].samples[149].lateralRequest, 0.2);
}

TEST(ManeuverRunnerTest, ALateTickFollowsTheClockButNeverSkipsTheZeroThatEndsARun) {
    const char* const suite = R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1},
      "maneuvers": [{"name": "n", "channel": "lateral", "profile": "step", "amplitude": 0.1, "duration": 0.1,
      "repeats": 2, "settle": 0}]})";
    Drive drive(suite);
    drive.run(3);
    drive.clock.advance(0.44);  // the timer stalls: the next tick comes at 0.5 s
    drive.run(5);
    std::vector<double> lateral;
    for (const auto& write : drive.writes) lateral.push_back(write.lateral);
    EXPECT_EQ(lateral, (std::vector<double>{0.1, 0.1, 0.1, 0, 0}));
    ASSERT_TRUE(drive.runner.end());
    EXPECT_TRUE(drive.runner.end()->completed);  // 0.52 s is past the suite's 0.24 s
    ASSERT_EQ(drive.runner.records().size(), 1u);
    EXPECT_TRUE(drive.runner.records()[0].runCompleted);
}

struct AbortCase {
    const char* what;
    int at;  // the tick at which the cause appears
    bool holdToEnable;
    std::function<void(ManeuverRunner&, ManeuverObservation&)> cause;
    ManeuverAbortCause expected;
    const char* reason;
};

TEST(ManeuverRunnerTest, EveryAbortZeroesBothRequestsAtItsTickAndNothingRunsAfter) {
    using enum ManeuverAbortCause;
    const AbortCase cases[] = {
        {"abort()", 20, false, [](ManeuverRunner& r, ManeuverObservation&) { r.abort("Escape pressed"); }, requested,
         "Escape pressed"},
        {"link ends", 20, false, [](ManeuverRunner&, ManeuverObservation& o) { o.linkAlive = false; }, linkEnded,
         "the connection to the device ended"},
        {"device silent", 90, false, [](ManeuverRunner&, ManeuverObservation& o) { o.responding = false; },
         notResponding, "the device stopped responding"},
        {"driver torque", 20, false, [](ManeuverRunner&, ManeuverObservation& o) { o.driverTorque = 1.5; },
         driverTorque, "the driver torque of 1.5 Nm went beyond the limit of 1.0 Nm"},
        {"driver torque in settle", 60, false, [](ManeuverRunner&, ManeuverObservation& o) { o.driverTorque = -1.01; },
         driverTorque, "the driver torque of -1.01 Nm went beyond"},
        {"driver torque not a number", 100, false,
         [](ManeuverRunner&, ManeuverObservation& o) { o.driverTorque = NAN; }, driverTorque,
         "the device reported a driver torque that is not plausible (not a finite number, or beyond 200.0 Nm)"},
        {"driver torque beyond any real one", 30, false,
         [](ManeuverRunner&, ManeuverObservation& o) { o.driverTorque = -1.7e308; }, driverTorque,
         "the device reported a driver torque that is not plausible"},
        {"hold released", 20, true, [](ManeuverRunner& r, ManeuverObservation&) { r.setEnableHeld(false); },
         enableReleased, "the hold-to-enable control was released"},
        {"hold never taken", 0, true, [](ManeuverRunner& r, ManeuverObservation&) { r.setEnableHeld(false); },
         enableReleased, "the hold-to-enable control is not held"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Drive drive(kTwoChannels, {.holdToEnable = c.holdToEnable});
        if (c.holdToEnable && c.at > 0) drive.runner.setEnableHeld(true);
        drive.run(c.at);
        ManeuverObservation observed;
        c.cause(drive.runner, observed);
        drive.run(c.at + 100, observed);
        drive.run(c.at + 200);  // all well again: nothing resumes

        ASSERT_TRUE(drive.runner.end());
        EXPECT_FALSE(drive.runner.end()->completed);
        EXPECT_EQ(drive.runner.end()->cause, c.expected);
        EXPECT_EQ(drive.runner.end()->reason.rfind(c.reason, 0), 0u) << drive.runner.end()->reason;
        EXPECT_EQ(drive.runner.state().stage, ManeuverRunnerState::Stage::aborted);
        int atAbort = 0;
        for (const auto& write : drive.writes) {
            if (write.tick < c.at) continue;
            ++atAbort;
            EXPECT_EQ(write.tick, c.at);
            EXPECT_EQ(write.lateral, 0.0);
            EXPECT_EQ(write.longitudinal, 0.0);
        }
        EXPECT_EQ(atAbort, 1);
        if (c.at > 0) {
            // The request just before was the running maneuver's.
            const auto& before = drive.writes[static_cast<std::size_t>(c.at) - 1];
            EXPECT_EQ(before.lateral + before.longitudinal, c.at - 1 < 50 ? 0.2 : c.at - 1 < 75 ? 0 : -0.1);
        }
    }
}

}  // namespace
}  // namespace orvane
