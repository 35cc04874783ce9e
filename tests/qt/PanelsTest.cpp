// The dockable panels: the log of the "orvane.*" categories, the traffic table over a TrafficLog,
// and the plots of the telemetry series, each fed as the application feeds them.

#include <sys/resource.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSettings>
#include <QSvgRenderer>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QXmlStreamReader>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "qt/LogPanel.h"
#include "qt/PlotPanel.h"
#include "qt/TrafficPanel.h"
#include "support/Csv.h"
#include "tests/qt/QtTestSupport.h"

namespace orvane {
namespace {

using testing::visibleWindows;
using testing::waitFor;

Q_LOGGING_CATEGORY(panelsTestLog, "orvane.test", QtInfoMsg)
Q_LOGGING_CATEGORY(otherLog, "qt.panels.test", QtInfoMsg)

// The panel's own refresh timer (a direct child), which runs only while the panel is visible.
QTimer* refreshTimer(QDockWidget& panel) { return panel.findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly); }

// ---- The log panel ----

// A message handler installed before the panels', recording what reaches it.
struct RecordingHandler {
    static std::mutex mutex;
    static QStringList messages;
    static void handle(QtMsgType, const QMessageLogContext&, const QString& message) {
        std::lock_guard lock(mutex);
        messages << message;
    }
    static bool received(const QString& message) {
        std::lock_guard lock(mutex);
        return messages.contains(message);
    }

    RecordingHandler() {
        messages.clear();
        previous = qInstallMessageHandler(&RecordingHandler::handle);
    }
    ~RecordingHandler() { qInstallMessageHandler(previous); }

    QtMessageHandler previous = nullptr;
};
std::mutex RecordingHandler::mutex;
QStringList RecordingHandler::messages;

TEST(LogPanel, ShowsTheOrvaneEntriesLoggedOnAnotherThreadAndPassesEveryEntryOn) {
    RecordingHandler recording;
    {
        LogPanel panel;
        EXPECT_EQ(panel.objectName(), "logPanel");
        EXPECT_EQ(panel.windowTitle(), "Log");
        panel.show();

        std::thread worker([] {
            qCInfo(otherLog) << "not one of ours";
            qCWarning(panelsTestLog).noquote() << "from a worker";
        });
        worker.join();

        QPlainTextEdit* view = panel.view();
        ASSERT_TRUE(waitFor([&] { return view->toPlainText().contains("from a worker"); }));
        EXPECT_TRUE(view->isReadOnly());
        const QString text = view->toPlainText();
        EXPECT_FALSE(text.contains("not one of ours")) << "only the orvane.* categories are shown";
        static const QRegularExpression line(
            R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} warning orvane\.test: from a worker$)",
            QRegularExpression::MultilineOption);
        EXPECT_TRUE(line.match(text).hasMatch()) << text.toStdString();

        // The handler that was there before still gets every entry, ours and the others.
        EXPECT_TRUE(RecordingHandler::received("from a worker"));
        EXPECT_TRUE(RecordingHandler::received("not one of ours"));

        auto* copyAll = panel.findChild<QPushButton*>("copyAllButton");
        ASSERT_NE(copyAll, nullptr);
        QApplication::clipboard()->clear();
        QTest::mouseClick(copyAll, Qt::LeftButton);
        EXPECT_EQ(QApplication::clipboard()->text(), text);
    }
    // With the panel gone, the handler before it is the one installed again.
    const QtMessageHandler current = qInstallMessageHandler(nullptr);
    EXPECT_EQ(current, &RecordingHandler::handle);
    qInstallMessageHandler(current);
}

TEST(LogPanel, RefreshesOnlyWhileVisibleAndShowsWhatCameMeanwhile) {
    LogPanel panel;
    QTimer* timer = refreshTimer(panel);
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive()) << "never shown yet";
    panel.show();
    EXPECT_TRUE(timer->isActive());
    panel.hide();
    EXPECT_FALSE(timer->isActive());

    qCInfo(panelsTestLog) << "while hidden";
    EXPECT_FALSE(panel.view()->toPlainText().contains("while hidden"));
    panel.show();
    EXPECT_TRUE(panel.view()->toPlainText().contains("while hidden")) << "shown at once when the panel is shown";
}

