#include <QApplication>
#include <QLocale>
#include <QProcessEnvironment>
#include <QStyle>
#include <cstdio>
#include <memory>
#include <system_error>

#include "qt/AccessibleNaming.h"
#include "qt/Application.h"
#include "qt/Artwork.h"
#include "qt/ConsoleCommandLine.h"
#include "qt/DemoAids.h"
#include "qt/FocusRingStyle.h"
#include "qt/QtLogSink.h"
#include "qt/TerminationSignals.h"
#include "qt/Translations.h"
#include "sdl/SdlGamepadSource.h"
#include "update/HalvernServerUpdateProvider.h"

int main(int argc, char** argv) {
    orvane::DemoAids::markStart();

    // The command line is read before the window system is opened, so that --help, --version and
    // a bad option work without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const auto commandLine = orvane::parseConsoleCommandLine(arguments, QProcessEnvironment::systemEnvironment());
    switch (commandLine.outcome) {
        case orvane::ConsoleCommandLine::Outcome::Help:
        case orvane::ConsoleCommandLine::Outcome::Version: std::fputs(qPrintable(commandLine.text), stdout); return 0;
        case orvane::ConsoleCommandLine::Outcome::Error:
            std::fprintf(stderr, "%s\n", qPrintable(commandLine.text));
            return 2;
        case orvane::ConsoleCommandLine::Outcome::Run: break;
    }

    QApplication application(argc, argv);
    // The platform's style, with a focus ring plain to see.
    QApplication::setStyle(new orvane::FocusRingStyle(QApplication::style()->name()));
    orvane::AccessibleNaming::install();
    QApplication::setApplicationName("orvane-console");
    QApplication::setApplicationDisplayName("Orvane Console");
    QApplication::setOrganizationName("Orvane");
    QGuiApplication::setDesktopFileName("orvane-console");
    // German or English, from the settings or the desktop's locale (LANG), before any text is made.
    orvane::Translations::install(orvane::Translations::chooseLanguage(orvane::Translations::loadSetting(),
                                                                       QLocale::system().uiLanguages()));
    QApplication::setWindowIcon(orvane::Artwork::applicationIcon());
    // Watched from here on; a signal that comes while the window is being built waits its turn.
    orvane::TerminationSignals terminationSignals;

    orvane::setLogSink(std::make_shared<orvane::QtLogSink>());
    auto gamepads = std::make_shared<orvane::SdlGamepadSource>();

    orvane::Application::Options options;
    options.deviceDirectory = commandLine.deviceDirectory;
    options.gamepadSource = gamepads;
    options.updateProvider = std::make_shared<orvane::HalvernServerUpdateProvider>(commandLine.firmwareEndpoint);
    options.panels = commandLine.panels;
    options.trustedKeyFiles = commandLine.trustedKeys;
    options.autoReconnect = commandLine.autoReconnect;

    orvane::Application console(options);
    terminationSignals.setHandler([&console](int number) { console.endOnSignal(number); });
    orvane::DemoAids::install(console);
    if (commandLine.connectDevice) console.connectWhenListed(*commandLine.connectDevice);
    // A recording asked for on the command line is there from the first message, or the console
    // does not start: it never records nowhere in silence.
    if (commandLine.recordPath) {
        try {
            console.startRecording(*commandLine.recordPath);
        } catch (const std::system_error& error) {
            std::fprintf(stderr, "orvane-console: cannot record to %s: %s\n", commandLine.recordPath->c_str(),
                         error.what());
            return 2;
        }
    }
    console.show();
    if (commandLine.recording) console.openRecording(*commandLine.recording);
    return QApplication::exec();
}
