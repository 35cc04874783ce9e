#include <cmath>

#include <gtest/gtest.h>

#include "console/ConsoleHarness.h"
#include "console/TelemetrySource.h"
#include "device/DeviceSerialInterface.h"
#include "inspector/InspectorItem.h"
#include "support/PtyPeer.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;

struct GamepadConsole : ::testing::Test {
    void SetUp() override {
        source = std::make_shared<FakeGamepadSource>();
        pad = std::make_shared<FakeGameController>("Test Pad");
        source->list = {pad};
        h = std::make_unique<ConsoleHarness>(ViewController::Configuration{.gamepadSource = source});
        h->loadWithoutTimers();
        h->console->refreshGamepads();
        h->gamepadsPopup->selectItemAtIndex(1);
        h->console->didSelectGamepad(h->gamepadsPopup.get());
        ASSERT_EQ(h->console->selectedGamepad(), pad);
    }
    void TearDown() override { setCurrentEventTypeProvider(nullptr); }

    std::shared_ptr<FakeGamepadSource> source;
    std::shared_ptr<FakeGameController> pad;
    std::unique_ptr<ConsoleHarness> h;
};

TEST(GamepadList, ListsExtendedControllersWithTheirNames) {
    auto source = std::make_shared<FakeGamepadSource>();
    ConsoleHarness h({.gamepadSource = source});
    h.loadWithoutTimers();
    h.console->refreshGamepads();
    EXPECT_EQ(h.gamepadsPopup->itemTitles(), (Texts{"No gamepads found."}));
    EXPECT_FALSE(h.gamepadsPopup->items[0].enabled);

    auto named = std::make_shared<FakeGameController>("Pad One");
    auto plain = std::make_shared<FakeGameController>("Joystick", /*extended=*/false);
    auto unnamed = std::make_shared<FakeGameController>(std::nullopt);
    source->list = {named, plain, unnamed};
    // A connect notification rebuilds the list.
    NotificationCenter::defaultCenter().post(GCControllerDidConnectNotification, nullptr);
    EXPECT_EQ(h.gamepadsPopup->itemTitles(), (Texts{"Discovered 2 gamepads.", "Pad One", "Untitled Gamepad"}));
    EXPECT_EQ(h.console->gamepads(), (std::vector<GamepadHandle>{named, unnamed}));

    h.gamepadsPopup->selectItemAtIndex(2);
    h.console->didSelectGamepad(nullptr);
    EXPECT_EQ(h.console->selectedGamepad(), unnamed);
    h.gamepadsPopup->selectItemAtIndex(0);
    h.console->didSelectGamepad(nullptr);
    EXPECT_EQ(h.console->selectedGamepad(), nullptr);
}

TEST_F(GamepadConsole, TriggersDriveTheLongitudinalRequestWithBrakeWinning) {
    pad->lt = 0.5f;
    pad->rt = 1.0f;
    h->console->pollGamepad();
    EXPECT_EQ(h->console->requestedLongitudinalControl(), -0.5);
    EXPECT_EQ(h->longLabel->value, "50.0% Brake");
    EXPECT_EQ(h->longLabel->textColor, Color::systemRed);
    EXPECT_EQ(h->longSlider->value, -50);

    pad->lt = 0;
    pad->rt = 0.25f;
    h->console->pollGamepad();
    EXPECT_EQ(h->longLabel->value, "25.0% Engine");
    EXPECT_EQ(h->longLabel->textColor, Color::systemGreen);
    EXPECT_EQ(h->longSlider->value, 25);

    pad->rt = 0;
    h->console->pollGamepad();
    EXPECT_EQ(h->longLabel->value, "No longitudinal control requested.");
    EXPECT_EQ(h->longLabel->textColor, Color::label);
    EXPECT_EQ(h->longSlider->value, 0);
}