TEST(LogPanel, CapturesKeepTheNewestEntriesAndOutliveEachOtherInAnyOrder) {
    RecordingHandler recording;
    auto first = std::make_unique<LogCapture>(3);
    auto second = std::make_unique<LogCapture>();
    for (int i = 1; i <= 5; ++i) qCInfo(panelsTestLog).noquote() << "entry" << i;

    LogCapture::Taken taken = first->take();
    ASSERT_EQ(taken.records.size(), 3u);
    EXPECT_EQ(taken.dropped, 2u);
    EXPECT_EQ(taken.records.front().message, "entry 3");
    EXPECT_EQ(taken.records.back().message, "entry 5");
    EXPECT_EQ(taken.records.back().category, "orvane.test");
    EXPECT_EQ(taken.records.back().type, QtInfoMsg);
    EXPECT_EQ(second->take().records.size(), 5u);
    EXPECT_TRUE(first->take().records.empty()) << "take() empties the queue";

    // The first one made goes first: the other still captures.
    first.reset();
    qCInfo(panelsTestLog) << "after the first";
    EXPECT_EQ(second->take().records.size(), 1u);
    second.reset();
    const QtMessageHandler current = qInstallMessageHandler(nullptr);
    EXPECT_EQ(current, &RecordingHandler::handle);
    qInstallMessageHandler(current);
}

TEST(LogPanel, FollowsTheNewestLineWhileAtTheEndAndStaysWhereTheUserScrolled) {
    LogPanel panel;
    panel.resize(420, 220);
    panel.show();
    QScrollBar* bar = panel.view()->verticalScrollBar();
    const auto logLines = [&](int count, int width = 10) {
        for (int i = 0; i < count; ++i) qCInfo(panelsTestLog).noquote() << QString(width, u'x');
        panel.refresh();
    };
    const auto atEnd = [&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); };

    logLines(100);
    ASSERT_TRUE(waitFor(atEnd));
    // A line longer than the view brings a horizontal scroll bar, which takes a line's height.
    logLines(1, 400);
    ASSERT_TRUE(waitFor([&] { return panel.view()->horizontalScrollBar()->isVisible(); }));
    logLines(5);
    EXPECT_TRUE(waitFor(atEnd)) << bar->value() << " of " << bar->maximum();

    bar->setValue(10);  // the user scrolls back
    const int lengthBefore = bar->maximum();
    logLines(20);
    // The longer range is what would move a following view to the end.
    ASSERT_TRUE(waitFor([&] { return bar->maximum() > lengthBefore; }));
    EXPECT_EQ(bar->value(), 10) << "stays where the user scrolled";
    bar->setValue(bar->maximum());  // and comes back to the end
    logLines(20);
    EXPECT_TRUE(waitFor(atEnd));
}

// ---- The traffic panel ----

DeviceReport control(double lat, double lon) { return controlRequest(lat, lon); }
DeviceReport steering(int angle) { return {"STEERING", {{"angle", std::to_string(angle)}, {"assist-torque", "0.5"}}}; }

QString cell(TrafficPanel& panel, int row, int column) {
    return panel.model()->data(panel.model()->index(row, column)).toString();
}

struct TrafficFixture {
    explicit TrafficFixture(std::size_t queueCapacity = 64, std::size_t historyCapacity = 1000)
        : log(std::make_shared<TrafficLog>(queueCapacity, historyCapacity)), panel(log) {
        panel.resize(700, 400);
        panel.show();
    }
    int rows() const { return panel.model()->rowCount(); }
    std::shared_ptr<TrafficLog> log;
    TrafficPanel panel;
};

