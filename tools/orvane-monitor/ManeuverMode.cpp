#include "ManeuverMode.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "device/DeviceSerialInterface.h"
#include "device/NumberText.h"
#include "device/TelemetryRecorder.h"
#include "maneuver/ManeuverMetrics.h"
#include "maneuver/ManeuverReport.h"
#include "maneuver/ManeuverResults.h"
#include "maneuver/ManeuverRunner.h"
#include "maneuver/ManeuverSuite.h"
#include "update/FirmwareDownload.h"

namespace orvane::monitor {

namespace {

using namespace std::chrono_literals;

// How long a suite waits for the device's first report. Twice the session's read time-out: a
// first request or reply lost on the line, which the session asks again after a second of
// silence, does not end the run. A port silent for longer is no device that answers (the session
// then asks whether a bootloader does).
constexpr auto kFirstReportWait = 2s;

// What the main thread shares with the session's observers, which run on the exchange thread.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::unique_ptr<TelemetryRecorder> recorder;
    // The recording's maneuver and repeat columns: empty outside a run and its settle.
    std::vector<std::string> where{std::string(), std::string()};
    bool reported = false;  // a message has been read and decoded
    bool loopEnded = false;
};

// A metric's value and, against a baseline, its change: "0.260 s (+0.012)".
std::string withChange(const ManeuverRepeatResult& result, ResponseMetric metric, const std::optional<double>& value) {
    std::string text = metricText(metric, value);
    if (const auto& change = result.baselineChange[static_cast<std::size_t>(metric)]) {
        const std::string number = fixedText(*change, metricDigits(metric));
        text += " (" + (number.starts_with('-') ? "" : std::string("+")) + number + ")";
    }
    return text;
}

// "steer step 20%, repeat 1 of 3: completed, held -71.83 deg, delay 0.260 s, rise 0.310 s, overshoot 1.5 %;
// verdict passed"; "..., completed, not measured (150 of 150 wheel angles not plausible, left out); verdict
// none" when the device reported no angle a wheel can have. With a baseline each metric has its change
// against the baseline's in brackets; a failed verdict names what was expected.
std::string repeatLine(const ManeuverRunner& runner, const ManeuverRepeatRecord& record,
                       const ManeuverBaseline* baseline) {
    const Maneuver& maneuver = runner.suite().maneuvers.at(record.maneuver);
    std::string line = maneuver.name + ", repeat " + std::to_string(record.repeat + 1) + " of " +
                       std::to_string(maneuver.repeats) + ": " + (record.runCompleted ? "completed" : "aborted");
    const ManeuverRepeatResult result = evaluateRepeat(maneuver, record.maneuver, record.repeat, &record, baseline);
    if (const auto& repeat = result.metrics) {
        if (const auto& metrics = repeat->response) {
            for (ResponseMetric metric : kResponseMetrics) {
                if (!maneuverHasMetric(maneuver, metric)) continue;
                line += std::string(", ") + metricWord(metric) + " " +
                        withChange(result, metric, metricValue(*metrics, metric));
            }
        } else {
            line += ", not measured";
        }
        if (repeat->implausibleSamples > 0) {
            line += " (" + std::to_string(repeat->implausibleSamples) + " of " + std::to_string(repeat->runSamples) +
                    " wheel angles not plausible, left out)";
        }
    }
    line += std::string("; verdict ") + verdictName(result.verdict);
    if (!result.failures.empty()) {
        line += ":";
        for (std::size_t i = 0; i < result.failures.size(); ++i) {
            line += (i ? "; " : " ") + result.failures[i].text;
        }
    }
    return line;
}

// "steer step 20%, over 3 repeats: delay 0.152 s +- 0.004 (0.148 to 0.157), ..." for a maneuver
// measured more than once; empty otherwise.
std::string spreadLine(const Maneuver& maneuver,
                       const std::array<std::optional<MetricSpread>, kResponseMetrics.size()>& spread) {
    std::string line;
    for (ResponseMetric metric : kResponseMetrics) {
        const auto& s = spread[static_cast<std::size_t>(metric)];
        if (!s || s->count < 2) continue;
        const int digits = metricDigits(metric);
        line += std::string(line.empty() ? "" : ", ") + metricWord(metric) + " " + fixedText(s->mean, digits) + " +- " +
                fixedText(s->standardDeviation, digits) + " (" + fixedText(s->min, digits) + " to " +
                fixedText(s->max, digits) + ")" + metricUnit(metric);
    }
    if (line.empty()) return line;
    std::size_t count = 0;
    for (const auto& s : spread) count = std::max(count, s ? s->count : 0);
    return maneuver.name + ", over " + std::to_string(count) + " measured repeats: " + line;
}

std::string signalName(int signal) {
    if (signal == SIGINT) return "SIGINT";
    if (signal == SIGTERM) return "SIGTERM";
    return "signal " + std::to_string(signal);
}

}  // namespace

