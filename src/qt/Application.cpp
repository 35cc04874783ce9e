#include "qt/Application.h"

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string_view>

#include "console/ManeuverControl.h"
#include "console/RecordingReplay.h"
#include "console/SessionEnd.h"
#include "console/SessionTap.h"
#include "console/TelemetrySeries.h"
#include "console/ViewController.h"
#include "device/DeviceSerialInterface.h"
#include "device/TrafficLog.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/RepeatingTimer.h"
#include "qt/ConsoleSettings.h"
#include "qt/MainWindow.h"
#include "qt/MainWindowController.h"
#include "qt/ManeuverRunControl.h"
#include "qt/MasterViewController.h"
#include "qt/PlotPanel.h"
#include "qt/QtControls.h"
#include "qt/QtViewHost.h"
#include "qt/RecordingControl.h"
#include "qt/ReplayControl.h"
#include "qt/ReplayTimeline.h"
#include "qt/SettingsDialog.h"
#include "qt/Translations.h"
#include "qt/SheetDialog.h"
#include "qt/TerminationSignals.h"
#include "qt/TrafficPanel.h"
#include "qt/ViewStyle.h"
#include "update/BossacManager.h"
#include "update/FirmwareEndpoint.h"
#include "update/HalvernServerUpdateProvider.h"
#include "update/TrustedKeys.h"

namespace orvane {

namespace {

// The keys the package installs.
const std::filesystem::path kSystemTrustedKeys = "/etc/orvane-console/trusted-keys.d";

}  // namespace

namespace {

// Main-queue timers as Qt timers of the GUI thread: a firing wakes the event loop once, with
// no thread of the timer's own and no post through the main queue's descriptor.
class QtMainTimerDriver final : public MainTimerDriver {
    class Timer final : public MainTimerDriver::Timer {
    public:
        Timer(std::chrono::nanoseconds firstDeadline, std::chrono::nanoseconds interval, std::function<void()> fire)
            : interval_(milliseconds(interval)), fire_(std::move(fire)) {
            timer_.setTimerType(Qt::PreciseTimer);
            QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
                if (timer_.interval() != interval_) timer_.setInterval(interval_);
                fire_();
            });
            timer_.start(milliseconds(firstDeadline));
        }

    private:
        static int milliseconds(std::chrono::nanoseconds duration) {
            return int(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count());
        }
        QTimer timer_;
        int interval_;
        std::function<void()> fire_;
    };

public:
    std::unique_ptr<MainTimerDriver::Timer> start(std::chrono::nanoseconds firstDeadline,
                                                  std::chrono::nanoseconds interval,
                                                  std::function<void()> fire) override {
        return std::make_unique<Timer>(firstDeadline, interval, std::move(fire));
    }
};

}  // namespace

