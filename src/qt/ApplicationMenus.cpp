// The application's menus, the recording in the status bar, the About box and the layout the
// window keeps between runs.

#include <QAction>
#include <QDockWidget>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <SDL.h>
#include <curl/curl.h>
#include <unicode/uversion.h>

#include <nlohmann/json.hpp>
#include <cstdlib>
#include <string_view>
#include <system_error>

#include "orvane/OrvaneVersion.h"
#include "console/SessionTap.h"
#include "console/ViewController.h"
#include "qt/Application.h"
#include "qt/ConsoleSettings.h"
#include "qt/LogPanel.h"
#include "qt/PlotPanel.h"
#include "qt/TrafficPanel.h"
#include "qt/MainWindow.h"
#include "qt/QtControls.h"

namespace orvane {

void Application::buildMenus(const std::shared_ptr<Button>& connectionMenuItem,
                             const std::shared_ptr<Button>& checkMenuItem) {
    QMenuBar* bar = window_->menuBar();

    QMenu* file = bar->addMenu("&File");
    recordingAction_ = file->addAction("Start &Recording…");
    recordingAction_->setObjectName("recordingAction");
    recordingAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    QObject::connect(recordingAction_, &QAction::triggered, window_.get(), [this] {
        if (sessionTap_->recording()) {
            stopRecording();
            return;
        }
        const QString suggested =
            QDir::home().filePath("orvane-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss") + ".csv");
        const QString path =
            QFileDialog::getSaveFileName(window_.get(), "Start Recording", suggested, "CSV files (*.csv)");
        if (path.isEmpty()) return;
        try {
            startRecording(path.toStdString());
        } catch (const std::exception& error) {
            QMessageBox::warning(window_.get(), "The recording could not be started.", QString::fromUtf8(error.what()));
        }
    });
    file->addSeparator();
    QAction* quit = file->addAction("&Quit");
    quit->setShortcut(QKeySequence::Quit);
    QObject::connect(quit, &QAction::triggered, window_.get(), [this] { window_->close(); });

    QMenu* device = bar->addMenu("&Device");
    if (auto* connection = dynamic_cast<QtMenuAction*>(connectionMenuItem.get())) {
        connection->action()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_K));
        device->addAction(connection->action());
    }
    if (auto* check = dynamic_cast<QtMenuAction*>(checkMenuItem.get())) {
        check->action()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
        check->action()->setEnabled(false);
        device->addAction(check->action());
    }

    QMenu* view = bar->addMenu("&View");
    view->setObjectName("viewMenu");
    // The panels: the log small below the console and open at first, traffic beside it and the
    // plots on the right, both closed until asked for; each can be moved, floated or tabbed.
    auto* log = new LogPanel(window_.get());
    auto* traffic = new TrafficPanel(sessionTap_->traffic(), window_.get());
    auto* plots = new PlotPanel(series_, window_.get());
    window_->addDockWidget(Qt::BottomDockWidgetArea, log);
    window_->addDockWidget(Qt::BottomDockWidgetArea, traffic);
    window_->addDockWidget(Qt::RightDockWidgetArea, plots);
    window_->splitDockWidget(log, traffic, Qt::Horizontal);
    traffic->hide();
    plots->hide();
    window_->resizeDocks({log}, {140}, Qt::Vertical);
    const std::pair<QDockWidget*, QKeySequence> panels[] = {{log, QKeySequence(Qt::CTRL | Qt::Key_1)},
                                                            {traffic, QKeySequence(Qt::CTRL | Qt::Key_2)},
                                                            {plots, QKeySequence(Qt::CTRL | Qt::Key_3)}};
    for (const auto& [panel, shortcut] : panels) {
        QAction* toggle = panel->toggleViewAction();
        toggle->setShortcut(shortcut);
        view->addAction(toggle);
    }
    view->addSeparator();
    QAction* settings = view->addAction("&Settings…");
    settings->setShortcut(QKeySequence::Preferences);
    QObject::connect(settings, &QAction::triggered, window_.get(), [this] { showSettings(); });

    QMenu* help = bar->addMenu("&Help");
    QAction* about = help->addAction("&About Orvane Console");
    QObject::connect(about, &QAction::triggered, window_.get(),
                     [this] { QMessageBox::about(window_.get(), "About Orvane Console", aboutText()); });

    recordingLabel_ = new QLabel(window_.get());
    recordingLabel_->setObjectName("recordingLabel");
    window_->statusBar()->addPermanentWidget(recordingLabel_);
    recordingLabel_->hide();
    recordingTimer_ = std::make_unique<QTimer>();
    recordingTimer_->setInterval(1000);
    QObject::connect(recordingTimer_.get(), &QTimer::timeout, recordingTimer_.get(), [this] { showRecordingState(); });
}