int runManeuverMode(const ManeuverModeOptions& options, const std::atomic<int>& stopSignal) {
    std::optional<ManeuverSuite> suite;
    std::string suiteSha256;
    std::optional<ManeuverBaseline> baseline;
    try {
        const std::string text = ManeuverSuite::readFileText(options.maneuverFile);
        suite.emplace(ManeuverSuite::fromJsonText(text));
        suiteSha256 = suite->fileSha256 = sha256Hex(text);
        if (!options.baselinePath.empty()) {
            baseline.emplace(ManeuverBaseline::fromFile(options.baselinePath));
            if (auto mismatch = baselineMismatch(*baseline, suiteSha256)) throw ManeuverFileError(*mismatch);
        }
    } catch (const ManeuverFileError& error) {
        std::fprintf(stderr, "orvane-monitor: %s\n", error.what());
        return kBadFile;
    }
    const ManeuverBaseline* against = baseline ? &*baseline : nullptr;

    auto shared = std::make_shared<Shared>();
    if (!options.csvPath.empty()) {
        try {
            shared->recorder =
                std::make_unique<TelemetryRecorder>(options.csvPath, std::vector<std::string>{"maneuver", "repeat"});
        } catch (const std::system_error& error) {
            std::fprintf(stderr, "orvane-monitor: %s\n", error.what());
            return kDeviceUnusable;
        }
    }

    auto session = std::make_shared<DeviceSerialInterface>(options.path);
    session->setRequestLateralControlMagntiude(0);
    session->setRequestLongitudinalControlMagntiude(0);
    std::weak_ptr<DeviceSerialInterface> weakSession = session;
    session->addMessageObserver([shared, weakSession](const DeviceReport& message, const DeviceTelemetry& telemetry) {
        auto current = weakSession.lock();
        std::lock_guard lock(shared->mutex);
        if (!shared->reported) {
            shared->reported = true;
            shared->changed.notify_all();
        }
        if (!current || !shared->recorder) return;
        shared->recorder->record(message, telemetry, current->requestLateralControlMagntiude(),
                                 current->requestLongitudinalControlMagntiude(), shared->where);
    });
    session->addLinkEndObserver([shared](const LinkEnd&) {
        std::lock_guard lock(shared->mutex);
        shared->loopEnded = true;
        shared->changed.notify_all();
    });

    try {
        session->connect();
    } catch (const PortError& error) {
        std::fprintf(stderr, "orvane-monitor: %s\n", error.localizedDescription().c_str());
        return kDeviceUnusable;
    }
    setStopSignalsBlocked(false);

    // Lets the session go with `status`: closes the port, waits until the exchange loop has ended
    // and let go of the session, and closes the recording (status 1 when it could not be written).
    auto release = [&](int status) {
        // Closing the port wakes the loop at once; once it has ended no observer runs any more.
        session->disconnect();
        {
            std::unique_lock lock(shared->mutex);
            shared->changed.wait_for(lock, 10s, [&] { return shared->loopEnded; });
        }
        // Let the exchange loop let go of the session before the recorder closes.
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        while (session.use_count() > 1 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        std::unique_ptr<TelemetryRecorder> recorder;
        {
            std::lock_guard lock(shared->mutex);
            recorder = std::move(shared->recorder);
        }
        if (recorder) {
            recorder->close();
            if (const auto error = recorder->writeError()) {
                std::fprintf(stderr, "orvane-monitor: %s\n", error->c_str());
                return kDeviceUnusable;
            }
        }
        return status;
    };

    // The suite starts on the device's first report: no request leaves 0 before the device has
    // answered, and the run's first sample, the origin of its metrics, is an angle the device
    // reported rather than the telemetry's default. A stop asked for meanwhile aborts the suite
    // before its first tick.
    {
        std::unique_lock lock(shared->mutex);
        const auto deadline = std::chrono::steady_clock::now() + kFirstReportWait;
        // The signal handler cannot wake the wait: look at its flag a few times a second.
        while (!shared->reported && !shared->loopEnded && stopSignal.load() == 0 &&
               std::chrono::steady_clock::now() < deadline) {
            shared->changed.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + 50ms));
        }
        if (!shared->reported && stopSignal.load() == 0) {
            lock.unlock();
            if (const auto end = session->linkEnd()) {
                std::fprintf(stderr, "orvane-monitor: the link to %s ended before the device reported: %s\n",
                             options.path.c_str(), end->detail.c_str());
            } else {
                std::fprintf(stderr, "orvane-monitor: %s sent no report within %lld s: the suite was not started\n",
                             options.path.c_str(), static_cast<long long>(kFirstReportWait.count()));
            }
            return release(kDeviceUnusable);
        }
    }

    // A second at 0 before the first run: the wheel's own motion the first run is measured against.
    ManeuverRunner runner(*suite, requestTargetFor(session), {.leadInSeconds = 1.0});
    const auto date = std::chrono::system_clock::now();
    std::size_t printed = 0;
    auto printEnded = [&](bool all) {
        const auto& records = runner.records();
        for (; printed < records.size(); ++printed) {
            // A repeat's metrics take the settle after its run: it is printed once that has ended.
            if (!all && !records[printed].settleCompleted) break;
            std::printf("%s\n", repeatLine(runner, records[printed], against).c_str());
            std::fflush(stdout);
        }
    };

    auto next = std::chrono::steady_clock::now();
    while (!runner.hasEnded()) {
        if (const int signal = stopSignal.load()) {
            runner.abort("stopped by " + signalName(signal));
        } else {
            runner.tick(observe(*session));
        }
        const auto& state = runner.state();
        {
            std::lock_guard lock(shared->mutex);
            if (state.stage == ManeuverRunnerState::Stage::running) {
                shared->where = {runner.suite().maneuvers.at(state.maneuver).name, std::to_string(state.repeat + 1)};
            } else {
                shared->where = {std::string(), std::string()};
            }
        }
        printEnded(false);
        if (runner.hasEnded()) break;
        next += std::chrono::milliseconds(20);
        std::this_thread::sleep_until(next);
        // A tick that came late (a stalled machine) does not make the next ones come at once.
        next = std::max(next, std::chrono::steady_clock::now() - std::chrono::milliseconds(20));
    }
    printEnded(true);
    const ManeuverEnd end = *runner.end();

    // The runner wrote 0 on both channels at the end; see a request composed after that go out
    // before closing the port, unless the link is gone.
    session->waitForRequestAfter(session->requestSequence(), 5s);

    const ManeuverSuiteResults results = evaluateManeuvers(runner.suite(), runner.records(), end, against);
    for (std::size_t index = 0; index < results.spread.size(); ++index) {
        const std::string line = spreadLine(runner.suite().maneuvers[index], results.spread[index]);
        if (!line.empty()) std::printf("%s\n", line.c_str());
    }
    std::size_t passed = 0, failed = 0;
    for (const ManeuverRepeatResult& result : results.repeats) {
        passed += result.verdict == ManeuverVerdict::passed;
        failed += result.verdict == ManeuverVerdict::failed;
    }
    std::printf("suite verdict %s (repeats: %zu passed, %zu failed, %zu without a verdict)\n",
                verdictName(results.verdict), passed, failed, results.repeats.size() - passed - failed);
    std::fflush(stdout);

    int status = !end.completed ? kSuiteAborted : results.anyFailed() ? kExpectationsFailed : kSuiteCompleted;
    if (!end.completed) std::fprintf(stderr, "orvane-monitor: the suite was aborted: %s\n", end.reason.c_str());

    const DeviceTelemetry telemetry = session->telemetry();
    ManeuverReportInfo info;
    info.fileName = std::filesystem::path(options.maneuverFile).filename().string();
    info.firmwareVersion = telemetry.version ? telemetry.version->description() : std::string();
    info.serialNumber = telemetry.serialNumber;
    info.date = date;
    info.suiteSha256 = suiteSha256;
    const std::pair<const std::string&, std::function<void()>> outputs[] = {
        {options.reportPath,
         [&] {
             writeManeuverReport(options.reportPath,
                                 maneuverReportHtml(runner.suite(), runner.records(), end, info, &results));
         }},
        {options.junitPath,
         [&] { writeFileWhole(options.junitPath, maneuverJunitXml(runner.suite(), results, info), "JUnit file"); }},
        {options.metricsPath,
         [&] {
             writeFileWhole(options.metricsPath, maneuverMetricsJson(runner.suite(), results, info), "metrics file");
         }},
    };
    for (const auto& [path, write] : outputs) {
        if (path.empty()) continue;
        try {
            write();
        } catch (const std::runtime_error& error) {
            std::fprintf(stderr, "orvane-monitor: %s\n", error.what());
            status = kDeviceUnusable;
        }
    }
    return release(status);
}

}  // namespace orvane::monitor
