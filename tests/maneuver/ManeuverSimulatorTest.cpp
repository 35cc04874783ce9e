#include <signal.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "device/DeviceSerialInterface.h"
#include "maneuver/ManeuverMetrics.h"
#include "maneuver/ManeuverRunner.h"
#include "support/ChildProcess.h"
#include "support/TemporaryDirectory.h"
#include "support/WaitFor.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;

// The runner against the simulator over a pty, ticked every 20 ms as the control timer would:
// a wheel that starts to follow 0.25 s after the request answers no sooner than that, and the
// driver's grab 2.5 s in ends the suite (3 x 1.5 s) with the requests at 0.
TEST(ManeuverSimulatorTest, TheWheelAnswersAfterItsDelayAndTheDriversGrabAbortsTheSuite) {
    const auto tool = testing::kToolsDirectory / "orvane-sim";
    testing::TemporaryDirectory directory;
    const std::string link = (directory.path() / "ttyACM0").string();
    testing::Child simulator({tool.string(), "--link", link, "--swing", "0", "--steer-delay", "0.25", "--steer-lag",
                              "0.1", "--driver-grab", "2.5"});
    ASSERT_TRUE(simulator.started());
    ASSERT_TRUE(simulator.readLine());  // the device's path: it is ready

    auto session = std::make_shared<DeviceSerialInterface>(link);
    session->connect();
    ManeuverRunner runner(ManeuverSuite::fromJsonText(R"({
        "limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 2.0},
        "maneuvers": [{"name": "step", "channel": "lateral", "profile": "step", "amplitude": 0.2, "duration": 1,
                       "repeats": 3, "settle": 0.5}]})"),
                          requestTargetFor(session));
    testing::waitFor([&] { return runner.hasEnded(); }, 15s,
                     [&] {
                         runner.tick(observe(*session));
                         std::this_thread::sleep_for(20ms);
                     });

    ASSERT_TRUE(runner.end());
    EXPECT_EQ(runner.end()->cause, ManeuverAbortCause::driverTorque) << runner.end()->reason;
    EXPECT_EQ(session->requestLateralControlMagntiude(), 0.0);
    ASSERT_FALSE(runner.records().empty());
    const auto repeat = repeatMetrics(runner.records().front(), runner.suite().maneuvers.front());
    ASSERT_TRUE(repeat && repeat->response);
    const auto& metrics = repeat->response;
    ASSERT_TRUE(metrics->delay);
    EXPECT_GE(*metrics->delay, 0.2);
    EXPECT_NEAR(metrics->held, -72, 3);  // 3.6 degrees clockwise per percent

    session->disconnect();
    simulator.signal(SIGTERM);
    EXPECT_EQ(simulator.wait(15s), 0);
}

}  // namespace
}  // namespace orvane
