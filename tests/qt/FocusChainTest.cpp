// The keyboard reaches everything: in each state of the window, and in its sheets, Tab runs
// through the controls in reading order and Shift+Tab runs the same round backwards, and the
// control that has the focus shows it.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDockWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "console/ManeuverControl.h"
#include "platform/SeguePresentation.h"
#include "qt/FocusRingStyle.h"
#include "qt/ManeuverRunControl.h"
#include "qt/ReplayTimeline.h"
#include "support/PtyPeer.h"
#include "tests/qt/AppHarness.h"
#include "update/UpdateInformationViewController.h"

namespace orvane {
namespace {

using testing::AppHarness;
using testing::waitFor;

// A control as the round names it: its object name (a button without one by its text, anything
// else by its class), after the panel it sits in.
std::string nameOf(const QWidget* widget) {
    QString name = widget->objectName();
    if (auto* button = qobject_cast<const QAbstractButton*>(widget); button && name.isEmpty()) name = button->text();
    if (name.isEmpty()) name = widget->metaObject()->className();
    for (const QWidget* up = widget->parentWidget(); up; up = up->parentWidget()) {
        if (auto* panel = qobject_cast<const QDockWidget*>(up)) name = panel->objectName() + "/" + name;
    }
    return name.toStdString();
}

// The focused control looks different without the focus, and what differs is in the highlight
// colour of the window: the focus ring, or a control's own mark of the focus (a slider's ring round
// its handle; the slider's own palette has no highlight).
bool showsFocus(QWidget* control) {
    const QImage focused = control->grab().toImage();
    control->clearFocus();
    const QImage unfocused = control->grab().toImage();
    control->setFocus(Qt::TabFocusReason);
    const QColor highlight = control->window()->palette().color(QPalette::Active, QPalette::Highlight);
    for (int y = 0; y < focused.height(); ++y) {
        for (int x = 0; x < focused.width(); ++x) {
            if (focused.pixel(x, y) != unfocused.pixel(x, y) && focused.pixelColor(x, y) == highlight) return true;
        }
    }
    return false;
}

// The controls the focus passes through from `start`, with Tab or Shift+Tab, until it is back at
// `start` (at most 60). Those that take the focus without Tab, or do not show it, go to `unseen`.
std::vector<std::string> round(QWidget* start, bool forward, std::vector<std::string>& unseen) {
    std::vector<std::string> names;
    QWidget* focused = start;
    while (names.size() < 60) {
        names.push_back(nameOf(focused));
        if (!(focused->focusPolicy() & Qt::TabFocus) || !showsFocus(focused)) unseen.push_back(names.back());
        QTest::keyClick(focused, Qt::Key_Tab, forward ? Qt::NoModifier : Qt::ShiftModifier);
        focused = QApplication::focusWidget();
        if (!focused || focused == start) break;
    }
    return names;
}

// The window connected to a peer that answers every request.
struct Peer {
    explicit Peer(AppHarness& h) {
        device.startAnswering([](const DeviceReport&) { return std::string("STEERING{angle:-3.5\n}"); });
        h.devices.link("ttyACM9", device.devicePath());
        h.console().connectToDevice((h.devices.path() / "ttyACM9").string());
    }
    PtyPeer device;
};

TEST(FocusChain, TabAndShiftTabRunEachStateInReadingOrderWithTheFocusShown) {
    // The application's style as the program sets it, for this test only.
    const QString baseStyle = QApplication::style()->name();
    QApplication::setStyle(new FocusRingStyle(baseStyle));
    testing::ScratchDirectory files;
    const std::string recording = (files.path() / "drive.csv").string();
    std::ofstream(recording, std::ios::binary) << "time,wallClockTime,message,steeringWheelAngle\r\n"
                                                  "0.010,2026-03-18T12:03:00.010Z,STEERING,12.5\r\n"
                                                  "5.000,2026-03-18T12:03:05.000Z,STEERING,90\r\n";
    const std::string suite = (files.path() / "suite.json").string();
    std::ofstream(suite) << R"({"limits": {"lateral": 0.3, "longitudinal": 0.2, "driverTorqueAbort": 1.0},
        "maneuvers": [{"name": "held step", "channel": "lateral", "profile": "step", "amplitude": 0.2,
                       "duration": 60}]})";

