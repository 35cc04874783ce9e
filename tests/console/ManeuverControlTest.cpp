// The console's maneuver source on a real session against a pty peer: the recording names the
// running repeat, and an abort that waits for the zero leaves the device holding 0 even when the
// session is closed right after it (as the window does when it closes).

#include <chrono>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "console/ManeuverControl.h"
#include "console/SessionTap.h"
#include "device/DeviceSerialInterface.h"
#include "support/Csv.h"
#include "support/PtyPeer.h"
#include "support/TemporaryDirectory.h"
#include "support/WaitFor.h"

namespace orvane {
namespace {

using namespace std::chrono_literals;

std::string lateralOf(const DeviceReport& request) {
    const auto found = request.fields.find("lat");
    return found == request.fields.end() ? std::string() : found->second;
}

TEST(ManeuverControl, AnAbortThatWaitsLeavesZeroOnTheWireBeforeTheSessionCloses) {
    testing::TemporaryDirectory files;
    const std::string csv = (files.path() / "run.csv").string();
    PtyPeer peer;
    peer.startAnswering([](const DeviceReport&) { return std::string("STEERING{angle:-3.5\n}"); });
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    auto tap = std::make_shared<SessionTap>();
    SessionTap::attach(tap, session);
    tap->startRecording(csv);
    session->connect();

    ManeuverControl control(tap);
    control.start(ManeuverSuite::fromJsonText(
                      R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1.0},
                          "maneuvers": [{"name": "steer step", "channel": "lateral", "profile": "step",
                                         "amplitude": 0.2, "duration": 60}]})"),
                  "suite.json", session, requestTargetFor(session));
    // Ticks, as the control timer's, until the step has gone out and been recorded.
    ASSERT_TRUE(orvane::testing::waitFor(
        [&] { return lateralOf(peer.lastRequest()) == "20.0" && tap->recording()->rowCount() > 10; }, 20s,
        [&] {
            control.tick({});
            std::this_thread::sleep_for(20ms);
        }));
    ASSERT_TRUE(control.isRunning());

    EXPECT_TRUE(control.abortAndWaitForZero("the window was closed", 10s));
    EXPECT_FALSE(control.isRunning());
    session->disconnect();
    tap->stopRecording();
    // What was written before the port closed reaches the peer: a request carrying 0.
    EXPECT_TRUE(orvane::testing::waitFor([&] { return lateralOf(peer.lastRequest()) == "0.0"; }));
    EXPECT_EQ(maneuverOutcomeText(*control.runner()),
              "Aborted in \"steer step\", repeat 1 of 1: the window was closed");

    std::ifstream in(csv, std::ios::binary);
    const auto parsed = testing::parseCsv(std::string((std::istreambuf_iterator<char>(in)), {}));
    ASSERT_GE(parsed.rows.size(), 2u);
    bool named = false;
    for (const auto& row : parsed.rows)
        named = named || (row.size() >= 2 && row[row.size() - 2] == "steer step" && row.back() == "1");
    EXPECT_TRUE(named) << "no row names the running repeat";
}

}  // namespace
}  // namespace orvane
