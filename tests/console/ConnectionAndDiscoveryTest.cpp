#include <algorithm>
#include <atomic>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "console/ConsoleHarness.h"
#include "device/DeviceSerialInterface.h"
#include "support/LogLines.h"
#include "support/PtyPeer.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;

// A device at the far end of a pty that answers every request with a steering report.
std::unique_ptr<PtyPeer> answeringDevice(std::string answer = "STEERING{angle:12.5\n}") {
    auto peer = std::make_unique<PtyPeer>();
    peer->startAnswering([answer](const DeviceReport&) { return answer; });
    return peer;
}

bool connected(ConsoleHarness& h) {
    return h.console->vehicleInterface() && h.console->vehicleInterface()->isConnected();
}

TEST(ConnectionFlow, ConnectsThenReconnectsTheSameDeviceThroughDisconnect) {
    auto device = answeringDevice();
    ConsoleHarness h;
    h.loadWithoutTimers();

    h.console->connectToDevice(device->devicePath());
    EXPECT_EQ(h.lastStatusText(), "Connecting to vehicle...");
    ASSERT_TRUE(waitFor([&] { return h.lastStatusText() == "Vehicle connnected" && connected(h); }));
    EXPECT_EQ(h.console->vehicleStatus().state(), StatusIndication::Case::positive);
    EXPECT_TRUE(device->waitForRequests(1));
    auto first = h.console->vehicleInterface();

    h.statusTexts.clear();
    h.console->connectToDevice(device->devicePath());
    ASSERT_TRUE(waitFor([&] { return h.lastStatusText() == "Vehicle connnected" && connected(h); }))
        << ::testing::PrintToString(h.statusTexts);
    EXPECT_EQ(h.statusTexts, (Texts{"Disconnecting from vehicle...", "Disconnected", "Connecting to vehicle...",
                                    "Vehicle connnected"}));
    EXPECT_FALSE(first->isConnected()) << "the earlier session must be closed";
    EXPECT_NE(h.console->vehicleInterface(), first);
    EXPECT_TRUE(waitFor([&] { return !h.console->isConnectingToVehicle(); }));
}

TEST(ConnectionFlow, AChoiceWhileConnectingIsDroppedAndTheRunningAttemptCompletes) {
    auto first = answeringDevice();
    auto second = answeringDevice();
    ConsoleHarness h;
    h.loadWithoutTimers();

    h.console->connectToDevice(first->devicePath());
    h.console->connectToDevice(second->devicePath());  // dropped
    ASSERT_TRUE(waitFor([&] { return connected(h); }));
    EXPECT_EQ(h.console->vehicleInterface()->path(), first->devicePath());
    EXPECT_EQ(h.statusTexts, (Texts{"Connecting to vehicle...", "Vehicle connnected"}));
}

// The device went, and came back (or another was chosen) while its session still closed: that
// request waits for the close and is not undone by the one before it. A caller that wants the
// port free (the update) then waits for the close as well and drops the waiting connection.
TEST(ConnectionFlow, ARequestWhileTheLastSessionClosesWaitsForTheClose) {
    for (const bool freeThePort : {false, true}) {
        SCOPED_TRACE(freeThePort ? "then the port is wanted free" : "connect");
        auto first = answeringDevice();
        auto second = answeringDevice();
        ConsoleHarness h;
        h.loadWithoutTimers();
        h.console->connectToDevice(first->devicePath());
        ASSERT_TRUE(waitFor([&] { return connected(h); }));

        h.statusTexts.clear();
        h.console->connectToDevice(std::nullopt);
        h.console->connectToDevice(second->devicePath());
        int freed = 0;
        if (freeThePort) {
            h.console->disconnectDeviceFirst([&] { ++freed; });
            ASSERT_TRUE(waitFor([&] { return freed > 0; }));
            EXPECT_EQ(h.statusTexts, (Texts{"Disconnecting from vehicle...", "Disconnected"}));
            EXPECT_FALSE(h.console->vehicleInterface());
            EXPECT_FALSE(h.console->isConnectingToVehicle());
        } else {
            ASSERT_TRUE(waitFor([&] { return connected(h) && !h.console->isConnectingToVehicle(); }));
            EXPECT_EQ(h.console->vehicleInterface()->path(), second->devicePath());
            EXPECT_EQ(h.statusTexts, (Texts{"Disconnecting from vehicle...", "Disconnected", "Connecting to vehicle...",
                                            "Vehicle connnected"}));
        }
        EXPECT_EQ(freed, freeThePort ? 1 : 0);
    }
}