    struct Case {
        const char* state;
        // Brings the window into the state; returns the control the round starts from.
        std::function<QWidget*(AppHarness&, std::unique_ptr<Peer>&)> enter;
        std::vector<std::string> order;
        // Escape from the focus ends the state: true when it did (none: tested with the state's other
        // ways out, in ManeuverWindowTest and DialogsTest).
        std::function<bool()> escaped;
    };
    const Case cases[] = {
        {"live",
         [](AppHarness& h, std::unique_ptr<Peer>&) -> QWidget* {
             h.console().setSelectedDevice((h.devices.path() / "ttyACM0").string());
             return waitFor([&] { return h.app->window().connectionButton()->isEnabled(); })
                        ? h.app->window().devicesComboBox()
                        : nullptr;
         },
         {"devicesPopupButton", "connectionButton", "gamepadsPopupButton", "settingsButton", "longControlSlider",
          "latControlSlider", "logPanel/copyAllButton", "logPanel/clearButton", "logPanel/logView", "QTabBar"}},
        {"replay",
         [&recording](AppHarness& h, std::unique_ptr<Peer>&) -> QWidget* {
             h.app->openRecording(recording);
             return waitFor([&] { return h.app->timeline().isVisible(); }) ? h.app->window().settingsButton() : nullptr;
         },
         {"settingsButton", "replayStepBackButton", "replayPlayButton", "replayStepForwardButton", "replaySpeedBox",
          "replaySlider", "replayCloseButton", "logPanel/copyAllButton", "logPanel/clearButton", "logPanel/logView",
          "QTabBar"}},
        {"maneuver running",
         [&suite](AppHarness& h, std::unique_ptr<Peer>& peer) -> QWidget* {
             peer = std::make_unique<Peer>(h);
             // Connected, the firmware row's Check for Update offered.
             if (!waitFor([&] {
                     auto* check = h.find<QPushButton>("actionButton");
                     return h.console().canRunManeuvers() && check && check->isEnabled();
                 }))
                 return nullptr;
             h.app->maneuverRun().open(suite);
             if (!waitFor([&] { return h.app->maneuverRun().confirmation() != nullptr; })) return nullptr;
             h.app->maneuverRun().confirmation()->findChild<QPushButton*>("runManeuversButton")->click();
             // Running, and the controls it disables (Check for Update among them) taken off.
             return waitFor([&] {
                 return h.console().isRunningManeuvers() && !h.find<QPushButton>("actionButton")->isEnabled();
             })
                        ? h.app->window().settingsButton()
                        : nullptr;
         },
         {"settingsButton", "maneuverPanel/maneuverAbortButton", "logPanel/copyAllButton", "logPanel/clearButton",
          "logPanel/logView", "QTabBar", "connectionButton"}},
        {"Settings sheet",
         [](AppHarness& h, std::unique_ptr<Peer>&) -> QWidget* {
             h.app->showSettings();
             auto* sheet = h.find<QDialog>("settingsDialog");
             return sheet && waitFor([&] { return sheet->isVisible(); }) ? h.find<QWidget>("deadZone") : nullptr;
         },
         {"deadZone", "invertLateral", "invertLongitudinal", "holdToEnable", "reconnectLastDevice",
          "allowUnsignedFirmware", "language", "OK", "Cancel"},
         [] { return waitFor([] { return testing::visibleWindows<QDialog>().empty(); }); }},
        {"update sheet",
         [](AppHarness& h, std::unique_ptr<Peer>&) -> QWidget* {
             DeviceSoftwareUpdateInformation information;
             information.version = Version("1.2.3.5");
             information.releaseNotes = "Smoother torque overlay.";
             performSegueWithHandler<UpdateInformationViewController>(
                 h.console(), SoftwareUpdateInformationSegue,
                 [&](UpdateInformationViewController& dialog) { dialog.setUpdateInformation(information); });
             auto* sheet = h.find<QDialog>("updateInformationDialog");
             return sheet && waitFor([&] { return sheet->isVisible(); }) ? h.find<QWidget>("updateButton") : nullptr;
         },
         {"updateButton", "notNowButton", "releaseNotesTextField"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        QSettings().clear();
        AppHarness h;
        std::unique_ptr<Peer> peer;
        QWidget* start = c.enter(h, peer);
        ASSERT_NE(start, nullptr);
        start->window()->activateWindow();
        ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == start->window(); }));
        start->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(waitFor([&] { return start->hasFocus(); }));
        std::vector<std::string> unseen;
        const auto forward = round(start, true, unseen);
        EXPECT_EQ(forward, c.order);
        // Backwards: the start, then the others in the opposite order.
        std::vector<std::string> backward(c.order.rbegin(), c.order.rend());
        if (!backward.empty()) backward.insert(backward.begin(), backward.back()), backward.pop_back();
        EXPECT_EQ(round(start, false, unseen), backward);
        EXPECT_EQ(unseen, std::vector<std::string>{}) << "taken without Tab or shown without the focus ring";
        if (c.escaped) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            EXPECT_TRUE(c.escaped());
        }
    }
    QApplication::setStyle(QStyleFactory::create(baseStyle));
}

}  // namespace
}  // namespace orvane
