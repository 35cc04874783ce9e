// How the console ends: the window's close and the signals SIGTERM, SIGINT and SIGHUP each leave
// a request of 0 as the last one on the wire, in the window and in the program itself.

#include <signal.h>
#include <stdlib.h>

#include <QTest>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "device/DeviceSerialInterface.h"
#include "qt/TerminationSignals.h"
#include "support/ChildProcess.h"
#include "support/PtyPeer.h"
#include "tests/qt/AppHarness.h"
#include "update/BossacManager.h"

namespace orvane {
namespace {

using testing::AppHarness;
using testing::waitFor;

bool carriesZero(const DeviceReport& request) {
    const auto lat = request.fields.find("lat");
    const auto lon = request.fields.find("long");
    return lat != request.fields.end() && lat->second == "0.0" && lon != request.fields.end() && lon->second == "0.0";
}

std::string lateral(const DeviceReport& request) {
    const auto lat = request.fields.find("lat");
    return lat == request.fields.end() ? std::string() : lat->second;
}

std::string answer(const DeviceReport&) { return "STEERING{angle:1.0\n}"; }

// A hand holds the lateral slider near its end; the window is closed, or the console signalled.
// The device takes 0.3 s to answer, so the request of 0 goes out only after that: the close waits
// for it before the window goes, and once the application is gone and its session ended, the last
// request the device got carries 0.
TEST(Ending, EveryWayOfEndingSendsZeroBeforeTheSessionGoes) {
    const auto slowAnswer = [](const DeviceReport& request) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        return answer(request);
    };
    for (const int number : {0, SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(number ? TerminationSignals::name(number) : "the close button");
        PtyPeer device;
        device.startAnswering(slowAnswer);
        std::shared_ptr<DeviceSerialInterface> session;
        {
            AppHarness h;
            TerminationSignals watched;
            watched.setHandler([&h](int signal) { h.app->endOnSignal(signal); });
            h.devices.link("ttyACM9", device.devicePath());
            h.console().connectToDevice((h.devices.path() / "ttyACM9").string());
            ASSERT_TRUE(waitFor([&] { return (session = h.console().vehicleInterface()) && session->isConnected(); }));
            auto* lat = h.find<ControlSlider>("latControlSlider");
            ASSERT_TRUE(lat);
            const QPoint start = testing::handleCentre(*lat);
            QTest::mousePress(lat, Qt::LeftButton, {}, start);
            QTest::mouseMove(lat, QPoint(lat->width() - 4, start.y()));
            ASSERT_GT(lat->value(), 90);
            ASSERT_TRUE(waitFor([&] { return lateral(device.lastRequest()) == std::to_string(lat->value()) + ".0"; }));

            if (number == 0) {
                h.app->window().close();
            } else {
                ASSERT_EQ(::raise(number), 0);
                ASSERT_TRUE(waitFor([&] { return !h.app->window().isVisible(); }));
            }
            EXPECT_EQ(h.console().requestedLateralControl(), 0.0);
        }
        // As main() ends once the window has closed: the application goes with its session.
        ASSERT_TRUE(waitFor([&] { return !session->isConnected(); }));
        EXPECT_TRUE(waitFor([&] { return carriesZero(device.lastRequest()); }))
            << "the last request: lat " << lateral(device.lastRequest());
    }
}

// The program itself, connected to a device and signalled: it ends within 5 s with status 0, and
// the last request the device got carries 0.
TEST(Ending, TheProgramEndsOnEachSignalWithZeroLastOnTheWire) {
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        const std::string name = TerminationSignals::name(number);
        SCOPED_TRACE(name);
        testing::ScratchDirectory scratch;
        PtyPeer device;
        device.startAnswering(answer);
        scratch.link("ttyACM0", device.devicePath());
        // Its settings go to the scratch directory, its window to no screen.
        const std::optional<std::string> configHome =
            std::getenv("XDG_CONFIG_HOME") ? std::optional<std::string>(std::getenv("XDG_CONFIG_HOME")) : std::nullopt;
        ::setenv("XDG_CONFIG_HOME", scratch.path().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const std::string errors = (scratch.path() / "errors.txt").string();
        testing::Child console(
            {std::string(ORVANE_BINARY_DIR) + "/src/qt/orvane-console", "--device-dir", scratch.path().string(),
             "--connect", (scratch.path() / "ttyACM0").string(), "--panels", "none"},
            errors);
        if (configHome) {
            ::setenv("XDG_CONFIG_HOME", configHome->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        ASSERT_TRUE(console.started());
        ASSERT_TRUE(device.waitForRequests(5));

        ASSERT_TRUE(console.signal(number));
        const std::optional<int> status = console.wait(std::chrono::seconds(5));
        ASSERT_TRUE(status.has_value()) << "still running 5 s after " << name;
        EXPECT_EQ(*status, 0);
        EXPECT_TRUE(waitFor([&] { return carriesZero(device.lastRequest()); }))
            << "the last request: lat " << lateral(device.lastRequest());
        std::ifstream in(errors);
        const std::string printed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(printed.find("orvane.console: Quitting on " + name), std::string::npos) << printed;
    }
}

// A signal while the firmware is being written lets the tool finish: the console says that it
// quits after the update, and quits once the tool has ended; a second signal quits at once.
TEST(Ending, ASignalDuringAFirmwareUpdateWaitsForIt) {
    for (const bool again : {false, true}) {
        SCOPED_TRACE(again ? "a second signal" : "the update ends");
        testing::ScratchDirectory scratch;
        const std::string done = (scratch.path() / "done").string();
        auto bossac = std::make_shared<BossacManager>();
        bossac->setToolPath(scratch.script("bossac", "echo 'Erase flash'\nwhile [ ! -e '" + done +
                                                         "' ]; do sleep 0.02; done\necho 'Verify successful'"));
        Application::Options options;
        options.deviceDirectory = scratch.path().string();
        options.gamepadSource = std::make_shared<testing::ScriptedGamepadSource>();
        options.bossac = bossac;
        Application app(options);
        app.show();
        TerminationSignals watched;
        watched.setHandler([&app](int signal) { app.endOnSignal(signal); });
        const std::string firmware = scratch.touch("firmware.bin");
        std::thread([&] {
            bossac->flash(scratch.path() / "ttyACM0", firmware, BossacManager::DeviceState::inBootloader);
        }).join();
        ASSERT_TRUE(bossac->isRunning());

        ASSERT_EQ(::raise(SIGINT), 0);
        ASSERT_TRUE(waitFor([&] { return app.isEndingAfterUpdate(); }));
        EXPECT_TRUE(app.window().isVisible());
        EXPECT_TRUE(bossac->isRunning());
        EXPECT_NE(app.console()->modalProgressStatusText().value_or("").find(
                      "Received SIGINT: the console will quit when the update has finished."),
                  std::string::npos);
        if (again) {
            ASSERT_EQ(::raise(SIGTERM), 0);
            EXPECT_TRUE(waitFor([&] { return !app.window().isVisible(); }));
            EXPECT_TRUE(bossac->isRunning());
            scratch.touch("done");
        } else {
            scratch.touch("done");
            EXPECT_TRUE(waitFor([&] { return !app.window().isVisible(); }));
        }
        ASSERT_TRUE(waitFor([&] { return !bossac->isRunning(); }));
    }
}

}  // namespace
}  // namespace orvane
