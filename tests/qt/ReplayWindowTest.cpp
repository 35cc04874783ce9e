// A recording opened in the window: the views show it, the controls that act on the device are
// disabled, closing brings the live console back as it was, and a bad file changes nothing.

#include <QAction>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QTest>
#include <QUrl>
#include <cmath>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "console/RecordingReplay.h"
#include "inspector/InspectorManager.h"
#include "platform/RepeatingTimer.h"
#include "qt/PlotPanel.h"
#include "qt/ReplayControl.h"
#include "qt/ReplayTimeline.h"
#include "qt/TrafficPanel.h"
#include "tests/qt/AppHarness.h"

namespace orvane {
namespace {

using testing::AppHarness;
using testing::waitFor;

struct ReplayWindow : ::testing::Test {
    void SetUp() override { QSettings().clear(); }
};

// What the status row shows: its text and its lamp.
std::string shown(const StatusIndication& status) { return status.text() + " / " + status.imageName(); }

void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST_F(ReplayWindow, OpeningShowsTheRecordingWithTheDeviceControlsDisabledAndClosingRestoresThem) {
    AppHarness h;
    testing::ScratchDirectory files;
    const auto good = files.path() / "drive.csv";
    const auto bad = files.path() / "bad.csv";
    write(good,
          "time,wallClockTime,message,steeringWheelAngle\r\n"
          "0.010,2026-03-18T12:03:00.010Z,STEERING,12.5\r\n"
          "0.020,2026-03-18T12:03:00.020Z,STEERING,-45\r\n"
          "5.000,2026-03-18T12:03:05.000Z,STEERING,90\r\n");
    write(bad, "time,message,steeringWheelAngle\r\n0.1,STEERING,1\r\n0.05,STEERING,2\r\n");

    // A chosen device makes Connect usable; the live status row reads as it does without a device.
    h.console().setSelectedDevice((h.devices.path() / "ttyACM0").string());
    const InspectorManager& inspector = h.console().inspectorManager();
    const StatusIndication liveStatus = inspector.device().connectionStatus->status();
    QAction* check = nullptr;
    for (QAction* action : h.app->window().findChildren<QAction*>()) {
        if (action->text() == "Check for Update") check = action;
    }
    ASSERT_NE(check, nullptr);
    const std::vector<QWidget*> deviceControls{
        h.find<QComboBox>("devicesPopupButton"), h.find<QComboBox>("gamepadsPopupButton"),
        h.find<QPushButton>("connectionButton"), h.find<QSlider>("latControlSlider"),
        h.find<QSlider>("longControlSlider")};
    const auto enabledStates = [&] {
        std::vector<bool> states;
        for (QWidget* control : deviceControls) states.push_back(control && control->isEnabled());
        return states;
    };
    const std::vector<bool> liveEnabled = enabledStates();
    EXPECT_EQ(liveEnabled, std::vector<bool>(deviceControls.size(), true));
    auto* timeline = h.find<ReplayTimeline>("replayTimeline");
    ASSERT_NE(timeline, nullptr);
    EXPECT_FALSE(timeline->isVisible());

    // A bad file: an alert names the file and the line; nothing else changes.
    h.app->openRecording(bad.string());
    ASSERT_TRUE(waitFor([] { return !testing::visibleWindows<QMessageBox>().empty(); }));
    QMessageBox* alert = testing::visibleWindows<QMessageBox>().front();
    EXPECT_TRUE(alert->informativeText().startsWith(QString::fromStdString(bad.string()) + ":3: "))
        << alert->informativeText().toStdString();
    EXPECT_FALSE(alert->informativeText().contains('\n'));
    alert->accept();
    EXPECT_EQ(h.app->replayControl().replay(), nullptr);
    EXPECT_EQ(shown(inspector.device().connectionStatus->status()), shown(liveStatus));
    EXPECT_FALSE(timeline->isVisible());
    EXPECT_EQ(enabledStates(), liveEnabled);

    // The recording: "Replaying drive.csv" with its own lamp, the views at its playhead, the device's
    // controls disabled.
    // (this time dropped on the window)
    QMimeData dragged;
    dragged.setUrls({QUrl::fromLocalFile(QString::fromStdString(good.string()))});
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&h.app->window(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&h.app->window(), &drop);
    ASSERT_TRUE(waitFor([&] { return h.app->replayControl().replay() != nullptr; }));
    const auto replay = h.app->replayControl().replay();
    EXPECT_EQ(inspector.device().connectionStatus->status(), StatusIndication::replaying("Replaying drive.csv"));
    EXPECT_TRUE(waitFor([&] {
        auto cell = h.outline().cellView(inspector.device().connectionStatus.get(), "Value Column");
        return cell && cell->imageView() &&
               static_cast<QtImageView*>(cell->imageView())->widget()->imageName() == "OrvaneStatusReplaying" &&
               cell->textField()->stringValue() == "Replaying drive.csv";
    }));
    EXPECT_TRUE(timeline->isVisible());
    EXPECT_EQ(enabledStates(), std::vector<bool>(deviceControls.size(), false));
    EXPECT_FALSE(check->isEnabled());
    EXPECT_EQ(ReplayControl::recentRecordings().value(0), QString::fromStdString(good.string()));

    // Right steps a message, Space plays; the views follow the source they are given.
    h.app->window().activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &h.app->window(); }));
    QTest::keyClick(&h.app->window(), Qt::Key_Right);
    QTest::keyClick(&h.app->window(), Qt::Key_Right);
    EXPECT_EQ(replay->currentIndex(), std::optional<std::size_t>(1));
    h.console().refreshTelemetry();
    EXPECT_EQ(inspector.steering().angle->value(), "-45.0°");
    EXPECT_EQ(h.console().steeringWheelAngle(), -45.0);
    EXPECT_TRUE(timeline->timeLabel()->text().startsWith("0:00.0 / 0:05.0"))
        << timeline->timeLabel()->text().toStdString();
    auto* traffic = h.find<TrafficPanel>("trafficPanel");
    auto* plots = h.find<PlotPanel>("plotPanel");
    ASSERT_TRUE(traffic && plots);
    traffic->refresh();
    plots->refresh();
    EXPECT_EQ(traffic->model()->rowCount(), 2);
    EXPECT_EQ(plots->points(TelemetrySeriesKind::steeringWheelAngle).size(), 2);
    QTest::keyClick(&h.app->window(), Qt::Key_Space);
    EXPECT_TRUE(replay->isPlaying());

    // Closing: the live console as it was.
    QTest::mouseClick(h.find<QPushButton>("replayCloseButton"), Qt::LeftButton);
    EXPECT_EQ(h.app->replayControl().replay(), nullptr);
    EXPECT_FALSE(replay->isPlaying());
    EXPECT_FALSE(timeline->isVisible());
    EXPECT_EQ(shown(inspector.device().connectionStatus->status()), shown(liveStatus));
    EXPECT_EQ(enabledStates(), liveEnabled);
    traffic->refresh();
    EXPECT_EQ(traffic->model()->rowCount(), 0);
    h.console().refreshTelemetry();
    EXPECT_EQ(inspector.steering().angle->value(), "0.0°");
}