TEST(ConnectionFlow, NoPathShowsNoInterfaceAtOnce) {
    ConsoleHarness h;
    h.loadWithoutTimers();
    h.console->connectToDevice(std::nullopt);
    EXPECT_EQ(h.statusTexts, (Texts{"No interface selected or available."}));
    EXPECT_EQ(h.console->vehicleStatus().state(), StatusIndication::Case::negative);
    EXPECT_FALSE(h.console->isConnectingToVehicle());
}

TEST(ConnectionFlow, AFailedOpenShowsTheReasonAndKeepsTheSelection) {
    TemporaryDirectory dev;
    const std::string missing = (dev.path() / "ttyACM7").string();
    ConsoleHarness h({.deviceDirectory = dev.path().string()});
    h.loadWithoutTimers();
    h.console->setSelectedDevice(missing);

    h.console->connectToDevice(missing);
    ASSERT_TRUE(waitFor([&] { return h.console->vehicleStatus().state() == StatusIndication::Case::negative; }));
    EXPECT_NE(h.lastStatusText().find("No such file"), std::string::npos) << h.lastStatusText();
    EXPECT_EQ(h.console->vehicleInterface(), nullptr);
    EXPECT_EQ(h.console->selectedDevice(), missing);
    ASSERT_TRUE(waitFor([&] { return !h.console->isConnectingToVehicle(); }));
}

TEST(DeviceDiscovery, KeepsSerialDevicesByPrefixAndBuildsThePopup) {
    TemporaryDirectory dev;
    for (auto name :
         {"cu.usbmodem1411", "tty.usbmodem1411", "cu.Bluetooth-Incoming-Port", "ttyACM0", "ttyS0", "ttyUSB3", "acm"}) {
        dev.touch(name);
    }
    ConsoleHarness h({.deviceDirectory = dev.path().string()});
    h.loadWithoutTimers();
    h.console->scanDevices();

    auto devices = h.console->devices();
    std::sort(devices.begin(), devices.end());
    const std::string base = dev.path().string() + "/";
    EXPECT_EQ(devices, (Texts{base + "cu.usbmodem1411", base + "ttyACM0", base + "ttyUSB3"}));

    auto titles = h.devicesPopup->itemTitles();
    ASSERT_EQ(titles.size(), 4u);
    EXPECT_EQ(titles[0], "Discovered 3 devices.");
    EXPECT_FALSE(h.devicesPopup->items[0].enabled);
    // Entries follow the listing order of the scan.
    EXPECT_EQ(Texts(titles.begin() + 1, titles.end()), h.console->devices());
}

TEST(DeviceDiscovery, AnEmptyOrUnreadableDirectoryShowsNoDevicesFound) {
    ConsoleHarness h({.deviceDirectory = "/nonexistent-orvane-directory"});
    h.loadWithoutTimers();
    h.console->scanDevices();
    EXPECT_TRUE(h.console->devices().empty());
    EXPECT_EQ(h.devicesPopup->itemTitles(), (Texts{"No devices found."}));
    EXPECT_EQ(h.devicesPopup->title, "No devices found.");
    EXPECT_FALSE(h.devicesPopup->items[0].enabled);
}