TEST_F(GamepadConsole, SticksAreSmoothedOverTwentyPollsAndReleaseInEqualSteps) {
    pad->lx = 1.0f;
    pad->rx = 1.0f;
    for (int i = 0; i < 20; ++i) h->console->pollGamepad();
    EXPECT_EQ(h->console->requestedLateralControl(), -1.0);
    EXPECT_EQ(h->latLabel->value, "-100.0% Counterclockwise");
    EXPECT_EQ(h->latSlider->value, -100);

    pad->lx = 0;
    pad->rx = 0;
    std::vector<double> steps;
    for (int i = 0; i < 20; ++i) {
        h->console->pollGamepad();
        steps.push_back(h->console->requestedLateralControl());
    }
    for (int i = 0; i < 20; ++i) EXPECT_EQ(steps[i], -(19 - i) / 20.0) << "poll " << i;
    EXPECT_EQ(steps.back(), 0.0);
    EXPECT_EQ(h->latLabel->value, "No lateral control requested.");
    EXPECT_EQ(h->latSlider->value, 0);
}

TEST_F(GamepadConsole, LateralLabelsFloorTowardMinusInfinity) {
    h->console->setRequestedLateralControl(0.001);
    EXPECT_EQ(h->latLabel->value, "0.0% Clockwise");
    h->console->setRequestedLateralControl(-0.001);
    EXPECT_EQ(h->latLabel->value, "-1.0% Counterclockwise");
    h->console->setRequestedLateralControl(-0.305);
    EXPECT_EQ(h->latLabel->value, "-31.0% Counterclockwise");
    const auto colorsBefore = h->latLabel->textColors.size();
    h->console->setRequestedLateralControl(0.5);
    EXPECT_EQ(h->latLabel->value, "50.0% Clockwise");
    EXPECT_EQ(h->latLabel->textColors.size(), colorsBefore) << "the lateral label keeps its colour";
}

TEST_F(GamepadConsole, AVanishedGamepadReturnsTheRequestsToZero) {
    pad->lx = 1.0f;
    pad->rx = 1.0f;
    pad->lt = 0.8f;
    for (int i = 0; i < 20; ++i) h->console->pollGamepad();
    ASSERT_EQ(h->console->requestedLateralControl(), -1.0);
    ASSERT_DOUBLE_EQ(h->console->requestedLongitudinalControl(), -0.800000011920929);

    pad->gone = true;  // unplugged while the stick and trigger are held
    h->console->pollGamepad();
    EXPECT_EQ(h->console->requestedLongitudinalControl(), 0.0) << "the longitudinal request stops at once";
    EXPECT_DOUBLE_EQ(h->console->requestedLateralControl(), -0.95);
    for (int i = 0; i < 19; ++i) h->console->pollGamepad();
    EXPECT_EQ(h->console->requestedLateralControl(), 0.0);
    EXPECT_EQ(h->console->selectedGamepad(), nullptr) << "a drained, vanished gamepad is let go";

    // The sliders work again afterwards.
    setCurrentEventTypeProvider([] { return EventType::leftMouseDragged; });
    h->latSlider->value = 40;
    h->console->didChangeLatSlider(nullptr);
    h->console->pollGamepad();
    EXPECT_EQ(h->console->requestedLateralControl(), 0.4);
}

TEST_F(GamepadConsole, AfterAReplayTheGamepadStartsFromZeroNotFromWhatItHeldBefore) {
    struct StillSource : TelemetrySource {
        StatusIndication status() const override { return StatusIndication::replaying("Replaying x.csv"); }
        ShownTelemetry shown() const override { return {}; }
        std::optional<DeviceTelemetry> telemetry() const override { return std::nullopt; }
        KnownTelemetryFields knownFields() const override { return {}; }
        const std::shared_ptr<TelemetrySeries>& series() const override { return none; }
        const std::shared_ptr<TrafficLog>& traffic() const override { return noTraffic; }
        std::shared_ptr<TelemetrySeries> none;
        std::shared_ptr<TrafficLog> noTraffic;
    };
    pad->lx = 1.0f;
    pad->rx = 1.0f;
    for (int i = 0; i < 20; ++i) h->console->pollGamepad();
    ASSERT_EQ(h->console->requestedLateralControl(), -1.0);
    h->console->setTelemetrySource(std::make_shared<StillSource>());
    h->console->setTelemetrySource(nullptr);
    // Still held: the request ramps up again through the average, one sample in twenty.
    h->console->pollGamepad();
    EXPECT_DOUBLE_EQ(h->console->requestedLateralControl(), -0.05);
}

