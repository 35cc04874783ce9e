#include "qt/RecordingControl.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <exception>

#include "console/SessionTap.h"
#include "qt/SheetDialog.h"

namespace orvane {

RecordingControl::RecordingControl(std::shared_ptr<SessionTap> tap, QMainWindow& window)
    : QObject(&window), tap_(std::move(tap)), window_(window) {
    action_ = new QAction(tr("Start &Recording…"), &window);
    action_->setObjectName("recordingAction");
    action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(action_, &QAction::triggered, this, [this] { toggle(); });

    label_ = new QLabel(&window);
    label_->setObjectName("recordingLabel");
    window.statusBar()->addPermanentWidget(label_);
    label_->hide();
    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, [this] { showState(); });
}

RecordingControl::~RecordingControl() = default;

void RecordingControl::toggle() {
    if (tap_->recording()) {
        stop();
        return;
    }
    const QString suggested =
        QDir::home().filePath("orvane-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss") + ".csv");
    const QString path =
        QFileDialog::getSaveFileName(&window_, tr("Start Recording"), suggested, tr("CSV files (*.csv)"));
    if (path.isEmpty()) return;
    try {
        start(path.toStdString());
    } catch (const std::exception& error) {
        auto* box =
            new QMessageBox(QMessageBox::Warning, QApplication::applicationDisplayName(),
                            tr("The recording could not be started."), QMessageBox::Ok, &window_, sheetWindowFlags());
        box->setInformativeText(QString::fromUtf8(error.what()));
        box->setAttribute(Qt::WA_DeleteOnClose);
        openOverWindow(*box, &window_);
    }
}

void RecordingControl::start(const std::string& path) {
    tap_->startRecording(path);
    showState();
    timer_->start();
}

void RecordingControl::stop() {
    tap_->stopRecording();
    timer_->stop();
    showState();
}

void RecordingControl::showState() {
    const auto recording = tap_->recording();
    action_->setText(recording ? tr("Stop &Recording") : tr("Start &Recording…"));
    if (!recording) {
        label_->hide();
        return;
    }
    QString text = tr("● Recording to %1: %2 rows")
                       .arg(QString::fromStdString(recording->path()))
                       .arg(static_cast<qulonglong>(recording->rowCount()));
    if (auto error = recording->writeError()) text += " — " + QString::fromStdString(*error);
    label_->setText(text);
    label_->show();
}

}  // namespace orvane
