#include "ManeuverMode.h"

#include <signal.h>

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

#include "ZeroRequestWatch.h"
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

// What the main thread shares with the session's observers, which run on the exchange thread.
struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::unique_ptr<TelemetryRecorder> recorder;
    // The recording's maneuver and repeat columns: empty outside a run and its settle.
    std::vector<std::string> where{std::string(), std::string()};
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
        if (!current || !shared->recorder) return;
        shared->recorder->record(message, telemetry, current->requestLateralControlMagntiude(),
                                 current->requestLongitudinalControlMagntiude(), shared->where);
    });
    const ZeroRequestWatch zeros(*session);
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

    // The runner wrote 0 on both channels at the end; see a CONTROL request carrying them go out
    // before closing the port, unless the link is gone.
    zeros.waitForZeroAfter(zeros.count(), 5s);
    session->disconnect();
    {
        std::unique_lock lock(shared->mutex);
        shared->changed.wait_for(lock, 10s, [&] { return shared->loopEnded; });
    }

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

    // Let the exchange loop let go of the session before the recorder closes.
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    while (session.use_count() > 1 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    std::unique_ptr<TelemetryRecorder> recorder;
    {
        std::lock_guard lock(shared->mutex);
        recorder = std::move(shared->recorder);
    }
    if (recorder) {
        recorder->close();
        if (const auto error = recorder->writeError()) {
            std::fprintf(stderr, "orvane-monitor: %s\n", error->c_str());
            status = kDeviceUnusable;
        }
    }
    return status;
}

}  // namespace orvane::monitor