TEST(DeviceDiscovery, AnUnchangedListLeavesThePopupAndSelectionAlone) {
    TemporaryDirectory dev;
    dev.touch("ttyACM0");
    dev.touch("ttyACM1");
    ConsoleHarness h({.deviceDirectory = dev.path().string()});
    h.loadWithoutTimers();
    h.console->scanDevices();
    h.devicesPopup->selectItemAtIndex(2);
    const auto callsBefore = h.devicesPopup->calls.size();

    h.console->scanDevices();
    EXPECT_EQ(h.devicesPopup->calls.size(), callsBefore);
    EXPECT_EQ(h.devicesPopup->selectedIndex, 2);

    dev.touch("ttyUSB0");
    h.console->scanDevices();
    EXPECT_EQ(h.devicesPopup->itemTitles().front(), "Discovered 3 devices.");
}

TEST(DeviceDiscovery, ChoosingAnEntrySelectsAndConnectsAndTheHeaderDisconnects) {
    TemporaryDirectory dev;
    auto device = answeringDevice();
    dev.link("ttyACM0", device->devicePath());
    ConsoleHarness h({.deviceDirectory = dev.path().string()});
    h.loadWithoutTimers();
    h.console->scanDevices();
    const std::string path = (dev.path() / "ttyACM0").string();

    h.devicesPopup->selectItemAtIndex(1);
    h.console->didSelectDevice(h.devicesPopup.get());
    EXPECT_EQ(h.console->selectedDevice(), path);
    ASSERT_TRUE(waitFor([&] { return connected(h); }));

    h.statusTexts.clear();
    h.devicesPopup->selectItemAtIndex(0);
    h.console->didSelectDevice(h.devicesPopup.get());
    EXPECT_EQ(h.console->selectedDevice(), std::nullopt);
    EXPECT_EQ(h.devicesPopup->selectedIndex, 0);
    ASSERT_TRUE(waitFor([&] { return h.lastStatusText() == "No interface selected or available."; }));
    EXPECT_EQ(h.statusTexts,
              (Texts{"Disconnecting from vehicle...", "Disconnected", "No interface selected or available."}));
    EXPECT_EQ(h.console->vehicleInterface(), nullptr);
}

TEST(DeviceDiscovery, UnpluggingTheConnectedDeviceEndsInNoInterfaceAtTheNextScan) {
    TemporaryDirectory dev;
    auto device = answeringDevice();
    dev.link("ttyACM0", device->devicePath());
    ConsoleHarness h({.deviceDirectory = dev.path().string()});
    h.appear();  // the device-list timer scans once a second
    ASSERT_TRUE(waitFor([&] { return h.console->devices().size() == 1; }, 15s));
    h.devicesPopup->selectItemAtIndex(1);
    h.console->didSelectDevice(h.devicesPopup.get());
    ASSERT_TRUE(waitFor([&] { return connected(h); }));

    device->unplug();
    ASSERT_TRUE(waitFor([&] { return h.lastStatusText().rfind("Connection lost", 0) == 0; }, 15s));
    dev.remove("ttyACM0");
    // The next scan, a second later on an idle machine, finds the device gone.
    ASSERT_TRUE(waitFor([&] { return h.lastStatusText() == "No interface selected or available."; }, 15s));
    EXPECT_EQ(h.console->selectedDevice(), std::nullopt);
    EXPECT_EQ(h.console->vehicleInterface(), nullptr);
    EXPECT_EQ(h.devicesPopup->itemTitles(), (Texts{"No devices found."}));

    // The status row still tells how and when the link ended, beside its own text.
    auto& status = *h.console->inspectorManager().device().connectionStatus;
    const std::regex lastEnd("Last connection to " + (dev.path() / "ttyACM0").string() +
                             " lost at \\d\\d:\\d\\d:\\d\\d: the device was unplugged or its line hung up\\.");
    EXPECT_TRUE(std::regex_match(status.detail().value_or(""), lastEnd)) << status.detail().value_or("(none)");
    FakeTableCellView cell(true, true);
    status.updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "No interface selected or available.");
    EXPECT_EQ(cell.text->toolTip, "No interface selected or available.\n" + status.detail().value_or(""));

    // A new attempt at a device starts afresh.
    h.console->connectToDevice(device->devicePath());
    EXPECT_EQ(status.detail(), std::nullopt);
}

}  // namespace

