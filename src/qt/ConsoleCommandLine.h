#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// What the console's command line asks for. Each option falls back to an environment variable
// that does the same (named in --help), then to its default. Parsing needs no window system, so
// --help, --version and a bad option are answered before the window system is opened.
struct ConsoleCommandLine {
    enum class Outcome {
        Run,      // start the console with the settings below
        Help,     // print text to standard output and exit 0
        Version,  // print text to standard output and exit 0
        Error,    // print text (one line) to standard error and exit 2
    };
    Outcome outcome = Outcome::Run;
    QString text;

    std::string deviceDirectory = "/dev/";
    std::string firmwareEndpoint;              // the built-in one unless one was given
    std::optional<std::string> connectDevice;  // selected and connected once the scan lists it
    std::optional<QStringList> panels;         // the panels to show at start ("log", "traffic", "plots"); empty:
                                               // none; absent: the ones kept from the last run
    std::optional<std::string> recording;      // a recording to open at start, in place of the live console
    std::vector<std::string> trustedKeys;      // --trusted-key FILEs, beside the key folders
    std::optional<std::string> recordPath;     // --record: recorded to from the start
    bool autoReconnect = false;                // --auto-reconnect: the last device is followed, for this run
};

// The program's own arguments (the first is the program's name), with the environment for the
// fallbacks. Qt's own window-system options (-platform, -style, ...) are accepted and left for
// QApplication, which takes them out of argv.
ConsoleCommandLine parseConsoleCommandLine(const QStringList& arguments, const QProcessEnvironment& environment);

}  // namespace orvane