TEST_F(GamepadConsole, SlidersDriveWhileDraggedAndSpringBackOnRelease) {
    h->console->setSelectedGamepad(nullptr);
    h->latSlider->value = 60;
    h->console->didChangeLatSlider(nullptr);  // no current event: nothing happens
    EXPECT_EQ(h->console->requestedLateralControl(), 0.0);

    setCurrentEventTypeProvider([] { return EventType::leftMouseDragged; });
    h->console->didChangeLatSlider(nullptr);
    EXPECT_EQ(h->console->requestedLateralControl(), 0.6);
    EXPECT_EQ(h->latLabel->value, "60.0% Clockwise");
    h->longSlider->value = -30;
    h->console->didChangeLongSlider(nullptr);
    EXPECT_EQ(h->longLabel->value, "30.0% Brake");

    setCurrentEventTypeProvider([] { return EventType::leftMouseUp; });
    h->console->didChangeLatSlider(nullptr);
    h->console->didChangeLongSlider(nullptr);
    EXPECT_EQ(h->console->requestedLateralControl(), 0.0);
    EXPECT_EQ(h->latLabel->value, "No lateral control requested.");
    EXPECT_EQ(h->latSlider->value, 0);
    EXPECT_EQ(h->console->requestedLongitudinalControl(), 0.0);
    EXPECT_EQ(h->longLabel->value, "No longitudinal control requested.");
}

TEST_F(GamepadConsole, RequestsReachTheDeviceAsPercentages) {
    PtyPeer device;
    device.startAnswering([](const DeviceReport&) { return std::string("ACK{}"); });
    h->console->connectToDevice(device.devicePath());
    ASSERT_TRUE(waitFor([&] { return h->console->vehicleInterface() != nullptr; }));

    pad->lx = 1.0f;
    pad->rx = 1.0f;
    pad->rt = 0.25f;
    for (int i = 0; i < 20; ++i) h->console->pollGamepad();
    const auto seen = device.requestCount();
    ASSERT_TRUE(device.waitForRequests(seen + 2));
    const auto last = device.lastRequest();
    EXPECT_EQ(last.fields.at("lat"), "-100.0");
    EXPECT_EQ(last.fields.at("long"), "25.0");
}

// MARK: Telemetry display

TEST(TelemetryDisplay, WithoutASessionEveryRowShowsItsNoSessionValue) {
    ConsoleHarness h;
    h.wheel->frameRect = {0, 0, 200, 200};
    h.loadWithoutTimers();
    h.console->refreshTelemetry();

    auto& m = h.console->inspectorManager();
    EXPECT_EQ(m.steering().controlMethod->value(), "Unknown");
    EXPECT_EQ(m.steering().apaTOI->status(), StatusIndication::unknown("Unknown"));
    EXPECT_EQ(m.steering().halfTOI->status(), StatusIndication::unknown("Unknown"));
    EXPECT_EQ(m.steering().angle->value(), "0.0°");
    EXPECT_EQ(m.steering().assistTorque->value(), "0.0 Nm");
    EXPECT_EQ(m.steering().driverTorque->value(), "0.0 Nm");
    EXPECT_EQ(m.statistics().canChannel0RxCount->value(), 0);
    EXPECT_EQ(m.statistics().canChannel1RxCount->value(), 0);
    EXPECT_EQ(m.device().version->value(), std::nullopt);
    EXPECT_EQ(m.device().buildDate->value(), std::nullopt);
    ASSERT_TRUE(h.wheel->transform);
    EXPECT_EQ(*h.wheel->transform, Transform3D::identity().translated(100, 100, 0));
    EXPECT_EQ(h.wheel->anchorPoint, (Point{0.5, 0.5}));
}