void Application::startRecording(const std::string& path) {
    sessionTap_->startRecording(path);
    showRecordingState();
    recordingTimer_->start();
}

void Application::stopRecording() {
    if (!sessionTap_) return;
    sessionTap_->stopRecording();
    if (recordingTimer_) recordingTimer_->stop();
    showRecordingState();
}

void Application::showRecordingState() {
    if (!recordingLabel_ || !recordingAction_) return;
    const auto recording = sessionTap_->recording();
    recordingAction_->setText(recording ? "Stop &Recording" : "Start &Recording…");
    if (!recording) {
        recordingLabel_->hide();
        return;
    }
    QString text = QString("● Recording to %1: %2 rows")
                       .arg(QString::fromStdString(recording->path()))
                       .arg(static_cast<qulonglong>(recording->rowCount()));
    if (auto error = recording->writeError()) text += " — " + QString::fromStdString(*error);
    recordingLabel_->setText(text);
    recordingLabel_->show();
}

void Application::saveLayout() const {
    QSettings settings;
    settings.setValue("window/geometry", window_->saveGeometry());
    settings.setValue("window/state", window_->saveState());
    if (const auto& last = console_->lastConnectedDevice()) saveLastDevice(last);
}

void Application::restoreLayout(const std::optional<QStringList>& panels) {
    QSettings settings;
    if (settings.contains("window/geometry")) window_->restoreGeometry(settings.value("window/geometry").toByteArray());
    if (settings.contains("window/state")) window_->restoreState(settings.value("window/state").toByteArray());
    // Panels asked for on the command line are shown whatever was kept, and only those.
    if (panels) {
        const QStringList& names = *panels;
        for (auto* panel : window_->findChildren<QDockWidget*>()) {
            const QString name = panel->objectName().chopped(int(std::string_view("Panel").size()));
            panel->setVisible(names.contains(name, Qt::CaseInsensitive) ||
                              names.contains(name + "s", Qt::CaseInsensitive));
        }
    }
    if (loadReconnectLastDevice()) console_->setReconnectDevice(loadLastDevice());
}

QString Application::aboutText() const {
    SDL_version sdl{};
    SDL_GetVersion(&sdl);
    const curl_version_info_data* curl = curl_version_info(CURLVERSION_NOW);
    const QString json = QString("%1.%2.%3")
                             .arg(NLOHMANN_JSON_VERSION_MAJOR)
                             .arg(NLOHMANN_JSON_VERSION_MINOR)
                             .arg(NLOHMANN_JSON_VERSION_PATCH);
    return QString(
               "<h3>Orvane Console %1</h3>"
               "<p>Configurator and test console for the Orvane USB vehicle interface device.<br>"
               "Build %2, %3.</p>"
               "<table>"
               "<tr><td>Qt</td><td>%4</td><td>LGPL 3.0</td></tr>"
               "<tr><td>SDL</td><td>%5.%6.%7</td><td>zlib licence</td></tr>"
               "<tr><td>libcurl</td><td>%8</td><td>curl licence (MIT-style)</td></tr>"
               "<tr><td>ICU</td><td>%9</td><td>Unicode licence (ICU)</td></tr>"
               "<tr><td>nlohmann/json</td><td>%10</td><td>MIT licence</td></tr>"
               "</table>")
        .arg(QString::fromLatin1(ORVANE_VERSION), QString::fromLatin1(ORVANE_BUILD), QString::fromLatin1(__DATE__),
             QString::fromLatin1(qVersion()))
        .arg(sdl.major)
        .arg(sdl.minor)
        .arg(sdl.patch)
        .arg(QString::fromLatin1(curl ? curl->version : "?"), QString::fromLatin1(U_ICU_VERSION), json);
}

}  // namespace orvane
