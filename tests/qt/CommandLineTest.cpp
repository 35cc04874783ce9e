// The console's command line: options, their environment fallbacks, and what is refused.

#include <QDockWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "qt/ConsoleCommandLine.h"
#include "tests/qt/AppHarness.h"

namespace orvane {
namespace {

using Outcome = ConsoleCommandLine::Outcome;
using testing::waitFor;

TEST(ConsoleCommandLine, OptionsWinOverTheEnvironmentAndBadValuesAreRefused) {
    struct Case {
        QStringList arguments;
        QStringList environment;  // NAME=value
        Outcome outcome;
        std::string deviceDirectory = "/dev/";
        std::string firmwareEndpoint = ORVANE_FIRMWARE_ENDPOINT;
        std::optional<std::string> connectDevice;
        std::optional<QStringList> panels;
        QString textContains;
        std::optional<std::string> recording;
        std::optional<std::string> recordPath;
        bool autoReconnect = false;
    };
    const std::vector<Case> cases{
        {{}, {}, Outcome::Run},
        {{"--device-dir", "/tmp/devs", "--firmware-endpoint", "http://127.0.0.1:8080/latest.json", "--connect",
          "/tmp/devs/ttyACM0", "--panels", "traffic,Plot"},
         {},
         Outcome::Run,
         "/tmp/devs",
         "http://127.0.0.1:8080/latest.json",
         "/tmp/devs/ttyACM0",
         QStringList{"traffic", "plots"}},
        {{"-d", "/a", "-e", "https://example.org/f.json", "-c", "/a/ttyUSB0", "-p", "none"},
         {},
         Outcome::Run,
         "/a",
         "https://example.org/f.json",
         "/a/ttyUSB0",
         QStringList{}},
        // Each variable stands in for its option; an empty one is not set; the option wins.
        {{},
         {"ORVANE_DEVICE_DIR=/env", "ORVANE_FIRMWARE_ENDPOINT=http://localhost:1/x.json",
          "ORVANE_AUTOCONNECT=/env/ttyACM1", "ORVANE_PANELS=log"},
         Outcome::Run,
         "/env",
         "http://localhost:1/x.json",
         "/env/ttyACM1",
         QStringList{"log"}},
        {{"--device-dir=/opt"},
         {"ORVANE_DEVICE_DIR=/env", "ORVANE_PANELS=", "ORVANE_AUTOCONNECT="},
         Outcome::Run,
         "/opt"},
        // Qt's own options are left for QApplication.
        {{"-platform", "offscreen", "--style", "Fusion", "-reverse"}, {}, Outcome::Run},
        {{"--help"},
         {"ORVANE_PANELS=bogus"},
         Outcome::Help,
         "/dev/",
         ORVANE_FIRMWARE_ENDPOINT,
         {},
         {},
         "ORVANE_AUTOCONNECT"},
        {{"-h"}, {}, Outcome::Help, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "Usage: orvane-console [options]"},
        {{"--version"}, {}, Outcome::Version, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "orvane-console 0."},
        {{"--frobnicate"}, {}, Outcome::Error, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "'frobnicate'"},
        {{"-xyz"}, {}, Outcome::Error, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "'xyz'"},
        {{"--device-dir"}, {}, Outcome::Error, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "device-dir"},
        {{"--device-dir", ""}, {}, Outcome::Error, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "no directory"},
        // One recording may be named, to open at start.
        {{"recording.csv", "-p", "plots"},
         {},
         Outcome::Run,
         "/dev/",
         ORVANE_FIRMWARE_ENDPOINT,
         {},
         QStringList{"plots"},
         "",
         "recording.csv"},
        // A recording made from the start, and reconnecting for this run.
        {{"--record", "run.csv", "--auto-reconnect"},
         {},
         Outcome::Run,
         "/dev/",
         ORVANE_FIRMWARE_ENDPOINT,
         {},
         {},
         "",
         {},
         "run.csv",
         true},
        {{"--record", ""}, {}, Outcome::Error, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "--record names no file"},
        {{"a.csv", "b.csv"}, {}, Outcome::Error, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "'b.csv'"},
        {{"--help"}, {}, Outcome::Help, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "[RECORDING]"},
        {{"--panels", "log,chart"}, {}, Outcome::Error, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "'chart'"},
        {{"--panels", "none,log"}, {}, Outcome::Error, "/dev/", ORVANE_FIRMWARE_ENDPOINT, {}, {}, "'none'"},
        {{},
         {"ORVANE_PANELS=traffic,graphs"},
         Outcome::Error,
         "/dev/",
         ORVANE_FIRMWARE_ENDPOINT,
         {},
         {},
         "ORVANE_PANELS: unknown panel 'graphs'"},
        {{"-e", "ftp://example.org/f.json"},
         {},
         Outcome::Error,
         "/dev/",
         ORVANE_FIRMWARE_ENDPOINT,
         {},
         {},
         "--firmware-endpoint: 'ftp://example.org/f.json'"},
        {{},
         {"ORVANE_FIRMWARE_ENDPOINT=not a url"},
         Outcome::Error,
         "/dev/",
         ORVANE_FIRMWARE_ENDPOINT,
         {},
         {},
         "ORVANE_FIRMWARE_ENDPOINT: 'not a url'"},
    };
    for (const auto& c : cases) {
        QProcessEnvironment environment;
        for (const QString& entry : c.environment) {
            environment.insert(entry.section('=', 0, 0), entry.section('=', 1));
        }
        const auto result = parseConsoleCommandLine(QStringList{"orvane-console"} + c.arguments, environment);
        const std::string label = (c.arguments + c.environment).join(' ').toStdString();
        ASSERT_EQ(result.outcome, c.outcome) << label << ": " << result.text.toStdString();
        EXPECT_TRUE(result.text.contains(c.textContains)) << label << ": " << result.text.toStdString();
        if (c.outcome == Outcome::Error) {
            EXPECT_FALSE(result.text.trimmed().contains('\n')) << label;
            EXPECT_TRUE(result.text.startsWith("orvane-console: ")) << label;
        }
        if (c.outcome != Outcome::Run) continue;
        EXPECT_EQ(result.deviceDirectory, c.deviceDirectory) << label;
        EXPECT_EQ(result.firmwareEndpoint, c.firmwareEndpoint) << label;
        EXPECT_EQ(result.connectDevice, c.connectDevice) << label;
        EXPECT_EQ(result.recording, c.recording) << label;
        EXPECT_EQ(result.recordPath, c.recordPath) << label;
        EXPECT_EQ(result.autoReconnect, c.autoReconnect) << label;
        EXPECT_EQ(result.panels.has_value(), c.panels.has_value()) << label;
        EXPECT_EQ(result.panels.value_or(QStringList{}).join(','), c.panels.value_or(QStringList{}).join(',')) << label;
    }
}

TEST(ConsoleCommandLine, TheChosenPanelsAreShownAndTheChosenDeviceIsSelectedOnceListed) {
    testing::ScratchDirectory devices;
    Application::Options options;
    options.deviceDirectory = devices.path().string();
    options.gamepadSource = std::make_shared<testing::ScriptedGamepadSource>();
    options.panels = QStringList{"traffic"};
    Application app(options);
    app.show();
    (void)QTest::qWaitForWindowExposed(&app.window());

    QStringList shown;
    for (auto* panel : app.window().findChildren<QDockWidget*>()) {
        if (panel->isVisible()) shown << panel->objectName();
    }
    EXPECT_EQ(shown.join(','), "trafficPanel");

    // The device appears after start; it is chosen once the scan lists it.
    const std::string path = (devices.path() / "ttyACM7").string();
    app.connectWhenListed(path);
    auto* poll = app.window().findChild<QTimer*>("connectWhenListed");
    ASSERT_NE(poll, nullptr);
    QSignalSpy looked(poll, &QTimer::timeout);
    ASSERT_TRUE(waitFor([&] { return looked.count() >= 2; }));
    EXPECT_FALSE(app.console()->selectedDevice().has_value());
    devices.touch("ttyACM7");
    EXPECT_TRUE(waitFor([&] { return app.console()->selectedDevice() == path; }));
}

}  // namespace
}  // namespace orvane
