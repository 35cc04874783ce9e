// orvane-monitor: connects to the device, drives the exchange with fixed request magnitudes,
// and prints the session's telemetry as one JSON object per line after each message is read
// and decoded. With --csv FILE it also records one CSV row per message to FILE, in the columns
// the console's recordings have. With --replay FILE it prints a recording's rows as the same JSON
// lines instead, without a device, or with --mcap OUT writes them to an MCAP file. With
// --maneuvers FILE it runs a maneuver suite on the device instead of fixed requests
// (ManeuverMode.h).
//
// Exit status: 0 after --count messages or on SIGINT/SIGTERM, once a request with both magnitudes
// 0 has been written to the device; 2 when the link ends (its cause is printed on standard error),
// also before that request of 0, or an option is bad; 1 when the connection cannot be made or the
// CSV file not written. --replay: 0, or 2 when the file is not a readable recording (1 when the
// --mcap file cannot be written). --maneuvers: 0 when the suite completed with its expectations
// met, 4 when it completed and one was not met, 3 when it was aborted, 2 for a bad maneuver or
// baseline file, 1 when the device cannot be used or a file not written.

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <variant>

#include <nlohmann/json.hpp>

#include "ManeuverMode.h"
#include "StopSignals.h"
#include "ToolOptions.h"
#include "console/SessionEnd.h"
#include "device/DeviceSerialInterface.h"
#include "device/McapWriter.h"
#include "device/Recording.h"
#include "device/TelemetryRecorder.h"
#include "device/ValueSyntax.h"
#include "platform/Log.h"

