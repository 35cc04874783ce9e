// The replay of a recording: the playhead's jumps, steps and play, what it shows at the playhead
// (telemetry, the plots' window, the traffic), and that a console showing it asks nothing of a
// connected device.

#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "console/ConsoleHarness.h"
#include "console/RecordingReplay.h"
#include "device/DeviceSerialInterface.h"
#include "device/ValueSyntax.h"
#include "support/PtyPeer.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

// Five messages at 0.5, 1, 1, 2 and 40 s; the angle counts the rows, the wall clock starts at noon.
// At 2 s the recording holds a lateral request of -83% and a longitudinal one of 25%.
const char* const kRecording =
    "time,wallClockTime,message,steeringWheelAngle,steeringAssistanceTorque,requestLateral,requestLongitudinal\r\n"
    "0.500,2026-03-18T12:00:00.500Z,STEERING,1,0.5,0.1,0\r\n"
    "1.000,2026-03-18T12:00:01.000Z,STATE,2,0.5,0.1,0\r\n"
    "1.000,2026-03-18T12:00:01.000Z,STEERING,3,0.5,0.1,0\r\n"
    "2.000,2026-03-18T12:00:02.000Z,STEERING,4,0.5,-0.83,0.25\r\n"
    "40.000,2026-03-18T12:00:40.000Z,STEERING,5,0.5,0,0\r\n";

std::shared_ptr<const Recording> recordingOf(const char* text) {
    return std::make_shared<const Recording>(Recording::parse(text, "/recordings/drive.csv"));
}

struct ManualClock {
    std::chrono::steady_clock::time_point now{};
    RecordingReplay::Clock clock() {
        return [this] { return now; };
    }
};