Application::Application(Options options) {
    QtCurrentEvent::install();
    showLabelsAsPlainText();

    MainQueue& mainQueue = MainQueue::shared();
    mainQueue.bindToCurrentThread();
    MainTimerDriver::install(std::make_shared<QtMainTimerDriver>());
    mainQueueNotifier_ = std::make_unique<QSocketNotifier>(mainQueue.wakeFd(), QSocketNotifier::Read);
    QObject::connect(mainQueueNotifier_.get(), &QSocketNotifier::activated, mainQueueNotifier_.get(),
                     [] { MainQueue::shared().runPending(); });

    host_ = std::make_shared<QtViewHost>();
    window_ = std::make_unique<MainWindow>();
    windowController_ = std::make_shared<MainWindowController>();
    auto devices = std::make_shared<QtPopupButton>(window_->devicesComboBox());
    auto gamepads = std::make_shared<QtPopupButton>(window_->gamepadsComboBox());
    windowController_->devicesPopupButton = devices;
    windowController_->gamepadsPopupButton = gamepads;
    host_->setMainWindow(window_.get(), windowController_);

    master_ = std::make_shared<MasterViewController>();
    master_->setHost(host_);
    master_->loadViewIfNeeded();  // embeds the inspector
    // The views, with the replay's timeline under them (shown while a recording is open).
    auto* content = new QWidget(window_.get());
    content->setObjectName("consoleArea");
    auto* contentLayout = new QVBoxLayout(content);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);
    contentLayout->addWidget(host_->viewOf(*master_), 1);
    timeline_ = new ReplayTimeline(content);
    contentLayout->addWidget(timeline_);
    window_->setCentralWidget(content);

    // The console is handed its parts: the popups, the inspector, the update provider and the
    // flasher.
    ViewController::Configuration configuration;
    configuration.deviceDirectory = options.deviceDirectory;
    configuration.gamepadSource = options.gamepadSource;
    configuration.updateProvider = options.updateProvider
                                       ? options.updateProvider
                                       : std::make_shared<HalvernServerUpdateProvider>(firmwareInformationEndpoint());
    updateProvider_ = configuration.updateProvider;
    trustedKeyFiles_ = options.trustedKeyFiles;
    autoReconnect_ = options.autoReconnect;
    applyTrustPolicy();
    configuration.bossac = options.bossac ? options.bossac : std::make_shared<BossacManager>();
    configuration.devicesPopup = devices;
    configuration.gamepadsPopup = gamepads;
    configuration.inspector = master_->inspector;
    // The toolbar's Connect button and the Device menu's items are one control each.
    auto connectionMenuItem = std::make_shared<QtMenuAction>(
        new QAction(QCoreApplication::translate("Application", "Connect"), window_.get()));
    auto checkMenuItem = std::make_shared<QtMenuAction>(
        new QAction(QCoreApplication::translate("Application", "Check for Update"), window_.get()));
    configuration.connectionButton = std::make_shared<QtButtons>(std::vector<std::shared_ptr<Button>>{
        std::make_shared<QtButton>(window_->connectionButton()), connectionMenuItem});
    configuration.checkForUpdateButton = checkMenuItem;
    sessionTap_ = std::make_shared<SessionTap>(std::make_shared<TrafficLog>());
    series_ = std::make_shared<TelemetrySeries>();
    configuration.sessionTap = sessionTap_;
    configuration.series = series_;
    maneuvers_ = std::make_shared<ManeuverControl>(sessionTap_);
    configuration.maneuvers = maneuvers_;
    console_ = std::make_shared<ViewController>(std::move(configuration));
    console_->setHost(host_);

    std::weak_ptr<ViewController> console = console_;
    devices->setAction([console, sender = devices.get()] {
        if (auto target = console.lock()) target->didSelectDevice(sender);
    });
    gamepads->setAction([console, sender = gamepads.get()] {
        if (auto target = console.lock()) target->didSelectGamepad(sender);
    });

    host_->addChildViewController(*master_, console_, 0);  // loads the console's view: viewDidLoad

    console_->setGamepadSettings(loadGamepadSettings());
    QObject::connect(window_->settingsButton(), &QPushButton::clicked, window_.get(), [this] { showSettings(); });
    buildMenus(connectionMenuItem, checkMenuItem);
    restoreWindowLayout(*window_);
    maneuverRun_->panel()->hide();  // shown while a suite runs
    window_->watchPanel(maneuverRun_->panel());
    if (options.panels) showOnlyPanels(*options.panels);
    window_->applyTabOrder();
    if (auto last = loadLastDevice()) console_->rememberLastDevice(std::move(*last));
    console_->setReconnectsLastDevice(autoReconnect_ || loadReconnectLastDevice());
    window_->onClose = [this] { windowClosing(); };
    window_->onFileDropped = [this](const QString& path) { replayControl_->open(path); };
}

void Application::windowClosing() {
    // A running suite is aborted, and the device sent 0, before anything else goes.
    maneuverRun_->windowClosing(closeReason_);
    // So is whatever a slider or a gamepad holds: the gamepad is let go, so that no control tick
    // before the session ends puts its request back.
    console_->setSelectedGamepad(nullptr);
    console_->setRequestedLateralControl(0);
    console_->setRequestedLongitudinalControl(0);
    if (const auto& session = console_->vehicleInterface()) {
        if (!zeroRequestsAndWait(*session, kZeroRequestWait)) {
            logWarning(kLinkLog, "No request of 0 reached " + session->path() + " within " +
                                     std::to_string(kZeroRequestWait.count()) + " ms of closing");
        }
    }
    saveLayout();
}

void Application::closeAndQuit(const std::string& reason) {
    closeReason_ = reason;
    window_->close();
    QApplication::quit();
}

void Application::endOnSignal(int number) {
    const std::string name = TerminationSignals::name(number);
    if (!endAfterUpdate_ && console_->bossac().isRunning()) {
        // The tool is writing the firmware: stopping it half-way would leave the device without
        // one. The tool's own time limit ends a run that hangs.
        logWarning(kUpdateLog, "Received " + name +
                                   " while the firmware update is running: the console will quit when it has "
                                   "finished (another signal quits at once)");
        console_->setModalProgressStatusText(QCoreApplication::translate("Application",
                                                                         "Flashing new firmware to device... Received "
                                                                         "%1: the console will quit when the update "
                                                                         "has finished.")
                                                 .arg(QString::fromStdString(name))
                                                 .toStdString());
        endAfterUpdate_ = new QTimer(window_.get());
        endAfterUpdate_->setObjectName("endAfterUpdate");
        QObject::connect(endAfterUpdate_, &QTimer::timeout, endAfterUpdate_, [this, name] {
            if (console_->bossac().isRunning()) return;
            endAfterUpdate_->stop();
            logInfo(kConsoleLog, "The firmware update has ended. Quitting on " + name);
            closeAndQuit("the console received " + name);
        });
        endAfterUpdate_->start(100);
        return;
    }
    logInfo(kConsoleLog, "Quitting on " + name);
    closeAndQuit("the console received " + name);
}

