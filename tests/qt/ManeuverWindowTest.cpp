// Test ▸ Run Maneuvers… in the whole window against a pty peer: the file's refusal, the aborts
// from the window (each leaves 0 in the next request and never resumes), and a suite that
// completes with its recording and report.

#include <signal.h>
#include <sys/stat.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <fstream>
#include <mutex>

#include <gtest/gtest.h>

#include "console/ManeuverControl.h"
#include "console/SessionTap.h"
#include "device/DeviceSerialInterface.h"
#include "platform/Log.h"
#include "qt/ElidedLabel.h"
#include "qt/ManeuverRunControl.h"
#include "qt/TerminationSignals.h"
#include "support/Csv.h"
#include "support/LogLines.h"
#include "support/PtyPeer.h"
#include "tests/qt/AppHarness.h"

namespace orvane {
namespace {

using testing::AppHarness;
using testing::waitFor;

using testing::LogLines;

std::string field(const DeviceReport& request, const char* name) {
    auto found = request.fields.find(name);
    return found == request.fields.end() ? std::string() : found->second;
}

// A step of 0.2 on the lateral channel, `repeats` times `seconds` with 0.2 s to settle.
std::string stepSuite(double seconds, int repeats, const std::string& expect = "{}") {
    return R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1.0},
               "maneuvers": [{"name": "steer step", "channel": "lateral", "profile": "step",
                              "amplitude": 0.2, "duration": )" +
           std::to_string(seconds) + R"(, "repeats": )" + std::to_string(repeats) + R"(, "settle": 0.2, "expect": )" +
           expect + "}]}";
}

// The window connected to a peer that answers every request.
struct Bench {
    Bench() {
        device.startAnswering([](const DeviceReport&) { return std::string("STEERING{angle:-3.5\n}"); });
        h.devices.link("ttyACM9", device.devicePath());  // listed, so the scans keep it connected
        h.console().connectToDevice((h.devices.path() / "ttyACM9").string());
    }
    bool ready() {
        return waitFor([&] { return h.console().canRunManeuvers(); });
    }
    std::string write(const std::string& text) {
        const std::string path = (files.path() / "suite.json").string();
        std::ofstream(path) << text;
        return path;
    }
    // Opens the file and answers "Run".
    bool run(const std::string& path) {
        h.app->maneuverRun().open(path);
        if (!waitFor([&] { return !h.app->maneuverRun().isOpening(); })) return false;
        QMessageBox* box = h.app->maneuverRun().confirmation();
        if (!box || !waitFor([&] { return box->isVisible(); })) return false;
        auto* button = box->findChild<QPushButton*>("runManeuversButton");
        if (!button) return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return h.console().isRunningManeuvers();
    }
    // Waits until the peer has answered a request with the lateral field `value`.
    bool wireCarries(const std::string& value) {
        return waitFor([&] { return field(device.lastRequest(), "lat") == value; });
    }

    testing::ScratchDirectory files;
    AppHarness h;
    PtyPeer device;
};

// A file that cannot run, and a FIFO nobody writes (read on a worker and refused without waiting
// for a writer), are refused with the reader's reason.
TEST(ManeuverWindow, ABadFileIsRefusedWithItsReasonBeforeAnythingRuns) {
    QSettings().clear();
    Bench bench;
    ASSERT_TRUE(bench.ready());
    const std::string fifo = (bench.files.path() / "fifo.json").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string paths[] = {bench.write(
                                     R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1.0},
            "maneuvers": [{"name": "too far", "channel": "lateral", "profile": "step", "amplitude": 0.5,
                           "duration": 1.0}]})"),
                                 fifo};
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        std::string reason;
        try {
            ManeuverSuite::fromFile(path);
        } catch (const ManeuverFileError& error) {
            reason = error.what();
        }
        ASSERT_NE(reason, "");
        bench.h.app->maneuverRun().open(path);
        ASSERT_TRUE(waitFor([&] { return testing::visibleWindows<QMessageBox>().size() == 1; }));
        auto boxes = testing::visibleWindows<QMessageBox>();
        EXPECT_EQ(boxes[0]->objectName(), "maneuverFileRefusal");
        EXPECT_EQ(boxes[0]->informativeText().toStdString(), reason);
        EXPECT_EQ(bench.h.app->maneuverRun().confirmation(), nullptr);
        EXPECT_FALSE(bench.h.console().isRunningManeuvers());
        EXPECT_EQ(bench.h.console().vehicleInterface()->requestLateralControlMagntiude(), 0.0);
        boxes[0]->close();
        ASSERT_TRUE(waitFor([&] { return testing::visibleWindows<QMessageBox>().empty(); }));
    }
}