TEST(TrafficPanel, ShowsPushedEntriesAndKeepsTheSelectionAsOldOnesLeave) {
    TrafficFixture f(64, 5);
    EXPECT_EQ(f.panel.objectName(), "trafficPanel");
    EXPECT_EQ(f.panel.windowTitle(), "Traffic");
    f.log->push(TrafficDirection::sent, control(0.5, -0.25));
    f.log->push(TrafficDirection::received, steering(1));
    f.log->push(TrafficDirection::received, steering(2));
    ASSERT_TRUE(waitFor([&] { return f.rows() == 3; }));

    EXPECT_TRUE(QRegularExpression(R"(^\d\d:\d\d:\d\d\.\d{3}$)").match(cell(f.panel, 0, 0)).hasMatch())
        << cell(f.panel, 0, 0).toStdString();
    EXPECT_EQ(cell(f.panel, 0, TrafficTableModel::directionColumn), "sent");
    EXPECT_EQ(cell(f.panel, 0, TrafficTableModel::nameColumn), "CONTROL");
    EXPECT_EQ(cell(f.panel, 0, TrafficTableModel::fieldsColumn), "lat=50.0 long=-25.0");
    EXPECT_EQ(cell(f.panel, 2, TrafficTableModel::directionColumn), "received");
    EXPECT_EQ(cell(f.panel, 2, TrafficTableModel::fieldsColumn), "angle=2 assist-torque=0.5");

    // The history holds 5: four more push the first two out, and the selected entry stays
    // selected on its new row.
    f.panel.view()->selectRow(2);
    for (int angle = 3; angle <= 6; ++angle) f.log->push(TrafficDirection::received, steering(angle));
    ASSERT_TRUE(waitFor([&] { return cell(f.panel, 4, TrafficTableModel::fieldsColumn).startsWith("angle=6 "); }));
    EXPECT_EQ(f.rows(), 5);
    EXPECT_EQ(cell(f.panel, 0, TrafficTableModel::fieldsColumn), "angle=2 assist-torque=0.5");
    const QModelIndexList selected = f.panel.view()->selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(selected.front().row(), 0);
}

TEST(TrafficPanel, FiltersByMessageNameAsNewMessagesComeAndGo) {
    TrafficFixture f(64, 6);
    f.log->push(TrafficDirection::sent, control(0, 0));
    f.log->push(TrafficDirection::received, steering(1));
    f.log->push(TrafficDirection::sent, control(0.1, 0));
    f.log->push(TrafficDirection::received, steering(2));
    ASSERT_TRUE(waitFor([&] { return f.rows() == 4; }));

    auto* filter = f.panel.findChild<QComboBox*>("filterBox");
    ASSERT_NE(filter, nullptr);
    ASSERT_EQ(filter->count(), 3) << "all messages, and the two names seen";
    EXPECT_EQ(filter->itemText(1), "CONTROL");
    EXPECT_EQ(filter->itemText(2), "STEERING");
    filter->setCurrentIndex(2);
    ASSERT_EQ(f.rows(), 2);
    EXPECT_EQ(cell(f.panel, 0, TrafficTableModel::fieldsColumn), "angle=1 assist-torque=0.5");
    EXPECT_EQ(cell(f.panel, 1, TrafficTableModel::fieldsColumn), "angle=2 assist-torque=0.5");

    // Four more (two of each): the history of 6 drops the first two, one of them shown here.
    for (int i = 3; i <= 4; ++i) {
        f.log->push(TrafficDirection::sent, control(0, 0));
        f.log->push(TrafficDirection::received, steering(i));
    }
    ASSERT_TRUE(waitFor([&] { return f.rows() == 3; }));
    EXPECT_EQ(cell(f.panel, 0, TrafficTableModel::fieldsColumn), "angle=2 assist-torque=0.5");
    EXPECT_EQ(cell(f.panel, 2, TrafficTableModel::fieldsColumn), "angle=4 assist-torque=0.5");
    for (int row = 0; row < f.rows(); ++row) EXPECT_EQ(cell(f.panel, row, TrafficTableModel::nameColumn), "STEERING");

    f.panel.setFilter("CONTROL");
    EXPECT_EQ(filter->currentText(), "CONTROL");
    EXPECT_EQ(f.rows(), 3);
    filter->setCurrentIndex(0);
    EXPECT_EQ(f.rows(), 6);

    // The device's text shows escaped, in the rows and in the filter, which still filters by the
    // name itself.
    f.log->push(TrafficDirection::received, {"\x1b[2J", {{"k", "a\nb"}}});
    ASSERT_TRUE(waitFor([&] { return cell(f.panel, 5, TrafficTableModel::nameColumn) == "\"\\u001b[2J\""; }));
    EXPECT_EQ(cell(f.panel, 5, TrafficTableModel::fieldsColumn), "k=\"a\\nb\"");
    const int escaped = filter->findText("\"\\u001b[2J\"");
    ASSERT_GE(escaped, 0);
    filter->setCurrentIndex(escaped);
    EXPECT_EQ(f.rows(), 1);
}