namespace {

// A link that ends by itself is told at once, with its cause, and the device can be chosen again.
TEST(LinkTruth, ALinkThatEndsShowsItsCauseKeepsTheValuesAsStaleAndConnectsAgain) {
    PtyPeer device;
    std::atomic<bool> garbage{false};
    device.startAnswering([&](const DeviceReport&) {
        return garbage ? std::string("STEERING{angle:\xff\n}") : std::string("STEERING{angle:12.5\n}");
    });
    ConsoleHarness h;
    h.loadWithoutTimers();
    auto& angle = *h.console->inspectorManager().steering().angle;
    auto& update = *h.console->inspectorManager().device().version;
    EXPECT_FALSE(update.isActionEnabled()) << "no device: no update check";

    h.console->setSelectedDevice(device.devicePath());
    h.console->connectToDevice(device.devicePath());
    ASSERT_TRUE(waitFor([&] { return connected(h) && h.console->vehicleInterface()->decodedMessageCount() > 0; }));
    EXPECT_TRUE(update.isActionEnabled());
    h.console->refreshTelemetry();
    EXPECT_EQ(angle.valueText(), "12.5°");

    garbage = true;
    ASSERT_TRUE(waitFor([&] { return h.console->vehicleInterface() == nullptr; }));
    EXPECT_EQ(h.console->vehicleStatus().state(), StatusIndication::Case::negative);
    EXPECT_NE(h.lastStatusText().find("not the protocol"), std::string::npos) << h.lastStatusText();
    EXPECT_FALSE(update.isActionEnabled());
    h.console->refreshTelemetry();
    EXPECT_TRUE(angle.isStale());
    EXPECT_EQ(angle.valueText(), "12.5°");

    // The same choice connects again, and the values are live again.
    garbage = false;
    h.console->connectToDevice(h.console->selectedDevice());
    ASSERT_TRUE(waitFor([&] { return h.lastStatusText() == "Vehicle connnected" && connected(h); }));
    h.console->refreshTelemetry();
    EXPECT_FALSE(angle.isStale());
}

// A device that freezes (answered, then stops answering) is not responding: its last values are
// marked stale as after a lost link, the wheel fades; its next report makes them live again.
TEST(LinkTruth, AFrozenDeviceIsNotRespondingAndItsValuesStaleUntilItAnswersAgain) {
    PtyPeer device;
    auto answer = [](const DeviceReport&) { return std::string("STEERING{angle:12.5\napaTOI:activated\n}"); };
    device.startAnswering(answer);
    ConsoleHarness h;
    h.loadWithoutTimers();
    auto& angle = *h.console->inspectorManager().steering().angle;
    auto& lamp = *h.console->inspectorManager().steering().apaTOI;
    h.console->connectToDevice(device.devicePath());
    ASSERT_TRUE(waitFor([&] { return connected(h) && h.console->vehicleInterface()->decodedMessageCount() > 0; }));
    h.console->refreshTelemetry();
    EXPECT_EQ(lamp.status(), StatusIndication::positive("Activated"));

    // Nothing comes back: after two seconds the status says so (the refresh runs 50 times a
    // second in the window).
    device.stopAnswering();
    ASSERT_TRUE(waitFor(
        [&] {
            h.console->refreshTelemetry();
            return h.console->vehicleStatus().state() == StatusIndication::Case::warning;
        },
        20s));
    EXPECT_NE(h.lastStatusText().find("not responding"), std::string::npos) << h.lastStatusText();
    EXPECT_TRUE(connected(h));
    EXPECT_TRUE(angle.isStale());
    EXPECT_EQ(angle.valueText(), "12.5°");
    EXPECT_TRUE(lamp.isStale());
    EXPECT_EQ(lamp.status(), StatusIndication::unknown("Activated")) << "a grey lamp keeps its words";
    EXPECT_LT(h.wheel->alpha, 1.0);

    device.startAnswering(answer);
    ASSERT_TRUE(waitFor(
        [&] {
            h.console->refreshTelemetry();
            return h.lastStatusText() == "Vehicle connnected";
        },
        20s));
    EXPECT_FALSE(angle.isStale());
    EXPECT_EQ(lamp.status(), StatusIndication::positive("Activated"));
    EXPECT_EQ(h.wheel->alpha, 1.0);
    EXPECT_FALSE(h.console->vehicleInterface()->bootloaderVersion()) << "no bootloader answered";
}

TEST(LinkTruth, TheConnectionButtonFollowsTheConnection) {
    auto device = answeringDevice();
    auto button = std::make_shared<FakeButton>();
    ConsoleHarness h({.connectionButton = button});
    h.loadWithoutTimers();
    EXPECT_FALSE(button->enabled) << "nothing selected";

    h.console->setSelectedDevice(device->devicePath());
    EXPECT_TRUE(button->enabled);
    EXPECT_EQ(button->titles.back(), "Connect");
    ASSERT_TRUE(button->press());
    ASSERT_TRUE(waitFor([&] { return connected(h); }));
    EXPECT_EQ(button->titles.back(), "Disconnect");

    ASSERT_TRUE(button->press());
    ASSERT_TRUE(waitFor([&] { return h.lastStatusText() == "Disconnected"; }));
    EXPECT_EQ(h.console->vehicleInterface(), nullptr);
    EXPECT_EQ(h.console->selectedDevice(), device->devicePath()) << "the choice stays";
    EXPECT_EQ(button->titles.back(), "Connect");
    EXPECT_TRUE(button->enabled);
}

}  // namespace

