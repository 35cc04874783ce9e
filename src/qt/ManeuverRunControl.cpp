#include "qt/ManeuverRunControl.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <stdexcept>

#include "console/ManeuverControl.h"
#include "console/ViewController.h"
#include "device/DeviceSerialInterface.h"
#include "platform/GlobalQueue.h"
#include "platform/MainQueue.h"
#include "qt/ElidedLabel.h"
#include "qt/FlowLayout.h"
#include "qt/SheetDialog.h"
#include "qt/ViewStyle.h"
#include "update/FirmwareDownload.h"

namespace orvane {

namespace {

constexpr int kStatusLines = 6;
constexpr int kAbortHeight = 60;

QString seconds(double value) { return QString::number(value, 'f', 1) + " s"; }

// "steer step 20%: lateral step, 3.0 s, 3 repeats with 2.0 s to settle"
QString maneuverLine(const Maneuver& maneuver) {
    // The channel and the profile are the maneuver file's own words, as the file spells them.
    const QString name = QString::fromStdString(maneuver.name);
    const QString channel = channelName(maneuver.channel), profile = profileName(maneuver.profile.kind);
    if (maneuver.repeats == 1) {
        return QCoreApplication::translate("ManeuverRunControl", "%1: %2 %3, %4, once with %5 to settle")
            .arg(name, channel, profile, seconds(maneuver.profile.duration), seconds(maneuver.settle));
    }
    return QCoreApplication::translate("ManeuverRunControl", "%1: %2 %3, %4, %5 repeats with %6 to settle")
        .arg(name, channel, profile, seconds(maneuver.profile.duration), QString::number(maneuver.repeats),
             seconds(maneuver.settle));
}

QMessageBox* sheet(QMessageBox::Icon icon, const QString& text, const QString& informative, QWidget* window,
                   const char* name) {
    auto* box = new QMessageBox(icon, QApplication::applicationDisplayName(), text, QMessageBox::NoButton, window,
                                sheetWindowFlags());
    box->setObjectName(name);
    box->setInformativeText(informative);
    box->setAttribute(Qt::WA_DeleteOnClose);
    return box;
}

}  // namespace

// MARK: The panel

ManeuverPanel::ManeuverPanel(QWidget* parent) : BenchPanel(tr("Maneuver"), QStringLiteral("maneuverPanel"), parent) {
    QWidget* content = this->content();
    QVBoxLayout* layout = contentLayout();
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(4);

    // The panel shares its dock column with others and must not widen it: each line takes the
    // width there is and ends in an ellipsis where its text does not fit (the tooltip has it all).
    maneuver_ = new ElidedLabel(1, content);
    maneuver_->setObjectName("maneuverNameLabel");
    maneuver_->setFont(scaledFont(maneuver_->font(), 1.3, QFont::Bold));
    maneuver_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    repeat_ = new ElidedLabel(1, content);
    repeat_->setObjectName("maneuverRepeatLabel");
    timeLeft_ = new ElidedLabel(1, content);
    timeLeft_->setObjectName("maneuverTimeLeftLabel");
    progress_ = new QProgressBar(content);
    progress_->setObjectName("maneuverProgress");
    progress_->setRange(0, 1000);
    progress_->setTextVisible(false);
    progress_->setMaximumHeight(10);
    // How the suite ended takes up to kStatusLines lines, all of which the panel keeps room for
    // at its smallest.
    status_ = new ElidedLabel(kStatusLines, content);
    status_->setObjectName("maneuverStatusLabel");
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    abort_ = makeButton(tr("Abort"), QStringLiteral("maneuverAbortButton"));
    abort_->setFont(scaledFont(abort_->font(), 2, QFont::Bold));
    abort_->setToolTip(tr("Stops the suite: both requests go to 0 at once (also Escape or any gamepad button)"));
    // A style sheet draws the whole button, so the focus ring is its own: the highlight colour.
    abort_->setStyleSheet(
        "QPushButton { background: #c62828; color: white; border: 1px solid #8e0000; border-radius: 6px; }"
        "QPushButton:focus { border: 2px solid palette(highlight); }"
        "QPushButton:pressed { background: #8e0000; }"
        "QPushButton:disabled { background: #bdbdbd; color: #eeeeee; border-color: #9e9e9e; }");

    layout->addWidget(maneuver_);
    // The repeat and the suite's time left share a line where they fit, else take one each.
    auto* where = new FlowLayout(nullptr, 12);
    where->addWidget(repeat_);
    where->addWidget(timeLeft_);
    layout->addLayout(where);
    layout->addWidget(progress_);
    // The report of the suite that ended last, again, beside the Abort button; both above the
    // status, so that a long reason never pushes the Abort button out of a short panel.
    save_ = makeButton(tr("Save Report…"), QStringLiteral("maneuverSaveReportButton"));
    save_->setEnabled(false);
    save_->setToolTip(tr("Saves the HTML report, the verdicts as JUnit XML, or every metric as JSON"));
    compare_ = makeButton(tr("Compare with…"), QStringLiteral("maneuverCompareButton"));
    compare_->setEnabled(false);
    compare_->setToolTip(tr("Compares each metric with a metrics file saved from an earlier run of the same suite"));
    auto* saving = new QVBoxLayout;
    saving->addWidget(save_);
    saving->addWidget(compare_);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(abort_, 1);
    buttons->addLayout(saving, 0);
    layout->addLayout(buttons);
    layout->addWidget(status_);
    layout->addStretch(1);
    startRefreshing();
    refresh();
}

void ManeuverPanel::refresh() {
    const ManeuverRunner* runner = control_ ? control_->runner() : nullptr;
    if (!runner) {
        maneuver_->setTextAndToolTip(tr("No suite has run"));
        repeat_->setTextAndToolTip({});
        timeLeft_->setTextAndToolTip({});
        status_->setTextAndToolTip({});
        progress_->setValue(0);
        abort_->setEnabled(false);
        save_->setEnabled(false);
        compare_->setEnabled(false);
        return;
    }
    // The suite runs on a thread of its own: where it stands is read as a snapshot.
    const ManeuverRunnerState state = control_->state();
    const auto& maneuvers = runner->suite().maneuvers;
    const bool running = control_->isRunning();
    abort_->setEnabled(running);
    // Large while the suite runs; once it has ended the room goes to how it ended.
    abort_->setMinimumHeight(running ? kAbortHeight : 0);
    save_->setEnabled(!running);
    compare_->setEnabled(!running);
    const double total = double(runner->schedule().tickCount()) * ManeuverSchedule::kTickSeconds;
    progress_->setValue(total > 0 ? int(std::lround(1000 * (total - state.suiteSecondsLeft) / total)) : 1000);
    if (state.maneuver < maneuvers.size() && state.phase != ManeuverPhase::finished) {
        const Maneuver& maneuver = maneuvers[state.maneuver];
        maneuver_->setTextAndToolTip(tr("%1 of %2: %3")
                                         .arg(state.maneuver + 1)
                                         .arg(maneuvers.size())
                                         .arg(QString::fromStdString(maneuver.name)));
        repeat_->setTextAndToolTip((state.phase == ManeuverPhase::run ? tr("Repeat %1 of %2: run, %3 left")
                                                                      : tr("Repeat %1 of %2: settle, %3 left"))
                                       .arg(state.repeat + 1)
                                       .arg(maneuver.repeats)
                                       .arg(seconds(state.phaseSecondsLeft)));
    } else {
        maneuver_->setTextAndToolTip(tr("%1 maneuvers").arg(maneuvers.size()));
    }
    if (!running) repeat_->setTextAndToolTip({});  // the status says where it ended
    timeLeft_->setTextAndToolTip(running ? tr("Suite: %1 left").arg(seconds(state.suiteSecondsLeft)) : QString());
    if (running) {
        status_->setStyleSheet(QString());
        status_->setTextAndToolTip(tr("Escape, Abort or any gamepad button stops it."));
    } else {
        const bool completed = runner->end()->completed;
        status_->setStyleSheet(completed ? "color: #2e7d32; font-weight: bold;" : "color: #c62828; font-weight: bold;");
        const QString outcome = QString::fromStdString(maneuverOutcomeText(*runner));
        status_->setTextAndToolTip(verdict_.isEmpty() ? outcome : verdict_ + "\n" + outcome);
    }
}

void ManeuverPanel::setVerdict(const QString& text) {
    verdict_ = text;
    refresh();
}

// MARK: The run

ManeuverRunControl::ManeuverRunControl(std::shared_ptr<ViewController> console,
                                       std::shared_ptr<ManeuverControl> maneuvers, QMainWindow& window)
    : QObject(&window), console_(std::move(console)), maneuvers_(std::move(maneuvers)), window_(window) {
    action_ = new QAction(tr("Run &Maneuvers…"), this);
    action_->setObjectName("runManeuversAction");
    action_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
    connect(action_, &QAction::triggered, this, [this] { chooseFile(); });

    panel_ = new ManeuverPanel(&window);
    window.addDockWidget(Qt::RightDockWidgetArea, panel_);
    panel_->hide();
    connect(panel_->abortButton(), &QPushButton::clicked, this, [this] { abort("the Abort button was pressed"); });
    connect(panel_->saveReportButton(), &QPushButton::clicked, this, [this] { chooseReportFile(); });
    connect(panel_->compareButton(), &QPushButton::clicked, this, [this] { chooseBaseline(); });

    // Escape aborts wherever the application's focus is, while a suite runs.
    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
    escape_->setContext(Qt::ApplicationShortcut);
    escape_->setEnabled(false);
    connect(escape_, &QShortcut::activated, this, [this] { abort("Escape was pressed"); });

    maneuvers_->setEndObserver([this] {
        if (running_) ended();
    });
    // The shortcut works only while the action is enabled, so its state follows the device
    // (connected, responding) a few times a second, not only when the menu opens.
    auto* follow = new QTimer(this);
    connect(follow, &QTimer::timeout, this, [this] { updateAction(); });
    follow->start(250);
    updateAction();
}

ManeuverRunControl::~ManeuverRunControl() {
    *alive_ = false;
    maneuvers_->setEndObserver(nullptr);
}

void ManeuverRunControl::updateAction() { action_->setEnabled(!running_ && console_->canRunManeuvers()); }

void ManeuverRunControl::chooseFile() {
    updateAction();
    if (!action_->isEnabled()) return;
    const QString path =
        QFileDialog::getOpenFileName(&window_, tr("Run Maneuvers"),
                                     path_.empty() ? QDir::homePath() : QFileInfo(QString::fromStdString(path_)).path(),
                                     tr("Maneuver files (*.json);;All files (*)"));
    if (!path.isEmpty()) open(path.toStdString());
}

void ManeuverRunControl::open(const std::string& path) {
    if (running_) return;
    auto request = std::make_shared<std::string>(path);
    opening_ = request;
    // Read on a worker, as a recording is: a file on a slow or hung mount must not stop the window.
    dispatchGlobal([alive = alive_, request, this] {
        std::optional<ManeuverSuite> suite;
        std::string error;
        try {
            const std::string text = ManeuverSuite::readFileText(*request);
            suite = ManeuverSuite::fromJsonText(text);
            suite->fileSha256 = sha256Hex(text);
        } catch (const ManeuverFileError& e) {
            error = e.what();
        }
        // The suite is handed to the main queue whole; from there on only the main queue uses it.
        dispatchMain([alive, request, this, suite = std::move(suite), error]() mutable {
            if (!*alive || opening_ != request) return;  // gone, or a later request replaces this one
            opening_.reset();
            opened(*request, std::move(suite), error);
        });
    });
}

void ManeuverRunControl::opened(const std::string& path, std::optional<ManeuverSuite> suite, const std::string& error) {
    pending_.reset();
    if (running_) return;
    const QString fileName = QString::fromStdString(std::filesystem::path(path).filename().string());
    if (!suite) {
        auto* box = sheet(QMessageBox::Warning, tr("The maneuver file %1 cannot be run.").arg(fileName),
                          QString::fromUtf8(error), &window_, "maneuverFileRefusal");
        box->setStandardButtons(QMessageBox::Ok);
        openOverWindow(*box, &window_);
        return;
    }
    if (!console_->canRunManeuvers()) {
        auto* box = sheet(QMessageBox::Warning, tr("No device to run the maneuvers on."),
                          tr("Connect a device that responds, then run them again."), &window_, "maneuverFileRefusal");
        box->setStandardButtons(QMessageBox::Ok);
        openOverWindow(*box, &window_);
        return;
    }
    pending_ = std::move(suite);
    path_ = path;

    const ManeuverSchedule schedule(*pending_);
    const ManeuverLimits& limits = pending_->limits;
    QString details;
    for (const Maneuver& maneuver : pending_->maneuvers) details += "• " + maneuverLine(maneuver) + "\n";
    details += tr("\nIn all %1. Limits: lateral %2, longitudinal %3, driver torque %4 Nm.\n\nEscape, the Abort "
                  "button, any gamepad button, the driver's torque or the device falling silent stops the suite and "
                  "returns both requests to 0.")
                   .arg(seconds(double(schedule.tickCount()) * ManeuverSchedule::kTickSeconds),
                        QString::number(limits.lateral), QString::number(limits.longitudinal),
                        QString::number(limits.driverTorqueAbort));
    if (console_->gamepadSettings().holdToEnable) {
        details +=
            tr("\n\nHold-to-enable is on: hold a gamepad's right shoulder button throughout; letting go aborts.");
    }
    const auto& session = console_->vehicleInterface();
    auto* box = sheet(QMessageBox::Question,
                      tr("Run the %1 maneuvers of %2 on %3?")
                          .arg(pending_->maneuvers.size())
                          .arg(fileName, session ? QString::fromStdString(session->path()) : tr("the device")),
                      details, &window_, "maneuverConfirmation");
    QPushButton* runButton = box->addButton(tr("Run"), QMessageBox::AcceptRole);
    runButton->setObjectName("runManeuversButton");
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(runButton);
    connect(box, &QMessageBox::finished, this, [this, box, runButton] {
        if (box->clickedButton() == runButton) {
            run();
        } else {
            pending_.reset();
        }
    });
    confirmation_ = box;
    openOverWindow(*box, &window_);
}

void ManeuverRunControl::run() {
    if (!pending_) return;
    ManeuverSuite suite = std::move(*pending_);
    pending_.reset();
    const std::string fileName = std::filesystem::path(path_).filename().string();
    std::string refusal;
    if (!console_->startManeuvers(std::move(suite), fileName, &refusal)) {
        auto* box = sheet(QMessageBox::Warning, tr("The maneuvers were not run."), QString::fromStdString(refusal),
                          &window_, "maneuverFileRefusal");
        box->setStandardButtons(QMessageBox::Ok);
        openOverWindow(*box, &window_);
        return;
    }
    running_ = true;
    updateAction();
    maneuvers_->setBaseline(std::nullopt);  // a baseline belongs to the suite it was chosen for
    panel_->setVerdict({});
    panel_->setControl(maneuvers_.get());
    // The panel stays while the suite runs: it holds the Abort button.
    panel_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    panel_->show();
    panel_->raise();
    panel_->refresh();
    escape_->setEnabled(true);
}

void ManeuverRunControl::abort(const std::string& reason) { maneuvers_->abort(reason); }

void ManeuverRunControl::windowClosing(const std::string& reason) {
    closing_ = true;
    if (maneuvers_->isRunning()) maneuvers_->abortAndWaitForZero(reason, std::chrono::seconds(2));
}

void ManeuverRunControl::ended() {
    running_ = false;
    console_->updateRequests();  // the suite no longer drives: the sliders and the gamepad may
    escape_->setEnabled(false);
    panel_->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                        QDockWidget::DockWidgetFloatable);
    showVerdict();
    updateAction();
    // Not from inside the control tick, and not as the window goes.
    if (!closing_) QTimer::singleShot(0, this, [this] { offerReport(); });
}

