#include "qt/ReplayControl.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <exception>

#include "console/RecordingReplay.h"
#include "device/McapWriter.h"
#include "device/Recording.h"
#include "orvane/OrvaneVersion.h"
#include "platform/GlobalQueue.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "qt/ReplayTimeline.h"
#include "qt/SheetDialog.h"

namespace orvane {

namespace {

const QString kRecentKey = QStringLiteral("recentRecordings");

void alert(QMainWindow& window, QMessageBox::Icon icon, const QString& text, const QString& detail) {
    auto* box = new QMessageBox(icon, QApplication::applicationDisplayName(), text, QMessageBox::Ok, &window,
                                sheetWindowFlags());
    box->setObjectName(QStringLiteral("replayAlert"));
    box->setInformativeText(detail);
    box->setAttribute(Qt::WA_DeleteOnClose);
    openOverWindow(*box, &window);
}

}  // namespace

ReplayControl::ReplayControl(QMainWindow& window, ReplayTimeline& timeline,
                             std::function<void(const std::shared_ptr<RecordingReplay>&)> show,
                             std::function<void()> redraw)
    : QObject(&window), window_(window), timeline_(timeline), show_(std::move(show)) {
    redrawSoon_ = new QTimer(this);
    redrawSoon_->setSingleShot(true);
    redrawSoon_->setInterval(0);
    connect(redrawSoon_, &QTimer::timeout, this, [this, redraw = std::move(redraw)] {
        if (replay_ && redraw) redraw();
    });
    timeline_.onJump = [this] { redrawSoon_->start(); };
    openAction_ = new QAction(tr("&Open Recording…"), this);
    openAction_->setShortcut(QKeySequence::Open);
    connect(openAction_, &QAction::triggered, this, &ReplayControl::choose);
    recentMenu_ = new QMenu(tr("Recent &Recordings"), &window_);
    recentMenu_->setObjectName(QStringLiteral("recentRecordingsMenu"));
    connect(recentMenu_, &QMenu::aboutToShow, this, &ReplayControl::rebuildRecentMenu);
    rebuildRecentMenu();
    closeAction_ = new QAction(tr("&Close Recording"), this);
    closeAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    closeAction_->setEnabled(false);
    connect(closeAction_, &QAction::triggered, this, &ReplayControl::close);
    exportMcapAction_ = new QAction(tr("&MCAP…"), this);
    exportMcapAction_->setObjectName(QStringLiteral("exportMcapAction"));
    connect(exportMcapAction_, &QAction::triggered, this, &ReplayControl::chooseMcapExport);
    timeline_.onClose = [this] { close(); };
    timeline_.hide();
}

ReplayControl::~ReplayControl() { *alive_ = false; }

QStringList ReplayControl::recentRecordings() { return QSettings().value(kRecentKey).toStringList(); }

void ReplayControl::choose() {
    const QStringList recent = recentRecordings();
    const QString folder = recent.isEmpty() ? QString() : QFileInfo(recent.constFirst()).absolutePath();
    const QString path =
        QFileDialog::getOpenFileName(&window_, tr("Open Recording"), folder, tr("Recordings (*.csv);;All files (*)"));
    if (!path.isEmpty()) open(path);
}

void ReplayControl::open(const QString& path) {
    auto request = std::make_shared<QString>(path);
    opening_ = request;
    window_.statusBar()->showMessage(tr("Opening %1…").arg(QFileInfo(path).fileName()));
    QApplication::setOverrideCursor(Qt::BusyCursor);
    // Reading an hour's recording takes about a second: on a worker, so the window stays live.
    dispatchGlobal([this, alive = alive_, request, file = path.toStdString()] {
        std::shared_ptr<const Recording> recording;
        std::shared_ptr<RecordingReplay> replay;
        QString error;
        try {
            recording = std::make_shared<const Recording>(Recording::open(file));
            replay = std::make_shared<RecordingReplay>(recording);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
        // The replay is handed to the main queue whole; from there on only the main queue uses it.
        dispatchMain([this, alive, request, replay = std::move(replay), recording = std::move(recording), error] {
            if (!*alive) return;
            QApplication::restoreOverrideCursor();
            if (opening_ != request) return;  // a later request replaces this one
            opening_.reset();
            window_.statusBar()->clearMessage();
            if (replay) {
                opened(*request, replay, recording);
            } else {
                failed(error);
            }
        });
    });
}

void ReplayControl::opened(const QString& path, std::shared_ptr<RecordingReplay> replay,
                           std::shared_ptr<const Recording> recording) {
    if (replay_) {
        replay_->pause();
        replay_->onChange = nullptr;
    }
    replay_ = std::move(replay);
    recording_ = std::move(recording);
    remember(QFileInfo(path).absoluteFilePath());
    replay_->onChange = [this] { timeline_.sync(); };
    timeline_.setReplay(replay_);
    timeline_.show();
    closeAction_->setEnabled(true);
    show_(replay_);
    logInfo(kConsoleLog, "Replaying " + replay_->recording().path() + ": " +
                             std::to_string(replay_->recording().size()) + " messages");
    if (const auto& warning = replay_->recording().warning()) {
        logWarning(kConsoleLog, *warning);
        window_.statusBar()->showMessage(QString::fromStdString(*warning), 15000);
    }
}

void ReplayControl::failed(const QString& message) {
    logWarning(kConsoleLog, message.toStdString());
    alert(window_, QMessageBox::Warning, tr("The recording could not be opened."), message);
}

void ReplayControl::close() {
    if (!replay_) return;
    replay_->pause();
    replay_->onChange = nullptr;
    timeline_.hide();
    timeline_.setReplay(nullptr);
    closeAction_->setEnabled(false);
    replay_.reset();
    recording_.reset();
    show_(nullptr);
}

void ReplayControl::chooseMcapExport() {
    const QString title = tr("Export Recording as MCAP");
    QString source;
    if (!recording_) {
        const QStringList recent = recentRecordings();
        const QString folder = recent.isEmpty() ? QString() : QFileInfo(recent.constFirst()).absolutePath();
        source = QFileDialog::getOpenFileName(&window_, title, folder, tr("Recordings (*.csv);;All files (*)"));
        if (source.isEmpty()) return;
    }
    // Beside the recording, under its name.
    const QFileInfo from(source.isEmpty() ? QString::fromStdString(recording_->path()) : source);
    const QString target =
        QFileDialog::getSaveFileName(&window_, title, from.absolutePath() + "/" + from.completeBaseName() + ".mcap",
                                     tr("MCAP files (*.mcap);;All files (*)"));
    if (!target.isEmpty()) exportMcap(source, target);
}

void ReplayControl::exportMcap(const QString& recordingPath, const QString& target) {
    const std::shared_ptr<const Recording> shown = recordingPath.isEmpty() ? recording_ : nullptr;
    if (exporting_ || (recordingPath.isEmpty() && !shown)) return;
    exporting_ = true;
    exportMcapAction_->setEnabled(false);
    window_.statusBar()->showMessage(tr("Exporting %1…").arg(QFileInfo(target).fileName()));
    QApplication::setOverrideCursor(Qt::BusyCursor);
    // An hour's recording takes a second or two to read and as long to export.
    dispatchGlobal(
        [this, alive = alive_, shown, source = recordingPath.toStdString(), out = target.toStdString(), target] {
            McapExport written;
            QString error;
            try {
                const auto recording = shown ? shown : std::make_shared<const Recording>(Recording::open(source));
                written = exportRecordingAsMcap(*recording, out, "orvane-console " ORVANE_PACKAGE_VERSION);
            } catch (const std::exception& e) {
                error = QString::fromUtf8(e.what());
            }
            dispatchMain([this, alive, written, error, target] {
                if (!*alive) return;
                QApplication::restoreOverrideCursor();
                exporting_ = false;
                exportMcapAction_->setEnabled(true);
                if (!error.isEmpty()) {
                    window_.statusBar()->clearMessage();
                    logWarning(kConsoleLog, error.toStdString());
                    alert(window_, QMessageBox::Warning, tr("The recording could not be exported."), error);
                    return;
                }
                logInfo(kConsoleLog, "Exported " + std::to_string(written.rows) + " rows (" +
                                         std::to_string(written.messages) + " messages) to " + target.toStdString());
                window_.statusBar()->showMessage(
                    tr("Exported %1 rows (%2 messages) to %3")
                        .arg(QString::number(written.rows), QString::number(written.messages), target),
                    15000);
            });
        });
}

void ReplayControl::remember(const QString& path) {
    QStringList recent = recentRecordings();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > kRecentCount) recent.removeLast();
    QSettings().setValue(kRecentKey, recent);
    rebuildRecentMenu();
}

void ReplayControl::rebuildRecentMenu() {
    recentMenu_->clear();
    const QStringList recent = recentRecordings();
    for (const QString& path : recent) {
        QAction* item = recentMenu_->addAction(QFileInfo(path).fileName());
        item->setToolTip(path);
        item->setStatusTip(path);
        // A file that is gone stays listed, greyed, until newer ones push it out.
        item->setEnabled(QFileInfo(path).isFile());
        connect(item, &QAction::triggered, this, [this, path] { open(path); });
    }
    if (recent.isEmpty()) recentMenu_->addAction(tr("No recent recordings"))->setEnabled(false);
    recentMenu_->addSeparator();
    QAction* clear = recentMenu_->addAction(tr("Clear Menu"));
    clear->setEnabled(!recent.isEmpty());
    connect(clear, &QAction::triggered, this, [this] {
        QSettings().remove(kRecentKey);
        rebuildRecentMenu();
    });
}

}  // namespace orvane
