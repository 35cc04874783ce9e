#include "qt/LogPanel.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <utility>

namespace orvane {

namespace {

QString levelText(QtMsgType type) {
    switch (type) {
        case QtDebugMsg: return QStringLiteral("debug");
        case QtInfoMsg: return QStringLiteral("info");
        case QtWarningMsg: return QStringLiteral("warning");
        case QtCriticalMsg: return QStringLiteral("critical");
        case QtFatalMsg: return QStringLiteral("fatal");
    }
    return QStringLiteral("?");
}

}  // namespace

QString logRecordText(const LogRecord& record) {
    return record.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + u' ' + levelText(record.type) + u' ' +
           record.category + QStringLiteral(": ") + record.message;
}

// The one message handler shared by every capture, and the captures it feeds.
struct LogCaptureRegistry {
    std::mutex mutex;
    std::vector<LogCapture*> captures;
    QtMessageHandler previous = nullptr;
    bool installed = false;

    // Never destroyed: a thread may still log while the program's statics are torn down.
    static LogCaptureRegistry& instance() {
        static auto* registry = new LogCaptureRegistry;
        return *registry;
    }

    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
        LogCaptureRegistry& registry = instance();
        QtMessageHandler previous = nullptr;
        {
            std::lock_guard lock(registry.mutex);
            previous = registry.previous;
        }
        if (previous) {
            previous(type, context, message);
        } else {
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        }

        const QLatin1StringView category(context.category ? context.category : "");
        if (!category.startsWith(QLatin1StringView("orvane."))) return;
        LogRecord record{QDateTime::currentDateTime(), type, QString(category), message};
        std::lock_guard lock(registry.mutex);
        for (LogCapture* capture : registry.captures) capture->add(record);
    }

    void attach(LogCapture* capture) {
        std::lock_guard lock(mutex);
        captures.push_back(capture);
        if (!installed) {
            previous = qInstallMessageHandler(&LogCaptureRegistry::handle);
            installed = true;
        }
    }

    void detach(LogCapture* capture) {
        std::lock_guard lock(mutex);
        captures.erase(std::remove(captures.begin(), captures.end(), capture), captures.end());
        if (!captures.empty() || !installed) return;
        // Give the handler back, unless someone installed theirs over ours since: theirs hands
        // entries on to ours, which then only passes them on to the one before.
        const QtMessageHandler current = qInstallMessageHandler(previous);
        if (current == &LogCaptureRegistry::handle) {
            installed = false;
        } else {
            qInstallMessageHandler(current);
        }
    }
};

LogCapture::LogCapture(std::size_t capacity) : capacity_(std::max<std::size_t>(capacity, 1)) {
    LogCaptureRegistry::instance().attach(this);
}

LogCapture::~LogCapture() { LogCaptureRegistry::instance().detach(this); }

void LogCapture::add(LogRecord record) {
    std::lock_guard lock(mutex_);
    if (pending_.size() >= capacity_) {
        pending_.pop_front();
        ++dropped_;
    }
    pending_.push_back(std::move(record));
}

LogCapture::Taken LogCapture::take() {
    Taken taken;
    std::lock_guard lock(mutex_);
    taken.records.assign(std::make_move_iterator(pending_.begin()), std::make_move_iterator(pending_.end()));
    pending_.clear();
    taken.dropped = std::exchange(dropped_, 0);
    return taken;
}

LogPanel::LogPanel(QWidget* parent) : BenchPanel(tr("Log"), QStringLiteral("logPanel"), parent) {
    QWidget* content = this->content();
    QVBoxLayout* layout = contentLayout();

    auto* buttons = new QHBoxLayout;
    QPushButton* copyAllButton = makeButton(tr("Copy All"), QStringLiteral("copyAllButton"));
    QPushButton* clearButton = makeButton(tr("Clear"), QStringLiteral("clearButton"));
    buttons->addWidget(copyAllButton);
    buttons->addWidget(clearButton);
    buttons->addStretch();
    layout->addLayout(buttons);

    view_ = new QPlainTextEdit(content);
    view_->setObjectName(QStringLiteral("logView"));
    view_->setAccessibleName(tr("Log"));
    view_->setReadOnly(true);
    view_->setUndoRedoEnabled(false);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setMaximumBlockCount(kMaximumLines);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(view_);
    // The newest line stays in view while the user leaves the view at its end, also when a long
    // line brings a horizontal scroll bar.
    new EndFollower(*view_);

    connect(copyAllButton, &QPushButton::clicked, this, &LogPanel::copyAll);
    connect(clearButton, &QPushButton::clicked, this, &LogPanel::clear);
    startRefreshing();
}

LogPanel::~LogPanel() = default;

void LogPanel::refresh() {
    LogCapture::Taken taken = capture_.take();
    if (taken.records.empty() && taken.dropped == 0) return;
    QStringList lines;
    lines.reserve(qsizetype(taken.records.size()) + 1);
    if (taken.dropped > 0) lines << tr("(%1 earlier entries not shown)").arg(taken.dropped);
    for (const LogRecord& record : taken.records) lines << logRecordText(record);
    // One append for the batch: the view lays out once.
    view_->appendPlainText(lines.join(u'\n'));
}

void LogPanel::copyAll() { QGuiApplication::clipboard()->setText(view_->toPlainText()); }

void LogPanel::clear() { view_->clear(); }

}  // namespace orvane