namespace {

TEST(TestBench, TheLastDeviceIsConnectedWhenItAppearsAndTheSessionIsTapped) {
    TemporaryDirectory dev;
    auto device = answeringDevice();
    auto tap = std::make_shared<SessionTap>(std::make_shared<TrafficLog>());
    ConsoleHarness h({.deviceDirectory = dev.path().string(), .sessionTap = tap});
    h.loadWithoutTimers();
    const std::string path = (dev.path() / "ttyACM0").string();
    h.console->rememberLastDevice(path);
    h.console->setReconnectsLastDevice(true);
    h.console->scanDevices();
    EXPECT_EQ(h.console->vehicleInterface(), nullptr) << "not there yet";

    dev.link("ttyACM0", device->devicePath());
    h.console->scanDevices();
    ASSERT_TRUE(waitFor([&] { return connected(h) && h.console->vehicleInterface()->decodedMessageCount() > 2; }));
    EXPECT_EQ(h.console->selectedDevice(), path);
    EXPECT_EQ(h.console->lastConnectedDevice(), path);

    // Both directions reach the traffic log.
    tap->traffic()->drain();
    const auto& history = tap->traffic()->history();
    const auto sent = std::count_if(history.begin(), history.end(),
                                    [](const TrafficEntry& e) { return e.direction == TrafficDirection::sent; });
    EXPECT_GT(sent, 0);
    EXPECT_GT(static_cast<long>(history.size()), sent);
    EXPECT_EQ(tap->traffic()->filtered("STEERING").size() + static_cast<std::size_t>(sent), history.size());
}

// With nothing remembered from an earlier run, the device connected in this run is the one
// connected again: when it comes back after it was unplugged, and when its link ended by itself
// while its name stayed listed (a reset that put another port behind the name).
TEST(TestBench, TheDeviceConnectedInThisRunIsConnectedAgainWhenItComesBack) {
    TemporaryDirectory dev;
    auto device = answeringDevice();
    ConsoleHarness h({.deviceDirectory = dev.path().string()});
    h.loadWithoutTimers();
    h.console->setReconnectsLastDevice(true);
    const std::string path = (dev.path() / "ttyACM0").string();
    dev.link("ttyACM0", device->devicePath());
    h.console->scanDevices();
    h.console->setSelectedDevice(path);
    h.console->connectToDevice(path);
    ASSERT_TRUE(waitFor([&] { return connected(h); }));
    for (const bool unplugged : {true, false, true}) {
        SCOPED_TRACE(unplugged ? "unplugged" : "reset");
        dev.remove("ttyACM0");
        if (unplugged) {
            h.console->scanDevices();
            ASSERT_TRUE(waitFor([&] { return !h.console->vehicleInterface(); }));
        } else {
            device = answeringDevice();  // the old port hangs up
            ASSERT_TRUE(waitFor([&] { return !h.console->vehicleInterface(); }));
        }
        dev.link("ttyACM0", device->devicePath());
        ASSERT_TRUE(waitFor([&] {
            h.console->scanDevices();
            return connected(h);
        }));
        EXPECT_EQ(h.console->vehicleInterface()->path(), path);
    }
}

// The device remembered from the last run is selected (not connected) once listed. Connect with
// no selection connects the last device: at once when it is listed, and after a lost link, when
// it is away, once it is listed again, the log saying why it waits.
TEST(TestBench, ConnectWithoutASelectionConnectsTheLastDeviceWhenItIsListed) {
    TemporaryDirectory dev;
    const std::string path = (dev.path() / "ttyACM0").string();
    ConsoleHarness h({.deviceDirectory = dev.path().string()});
    h.loadWithoutTimers();
    h.console->rememberLastDevice(path);
    h.console->scanDevices();
    EXPECT_EQ(h.console->selectedDevice(), std::nullopt) << "not listed yet";

    auto device = answeringDevice();
    dev.link("ttyACM0", device->devicePath());
    h.console->scanDevices();
    EXPECT_EQ(h.console->selectedDevice(), path);
    EXPECT_EQ(h.devicesPopup->selectedIndex, 1);
    EXPECT_EQ(h.console->vehicleInterface(), nullptr) << "selected, not connected";

    h.console->setSelectedDevice(std::nullopt);
    h.console->didPressConnectionButton(nullptr);
    ASSERT_TRUE(waitFor([&] { return connected(h); }));
    EXPECT_EQ(h.console->selectedDevice(), path);

    // The link is lost and the device leaves the list: Connect says why and waits for it.
    device->unplug();
    dev.remove("ttyACM0");
    ASSERT_TRUE(waitFor([&] {
        h.console->scanDevices();
        return !h.console->vehicleInterface() && !h.console->selectedDevice();
    }));
    CapturedLog log;
    h.console->didPressConnectionButton(nullptr);
    EXPECT_TRUE(log.contains(path + " is not in the device list"));
    h.console->scanDevices();
    EXPECT_EQ(h.console->vehicleInterface(), nullptr);
    auto back = answeringDevice();
    dev.link("ttyACM0", back->devicePath());
    h.console->scanDevices();
    ASSERT_TRUE(waitFor([&] { return connected(h); }));
    EXPECT_EQ(h.console->vehicleInterface()->path(), path);
}

}  // namespace