void Application::connectWhenListed(const std::string& path) {
    auto* timer = new QTimer(window_.get());
    timer->setObjectName("connectWhenListed");
    auto deadline = std::make_shared<QElapsedTimer>();
    deadline->start();
    QObject::connect(timer, &QTimer::timeout, timer, [this, path, timer, deadline] {
        const auto& devices = console_->devices();
        if (std::find(devices.begin(), devices.end(), path) != devices.end()) {
            timer->deleteLater();
            console_->setSelectedDevice(path);
            console_->connectToDevice(path);
            return;
        }
        if (deadline->elapsed() > 10000) {
            std::fprintf(stderr, "orvane-console: %s was not listed within 10 s; not connecting\n", path.c_str());
            timer->deleteLater();
        }
    });
    timer->start(100);
}

void Application::showOnlyPanels(const QStringList& names) {
    for (auto* panel : window_->findChildren<QDockWidget*>()) {
        const QString name = panel->objectName().chopped(int(std::string_view("Panel").size()));
        const bool shown = names.contains(name, Qt::CaseInsensitive) || names.contains(name + "s", Qt::CaseInsensitive);
        panel->setVisible(shown);
        // Of panels tabbed together, the one listed last in the View menu comes to the front (once
        // the window is shown: its tabs are made then).
        if (shown) QTimer::singleShot(0, panel, [panel] { panel->raise(); });
    }
}

void Application::openRecording(const std::string& path) { replayControl_->open(QString::fromStdString(path)); }

void Application::closeRecording() { replayControl_->close(); }

void Application::showReplay(const std::shared_ptr<RecordingReplay>& replay) {
    // One swap: the console, the plots and the traffic all show the console's shown source.
    console_->setTelemetrySource(replay);
    const auto& shown = console_->shownSource();
    plots_->setSeries(shown->series());
    traffic_->setLog(shown->traffic());
    traffic_->refresh();
    window_->setWindowTitle(replay ? QString::fromStdString(replay->name()) + " — " +
                                         QApplication::applicationDisplayName()
                                   : QApplication::applicationDisplayName());
}

void Application::redrawViews() {
    console_->refreshTelemetry(true);
    if (plots_->isVisible()) plots_->refresh();
    if (traffic_->isVisible()) traffic_->refresh();
}

void Application::startRecording(const std::string& path) { recording_->start(path); }

void Application::stopRecording() { recording_->stop(); }

void Application::saveLayout() const {
    saveWindowLayout(*window_);
    if (const auto& last = console_->lastConnectedDevice()) saveLastDevice(last);
}

void Application::applyTrustPolicy() {
    auto* provider = dynamic_cast<HalvernServerUpdateProvider*>(updateProvider_.get());
    if (!provider) return;
    const QString userKeys =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/orvane-console/trusted-keys.d";
    std::vector<std::filesystem::path> files(trustedKeyFiles_.begin(), trustedKeyFiles_.end());
    const TrustedKeys trusted = loadTrustedKeys({kSystemTrustedKeys, userKeys.toStdString()}, files);
    trustedKeyIds_.clear();
    for (const auto& key : trusted.keys) trustedKeyIds_ << QString::fromStdString(key.keyIdText());
    const bool allowUnsigned = loadAllowUnsignedFirmware();
    provider->setTrustPolicy({trusted.keys, allowUnsigned});
    if (allowUnsigned) logWarning(kUpdateLog, "Firmware not signed by a trusted key is allowed (Settings)");
}

void Application::showSettings() {
    auto* dialog = new SettingsDialog(console_->gamepadSettings(), loadReconnectLastDevice(), window_.get(),
                                      loadAllowUnsignedFirmware());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setLanguage(Translations::loadSetting());
    QObject::connect(dialog, &QDialog::accepted, dialog, [this, dialog] {
        Translations::saveSetting(dialog->language());
        const GamepadSettings chosen = dialog->gamepadSettings();
        console_->setGamepadSettings(chosen);
        saveGamepadSettings(chosen);
        saveReconnectLastDevice(dialog->reconnectLastDevice());
        console_->setReconnectsLastDevice(autoReconnect_ || dialog->reconnectLastDevice());
        saveAllowUnsignedFirmware(dialog->allowUnsignedFirmware());
        applyTrustPolicy();
    });
    openOverWindow(*dialog, window_.get());
}

Application::~Application() {
    stopRecording();
    closeRecording();
    // The session ends here, not on a worker once the console has gone: what its exchange thread
    // does last (its link-end observers log and post to the main queue) must not meet the
    // process's exit after main() returns.
    if (const auto& session = console_->vehicleInterface()) disconnectAndWait(*session, std::chrono::seconds(1));
    // The host and the controllers hold each other; the console goes first, stopping its timers.
    host_->releaseControllers();
    console_.reset();
    master_.reset();
    MainTimerDriver::install(nullptr);
}

void Application::show() {
    master_->viewWillAppear();
    console_->viewWillAppear();
    window_->show();
    master_->viewDidAppear();
    console_->viewDidAppear();
    // The inspector's cells are made as it appears.
    window_->applyTabOrder();
}

QtPopupButton& Application::devicesPopupButton() const {
    return static_cast<QtPopupButton&>(*windowController_->devicesPopupButton);
}

QtPopupButton& Application::gamepadsPopupButton() const {
    return static_cast<QtPopupButton&>(*windowController_->gamepadsPopupButton);
}

}  // namespace orvane