TEST(RecordingReplay, JumpsStepsAndPlayShowTheEntryAtThePlayheadWithTheViewsUpToIt) {
    enum Action { seek, forward, back, playFor, speed };
    struct Step {
        Action action;
        double value;  // seconds to seek to, real seconds to play for, or the speed
        double playhead;
        std::optional<std::size_t> index;
        std::size_t trafficRows;  // messages up to the playhead
        std::size_t plotted;      // angle samples in the 30 s window ending at the playhead
        bool playing;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    const std::vector<Case> cases{
        {"opens at 0, before the first message", {{seek, 0, 0, std::nullopt, 0, 0, false}}},
        {"a jump shows the last entry at or before it, of equal times the last",
         {{seek, 1.5, 1.5, 2, 3, 3, false},
          {seek, 1.0, 1.0, 2, 3, 3, false},
          {seek, 0.2, 0.2, std::nullopt, 0, 0, false}}},
        {"jumps outside the recording stop at its ends",
         {{seek, -3, 0, std::nullopt, 0, 0, false}, {seek, 99, 40, 4, 5, 1, false}}},
        {"the plots keep the 30 s before the playhead, the traffic every message up to it",
         {{seek, 35, 35, 3, 4, 0, false}, {seek, 31.5, 31.5, 3, 4, 1, false}}},
        {"steps go through entries of one time one by one and stop at the ends",
         {{forward, 0, 0.5, 0, 1, 1, false},
          {forward, 0, 1.0, 1, 2, 2, false},
          {forward, 0, 1.0, 2, 3, 3, false},
          {back, 0, 1.0, 1, 2, 2, false},
          {back, 0, 0.5, 0, 1, 1, false},
          {back, 0, 0.5, 0, 1, 1, false},
          {seek, 40, 40, 4, 5, 1, false},
          {forward, 0, 40, 4, 5, 1, false}}},
        {"playing moves by the clock times the speed and stops at the end",
         {{playFor, 1.2, 1.2, 2, 3, 3, true},
          {speed, 4, 1.2, 2, 3, 3, true},
          {playFor, 0.25, 2.2, 3, 4, 4, true},
          {speed, 0.3, 2.2, 3, 4, 4, true},  // 0.25x, the nearest offered
          {playFor, 4, 3.2, 3, 4, 4, true},
          {speed, 8, 3.2, 3, 4, 4, true},
          {playFor, 60, 40, 4, 5, 1, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ManualClock time;
        auto replay = std::make_shared<RecordingReplay>(recordingOf(kRecording), time.clock());
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const Step& step = c.steps[i];
            SCOPED_TRACE("step " + std::to_string(i));
            switch (step.action) {
                case seek: replay->seek(step.value); break;
                case forward: replay->stepForward(); break;
                case back: replay->stepBackward(); break;
                case speed: replay->setSpeed(step.value); break;
                case playFor:
                    replay->play();
                    time.now += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(step.value));
                    replay->advance();
                    break;
            }
            EXPECT_DOUBLE_EQ(replay->playhead(), step.playhead);
            EXPECT_EQ(replay->currentIndex(), step.index);
            EXPECT_EQ(replay->isPlaying(), step.playing);
            const auto telemetry = replay->telemetry();
            ASSERT_EQ(telemetry.has_value(), step.index.has_value());
            if (telemetry) {
                EXPECT_EQ(telemetry->steeringWheelAngle, double(*step.index + 1));
            }

            const auto& traffic = replay->traffic()->history();
            ASSERT_EQ(traffic.size(), step.trafficRows);
            if (step.index) {
                EXPECT_EQ(traffic.back().message.fields.count("angle") > 0, *step.index != 1);
            }
            const auto points = replay->series()->points(TelemetrySeriesKind::steeringWheelAngle);
            ASSERT_EQ(points.size(), step.plotted);
            if (!points.empty()) {
                // The newest sample is the entry shown, as far before the window's end as the
                // playhead is past it.
                EXPECT_EQ(points.back().value, double(*step.index + 1));
                EXPECT_NEAR(points.back().seconds, replay->recording().time(*step.index) - step.playhead, 1e-6);
            }
            // The wall clock of the playhead runs with it from the entry shown (or the first).
            const auto wall = replay->wallClockTime();
            ASSERT_TRUE(wall.has_value());
            EXPECT_NEAR(
                std::chrono::duration<double>(*wall - *parseInternetDateTime("2026-03-18T12:00:00.000Z")).count(),
                step.playhead, 1e-3);
        }
    }
}

// The replay's traffic lists each row as the message the device sent, with the fields the
// recording holds: decoded again, they give the values the row recorded.
TEST(RecordingReplay, TrafficRowsCarryTheFieldsTheRecordingHolds) {
    const std::string header =
        "time,message,steeringWheelAngle,parkTOI,halfTOI,steeringAssistanceTorque,steeringDriverTorque,version,"
        "buildDate,serialNumber,lateralControlMethod,longitudinalControlMethod,can0ReceivedMessages,"
        "can1ReceivedMessages\n";
    const std::vector<std::pair<std::string, std::string>> cases{
        {header + "0,STATE,,,,,,,,,half,dasm,,\n", "lateral-control-method=HALF longitudinal-control-method=DASM"},
        {header + "0,STATE,,,,,,,,,configuring,unknown,,\n",
         "lateral-control-method=\"\" longitudinal-control-method=\"\""},
        {header + "0,STATE,,,,,,,,,other:LKA,other:ACC 2,,\n",
         "lateral-control-method=LKA longitudinal-control-method=\"ACC 2\""},
        {header + "0,STEERING,-12.5,active,temporaryDeactivated,0.25,-1.5,,,,,,,\n",
         "angle=-12.5 apaTOI=activated assist-torque=0.25 driver-torque=-1.5 halfTOI=temporary-deactivation"},
        {header + "0,STEERING,3,inactive,faulted,,,,,,,,,\n", "angle=3.0 apaTOI=inactive halfTOI=faulted"},
        {header + "0,DEVICE-INFO,,,,,,1.2.0.7,2024-03-18T14:05:12.345Z,OV-1,,,,\n",
         "build-date=2024-03-18T14:05:12.345Z serial-number=OV-1 version=1.2.0.7"},
        // Without the columns there is nothing to show.
        {"time,message\n0,STATE\n", ""},
    };
    for (const auto& [text, fields] : cases) {
        SCOPED_TRACE(text);
        const Recording recording = Recording::parse(text, "drive.csv");
        const RecordingEntry entry = recording.entry(0);
        const DeviceReport message = replayedTrafficEntry(entry).message;
        EXPECT_EQ(trafficFieldsText(message), fields);
        if (fields.empty()) continue;
        DeviceTelemetry decoded;
        ASSERT_TRUE(decoded.apply(message));
        const auto values = [](const DeviceTelemetry& t) {
            return std::tuple(t.steeringWheelAngle, t.parkTOI, t.halfTOI, t.steeringAssistanceTorque,
                              t.steeringDriverTorque, t.version, t.buildDate, t.serialNumber, t.lateralControlMethod,
                              t.longitudinalControlMethod, t.receivedMessageCountsByChannel);
        };
        EXPECT_TRUE(values(decoded) == values(entry.telemetry));
    }
}

// The timeline's marks: where each maneuver and repeat of a suite begins, from the recording's
// maneuver and repeat columns (row i at i/2 s here).
TEST(RecordingReplay, MarksEachManeuverAndRepeatWhereItBegins) {
    struct Case {
        const char* name;
        const char* header;
        std::vector<const char*> rows;  // the maneuver (and repeat) fields of each row
        std::vector<ReplayMark> marks;
    };
    const auto mark = [](std::size_t index, const char* maneuver, const char* repeat, bool start) {
        return ReplayMark{index, index / 2.0, maneuver, repeat, start};
    };
    const std::vector<Case> cases{
        {"no maneuver column", "extra", {"steer", "steer"}, {}},
        {"a suite of two maneuvers, run again",
         "maneuver,repeat",
         {",", "steer,1", "steer,1", "steer,2", "brake,1", "brake,2", "brake,2", ",", "steer,1"},
         {mark(1, "steer", "1", true), mark(3, "steer", "2", false), mark(4, "brake", "1", true),
          mark(5, "brake", "2", false), mark(8, "steer", "1", true)}},
        {"a maneuver of the same name starts at repeat 1",
         "repeat,maneuver",
         {"2,a", "1,a", "2,a"},
         {mark(0, "a", "2", true), mark(1, "a", "1", true), mark(2, "a", "2", false)}},
        {"maneuvers without repeats", "maneuver", {"a", "a", "b"}, {mark(0, "a", "", true), mark(2, "b", "", true)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = std::string("time,message,") + c.header + "\n";
        for (std::size_t i = 0; i < c.rows.size(); ++i)
            text += std::to_string(i / 2.0) + ",STEERING," + c.rows[i] + "\n";
        EXPECT_EQ(RecordingReplay(std::make_shared<const Recording>(Recording::parse(text, "suite.csv"))).marks(),
                  c.marks);
    }
}

// The plots may hold the replay's series longer than the replay lives: its window stays where the
// replay left it.
TEST(RecordingReplay, ItsSeriesOutlivesIt) {
    auto replay = std::make_shared<RecordingReplay>(recordingOf(kRecording));
    replay->seek(2);
    const auto series = replay->series();
    const auto before = series->points(TelemetrySeriesKind::steeringWheelAngle);
    ASSERT_EQ(before.size(), 4u);
    replay.reset();
    EXPECT_EQ(series->points(TelemetrySeriesKind::steeringWheelAngle), before);
}

// A device connected before the replay stays connected and is sent requests of 0 only, whatever
// the sliders, the gamepad and the replay do, until the live console is back. The sliders and
// their labels meanwhile show the requests the recording holds at the playhead.
TEST(RecordingReplay, ShownInTheConsoleItSendsOnlyZeroRequestsShowsTheRecordedOnesAndClosingRestoresTheControls) {
    PtyPeer device;
    device.startAnswering([](const DeviceReport&) { return std::string("STEERING{angle:7.5\n}"); });
    auto gamepads = std::make_shared<FakeGamepadSource>();
    auto pad = std::make_shared<FakeGameController>("Test Pad");
    gamepads->list = {pad};
    // Listed in the scanned folder: a connected device the scan does not list is taken as gone.
    TemporaryDirectory devices;
    devices.link("ttyACM9", device.devicePath());
    ConsoleHarness h(
        ViewController::Configuration{.deviceDirectory = devices.path().string(), .gamepadSource = gamepads});
    h.appear();
    h.console->connectToDevice((devices.path() / "ttyACM9").string());
    ASSERT_TRUE(waitFor([&] { return h.console->vehicleInterface() && h.console->vehicleInterface()->isConnected(); }));
    const std::string connectedStatus = h.lastStatusText();

    const auto lastRequest = [&] { return device.lastRequest(); };
    const auto isControl = [](const DeviceReport& r, const char* lat, const char* lon) {
        return r.name == "CONTROL" && r.fields.at("lat") == lat && r.fields.at("long") == lon;
    };
    h.console->setRequestedLateralControl(0.5);
    h.console->setRequestedLongitudinalControl(-0.25);
    ASSERT_TRUE(waitFor([&] { return device.requestCount() > 0 && isControl(lastRequest(), "50.0", "-25.0"); }));

    ManualClock time;
    auto replay = std::make_shared<RecordingReplay>(recordingOf(kRecording), time.clock());
    h.console->setTelemetrySource(replay);
    EXPECT_EQ(h.console->inspectorManager().device().connectionStatus->status(),
              StatusIndication::replaying("Replaying drive.csv"));
    EXPECT_FALSE(h.latSlider->enabled);
    EXPECT_FALSE(h.longSlider->enabled);
    EXPECT_FALSE(h.devicesPopup->enabled);
    EXPECT_FALSE(h.gamepadsPopup->enabled);
    EXPECT_FALSE(h.console->inspectorManager().device().version->isActionEnabled());

    // Whatever reaches the console meanwhile: a slider's move, a gamepad pushed to its stops, the
    // replay playing through its messages.
    setCurrentEventTypeProvider([] { return std::optional(EventType::leftMouseDragged); });
    h.latSlider->value = 80;
    h.console->didChangeLatSlider(h.latSlider.get());
    setCurrentEventTypeProvider(nullptr);
    h.console->refreshGamepads();
    h.console->setSelectedGamepad(pad);
    pad->lx = 1.0f;
    pad->rt = 1.0f;
    replay->play();
    time.now += 2s;
    replay->advance();
    // Once the 0s are out, every later request is 0, and the device stays connected.
    ASSERT_TRUE(waitFor([&] { return isControl(lastRequest(), "0.0", "0.0"); }));
    const std::size_t from = device.requestCount();
    ASSERT_TRUE(waitFor([&] { return device.requestCount() >= from + 25; }));
    const auto requests = device.requestsSince(from);
    ASSERT_GE(requests.size(), 25u);
    for (const auto& request : requests) EXPECT_TRUE(isControl(request, "0.0", "0.0")) << messageText(request);
    EXPECT_TRUE(h.console->vehicleInterface() && h.console->vehicleInterface()->isConnected());
    EXPECT_TRUE(waitFor([&] { return h.console->steeringWheelAngle() == 4.0; }))
        << "the wheel shows the replay, not the device";
    // The labels and sliders read as the live console's would for the recorded -0.83 and 0.25,
    // while the request decided (and sent) stays 0.
    EXPECT_TRUE(waitFor([&] { return h.latLabel->value == "-83.0% Counterclockwise"; })) << h.latLabel->value;
    EXPECT_EQ(h.latSlider->value, -83.0);
    EXPECT_EQ(h.longLabel->value, "25.0% Engine");
    EXPECT_EQ(h.longSlider->value, 25.0);
    EXPECT_EQ(h.console->requestedLateralControl(), 0.0);
    EXPECT_TRUE(isControl(lastRequest(), "0.0", "0.0"));
    // The inspector shows what the recording holds; a value without a column is not known.
    const auto& steering = h.console->inspectorManager().steering();
    EXPECT_TRUE(waitFor([&] { return steering.angle->value() == "4.0°"; })) << steering.angle->value().value_or("-");
    EXPECT_EQ(steering.assistTorque->value(), "0.5 Nm");
    EXPECT_EQ(steering.driverTorque->value(), std::nullopt);
    EXPECT_EQ(h.console->inspectorManager().statistics().canChannel0RxCount->value(), std::nullopt);

    // After a jump the redraw shows the requests at the new playhead at once.
    replay->pause();
    replay->seek(1);
    h.console->refreshTelemetry(true);
    EXPECT_EQ(h.latLabel->value, "10.0% Clockwise");
    EXPECT_EQ(h.longLabel->value, "No longitudinal control requested.");
    h.console->setSelectedGamepad(nullptr);
    h.console->setTelemetrySource(nullptr);
    EXPECT_EQ(h.console->inspectorManager().device().connectionStatus->status().text(), connectedStatus);
    EXPECT_TRUE(h.latSlider->enabled);
    EXPECT_TRUE(h.devicesPopup->enabled);
    EXPECT_TRUE(h.console->inspectorManager().device().version->isActionEnabled());
    EXPECT_EQ(h.longLabel->value, "No longitudinal control requested.");
    h.console->setRequestedLateralControl(0.5);
    EXPECT_EQ(h.latLabel->value, "50.0% Clockwise");
    EXPECT_TRUE(waitFor([&] { return isControl(lastRequest(), "50.0", "0.0"); }));
    EXPECT_TRUE(waitFor([&] { return h.console->steeringWheelAngle() == 7.5; }));
}

}  // namespace