// The slider counts milliseconds, and tenths of a second in a recording too long for an int of
// milliseconds: either way its ends are the recording's.
TEST_F(ReplayWindow, TheTimelineSpansRecordingsUpToTheLongest) {
    for (const auto& [last, maximum] : {std::pair{"5", 5000}, std::pair{"31622400", 316224000}}) {
        SCOPED_TRACE(last);
        auto replay = std::make_shared<RecordingReplay>(std::make_shared<const Recording>(
            Recording::parse(std::string("time,message\n0,A\n1,B\n") + last + ",C\n", "drive.csv")));
        ReplayTimeline timeline;
        timeline.setReplay(replay);
        QSlider* slider = timeline.slider();
        EXPECT_EQ(slider->maximum(), maximum);
        slider->setValue(slider->maximum());
        EXPECT_EQ(replay->currentIndex(), std::optional<std::size_t>(2));
        EXPECT_EQ(replay->playhead(), replay->duration());
        slider->setValue(int(std::lround(1.5 * maximum / replay->duration())));
        EXPECT_DOUBLE_EQ(replay->playhead(), 1.5);
        replay->seek(replay->duration());
        timeline.sync();
        EXPECT_EQ(slider->value(), maximum);
    }
}

// A recorded suite's maneuvers (tall marks) and repeats (short) are marked on the timeline, and a
// click a few pixels beside a mark jumps to the mark's row, not to the pixel clicked; elsewhere a
// click jumps to where it is.
TEST_F(ReplayWindow, AClickOnAManeuverMarkJumpsToIt) {
    auto replay = std::make_shared<RecordingReplay>(std::make_shared<const Recording>(
        Recording::parse("time,message,maneuver,repeat\n0,STATE,,\n1.234,STEERING,steer,1\n2.5,STEERING,steer,2\n"
                         "7.25,STEERING,brake,1\n10,STATE,,\n",
                         "suite.csv")));
    ReplayTimeline timeline;
    timeline.resize(900, 40);
    timeline.setReplay(replay);
    timeline.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&timeline));
    JumpSlider* slider = timeline.slider();
    std::vector<bool> major;
    for (const auto& mark : slider->marks()) major.push_back(mark.major);
    EXPECT_EQ(major, (std::vector<bool>{true, false, true}));
    const int y = slider->height() / 2;
    for (std::size_t i : {2, 0, 1}) {
        SCOPED_TRACE(i);
        const ReplayMark& mark = replay->marks().at(i);
        const int beside = i % 2 ? -JumpSlider::kMarkReach + 1 : JumpSlider::kMarkReach - 1;
        QTest::mouseClick(slider, Qt::LeftButton, {},
                          QPoint(slider->xOfValue(slider->marks().at(i).value) + beside, y));
        EXPECT_DOUBLE_EQ(replay->playhead(), mark.time);
        EXPECT_EQ(replay->currentIndex(), std::optional<std::size_t>(mark.index));
    }
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->xOfValue(5000), y));
    EXPECT_NEAR(replay->playhead(), 5, 0.05);
    EXPECT_EQ(replay->currentIndex(), std::optional<std::size_t>(2));
}