namespace {

using orvane::DeviceReport;
using orvane::DeviceTelemetry;
using Json = nlohmann::ordered_json;

struct Options {
    double lateral = 0;
    double longitudinal = 0;
    std::optional<std::int64_t> count;
    std::string csvPath;
    std::string path;
    std::string replayPath;
    std::string mcapPath;
    std::optional<double> speed;
    std::string maneuverPath;
    std::string reportPath;
    std::string junitPath;
    std::string metricsPath;
    std::string baselinePath;
};

using orvane::tools::gStopSignal;

void installStopHandlers() {
    orvane::tools::installStopHandlers();
    // Until the session's and the recorder's threads have started; see setStopSignalsBlocked().
    orvane::monitor::setStopSignalsBlocked(true);
}

// A number in the device protocol's syntax (C locale) that `accepts` takes, described as `what`;
// CLI11's own conversion would also take "nan" and the current locale's decimal point.
template <typename Accepts>
CLI::Validator number(Accepts accepts, const std::string& what) {
    return CLI::Validator(
        [=](std::string& text) {
            const auto value = orvane::parseNumber(text);
            if (value && std::isfinite(*value) && accepts(*value)) return std::string();
            return "'" + text + "' is not " + what;
        },
        "");
}

const CLI::Validator kMagnitude = number([](double v) { return v >= -1 && v <= 1; }, "a number from -1 to 1");
const CLI::Validator kCount = orvane::tools::wholeNumberFrom(1);
using orvane::tools::kNamesAFile;

// The command line, or the exit status to end with at once.
std::variant<Options, int> parseOptions(int argc, char** argv) {
    Options options;
    CLI::App app{
        "Connects to the Orvane vehicle interface at PATH, sends it fixed lateral and longitudinal control "
        "requests, and prints its telemetry as one JSON object per line after each message. With --replay it "
        "prints a recording's rows as the same lines instead, without a device.\n\n"
        "After --count messages, and on Ctrl+C (SIGINT) or SIGTERM, it sets both requests to 0 and exits 0 once a "
        "request of 0 has been written to the device; with --maneuvers a signal aborts the suite, which also leaves "
        "both requests at 0 (exit status 3).\n\n"
        "A maneuver file (--maneuvers) is a JSON suite of steps, ramps, sines and point lists with their limits; "
        "its format, with the sign of the requests, is described in /usr/share/doc/orvane-console/maneuvers.md "
        "(docs/maneuvers.md in the source), and an example suite is in "
        "/usr/share/doc/orvane-console/examples/steering-steps.json.\n\n"
        "Exit status: 0 after --count messages or a stop by Ctrl+C or SIGTERM, 2 when the link ends (also before a "
        "request of 0 went out) or an option is bad, 1 when the connection cannot be made or the CSV file not "
        "written; with --replay 0, or 2 when FILE is not a readable recording (1 when the --mcap file cannot be "
        "written). With --maneuvers: 0 when the suite "
        "completed with every expectation met, 4 when it completed and an expectation was not met, 3 when it was "
        "aborted (also by SIGINT or SIGTERM), 2 for a bad maneuver or baseline file, 1 when the device cannot be "
        "used or a file not written."};
    orvane::tools::describeTool(app, "orvane-monitor");
    auto* lateral =
        app.add_option("--lat", options.lateral, "Lateral request magnitude X, -1 to 1, positive clockwise (default 0)")
            ->type_name("X")
            ->check(kMagnitude);
    auto* longitudinal =
        app.add_option("--long", options.longitudinal,
                       "Longitudinal request magnitude Y, -1 to 1, positive engine, negative brake (default 0)")
            ->type_name("Y")
            ->check(kMagnitude);
    auto* count = app.add_option("--count", options.count, "Stop after N messages (default: run until the link ends)")
                      ->type_name("N")
                      ->check(kCount);
    auto* csv = app.add_option("--csv", options.csvPath,
                               "Also record one CSV row per message to FILE (created or emptied; written at least "
                               "every 250 ms), with a header row; the JSON lines still go to standard output")
                    ->type_name("FILE")
                    ->check(kNamesAFile);
    auto* path = app.add_option("PATH", options.path, "The device, for example /dev/ttyACM0")->type_name("");
    auto* replay =
        app.add_option(
               "--replay", options.replayPath,
               "Print the rows of a recording (a --csv file or the console's) as the JSON lines, "
               "as fast as they can be written, instead of connecting (not with PATH, --lat, --long, --count or --csv)")
            ->type_name("FILE")
            ->check(kNamesAFile)
            ->excludes(lateral, longitudinal, count, csv, path);
    auto* maneuvers =
        app.add_option("--maneuvers", options.maneuverPath,
                       "Run the maneuver suite in FILE on the device instead of fixed requests, printing one line "
                       "per repeat as its run ends (not with --lat, --long, --count or --replay); with --csv the "
                       "rows name the maneuver and repeat they were recorded in")
            ->type_name("FILE")
            ->check(kNamesAFile)
            ->excludes(lateral, longitudinal, count, replay);
    app.add_option("--report", options.reportPath, "With --maneuvers: write the run's HTML report to FILE")
        ->type_name("FILE")
        ->check(kNamesAFile)
        ->needs(maneuvers);
    app.add_option("--junit", options.junitPath,
                   "With --maneuvers: write the verdicts as JUnit XML to FILE, one test case per maneuver repeat")
        ->type_name("FILE")
        ->check(kNamesAFile)
        ->needs(maneuvers);
    app.add_option("--metrics", options.metricsPath,
                   "With --maneuvers: write every repeat's metrics and verdict as JSON to FILE (a later run's "
                   "--baseline)")
        ->type_name("FILE")
        ->check(kNamesAFile)
        ->needs(maneuvers);
    app.add_option("--baseline", options.baselinePath,
                   "With --maneuvers: compare each metric with the same repeat in FILE, a --metrics file of the same "
                   "suite; an expectation's \"tolerance\" fails a repeat worse than it by more than that")
        ->type_name("FILE")
        ->check(kNamesAFile)
        ->needs(maneuvers);
    auto* speed = app.add_option("--speed", options.speed,
                                 "With --replay: at the pace of the recording's times, X times as fast (X above 0)")
                      ->type_name("X")
                      ->check(number([](double v) { return v > 0; }, "a number above 0"))
                      ->needs(replay);
    app.add_option("--mcap", options.mcapPath,
                   "With --replay: write the rows to the MCAP file OUT (zstd chunks, JSON messages on /steering, "
                   "/state, /statistics, /device-info, /control and /maneuver) instead of printing them (not with "
                   "--speed)")
        ->type_name("OUT")
        ->check(kNamesAFile)
        ->needs(replay)
        ->excludes(speed);
    if (auto status = orvane::tools::parseToolOptions(app, argc, argv)) return *status;
    if (options.replayPath.empty() && options.path.empty()) {
        return orvane::tools::usageError(app, "PATH is required, or --replay FILE");
    }
    return options;
}

// JSON has no nan or infinity: those print as the strings "nan", "inf" and "-inf".
Json number(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    return value;
}

Json telemetryLine(const DeviceTelemetry& telemetry, bool isConnected, const std::string& message) {
    Json counts = Json::object();
    for (const auto& [channel, received] : telemetry.receivedMessageCountsByChannel) {
        counts[std::to_string(channel)] = received;
    }
    Json line;
    line["steeringWheelAngle"] = number(telemetry.steeringWheelAngle);
    line["parkTOI"] = orvane::caseName(telemetry.parkTOI);
    line["halfTOI"] = orvane::caseName(telemetry.halfTOI);
    line["steeringAssistanceTorque"] = number(telemetry.steeringAssistanceTorque);
    line["steeringDriverTorque"] = number(telemetry.steeringDriverTorque);
    line["version"] = telemetry.version ? Json(telemetry.version->description()) : Json(nullptr);
    line["buildDate"] = telemetry.buildDate ? Json(orvane::internetDateTimeText(*telemetry.buildDate)) : Json(nullptr);
    line["serialNumber"] = telemetry.serialNumber;
    line["lateralControlMethod"] = orvane::methodText(telemetry.lateralControlMethod);
    line["longitudinalControlMethod"] = orvane::methodText(telemetry.longitudinalControlMethod);
    line["receivedMessageCountsByChannel"] = counts;
    line["isConnected"] = isConnected;
    line["message"] = message;
    return line;
}

// The recording in FILE, its warning (a last row cut off) on standard error; none, with the reason
// there, when it is not a readable recording.
std::optional<orvane::Recording> openRecording(const std::string& file) {
    std::optional<orvane::Recording> recording;
    try {
        recording.emplace(orvane::Recording::open(file));
    } catch (const orvane::RecordingError& error) {
        std::fprintf(stderr, "orvane-monitor: %s\n", error.what());
        return std::nullopt;
    }
    if (const auto& warning = recording->warning()) std::fprintf(stderr, "orvane-monitor: %s\n", warning->c_str());
    return recording;
}

// --replay FILE --mcap OUT: the recording's rows as an MCAP file, put in place whole or not at all.
int exportMcap(const std::string& file, const std::string& out) {
    std::optional<orvane::Recording> recording = openRecording(file);
    if (!recording) return 2;
    try {
        orvane::exportRecordingAsMcap(*recording, out, "orvane-monitor " ORVANE_PACKAGE_VERSION);
    } catch (const orvane::McapError& error) {
        std::fprintf(stderr, "orvane-monitor: %s\n", error.what());
        return 1;
    }
    return 0;
}

// --replay FILE [--speed X]: the recording's rows as the JSON lines a live run would have printed
// for them. Every row was recorded while connected. A value the recording does not give (its
// column is missing or its field empty) prints as null.
int replay(const std::string& file, std::optional<double> speed) {
    using F = orvane::RecordingField;
    std::optional<orvane::Recording> recording = openRecording(file);
    if (!recording) return 2;

    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < recording->size(); ++i) {
        const auto entry = recording->entry(i);
        if (speed) {
            // At most about 30 years ahead, so the conversion to clock ticks cannot overflow.
            const std::chrono::duration<double> offset(std::min((entry.time - recording->time(0)) / *speed, 1e9));
            std::this_thread::sleep_until(start + std::chrono::duration_cast<std::chrono::nanoseconds>(offset));
        }
        Json line = telemetryLine(entry.telemetry, true, entry.message);
        for (auto field :
             {F::steeringWheelAngle, F::steeringAssistanceTorque, F::steeringDriverTorque, F::serialNumber}) {
            if (!entry.known(field)) line[orvane::columnName(field)] = nullptr;
        }
        const std::string text = line.dump(-1, ' ', false, Json::error_handler_t::replace);
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fputc('\n', stdout);
        if (speed) std::fflush(stdout);
    }
    std::fflush(stdout);
    return 0;
}