void ManeuverRunControl::offerReport() {
    const ManeuverRunner* runner = maneuvers_->runner();
    if (!runner || !runner->hasEnded()) return;
    const bool completed = runner->end()->completed;
    auto* box = sheet(completed ? QMessageBox::Information : QMessageBox::Warning,
                      completed ? tr("The maneuver suite completed.") : tr("The maneuver suite was aborted."),
                      tr("%1\n\nSave the report?")
                          .arg(completed ? tr("Every run of %1 ran to its end.")
                                               .arg(QString::fromStdString(maneuvers_->reportInfo().fileName))
                                         : QString::fromStdString(maneuverOutcomeText(*runner))),
                      &window_, "maneuverEnded");
    QPushButton* save = box->addButton(tr("Save Report…"), QMessageBox::AcceptRole);
    save->setObjectName("saveManeuverReportButton");
    box->addButton(tr("Close"), QMessageBox::RejectRole);
    box->setDefaultButton(save);
    connect(box, &QMessageBox::finished, this, [this, box, save] {
        if (box->clickedButton() == save) chooseReportFile();
    });
    openOverWindow(*box, &window_);
}

void ManeuverRunControl::showVerdict() {
    const auto results = maneuvers_->results();
    const ManeuverRunner* runner = maneuvers_->runner();
    if (!results || !runner || results->verdict == ManeuverVerdict::none) {
        panel_->setVerdict({});
        return;
    }
    // "✗ Failed: 1 of 3 repeats" and, per maneuver with verdicts, "steer step: #1 ✓ #2 ✗ #3 ✓".
    std::size_t passed = 0, failed = 0;
    QString marks;
    std::size_t shown = runner->suite().maneuvers.size();
    for (const ManeuverRepeatResult& result : results->repeats) {
        if (result.verdict == ManeuverVerdict::none) continue;
        (result.verdict == ManeuverVerdict::passed ? passed : failed) += 1;
        if (result.maneuver != shown) {
            shown = result.maneuver;
            marks += (marks.isEmpty() ? "" : "\n") +
                     QString::fromStdString(runner->suite().maneuvers.at(result.maneuver).name) + ":";
        }
        marks += QString(" #%1 %2")
                     .arg(result.repeat + 1)
                     .arg(result.verdict == ManeuverVerdict::passed ? "\u2713" : "\u2717");
    }
    QString text = results->verdict == ManeuverVerdict::passed
                       ? tr("✓ Passed: %1 repeats met their expectations").arg(passed)
                       : tr("✗ Failed: %1 of %2 repeats").arg(failed).arg(passed + failed);
    if (results->comparedWithBaseline) text = tr("%1, against the baseline").arg(text);
    panel_->setVerdict(text + "\n" + marks);
}