// Main-queue timers run as Qt timers in the window. A handler may destroy its own, as a replay
// does when it plays to its end.
TEST_F(ReplayWindow, ATimersHandlerMayDestroyItsOwnTimerAsAReplayDoesAtItsEnd) {
    AppHarness h;
    std::unique_ptr<RepeatingTimer> timer;
    int read = 0;
    timer = RepeatingTimer::start(RepeatingTimer::Queue::main, std::chrono::milliseconds(1),
                                  std::chrono::milliseconds(1), [&, tag = std::make_shared<int>(7)] {
                                      timer.reset();
                                      read = *tag;
                                  });
    EXPECT_TRUE(waitFor([&] { return read == 7; }));
    EXPECT_EQ(timer, nullptr);
}

// File ▸ Export Recording ▸ MCAP… writes the recording shown, or one it reads first, to an MCAP
// file; a target that cannot be written is refused in an alert with the reason, leaving nothing.
TEST_F(ReplayWindow, ExportingWritesTheRecordingAsMcapOrSaysWhyNot) {
    AppHarness h;
    testing::ScratchDirectory files;
    const auto csv = files.path() / "drive.csv";
    write(csv, "time,message,steeringWheelAngle\r\n0.010,STEERING,12.5\r\n0.020,ACK,\r\n");
    auto* menu = h.app->window().findChild<QMenu*>("exportRecordingMenu");
    auto* action = h.app->window().findChild<QAction*>("exportMcapAction");
    ASSERT_TRUE(menu && action && menu->actions().contains(action));
    EXPECT_EQ(menu->title() + " > " + action->text(), "E&xport Recording > &MCAP…");
    ReplayControl& replays = h.app->replayControl();
    const auto exportTo = [&](const QString& recording, const std::filesystem::path& target) {
        replays.exportMcap(recording, QString::fromStdString(target.string()));
        EXPECT_FALSE(action->isEnabled());
        return waitFor([&] { return !replays.isExporting(); });
    };
    const auto contents = [](const std::filesystem::path& path) {
        std::ifstream file(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };

    // None shown: the file named is read first. Then the one shown: the same file.
    ASSERT_TRUE(exportTo(QString::fromStdString(csv.string()), files.path() / "read.mcap"));
    h.app->openRecording(csv.string());
    ASSERT_TRUE(waitFor([&] { return replays.replay() != nullptr; }));
    ASSERT_TRUE(exportTo(QString(), files.path() / "shown.mcap"));
    EXPECT_TRUE(action->isEnabled());
    EXPECT_EQ(h.app->window().statusBar()->currentMessage().toStdString(),
              "Exported 2 rows (3 messages) to " + (files.path() / "shown.mcap").string());
    const std::string exported = contents(files.path() / "shown.mcap");
    const std::string magic("\x89MCAP0\r\n", 8);
    EXPECT_TRUE(exported.starts_with(magic) && exported.ends_with(magic));
    EXPECT_EQ(contents(files.path() / "read.mcap"), exported);

    ASSERT_TRUE(exportTo(QString(), files.path()));
    ASSERT_TRUE(waitFor([] { return !testing::visibleWindows<QMessageBox>().empty(); }));
    QMessageBox* alert = testing::visibleWindows<QMessageBox>().front();
    EXPECT_EQ(alert->informativeText().toStdString(), files.path().string() + ": is a directory");
    alert->accept();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.path()), {}), 3);
}

}  // namespace
}  // namespace orvane
