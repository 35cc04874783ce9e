#include "ManeuverMode.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
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
#include "maneuver/ManeuverRunner.h"
#include "maneuver/ManeuverSuite.h"

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

// A value with `digits` fraction digits and its unit, or "none".
std::string fixed(const std::optional<double>& value, int digits, const char* unit) {
    return value ? fixedText(*value, digits) + unit : "none";
}

// "steer step 20%, repeat 1 of 3: completed, held -71.83 deg, delay 0.260 s, rise 0.310 s, overshoot 1.5 %";
// "..., completed, not measured (150 of 150 wheel angles not plausible, left out)" when the device
// reported no angle a wheel can have.
std::string repeatLine(const ManeuverRunner& runner, const ManeuverRepeatRecord& record) {
    const Maneuver& maneuver = runner.suite().maneuvers.at(record.maneuver);
    std::string line = maneuver.name + ", repeat " + std::to_string(record.repeat + 1) + " of " +
                       std::to_string(maneuver.repeats) + ": " + (record.runCompleted ? "completed" : "aborted");
    const auto repeat = repeatMetrics(record, maneuver);
    if (!repeat) return line;
    if (const auto& metrics = repeat->response) {
        line += ", held " + fixed(metrics->held, 2, " deg") + ", delay " + fixed(metrics->delay, 3, " s");
        if (profileHoldsItsEnd(maneuver.profile.kind)) {
            line += ", rise " + fixed(metrics->riseTime, 3, " s") + ", overshoot " +
                    fixed(metrics->overshootPercent, 1, " %");
        }
    } else {
        line += ", not measured";
    }
    if (repeat->implausibleSamples > 0) {
        line += " (" + std::to_string(repeat->implausibleSamples) + " of " + std::to_string(repeat->runSamples) +
                " wheel angles not plausible, left out)";
    }
    return line;
}

std::string signalName(int signal) {
    if (signal == SIGINT) return "SIGINT";
    if (signal == SIGTERM) return "SIGTERM";
    return "signal " + std::to_string(signal);
}

}  // namespace

int runManeuverMode(const ManeuverModeOptions& options, const std::atomic<int>& stopSignal) {
    std::optional<ManeuverSuite> suite;
    try {
        suite.emplace(ManeuverSuite::fromFile(options.maneuverFile));
    } catch (const ManeuverFileError& error) {
        std::fprintf(stderr, "orvane-monitor: %s\n", error.what());
        return kBadFile;
    }

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

    ManeuverRunner runner(*suite, requestTargetFor(session));
    const auto date = std::chrono::system_clock::now();
    std::size_t printed = 0;
    auto printEnded = [&](bool all) {
        const auto& records = runner.records();
        for (; printed < records.size(); ++printed) {
            // A repeat ends when its run does: the runner marks it on the settle's first tick.
            if (!all && !records[printed].runCompleted) break;
            std::printf("%s\n", repeatLine(runner, records[printed]).c_str());
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

    int status = end.completed ? kSuiteCompleted : kSuiteAborted;
    if (!end.completed) std::fprintf(stderr, "orvane-monitor: the suite was aborted: %s\n", end.reason.c_str());

    if (!options.reportPath.empty()) {
        const DeviceTelemetry telemetry = session->telemetry();
        ManeuverReportInfo info;
        info.fileName = std::filesystem::path(options.maneuverFile).filename().string();
        info.firmwareVersion = telemetry.version ? telemetry.version->description() : std::string();
        info.serialNumber = telemetry.serialNumber;
        info.date = date;
        try {
            writeManeuverReport(options.reportPath, maneuverReportHtml(runner.suite(), runner.records(), end, info));
        } catch (const std::runtime_error& error) {
            std::fprintf(stderr, "orvane-monitor: %s\n", error.what());
            status = kDeviceUnusable;
        }
    }
    return release(status);
}

}  // namespace orvane::monitor