// Each abort of the window: both requests are 0 the moment it is handled (the next request
// carries them), the requests stay 0, the reason is shown and logged, and the sliders, disabled
// while the suite ran, work again. Neither the sliders nor a deflected stick drive the requests
// while it runs.
TEST(ManeuverWindow, EveryAbortLeavesZeroInTheNextRequestAndNeverResumes) {
    enum class How { escape, abortButton, gamepadButton, enableReleased, windowClosed, signalled };
    struct Case {
        const char* what;
        How how;
        const char* reason;
    };
    const Case cases[] = {
        {"Escape", How::escape, "Escape was pressed"},
        {"the Abort button", How::abortButton, "the Abort button was pressed"},
        {"a gamepad button", How::gamepadButton, "a button of the gamepad \"Pad A\" was pressed"},
        {"the enable button let go", How::enableReleased, "the hold-to-enable control was released"},
        {"the window closing", How::windowClosed, "the window was closed"},
        {"SIGTERM", How::signalled, "the console received SIGTERM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QSettings().clear();
        auto log = std::make_shared<LogLines>();
        const auto previousSink = setLogSink(log);
        {
            Bench bench;
            ViewController& console = bench.h.console();
            TerminationSignals watched;
            watched.setHandler([&bench](int signal) { bench.h.app->endOnSignal(signal); });
            if (c.how == How::enableReleased) {
                GamepadSettings settings;
                settings.holdToEnable = true;
                console.setGamepadSettings(settings);
                bench.h.padA->enableHeld = true;
            }
            console.setGamepads(bench.h.gamepads->list);
            console.setSelectedGamepad(bench.h.padA);
            ASSERT_TRUE(bench.ready());
            ASSERT_TRUE(bench.run(bench.write(stepSuite(60, 1))));
            ASSERT_TRUE(bench.wireCarries("20.0"));

            // Running: the sliders are disabled and take no key; a deflected stick drives nothing.
            auto* lat = bench.h.find<ControlSlider>("latControlSlider");
            ASSERT_TRUE(lat);
            EXPECT_FALSE(lat->isEnabled());
            const auto& session = console.vehicleInterface();
            const auto ticks = [&] { return bench.h.app->maneuvers()->sampleCount(); };
            QTest::keyPress(lat, Qt::Key_End);
            bench.h.padA->lx = -1;
            const std::size_t ticksHeld = ticks();
            ASSERT_TRUE(waitFor([&] { return ticks() >= ticksHeld + 5; }));
            EXPECT_EQ(console.requestedLateralControl(), 0.2);
            EXPECT_EQ(session->requestLateralControlMagntiude(), 0.2);
            bench.h.padA->lx = 0;
            QTest::keyRelease(lat, Qt::Key_End);
            if (c.how == How::escape) {
                // A shortcut of the application: it acts in whichever of its windows is active.
                bench.h.app->window().activateWindow();
                ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &bench.h.app->window(); }));
            }
            switch (c.how) {
                case How::escape:
                    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &bench.h.app->window(),
                                    Qt::Key_Escape);
                    break;
                case How::abortButton:
                    QTest::mouseClick(bench.h.app->maneuverRun().panel()->abortButton(), Qt::LeftButton);
                    break;
                case How::gamepadButton: bench.h.padA->otherHeld = true; break;
                case How::enableReleased: bench.h.padA->enableHeld = false; break;
                case How::windowClosed: bench.h.app->window().close(); break;
                case How::signalled: ::raise(SIGTERM); break;
            }
            // The gamepad is read at the window's next control tick and handed to the suite; the
            // others act at once. The next request carries 0 on both channels, and the suite's
            // thread records nothing after the end.
            ASSERT_TRUE(waitFor([&] { return !console.isRunningManeuvers(); }));
            const std::size_t ticksAtEnd = ticks();
            EXPECT_EQ(session->requestLateralControlMagntiude(), 0.0);
            EXPECT_EQ(session->requestLongitudinalControlMagntiude(), 0.0);
            // On the wire: the request on its way when the abort came (the one after those the
            // peer has read) may carry the step; the next one, made after the abort, and every
            // later one carry 0.
            const std::size_t before = bench.device.requestCount();
            ASSERT_TRUE(bench.device.waitForRequests(before + 11));
            const auto requests = bench.device.requestsSince(before + 1);
            ASSERT_GE(requests.size(), 10u);
            for (std::size_t i = 0; i < requests.size(); ++i) {
                EXPECT_EQ(field(requests[i], "lat"), "0.0") << "request " << i + 1 << " after the abort";
                EXPECT_EQ(field(requests[i], "long"), "0.0");
            }

            EXPECT_EQ(ticks(), ticksAtEnd);

            ManeuverPanel& panel = *bench.h.app->maneuverRun().panel();
            const std::string shown = panel.statusLabel()->text().toStdString();
            EXPECT_NE(shown.find(c.reason), std::string::npos) << shown;
            if (c.how == How::abortButton) {
                // At the panel's smallest height how the suite ended shows whole, below the buttons.
                QLabel* status = panel.statusLabel();
                panel.setFloating(true);
                panel.resize(panel.width(), 1);
                ASSERT_TRUE(waitFor([&] { return panel.height() == panel.minimumSizeHint().height(); }));
                EXPECT_GE(status->height(), status->heightForWidth(status->width())) << "its lines cut off";
                auto* elided = qobject_cast<ElidedLabel*>(status);
                EXPECT_TRUE(elided && elided->shownLines().join(' ').toStdString() == shown);
                EXPECT_GT(status->y(), panel.abortButton()->geometry().bottom());
                EXPECT_LE(status->geometry().bottom(), panel.widget()->height());
            }
            EXPECT_TRUE(
                log->contains(std::string("orvane.maneuver: The suite suite.json was aborted in \"steer "
                                          "step\", repeat 1 of 1")));
            EXPECT_TRUE(log->contains(c.reason));
            EXPECT_TRUE(lat->isEnabled());
            bench.h.padA->otherHeld = false;
        }
        setLogSink(previousSink);
    }
}