TEST(TelemetryDisplay, DeviceReportsFlowIntoTheRowsAndTheWheel) {
    PtyPeer device;
    int turn = 0;
    device.startAnswering([&turn](const DeviceReport&) -> std::string {
        switch (turn++ % 4) {
            case 0:
                return "STEERING{angle:90\napaTOI:temporary-deactivation\nhalfTOI:bogus\nassist-torque:-3\n"
                       "driver-torque:0.1\n}";
            case 1: return "STATE{lateral-control-method:\n}";
            case 2: return "DEVICE-INFO{version:1.2.3.4\nbuild-date:2019-06-14T10:30:00.000Z\nserial-number:7\n}";
            default: return "STATISTICS{can0-rx-message-count:1234567\ncan1-rx-message-count:42\n}";
        }
    });
    ConsoleHarness h;
    h.wheel->frameRect = {0, 0, 100, 100};
    h.loadWithoutTimers();
    h.console->connectToDevice(device.devicePath());
    ASSERT_TRUE(waitFor([&] { return h.console->vehicleInterface() != nullptr; }));
    ASSERT_TRUE(device.waitForRequests(6));

    h.console->refreshTelemetry();
    auto& m = h.console->inspectorManager();
    EXPECT_EQ(m.steering().angle->value(), "90.0°");
    EXPECT_EQ(m.steering().apaTOI->status(), StatusIndication::warning("Temporarily Deactivated"));
    EXPECT_EQ(m.steering().halfTOI->status(), StatusIndication::none("Not Active"));
    EXPECT_EQ(m.steering().assistTorque->value(), "-3.0 Nm");
    EXPECT_EQ(m.steering().driverTorque->value(), "0.1 Nm");
    EXPECT_EQ(m.steering().controlMethod->value(), "Learning vehicle configuration...");
    EXPECT_EQ(m.device().version->value(), Version("1.2.3.4"));
    ASSERT_TRUE(m.device().buildDate->value());
    EXPECT_EQ(
        std::chrono::duration_cast<std::chrono::seconds>(m.device().buildDate->value()->time_since_epoch()).count(),
        1560508200);
    EXPECT_EQ(m.statistics().canChannel0RxCount->value(), 1234567);
    EXPECT_EQ(m.statistics().canChannel1RxCount->value(), 42);
    EXPECT_EQ(h.console->steeringWheelAngle(), 90.0);
    EXPECT_EQ(*h.wheel->transform, Transform3D::identity().translated(50, 50, 0).rotated(M_PI / 2, 0, 0, 1));

    // Without the session every row goes back to its no-session value.
    h.console->connectToDevice(std::nullopt);
    ASSERT_TRUE(waitFor([&] { return h.console->vehicleInterface() == nullptr; }));
    h.console->refreshTelemetry();
    EXPECT_EQ(m.steering().angle->value(), "0.0°");
    EXPECT_EQ(m.device().version->value(), std::nullopt);
    EXPECT_EQ(m.statistics().canChannel0RxCount->value(), 0);
}

TEST(TelemetryDisplay, UnchangedTelemetryAnnouncesNoRow) {
    ConsoleHarness h;
    h.loadWithoutTimers();
    h.console->refreshTelemetry();
    int announcements = 0;
    auto token = NotificationCenter::defaultCenter().addObserver("InspectorItemValueNeedsUpdateNotification", nullptr,
                                                                 NotificationCenter::Delivery::postingThread,
                                                                 [&](const Notification&) { ++announcements; });
    h.console->refreshTelemetry();
    h.console->refreshTelemetry();
    EXPECT_EQ(announcements, 0);
}

