#include "qt/ConsoleCommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QUrl>
#include <array>

#include "orvane/OrvaneVersion.h"

namespace orvane {

namespace {

const QString kProgram = QStringLiteral("orvane-console");
const QStringList kPanelNames{"log", "traffic", "plots"};

ConsoleCommandLine failure(const QString& message) {
    ConsoleCommandLine result;
    result.outcome = ConsoleCommandLine::Outcome::Error;
    result.text = kProgram + ": " + message + " (see " + kProgram + " --help)";
    return result;
}

// The option's value when it was given, else the environment variable's when it is set and not
// empty. `source` names where the value came from, for error messages.
std::optional<QString> valueOf(const QCommandLineParser& parser, const QCommandLineOption& option,
                               const QProcessEnvironment& environment, const char* variable, QString& source) {
    if (parser.isSet(option)) {
        source = "--" + option.names().constLast();
        return parser.value(option);
    }
    const QString value = environment.value(QString::fromLatin1(variable));
    if (value.isEmpty()) return std::nullopt;
    source = QString::fromLatin1(variable);
    return value;
}

}  // namespace

ConsoleCommandLine parseConsoleCommandLine(const QStringList& arguments, const QProcessEnvironment& environment) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Configurator and test console for the Orvane USB vehicle interface device: lists the serial devices, "
        "connects to the one chosen, shows its telemetry, drives its control requests from a gamepad or the "
        "sliders, and keeps its firmware current. Given a RECORDING (a CSV file the console or orvane-monitor --csv "
        "recorded), it opens it at start and shows it in place of the live console, with a timeline to play it "
        "(Space), step through it message by message (Left, Right) and jump in it.\n\nWithout --firmware-endpoint it "
        "checks " ORVANE_FIRMWARE_ENDPOINT ".");
    // Qt's window-system options are single-dash words; read "-abc" as the option "abc", not as -a -b -c.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({"h", "help"}, "Print this help and exit.");
    const QCommandLineOption version({"v", "version"}, "Print the program's version and exit.");
    const QCommandLineOption deviceDirectory(
        {"d", "device-dir"},
        "List the serial devices in DIR instead of /dev/ (environment: ORVANE_DEVICE_DIR). Only names that "
        "begin with ttyACM, ttyUSB or cu.usb are listed.",
        "DIR");
    const QCommandLineOption firmwareEndpoint(
        {"e", "firmware-endpoint"},
        "Check for firmware updates at URL, the http or https address of the firmware-information document "
        "(environment: ORVANE_FIRMWARE_ENDPOINT).",
        "URL");
    const QCommandLineOption connect({"c", "connect"},
                                     "Connect to DEVICE (a path such as /dev/ttyACM0) once the device scan lists it, "
                                     "within 10 s of start (environment: ORVANE_AUTOCONNECT).",
                                     "DEVICE");
    const QCommandLineOption panels({"p", "panels"},
                                    "Show the panels in LIST at start, a comma-separated list of log, traffic and "
                                    "plots, or none; without it the panels of the last run are shown (environment: "
                                    "ORVANE_PANELS).",
                                    "LIST");
    const QCommandLineOption trustedKey(
        "trusted-key",
        "Trust firmware descriptions signed with the minisign public key in FILE, besides the keys in "
        "/etc/orvane-console/trusted-keys.d/ and $XDG_CONFIG_HOME/orvane-console/trusted-keys.d/ (repeatable).",
        "FILE");
    const QCommandLineOption record("record",
                                    "Record every message the device sends to FILE (CSV, created or emptied) from the "
                                    "start, as File > Start Recording does; the recording goes on across link ends and "
                                    "reconnections. A FILE that cannot be written ends the console with status 2.",
                                    "FILE");
    const QCommandLineOption autoReconnect(
        "auto-reconnect",
        "Connect the device last connected again whenever it appears while nothing is connected, as the setting "
        "\"Reconnect to the last device\" does, for this run.");
    parser.addOptions(
        {help, version, deviceDirectory, firmwareEndpoint, connect, panels, trustedKey, record, autoReconnect});
    parser.addPositionalArgument("RECORDING", "A recording to open at start.", "[RECORDING]");

    // Qt's own options, which QApplication takes out of argv after this parse.
    for (const char* name : {"platform", "platformtheme", "style", "stylesheet", "display", "qwindowgeometry"}) {
        QCommandLineOption qtOption(QString::fromLatin1(name), QString(), "value");
        qtOption.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(qtOption);
    }
    QCommandLineOption reverse("reverse");
    reverse.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(reverse);

    if (!parser.parse(arguments)) return failure(parser.errorText());
    if (parser.positionalArguments().size() > 1) {
        return failure(
            QString("unexpected argument '%1'; one recording at most.").arg(parser.positionalArguments().at(1)));
    }

    ConsoleCommandLine result;
    if (parser.isSet(help)) {
        result.outcome = ConsoleCommandLine::Outcome::Help;
        // The usage line names the program as installed, whatever path it was started by (and Qt
        // knows no name at all before the QApplication exists).
        result.text = parser.helpText();
        result.text = "Usage: " + kProgram + result.text.mid(result.text.indexOf(" [options]"));
        result.text +=
            "\nSignals:\n"
            "  SIGTERM, SIGINT (Ctrl+C) and SIGHUP (the terminal closed) close the console as closing its window\n"
            "  does: a running maneuver suite is aborted, naming the signal, both control requests are set to 0\n"
            "  and a request of 0 is sent to the device before its port is closed, and a recording is closed.\n"
            "  The console then exits with status 0. While a firmware update is being written, the first signal\n"
            "  lets it finish: the console says so and quits once the update has ended; a second signal quits\n"
            "  at once.\n";
        return result;
    }
    if (parser.isSet(version)) {
        result.outcome = ConsoleCommandLine::Outcome::Version;
        result.text = kProgram + " " + ORVANE_PACKAGE_VERSION + "\n";
        return result;
    }

    QString source;
    if (auto directory = valueOf(parser, deviceDirectory, environment, "ORVANE_DEVICE_DIR", source)) {
        if (directory->isEmpty()) return failure(source + " names no directory.");
        result.deviceDirectory = directory->toStdString();
    }

    result.firmwareEndpoint = ORVANE_FIRMWARE_ENDPOINT;
    if (auto endpoint = valueOf(parser, firmwareEndpoint, environment, "ORVANE_FIRMWARE_ENDPOINT", source)) {
        const QUrl url(*endpoint, QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https") || url.host().isEmpty()) {
            return failure(QString("%1: '%2' is not an http or https address.").arg(source, *endpoint));
        }
        result.firmwareEndpoint = endpoint->toStdString();
    }

    if (auto device = valueOf(parser, connect, environment, "ORVANE_AUTOCONNECT", source)) {
        if (device->isEmpty()) return failure(source + " names no device.");
        result.connectDevice = device->toStdString();
    }

    if (auto list = valueOf(parser, panels, environment, "ORVANE_PANELS", source)) {
        QStringList chosen;
        const QStringList names = list->split(',', Qt::SkipEmptyParts);
        for (QString name : names) {
            name = name.trimmed().toLower();
            if (name == "plot") name = "plots";
            if (name == "none" && names.size() == 1) break;  // none alone: every panel closed
            if (!kPanelNames.contains(name)) {
                return failure(
                    QString("%1: unknown panel '%2' (log, traffic, plots, or none alone).").arg(source, name));
            }
            if (!chosen.contains(name)) chosen << name;
        }
        result.panels = chosen;
    }
    if (!parser.positionalArguments().isEmpty()) {
        const QString recording = parser.positionalArguments().constFirst();
        if (recording.isEmpty()) return failure("the recording's name is empty.");
        result.recording = recording.toStdString();
    }
    if (parser.isSet(record)) {
        if (parser.value(record).isEmpty()) return failure("--record names no file.");
        result.recordPath = parser.value(record).toStdString();
    }
    result.autoReconnect = parser.isSet(autoReconnect);
    for (const QString& file : parser.values(trustedKey)) {
        if (file.isEmpty()) return failure("--trusted-key names no file.");
        result.trustedKeys.push_back(file.toStdString());
    }
    return result;
}

}  // namespace orvane