TEST(TrafficPanel, PauseLeavesTheRowsAsTheyAreAndShowsWhatTheLogDrops) {
    TrafficFixture f(4);
    auto* pause = f.panel.findChild<QPushButton*>("pauseButton");
    auto* dropped = f.panel.findChild<QLabel*>("droppedLabel");
    ASSERT_TRUE(pause && dropped);
    EXPECT_EQ(dropped->text(), "Dropped: 0");

    f.log->push(TrafficDirection::received, steering(0));
    ASSERT_TRUE(waitFor([&] { return f.rows() == 1; }));
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_TRUE(f.panel.isPaused());
    for (int angle = 1; angle <= 10; ++angle) f.log->push(TrafficDirection::received, steering(angle));
    // The count changes on a refresh, so once it shows, the panel has refreshed while paused.
    ASSERT_TRUE(waitFor([&] { return dropped->text() == "Dropped: 6"; })) << dropped->text().toStdString();
    EXPECT_EQ(f.rows(), 1);
    ASSERT_TRUE(waitFor([&] { return f.log->history().size() == 5u; })) << "the history goes on while paused";
    EXPECT_EQ(f.rows(), 1);

    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_FALSE(f.panel.isPaused());
    ASSERT_TRUE(waitFor([&] { return f.rows() == 5; }));
    EXPECT_EQ(cell(f.panel, 4, TrafficTableModel::fieldsColumn), "angle=4 assist-torque=0.5");

    auto* clear = f.panel.findChild<QPushButton*>("clearButton");
    ASSERT_NE(clear, nullptr);
    QTest::mouseClick(clear, Qt::LeftButton);
    EXPECT_EQ(f.rows(), 0);
    EXPECT_TRUE(f.log->history().empty());
    EXPECT_EQ(dropped->text(), "Dropped: 0");
    f.log->push(TrafficDirection::received, steering(7));
    ASSERT_TRUE(waitFor([&] { return f.rows() == 1; })) << "shows new entries after a clear";
    EXPECT_EQ(cell(f.panel, 0, TrafficTableModel::fieldsColumn), "angle=7 assist-torque=0.5");
}

TEST(TrafficPanel, CopiesTheSelectedRowsAsEntryText) {
    TrafficFixture f;
    f.log->push(TrafficDirection::sent, control(1, 0));
    f.log->push(TrafficDirection::received, DeviceReport{"ODD", {{"note", "two words"}}});
    f.log->push(TrafficDirection::received, steering(3));
    ASSERT_TRUE(waitFor([&] { return f.rows() == 3; }));
    const auto& history = f.log->history();
    auto line = [](const TrafficEntry& entry) { return QString::fromStdString(trafficEntryText(entry)) + "\n"; };

    QTableView* view = f.panel.view();
    QItemSelectionModel* selection = view->selectionModel();
    selection->select(f.panel.model()->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(f.panel.model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QApplication::clipboard()->clear();
    view->setFocus();
    QTest::keySequence(view, QKeySequence::Copy);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), (line(history[1]) + line(history[2])).toStdString())
        << "in the table's order";
    EXPECT_TRUE(QApplication::clipboard()->text().contains("note=\"two words\""));

    selection->select(f.panel.model()->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    auto* copy = f.panel.findChild<QPushButton*>("copyButton");
    ASSERT_NE(copy, nullptr);
    QTest::mouseClick(copy, Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), line(history[0]).toStdString());
}