// A suite that completes: the recording's rows name the maneuver and the repeat while it runs
// and leave them empty after; the end offers the report, which names the file and the device.
// The peer's wheel never moves, so an expected held angle fails every repeat: the panel shows
// the verdicts, and the JUnit and metrics files say so; the metrics are a baseline for the same
// suite only.
TEST(ManeuverWindow, ACompletedSuiteIsRecordedWithItsColumnsAndReported) {
    QSettings().clear();
    Bench bench;
    const std::string csv = (bench.files.path() / "run.csv").string();
    const std::string report = (bench.files.path() / "report.html").string();
    ASSERT_TRUE(bench.ready());
    bench.h.app->startRecording(csv);
    ASSERT_TRUE(bench.run(bench.write(stepSuite(0.3, 2, R"({"heldWithin": [10, 20]})"))));
    ASSERT_TRUE(waitFor([&] { return !bench.h.console().isRunningManeuvers(); }));
    ASSERT_TRUE(waitFor([&] {
        auto boxes = testing::visibleWindows<QMessageBox>();
        return boxes.size() == 1 && boxes[0]->objectName() == "maneuverEnded";
    }));
    EXPECT_EQ(bench.h.app->maneuverRun().panel()->statusLabel()->toolTip(),
              "\u2717 Failed: 2 of 2 repeats\nsteer step: #1 \u2717 #2 \u2717\nCompleted");
    const std::size_t after = bench.h.app->sessionTap()->recording()->rowCount();
    ASSERT_TRUE(waitFor([&] { return bench.h.app->sessionTap()->recording()->rowCount() > after + 5; }));
    bench.h.app->stopRecording();
    auto& run = bench.h.app->maneuverRun();
    run.saveReport(report);
    const std::string junit = (bench.files.path() / "junit.xml").string();
    const std::string metrics = (bench.files.path() / "metrics.json").string();
    run.saveResults(junit, ManeuverRunControl::ResultFile::junit);
    run.saveResults(metrics, ManeuverRunControl::ResultFile::metrics);
    auto readAll = [](const std::string& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), {});
    };
    EXPECT_NE(readAll(junit).find(R"(tests="2" failures="2" errors="0")"), std::string::npos) << readAll(junit);
    EXPECT_NE(readAll(metrics).find(R"("expectation": "heldWithin")"), std::string::npos);
    EXPECT_EQ(run.compareWith(metrics), std::nullopt);
    EXPECT_NE(run.panel()->statusLabel()->toolTip().indexOf("against the baseline"), -1);
    // The same metrics, as if measured with another suite.
    const std::string other = (bench.files.path() / "other-metrics.json").string();
    std::string otherMetrics = readAll(metrics);
    otherMetrics.replace(otherMetrics.find(R"("sha256": ")") + 11, 4, "0000");
    std::ofstream(other) << otherMetrics;
    const auto refusal = run.compareWith(other);
    ASSERT_TRUE(refusal);
    EXPECT_NE(refusal->find("another suite"), std::string::npos) << *refusal;

    std::ifstream in(csv, std::ios::binary);
    const auto parsed = testing::parseCsv(std::string((std::istreambuf_iterator<char>(in)), {}));
    ASSERT_EQ(parsed.error, "");
    ASSERT_GE(parsed.rows.size(), 2u);
    const auto& header = parsed.rows.front();
    ASSERT_GE(header.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(header.end() - 2, header.end()), SessionTap::kRecordingColumns);
    // The columns' values in the order they first appear.
    std::vector<std::string> where;
    for (std::size_t i = 1; i < parsed.rows.size(); ++i) {
        const auto& row = parsed.rows[i];
        ASSERT_EQ(row.size(), header.size());
        const std::string value = row[row.size() - 2] + "/" + row.back();
        if (where.empty() || where.back() != value) where.push_back(value);
    }
    EXPECT_EQ(where, (std::vector<std::string>{"/", "steer step/1", "steer step/2", "/"}));

    std::ifstream page(report, std::ios::binary);
    const std::string html((std::istreambuf_iterator<char>(page)), {});
    EXPECT_NE(html.find("suite.json"), std::string::npos);
    EXPECT_NE(html.find("steer step"), std::string::npos);
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// While a suite runs, Tab from the toolbar reaches the suite's Abort next, before anything else.
TEST(ManeuverWindow, TabReachesAbortRightAfterTheToolbarWhileASuiteRuns) {
    Bench bench;
    ASSERT_TRUE(bench.ready());
    ASSERT_TRUE(bench.run(bench.write(stepSuite(60, 1))));
    QWidget* abort = bench.h.find<QPushButton>("maneuverAbortButton");
    ASSERT_TRUE(waitFor([&] { return abort && abort->isVisible() && abort->isEnabled(); }));
    bench.h.app->window().activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &bench.h.app->window(); }));
    bench.h.find<QPushButton>("settingsButton")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), abort) << "Tab went to "
                                                  << QApplication::focusWidget()->objectName().toStdString();
    QTest::keyClick(abort, Qt::Key_Space);  // pressed from the keyboard, as a person would
    EXPECT_TRUE(waitFor([&] { return !bench.h.console().isRunningManeuvers(); }));
}

}  // namespace
}  // namespace orvane