std::optional<std::string> ManeuverRunControl::compareWith(const std::string& path) {
    try {
        ManeuverBaseline baseline = ManeuverBaseline::fromFile(path);
        if (auto mismatch = baselineMismatch(baseline, maneuvers_->reportInfo().suiteSha256)) return mismatch;
        maneuvers_->setBaseline(std::move(baseline));
    } catch (const ManeuverFileError& error) {
        return std::string(error.what());
    }
    showVerdict();
    return std::nullopt;
}

void ManeuverRunControl::chooseBaseline() {
    const QString path = QFileDialog::getOpenFileName(&window_, tr("Compare with Metrics"),
                                                      QFileInfo(QString::fromStdString(path_)).path(),
                                                      tr("Metrics files (*.json);;All files (*)"));
    if (path.isEmpty()) return;
    if (auto refusal = compareWith(path.toStdString())) {
        auto* box = sheet(QMessageBox::Warning, tr("The metrics file cannot be compared with."),
                          QString::fromStdString(*refusal), &window_, "maneuverBaselineRefusal");
        box->setStandardButtons(QMessageBox::Ok);
        openOverWindow(*box, &window_);
    }
}

void ManeuverRunControl::chooseReportFile() {
    const QFileInfo suite(QString::fromStdString(path_));
    const QString stem =
        QDir(suite.path())
            .filePath(suite.completeBaseName() + "-report-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss"));
    const QString html = tr("HTML report (*.html)"), junit = tr("JUnit XML (*.xml)"),
                  metrics = tr("Metrics JSON (*.json)");
    QString filter = html;
    const QString path = QFileDialog::getSaveFileName(&window_, tr("Save Report"), stem + ".html",
                                                      html + ";;" + junit + ";;" + metrics, &filter);
    if (path.isEmpty()) return;
    const ResultFile kind = filter == junit     ? ResultFile::junit
                            : filter == metrics ? ResultFile::metrics
                                                : ResultFile::report;
    try {
        saveResults(path.toStdString(), kind);
    } catch (const std::exception& error) {
        auto* failed = sheet(QMessageBox::Warning, tr("The report could not be saved."),
                             QString::fromUtf8(error.what()), &window_, "maneuverReportFailure");
        failed->setStandardButtons(QMessageBox::Ok);
        openOverWindow(*failed, &window_);
    }
}

void ManeuverRunControl::saveReport(const std::string& path) const { saveResults(path, ResultFile::report); }

void ManeuverRunControl::saveResults(const std::string& path, ResultFile kind) const {
    const auto text = kind == ResultFile::junit     ? maneuvers_->junitXml()
                      : kind == ResultFile::metrics ? maneuvers_->metricsJson()
                                                    : maneuvers_->reportHtml();
    if (!text) throw std::runtime_error(tr("No maneuver suite has ended yet").toStdString());
    writeFileWhole(path, *text,
                   (kind == ResultFile::junit     ? tr("JUnit file")
                    : kind == ResultFile::metrics ? tr("metrics file")
                                                  : tr("report"))
                       .toStdString());
}

}  // namespace orvane