TEST(TrafficPanel, TakesNothingFromTheLogWhileHidden) {
    TrafficFixture f;
    QTimer* timer = refreshTimer(f.panel);
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    f.panel.hide();
    EXPECT_FALSE(timer->isActive());
    f.log->push(TrafficDirection::received, steering(1));
    EXPECT_EQ(f.rows(), 0);
    f.panel.show();
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(waitFor([&] { return f.rows() == 1; })) << "what came while hidden shows once shown";
}

TEST(TrafficPanel, FollowsTheNewestRowAndAPausedTableKeepsItsRowsWhileTheHistoryMovesOn) {
    TrafficFixture f(64, 30);
    f.panel.resize(700, 250);
    QScrollBar* bar = f.panel.view()->verticalScrollBar();
    const auto atEnd = [&] { return bar->maximum() > 0 && bar->value() == bar->maximum(); };
    int angle = 0;
    const auto pushPairs = [&](int pairs) {
        for (int i = 0; i < pairs; ++i) {
            f.log->push(TrafficDirection::sent, control(0, 0));
            f.log->push(TrafficDirection::received, steering(++angle));
        }
    };

    pushPairs(10);
    ASSERT_TRUE(waitFor([&] { return f.rows() == 20 && atEnd(); }));
    f.panel.setFilter("STEERING");
    EXPECT_TRUE(waitFor([&] { return f.rows() == 10 && atEnd(); })) << "still following after a filter change";
    f.panel.setFilter("");
    EXPECT_TRUE(waitFor([&] { return f.rows() == 20 && atEnd(); }));

    bar->setValue(0);  // the user scrolls back to the oldest
    const int lengthBefore = bar->maximum();
    pushPairs(2);
    // The longer range is what would move a following view to the end.
    ASSERT_TRUE(waitFor([&] { return f.rows() == 24 && bar->maximum() > lengthBefore; }));
    EXPECT_EQ(bar->value(), 0) << "stays where the user scrolled";

    // Paused, the rows stay whole while the history (30) moves on past all of them.
    f.panel.setPaused(true);
    const QString firstRow = cell(f.panel, 0, TrafficTableModel::fieldsColumn);
    pushPairs(20);
    ASSERT_TRUE(waitFor([&] { return f.log->history().back().message.fields.at("angle") == std::to_string(angle); }));
    EXPECT_GE(f.log->firstPosition(), 24u) << "every row's entry has left the history";
    EXPECT_EQ(f.rows(), 24);
    EXPECT_EQ(cell(f.panel, 0, TrafficTableModel::fieldsColumn), firstRow);
    f.panel.setPaused(false);
    ASSERT_TRUE(waitFor([&] { return f.rows() == 30; }));
    EXPECT_EQ(cell(f.panel, 29, TrafficTableModel::fieldsColumn).toStdString(),
              "angle=" + std::to_string(angle) + " assist-torque=0.5");
    EXPECT_EQ(f.log->droppedCount(), 0u);
}

// ---- The plot panel ----

struct PlotFixture {
    PlotFixture() {
        series = std::make_shared<TelemetrySeries>([this] { return now; });
        panel = std::make_unique<PlotPanel>(series);
        panel->resize(800, 500);
    }
    // One sample of each series every 100 ms: angle = 3 i, torques = i / 10 and -i / 10, lateral
    // request = i / 100, longitudinal = -i / 100.
    void append(int from, int to) {
        for (int i = from; i <= to; ++i) {
            now += std::chrono::milliseconds(100);
            DeviceTelemetry telemetry;
            telemetry.steeringReported = true;
            telemetry.steeringWheelAngle = 3.0 * i;
            telemetry.steeringAssistanceTorque = i / 10.0;
            telemetry.steeringDriverTorque = -i / 10.0;
            series->append(telemetry, i / 100.0, -i / 100.0);
        }
    }

    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    std::shared_ptr<TelemetrySeries> series;
    std::unique_ptr<PlotPanel> panel;
};

