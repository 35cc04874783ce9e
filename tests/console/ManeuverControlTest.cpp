// The console's maneuver source on a real session against a pty peer: the recording names the
// running repeat, and an abort that waits for the zero leaves the device holding 0 even when the
// session is closed right after it (as the window does when it closes), also when the request on
// its way out as the abort begins already carries 0. The suite's own aborts do not wait for the
// main thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "console/ConsoleHarness.h"
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

// One step of 20% lateral for a minute; a driver torque beyond 1 Nm aborts it.
ManeuverSuite stepSuite() {
    return ManeuverSuite::fromJsonText(R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1.0},
        "maneuvers": [{"name": "steer step", "channel": "lateral", "profile": "step", "amplitude": 0.2,
                       "duration": 60}]})");
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

    ManeuverControl control(tap, ManeuverTicking::byCaller);
    control.start(stepSuite(), "suite.json", session, requestTargetFor(session));
    // Ticks, as the control timer's, until the step has gone out and been recorded.
    ASSERT_TRUE(orvane::testing::waitFor(
        [&] { return lateralOf(peer.lastRequest()) == "20.0" && tap->recording()->rowCount() > 10; }, 20s,
        [&] {
            control.tick();
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

// The zero the abort waits for was composed after the abort's 0 reached the session: a request of 0
// composed before it proves nothing. Here the request on the wire as the abort begins carries 0, the
// suite's step is in the session's magnitudes, and the abort's setLateral(0) lets that request go
// and blocks until the next one (the step) is out. The device does not answer the step, so the
// session asks again only after a second; the window closes the session as soon as the wait returns.
TEST(ManeuverControl, TheZeroAnAbortWaitsForIsComposedAfterTheAbort) {
    PtyPeer peer;
    peer.startAnswering([](const DeviceReport& request) {
        return lateralOf(request) == "20.0" ? std::string() : "STEERING{angle:-3.5\n}";
    });
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    // Counts the requests written; once armed, holds the exchange thread on the next one (on the
    // wire, its later observers not yet told) until released.
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool armed = false;
        bool released = false;
        int sinceArmed = 0;
        int written = 0;
        DeviceReport held;
    } gate;
    session->addRequestObserver([&gate](const DeviceReport& request) {
        std::unique_lock lock(gate.mutex);
        ++gate.written;
        if (gate.armed && ++gate.sinceArmed == 1) gate.held = request;
        gate.changed.notify_all();
        if (gate.sinceArmed == 1) gate.changed.wait_for(lock, 20s, [&] { return gate.released; });
    });
    ManeuverRequestTarget target{[&](double value) {
                                     if (value == 0) {
                                         std::unique_lock lock(gate.mutex);
                                         gate.released = true;
                                         gate.changed.notify_all();
                                         gate.changed.wait_for(lock, 20s, [&] { return gate.sinceArmed >= 2; });
                                     }
                                     session->setRequestLateralControlMagntiude(value);
                                 },
                                 [&](double value) { session->setRequestLongitudinalControlMagntiude(value); }};
    session->connect();
    ManeuverControl control(nullptr, ManeuverTicking::byCaller);
    control.start(stepSuite(), "suite.json", session, target);
    {
        std::unique_lock lock(gate.mutex);
        gate.armed = true;
        ASSERT_TRUE(gate.changed.wait_for(lock, 20s, [&] { return gate.sinceArmed == 1; }));
        EXPECT_EQ(gate.held.fields, controlRequest(0, 0).fields);
    }
    session->setRequestLateralControlMagntiude(0.2);  // the suite's step, as its tick writes it

    EXPECT_TRUE(control.abortAndWaitForZero("the window was closed", 10s));
    session->disconnect();
    ASSERT_TRUE(orvane::testing::waitFor([&] { return session.use_count() == 1; }));
    // The peer has read every request written: the last one carries 0.
    ASSERT_TRUE(orvane::testing::waitFor([&] {
        std::lock_guard lock(gate.mutex);
        return peer.requestCount() == std::size_t(gate.written);
    }));
    EXPECT_EQ(peer.lastRequest().fields, controlRequest(0, 0).fields);
}

// A suite whose first tick would abort does not start: it says why and writes nothing.
TEST(ManeuverControl, ASuiteThatWouldAbortAtOnceIsRefusedWithTheReason) {
    PtyPeer peer;
    peer.startAnswering([](const DeviceReport&) { return std::string("STEERING{angle:-3.5\ndriver-torque:5\n}"); });
    auto session = std::make_shared<DeviceSerialInterface>(peer.devicePath());
    session->connect();
    ASSERT_TRUE(orvane::testing::waitFor([&] { return session->decodedMessageCount() > 0; }));
    ManeuverControl control(nullptr, ManeuverTicking::byCaller);
    const auto refusal = control.start(stepSuite(), "suite.json", session, requestTargetFor(session));
    EXPECT_EQ(refusal, "the driver torque of 5.0 Nm went beyond the limit of 1.0 Nm");
    EXPECT_FALSE(control.isRunning());
    EXPECT_EQ(control.runner(), nullptr);
    control.tick();
    EXPECT_EQ(session->requestLateralControlMagntiude(), 0.0);
}

// A suite started from the console runs on its own thread: with the main thread blocked (its
// queue not run, as under a long paint, a replay jump or an open file dialog) the driver's torque
// beyond the limit and a device that falls silent each still end the suite with 0 on the wire.
TEST(ManeuverControl, ItsAbortsPutZeroOnTheWireWhileTheMainThreadIsBlocked) {
    enum class Fault { none, driverTorque, silence };
    const struct {
        Fault fault;
        ManeuverAbortCause cause;
    } cases[] = {{Fault::driverTorque, ManeuverAbortCause::driverTorque},
                 {Fault::silence, ManeuverAbortCause::notResponding}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.fault));
        std::atomic<Fault> fault{Fault::none};
        PtyPeer peer;
        peer.startAnswering([&fault](const DeviceReport&) {
            switch (fault.load()) {
                case Fault::driverTorque: return std::string("STEERING{angle:-3.5\ndriver-torque:5\n}");
                case Fault::silence: return std::string();
                default: return std::string("STEERING{angle:-3.5\ndriver-torque:0.1\n}");
            }
        });
        ViewController::Configuration configuration;
        auto maneuvers = configuration.maneuvers = std::make_shared<ManeuverControl>();
        testing::ConsoleHarness h(configuration);
        h.appear();
        h.console->connectToDevice(peer.devicePath());
        ASSERT_TRUE(orvane::testing::waitFor([&] { return h.console->canRunManeuvers(); }));
        ASSERT_TRUE(h.console->startManeuvers(stepSuite(), "suite.json"));
        ASSERT_TRUE(orvane::testing::waitFor([&] { return lateralOf(peer.lastRequest()) == "20.0"; }));

        // From here on this thread, the console's main thread, runs none of its queue.
        const auto blocked = [] { std::this_thread::sleep_for(1ms); };
        fault = c.fault;
        ASSERT_TRUE(orvane::testing::waitFor([&] { return !maneuvers->isRunning(); }, 20s, blocked));
        EXPECT_EQ(maneuvers->end()->cause, c.cause);
        // The request after the one that may have been on its way at the end carries 0.
        const std::size_t atEnd = peer.requestCount();
        ASSERT_TRUE(orvane::testing::waitFor([&] { return peer.requestCount() > atEnd + 1; }, 20s, blocked));
        EXPECT_EQ(peer.lastRequest().fields, controlRequest(0, 0).fields);
    }
}

}  // namespace
}  // namespace orvane