// The log's entries as lines on standard error, without decoration.
class StandardErrorLog : public orvane::LogSink {
public:
    void write(std::string_view, orvane::LogLevel, std::string_view message) override {
        std::string line(message);
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
};

}  // namespace

int main(int argc, char** argv) {
    auto parsed = parseOptions(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    const Options& options = std::get<Options>(parsed);
    if (!options.mcapPath.empty()) return exportMcap(options.replayPath, options.mcapPath);
    if (!options.replayPath.empty()) return replay(options.replayPath, options.speed);
    // Ctrl+C and SIGTERM end the run through its normal shutdown, so the recording keeps its last rows
    // and a maneuver suite leaves the requests at 0.
    installStopHandlers();
    if (!options.maneuverPath.empty()) {
        orvane::setLogSink(std::make_shared<StandardErrorLog>());
        return orvane::monitor::runManeuverMode(
            {options.path, options.maneuverPath, options.csvPath, options.reportPath, options.junitPath,
             options.metricsPath, options.baselinePath},
            gStopSignal);
    }

    // What main shares with the session's observers. They hold it, so it lives as long as any of
    // them might still run, even if the loop were to outlast main's wait for its end below.
    struct Run {
        Options options;
        std::unique_ptr<orvane::TelemetryRecorder> recorder;
        std::mutex mutex;
        std::condition_variable changed;
        std::int64_t printed = 0;
        bool done = false;
        // The exchange loop has ended: it calls no observer after this.
        bool loopEnded = false;
    };
    auto run = std::make_shared<Run>();
    run->options = options;
    if (!options.csvPath.empty()) {
        try {
            run->recorder = std::make_unique<orvane::TelemetryRecorder>(options.csvPath);
        } catch (const std::system_error& error) {
            std::fprintf(stderr, "orvane-monitor: %s\n", error.what());
            return 1;
        }
    }
    // The session logs messages it does not know; they go to standard error.
    orvane::setLogSink(std::make_shared<StandardErrorLog>());

    auto session = std::make_shared<orvane::DeviceSerialInterface>(options.path);
    session->setRequestLateralControlMagntiude(options.lateral);
    session->setRequestLongitudinalControlMagntiude(options.longitudinal);

    std::weak_ptr<orvane::DeviceSerialInterface> weakSession = session;
    // Runs on the exchange thread, after each message was read and decoded.
    session->addMessageObserver([run, weakSession](const DeviceReport& message, const DeviceTelemetry& telemetry) {
        auto current = weakSession.lock();
        std::lock_guard lock(run->mutex);
        if (run->done || !current) return;
        // Messages a device sends are 7-bit text; replace anything else rather than fail.
        std::string line = telemetryLine(telemetry, current->isConnected(), message.name)
                               .dump(-1, ' ', false, Json::error_handler_t::replace);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        // The recorder only queues the row: its own thread writes the file.
        if (run->recorder) {
            run->recorder->record(message, telemetry, run->options.lateral, run->options.longitudinal);
        }
        if (run->options.count && ++run->printed >= *run->options.count) {
            run->done = true;
            run->changed.notify_all();
        }
    });
    session->addLinkEndObserver([run](const orvane::LinkEnd&) {
        std::lock_guard lock(run->mutex);
        run->loopEnded = true;
        run->changed.notify_all();
    });

    try {
        session->connect();
    } catch (const orvane::PortError& error) {
        std::fprintf(stderr, "orvane-monitor: %s\n", error.localizedDescription().c_str());
        return 1;
    }
    orvane::monitor::setStopSignalsBlocked(false);

    int status = 0;
    {
        std::unique_lock lock(run->mutex);
        // The signal handler cannot wake the wait: look at its flag a few times a second.
        while (!run->changed.wait_for(lock, std::chrono::milliseconds(50),
                                      [&] { return run->done || run->loopEnded || gStopSignal.load() != 0; })) {}
        if (!run->done && gStopSignal.load() == 0) status = 2;
        run->done = true;
    }
    if (status == 0) {
        // After --count messages or a stop by the user, the device is left holding 0 on both
        // requests, not the last ones.
        if (!orvane::zeroRequestsAndWait(*session, std::chrono::seconds(5)) || !session->isConnected()) status = 2;
    }
    if (status == 2) {
        // Present once isConnected() has turned false.
        const auto end = session->linkEnd();
        std::fprintf(stderr, "orvane-monitor: the link to %s ended: %s\n", options.path.c_str(),
                     end ? end->detail.c_str() : "for a reason not known");
    }

    // Closing the port wakes the loop at once; once it has ended no observer runs any more.
    session->disconnect();
    {
        std::unique_lock lock(run->mutex);
        run->changed.wait_for(lock, std::chrono::seconds(10), [&] { return run->loopEnded; });
    }
    // Let the exchange loop let go of the session before the process ends.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (session.use_count() > 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (run->recorder) {
        run->recorder->close();
        if (const auto error = run->recorder->writeError()) {
            std::fprintf(stderr, "orvane-monitor: %s\n", error->c_str());
            return 1;
        }
    }
    return status;
}