constexpr TelemetrySeriesKind kAngle = TelemetrySeriesKind::steeringWheelAngle;
constexpr TelemetrySeriesKind kAssist = TelemetrySeriesKind::steeringAssistanceTorque;
constexpr TelemetrySeriesKind kDriver = TelemetrySeriesKind::steeringDriverTorque;
constexpr TelemetrySeriesKind kLateral = TelemetrySeriesKind::requestLateral;
constexpr TelemetrySeriesKind kLongitudinal = TelemetrySeriesKind::requestLongitudinal;
constexpr TelemetrySeriesKind kAllKinds[] = {kAngle, kAssist, kDriver, kLateral, kLongitudinal};

TEST(PlotPanel, PlotsEverySeriesOnItsAxisInItsUnit) {
    PlotFixture f;
    EXPECT_EQ(f.panel->objectName(), "plotPanel");
    EXPECT_EQ(f.panel->windowTitle(), "Plots");
    f.append(1, 20);
    f.panel->show();
    for (TelemetrySeriesKind kind : kAllKinds) {
        ASSERT_TRUE(waitFor([&] { return f.panel->points(kind).size() == 20; })) << int(kind);
        EXPECT_EQ(f.panel->toggle(kind)->text().toStdString(), seriesTitle(kind));
        EXPECT_TRUE(f.panel->isShown(kind));
        EXPECT_TRUE(f.panel->toggle(kind)->isChecked());
    }
    // The newest sample sits at 0 s, the oldest 1.9 s before it.
    const QList<QPointF> angle = f.panel->points(kAngle);
    EXPECT_DOUBLE_EQ(angle.back().x(), 0);
    EXPECT_NEAR(angle.front().x(), -1.9, 1e-9);
    EXPECT_DOUBLE_EQ(angle.back().y(), 60);
    EXPECT_DOUBLE_EQ(f.panel->points(kDriver).back().y(), -2);
    EXPECT_DOUBLE_EQ(f.panel->points(kLateral).back().y(), 20) << "requests in percent";
    EXPECT_DOUBLE_EQ(f.panel->points(kLongitudinal).back().y(), -20);

    // The angle alone on its plot; torques on the left, requests on the right of the other.
    EXPECT_NE(f.panel->plot(kAngle), f.panel->plot(kAssist));
    for (TelemetrySeriesKind kind : {kDriver, kLateral, kLongitudinal}) {
        EXPECT_EQ(f.panel->plot(kind), f.panel->plot(kAssist)) << int(kind);
    }
    EXPECT_EQ(f.panel->side(kAngle), TimePlot::left);
    EXPECT_EQ(f.panel->side(kAssist), TimePlot::left);
    EXPECT_EQ(f.panel->side(kDriver), TimePlot::left);
    EXPECT_EQ(f.panel->side(kLateral), TimePlot::right);
    EXPECT_EQ(f.panel->side(kLongitudinal), TimePlot::right);
    // The growing axes fit the largest magnitude: 60 degrees, 2 Nm; the requests' is fixed.
    EXPECT_DOUBLE_EQ(f.panel->axisLimit(kAngle), 100);
    EXPECT_DOUBLE_EQ(f.panel->axisLimit(kAssist), 2);
    EXPECT_DOUBLE_EQ(f.panel->axisLimit(kLateral), 100);

    // New samples move the window on.
    f.append(21, 25);
    ASSERT_TRUE(waitFor([&] { return f.panel->points(kAngle).size() == 25; }));
    EXPECT_DOUBLE_EQ(f.panel->points(kAngle).back().y(), 75);
    EXPECT_NEAR(f.panel->points(kAngle).front().x(), -2.4, 1e-9);
}