TEST(TelemetryDisplay, TheWheelTurnsWithTheSignOfTheAngle) {
    ConsoleHarness h;
    h.wheel->frameRect = {0, 0, 80, 60};
    h.loadWithoutTimers();
    h.console->setSteeringWheelAngle(-450);
    // One and a quarter turns clockwise; the translation uses the width for both axes.
    const auto expected =
        Transform3D::identity().translated(40, 40, 0).rotated(-450 * 3.141592653589793 / 180, 0, 0, 1);
    EXPECT_EQ(*h.wheel->transform, expected);
}

// MARK: Modal progress and timers

TEST(ModalProgress, PresentsOnceUpdatesAndDismisses) {
    ConsoleHarness h;
    h.loadWithoutTimers();
    h.console->setModalProgressStatusText(std::string(""));
    ASSERT_EQ(h.host->performedSegues.size(), 1u);
    EXPECT_EQ(h.host->performedSegues[0].identifier, "Modal Progress");
    ASSERT_TRUE(h.sheetLabel);
    EXPECT_EQ(h.sheetLabel->value, "Please wait...");
    EXPECT_EQ(h.sheetProgress->indeterminate, true);

    h.console->setModalProgressStatusText(std::string("Checking for Updates..."));
    h.console->setModalProgressStatusProgress(0.42);
    EXPECT_EQ(h.host->performedSegues.size(), 1u) << "a second text updates the sheet on screen";
    EXPECT_EQ(h.sheetLabel->value, "Checking for Updates...");
    EXPECT_EQ(h.sheetProgress->indeterminate, false);
    EXPECT_DOUBLE_EQ(h.sheetProgress->value, 42);

    h.console->setModalProgressStatusProgress(std::nullopt);
    EXPECT_EQ(h.sheetProgress->indeterminate, true);
    EXPECT_EQ(h.sheetProgress->value, 0);

    auto sheet = h.console->currentModalProgressViewController();
    h.console->setModalProgressStatusText(std::nullopt);
    ASSERT_EQ(h.host->dismissals.size(), 1u);
    EXPECT_EQ(h.host->dismissals[0].presented, sheet.get());
    EXPECT_EQ(h.console->currentModalProgressViewController(), nullptr);
    h.console->setModalProgressStatusText(std::nullopt);
    EXPECT_EQ(h.host->dismissals.size(), 1u);

    h.console->setModalProgressStatusText(std::string("Again"));
    EXPECT_EQ(h.host->performedSegues.size(), 2u);
}

TEST(ConsoleTimers, ControlTimerIsMadeOnceAndTheDeviceListTimerAnew) {
    ConsoleHarness h;
    h.appear();
    const RepeatingTimer* firstList = h.console->deviceListTimer();
    EXPECT_TRUE(h.console->hasControlTimer());
    h.console->viewWillAppear();
    EXPECT_NE(h.console->deviceListTimer(), nullptr);
    EXPECT_NE(h.console->deviceListTimer(), firstList);
}

TEST(ConsoleTimers, TheControlTimerRefreshesTheInspectorFiftyTimesASecond) {
    auto source = std::make_shared<FakeGamepadSource>();
    auto pad = std::make_shared<FakeGameController>();
    source->list = {pad};
    ConsoleHarness h({.gamepadSource = source});
    h.appear();
    h.console->setSelectedGamepad(pad);
    pad->rt = 0.5f;
    ASSERT_TRUE(waitFor([&] { return h.longLabel->value == "50.0% Engine"; }, 15s));
    EXPECT_EQ(h.console->inspectorManager().steering().angle->value(), "0.0°");
    // The inspector was handed its groups and reloads rows as they change.
    EXPECT_EQ(h.inspector->rootItem()->children().size(), 3u);
    EXPECT_EQ(h.host->fakeWindow->firstResponders.size(), 1u);
}

}  // namespace
