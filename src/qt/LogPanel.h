#pragma once

#include <QDateTime>
#include <QString>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "qt/BenchPanel.h"

class QLabel;
class QPlainTextEdit;
class QTimer;

namespace orvane {

// One entry of an "orvane.*" logging category, as Qt's message handler saw it.
struct LogRecord {
    QDateTime time;  // local time, when it was logged
    QtMsgType type = QtInfoMsg;
    QString category;
    QString message;
};

// "2024-03-18 15:05:12.345 info orvane.link: Connected to /dev/ttyACM0".
QString logRecordText(const LogRecord& record);

// Listens to Qt's message handler for entries of the "orvane.*" categories. While any capture
// lives, one handler is installed that first hands every entry to the handler it replaced (so
// standard error still gets them) and then queues the "orvane.*" ones in each capture. Entries
// come from whichever thread logged; take() hands them to the thread that reads them.
//
// The queue keeps the newest `capacity` entries; older ones are dropped and counted, so a capture
// nobody reads for a while costs bounded memory.
class LogCapture {
public:
    static constexpr std::size_t kDefaultCapacity = 5000;

    explicit LogCapture(std::size_t capacity = kDefaultCapacity);
    ~LogCapture();

    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    struct Taken {
        std::vector<LogRecord> records;  // oldest first
        std::uint64_t dropped = 0;       // entries dropped before these since the last take()
    };
    Taken take();

private:
    friend struct LogCaptureRegistry;
    void add(LogRecord record);

    const std::size_t capacity_;
    std::mutex mutex_;
    std::deque<LogRecord> pending_;
    std::uint64_t dropped_ = 0;
};

// A dock showing the entries of the "orvane.*" logging categories (the link, the console, the
// updates), each with its local time to the millisecond, level and category. Read-only and
// bounded to the newest 5000 lines; text can be selected and copied, or copied whole. The view
// follows the newest line while it is at its end, and stays where the user scrolled otherwise.
//
// It moves captured entries into its view at most 10 times a second, and only while it is
// visible; while hidden the capture keeps the newest entries for when it is shown again.
class LogPanel : public BenchPanel {
    Q_OBJECT
public:
    static constexpr int kMaximumLines = 5000;

    explicit LogPanel(QWidget* parent = nullptr);
    ~LogPanel() override;

    QPlainTextEdit* view() const { return view_; }

public slots:
    // Puts the whole text on the clipboard.
    void copyAll();
    // Empties the view.
    void clear();
    // Moves what has been captured into the view now.
    void refresh() override;

private:
    LogCapture capture_;
    QPlainTextEdit* view_ = nullptr;
};

}  // namespace orvane