TEST(PlotPanel, HidesUncheckedSeriesAndBringsThemBackUpToDate) {
    PlotFixture f;
    f.append(1, 10);
    f.panel->show();
    ASSERT_TRUE(waitFor([&] { return f.panel->points(kDriver).size() == 10; }));
    EXPECT_DOUBLE_EQ(f.panel->axisLimit(kAngle), 50);

    f.panel->toggle(kDriver)->click();
    f.panel->toggle(kAngle)->click();
    EXPECT_FALSE(f.panel->isShown(kDriver));
    EXPECT_FALSE(f.panel->isShown(kAngle));
    EXPECT_TRUE(f.panel->isShown(kAssist));
    EXPECT_DOUBLE_EQ(f.panel->axisLimit(kAngle), 10) << "an axis with nothing shown falls back to its least";

    f.append(11, 40);
    ASSERT_TRUE(waitFor([&] { return f.panel->points(kAssist).size() == 40; }));
    EXPECT_DOUBLE_EQ(f.panel->axisLimit(kAssist), 5) << "4 Nm";

    f.panel->toggle(kDriver)->click();
    EXPECT_TRUE(f.panel->isShown(kDriver));
    EXPECT_EQ(f.panel->points(kDriver).size(), 40) << "up to date as soon as it is shown";
    EXPECT_DOUBLE_EQ(f.panel->points(kDriver).back().y(), -4);
    f.panel->setShown(kAngle, true);
    EXPECT_TRUE(f.panel->toggle(kAngle)->isChecked());
    EXPECT_DOUBLE_EQ(f.panel->axisLimit(kAngle), 200) << "120 degrees";
}

TEST(PlotPanel, PausesTheSeriesAndRefreshesOnlyWhileVisible) {
    PlotFixture f;
    auto* pause = f.panel->findChild<QPushButton*>("pauseButton");
    ASSERT_NE(pause, nullptr);
    QTimer* timer = refreshTimer(*f.panel);
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive());
    f.panel->show();
    EXPECT_TRUE(timer->isActive());

    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_TRUE(f.series->isPaused());
    EXPECT_EQ(pause->text(), "Resume");
    f.append(1, 5);
    QTest::mouseClick(pause, Qt::LeftButton);
    EXPECT_FALSE(f.series->isPaused());

    f.panel->hide();
    EXPECT_FALSE(timer->isActive());
    f.append(1, 5);
    f.panel->show();
    EXPECT_EQ(f.panel->points(kAngle).size(), 5) << "redrawn at once when shown";
}

