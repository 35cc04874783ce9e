// The dockable panels: the log of the "orvane.*" categories, the traffic table over a TrafficLog,
// and the plots of the telemetry series, each fed as the application feeds them.

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineSeries>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QValueAxis>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "qt/LogPanel.h"
#include "tests/qt/QtTestSupport.h"

namespace orvane {
namespace {

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

}  // namespace
}  // namespace orvane