namespace {

// The traffic's history fills whether or not a panel shows it: the console drains the hand-over
// queue on its own timer, so a panel opened later shows the newest entries.
TEST(TestBench, TheConsoleDrainsTheTrafficIntoItsHistoryWithNoPanel) {
    TemporaryDirectory dev;
    auto device = answeringDevice();
    // A history far smaller than what the device sends: it overflows only if drained again and again.
    auto traffic = std::make_shared<TrafficLog>(TrafficLog::kDefaultQueueCapacity, 50);
    ConsoleHarness h({.deviceDirectory = dev.path().string(), .sessionTap = std::make_shared<SessionTap>(traffic)});
    dev.link("ttyACM0", device->devicePath());  // listed, so the console's scans keep it connected
    h.appear();
    h.console->connectToDevice((dev.path() / "ttyACM0").string());
    ASSERT_TRUE(waitFor([&] { return connected(h); }));
    ASSERT_TRUE(waitFor([&] { return traffic->firstPosition() >= 500; }))
        << traffic->firstPosition() << " entries left a history of " << traffic->history().size();
    EXPECT_EQ(traffic->history().size(), 50u);
    const auto& newest = traffic->history().back();
    EXPECT_TRUE(newest.message.name == "STEERING" || newest.message.name == "CONTROL") << newest.message.name;
}

}  // namespace