TEST(PlotPanel, ExportsWhatThePlotsShowAsPngSvgOrCsvAndAlertsWhenTheFileCannotBeWritten) {
    QSettings().clear();
    PlotFixture f;
    f.append(1, 20);
    f.now += std::chrono::seconds(2);  // no data for 2.1 s: the lines break
    f.append(21, 30);
    f.panel->resize(200, 440);  // a narrow dock: the pictures are of their own size whatever the dock's
    f.panel->show();
    f.panel->setShown(kLongitudinal, false);
    ASSERT_TRUE(waitFor([&] { return f.panel->points(kAngle).size() == 30; }));

    testing::ScratchDirectory files;
    const QStringList filters = PlotPanel::exportFilters();  // PNG, SVG, CSV
    using Format = PlotPanel::ExportFormat;
    struct Case {
        const char* name;
        int filter;
        Format format;  // the extension chooses, or the filter when the extension is none of the three
        QSize size;     // of a picture
    };
    const Case cases[] = {
        {"plots.png", 0, Format::png, {1920, 1080}}, {"plots.SVG", 0, Format::svg, {1920, 1080}},
        {"plots.csv", 1, Format::csv, {}},           {"plots", 2, Format::csv, {}},
        {"plots.v2", 1, Format::svg, {1920, 1080}},
    };
    for (const Case& c : cases) {
        const QString path = QString::fromStdString((files.path() / c.name).string());
        ASSERT_TRUE(f.panel->exportToFile(path, filters[c.filter])) << c.name;
        EXPECT_TRUE(visibleWindows<QMessageBox>().empty()) << c.name;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.name;
        const QByteArray bytes = file.readAll();
        switch (c.format) {
            case Format::png: {
                QImage image;
                ASSERT_TRUE(image.loadFromData(bytes, "PNG")) << c.name;
                EXPECT_EQ(image.size(), c.size);
                // The legend's swatches and the lines (antialiased) in the series' colours; none
                // of the hidden one.
                const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
                const auto pixelsOf = [&](QRgb color) {
                    int count = 0;
                    for (int y = 0; y < rgb.height(); ++y) {
                        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
                        for (int x = 0; x < rgb.width(); ++x) {
                            count += std::abs(qRed(line[x]) - qRed(color)) + std::abs(qGreen(line[x]) - qGreen(color)) +
                                         std::abs(qBlue(line[x]) - qBlue(color)) <
                                     90;
                        }
                    }
                    return count;
                };
                const int swatch = 15 * 15;  // 10 pixels at the picture's scale of 1.5
                EXPECT_GT(pixelsOf(qRgb(0x1f, 0x77, 0xb4)), swatch + 150) << "the angle";
                EXPECT_GT(pixelsOf(qRgb(0x94, 0x67, 0xbd)), swatch + 150) << "the lateral request";
                EXPECT_EQ(pixelsOf(qRgb(0xd6, 0x27, 0x28)), 0) << "the hidden longitudinal request";
                break;
            }
            case Format::svg: {
                QXmlStreamReader xml(bytes);
                QStringList elements, texts, fonts;
                while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
                    if (xml.isStartElement()) elements << xml.name().toString();
                    if (xml.isStartElement() && xml.attributes().hasAttribute("font-family")) {
                        fonts << xml.attributes().value("font-family").toString();
                    }
                    if (xml.isCharacters()) texts << xml.text().toString().trimmed();
                }
                ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
                EXPECT_EQ(elements.value(0), "svg");
                EXPECT_GE(elements.count("polyline"), 4) << "the lines as vectors";
                // The labels and the legend as text, not a picture of them; no hidden series.
                EXPECT_TRUE(texts.contains(QString::fromUtf8("Angle (°)")) && texts.contains("Steering Wheel Angle"));
                EXPECT_FALSE(texts.contains("Longitudinal Request"));
                EXPECT_EQ(QSvgRenderer(bytes).viewBox().size(), c.size);
                // In the window's font by its real name, then any sans-serif one.
                fonts.removeDuplicates();
                EXPECT_EQ(fonts, QStringList{"'" + QFontInfo(f.panel->font()).family() + "', sans-serif"});
                break;
            }
            case Format::csv: {
                const auto csv = testing::parseCsv(bytes.toStdString());
                EXPECT_EQ(csv.error, "");
                ASSERT_EQ(csv.rows.size(), 31u) << "a header and a row per sample";
                using Row = std::vector<std::string>;
                EXPECT_EQ(csv.rows[0], (Row{"time (s)", "Steering Wheel Angle (deg)", "Assistance Torque (Nm)",
                                            "Driver Torque (Nm)", "Lateral Request (%)"}));
                EXPECT_EQ(csv.rows[1], (Row{"-4.900", "3.0", "0.1", "-0.1", "1.0"})) << "values as plotted";
                // No rows in the gap, between the 20th sample and the 21st.
                EXPECT_EQ(csv.rows[20][0], "-3.000");
                EXPECT_EQ(csv.rows[21][0], "-0.900");
                EXPECT_EQ(csv.rows[30], (Row{"0.000", "90.0", "3.0", "-3.0", "30.0"}));
                break;
            }
        }
    }

    // A size chosen is kept for the next export, within 100 to 10000 pixels a side.
    PlotPanel::setExportSize({800, 600});
    const QString chosen = QString::fromStdString((files.path() / "chosen.png").string());
    ASSERT_TRUE(f.panel->exportToFile(chosen, filters[0]));
    EXPECT_EQ(QImage(chosen).size(), QSize(800, 600));
    PlotPanel::setExportSize({20, 50000});
    EXPECT_EQ(PlotPanel::exportSize(), QSize(100, 10000));

    // A file that cannot be written: an alert of one line that names it, and no file.
    const QString missing = QString::fromStdString((files.path() / "no-such-folder" / "plots.png").string());
    EXPECT_FALSE(f.panel->exportToFile(missing, filters[0]));
    ASSERT_TRUE(waitFor([] { return visibleWindows<QMessageBox>().size() == 1; }));
    QMessageBox* box = visibleWindows<QMessageBox>().front();
    EXPECT_TRUE(box->text().contains(missing)) << box->text().toStdString();
    EXPECT_FALSE(box->text().contains('\n'));
    EXPECT_TRUE(box->informativeText().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(missing));
    box->accept();
    ASSERT_TRUE(waitFor([] { return visibleWindows<QMessageBox>().empty(); }));
}

}  // namespace
}  // namespace orvane
