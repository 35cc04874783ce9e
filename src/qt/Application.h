#pragma once

#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Gamepad.h"

class QSocketNotifier;
class QTimer;

namespace orvane {

class BossacManager;
class Button;
class SessionTap;
class TelemetrySeries;
class DeviceUpdateProvider;
class MainWindow;
class MainWindowController;
class ManeuverControl;
class ManeuverRunControl;
class MasterViewController;
class QtPopupButton;
class QtViewHost;
class PlotPanel;
class RecordingControl;
class RecordingReplay;
class ReplayControl;
class ReplayTimeline;
class TrafficPanel;
class ViewController;

// The application's start-up on a running QApplication, in the order the controllers expect:
// 1. the main queue is bound to this (the GUI) thread and driven by Qt's event loop;
// 2. the main window with its MainWindowController and the two popups;
// 3. the MasterViewController, whose view embeds the inspector ("Embed Inspector") as it loads;
// 4. the console (which pumps the gamepad source on its control ticks), handed the popups, the inspector, the update provider and the flasher; made
//    the master's child and its view loaded (viewDidLoad). The popups send their actions to it.
// show() then runs viewWillAppear, shows the window and runs viewDidAppear.
class Application {
public:
    struct Options {
        std::string deviceDirectory = "/dev/";
        std::shared_ptr<GamepadSource> gamepadSource;
        std::shared_ptr<DeviceUpdateProvider> updateProvider;  // none: the built-in firmware endpoint's
        std::shared_ptr<BossacManager> bossac;                 // none: a flasher with the usual tool
        std::optional<QStringList> panels;         // the panels to show ("log", "traffic", "plots"); none: those kept
        std::vector<std::string> trustedKeyFiles;  // minisign public keys besides the key folders
        bool autoReconnect = false;                // reconnect the last device whatever the setting says
    };

    explicit Application(Options options);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    void show();
    // Selects and connects to the device at path once the device scan lists it, as if the user had
    // chosen it in the device popup; gives up with a message on standard error after 10 s.
    void connectWhenListed(const std::string& path);
    // The settings dialog; its choices take effect and are kept when it is accepted.
    void showSettings();
    // Recording of every received message into a CSV file. Starting throws std::system_error when
    // the file cannot be written.
    void startRecording(const std::string& path);
    void stopRecording();
    // Opens the recording at `path` in place of the live console (read on a worker; a bad file
    // is reported in an alert), and goes back to the live console.
    void openRecording(const std::string& path);
    void closeRecording();
    ReplayControl& replayControl() const { return *replayControl_; }
    ReplayTimeline& timeline() const { return *timeline_; }
    const std::shared_ptr<SessionTap>& sessionTap() const { return sessionTap_; }
    const std::shared_ptr<TelemetrySeries>& series() const { return series_; }
    // Test ▸ Run Maneuvers… and the maneuver panel.
    ManeuverRunControl& maneuverRun() const { return *maneuverRun_; }
    const std::shared_ptr<ManeuverControl>& maneuvers() const { return maneuvers_; }
    // Keeps the window's geometry, its panels and the last device (QSettings).
    void saveLayout() const;

    // How long the window's close waits for a request of 0 to go out before the session goes.
    static constexpr std::chrono::milliseconds kZeroRequestWait{1000};
    // Ends the console in answer to the signal `number` (SIGTERM, SIGINT, SIGHUP): closes the
    // window as its close button does (windowClosing() below), naming the signal as the
    // reason a running suite was aborted, and quits. While a firmware update is being written the
    // first signal only says that the console quits once the update has ended, and does so then;
    // another signal quits at once.
    void endOnSignal(int number);
    // A signal came during a firmware update and the console waits for it to end.
    bool isEndingAfterUpdate() const { return endAfterUpdate_ != nullptr; }

    MainWindow& window() const { return *window_; }
    QtViewHost& host() const { return *host_; }
    const std::shared_ptr<ViewController>& console() const { return console_; }
    const std::shared_ptr<MasterViewController>& master() const { return master_; }
    QtPopupButton& devicesPopupButton() const;
    QtPopupButton& gamepadsPopupButton() const;

private:
    // Reads the trusted keys and the unsigned-firmware setting into the update provider.
    void applyTrustPolicy();

    std::vector<std::string> trustedKeyFiles_;
    bool autoReconnect_ = false;
    QStringList trustedKeyIds_;  // shown in About
    std::shared_ptr<DeviceUpdateProvider> updateProvider_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<QSocketNotifier> mainQueueNotifier_;
    std::shared_ptr<QtViewHost> host_;
    std::shared_ptr<MainWindowController> windowController_;
    std::shared_ptr<MasterViewController> master_;
    std::shared_ptr<ViewController> console_;
    std::shared_ptr<SessionTap> sessionTap_;
    std::shared_ptr<TelemetrySeries> series_;
    std::shared_ptr<ManeuverControl> maneuvers_;
    RecordingControl* recording_ = nullptr;      // owned by the window
    ManeuverRunControl* maneuverRun_ = nullptr;  // owned by the window
    ReplayControl* replayControl_ = nullptr;     // owned by the window
    ReplayTimeline* timeline_ = nullptr;         // under the views, while a recording is shown
    PlotPanel* plots_ = nullptr;
    TrafficPanel* traffic_ = nullptr;

    // Closes the window, which runs windowClosing() with `reason`, and quits.
    void closeAndQuit(const std::string& reason);
    // What the window's close does before the window goes: aborts a running suite with
    // closeReason_, sets both requests to 0 and waits until a request of 0 went out (at most
    // kZeroRequestWait), and keeps the layout.
    void windowClosing();
    std::string closeReason_ = "the window was closed";
    QTimer* endAfterUpdate_ = nullptr;  // watches the update a signal waits for

    // Shows the replay in every view (the console, the plots, the traffic), or the live session.
    void showReplay(const std::shared_ptr<RecordingReplay>& replay);
    // Brings every shown view up to the telemetry now (after a jump of the playhead).
    void redrawViews();

    // The menu bar and the panels (ApplicationMenus.cpp).
    void buildMenus(const std::shared_ptr<Button>& connectionMenuItem, const std::shared_ptr<Button>& checkMenuItem);
    // Shows the panels named ("log", "traffic", "plots") and hides the others.
    void showOnlyPanels(const QStringList& names);
};

}  // namespace orvane
