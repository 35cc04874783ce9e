#include "console/ManeuverControl.h"

#include <cstdio>

#include "console/SessionEnd.h"
#include "console/SessionTap.h"
#include "device/DeviceSerialInterface.h"
#include "device/NumberText.h"
#include "platform/Log.h"

namespace orvane {

namespace {

std::string secondsText(double seconds) { return fixedText(seconds, 1) + " s"; }

// "\"steer step 20%\", repeat 2 of 3"
std::string whereText(const ManeuverSuite& suite, std::size_t maneuver, int repeat) {
    if (maneuver >= suite.maneuvers.size()) return "after the last maneuver";
    const Maneuver& m = suite.maneuvers[maneuver];
    return "\"" + m.name + "\", repeat " + std::to_string(repeat + 1) + " of " + std::to_string(m.repeats);
}

}  // namespace

ManeuverControl::ManeuverControl(std::shared_ptr<SessionTap> tap) : tap_(std::move(tap)) {}

ManeuverControl::~ManeuverControl() {
    changed_ = nullptr;
    abort("the console closed");
}

void ManeuverControl::start(ManeuverSuite suite, std::string fileName,
                            const std::shared_ptr<DeviceSerialInterface>& session, ManeuverRequestTarget target,
                            ManeuverRunner::Options options) {
    if (isRunning() || !session) return;
    session_ = session;

    info_ = {};
    info_.fileName = std::move(fileName);
    info_.date = std::chrono::system_clock::now();
    noteDevice(*session);
    runner_ = std::make_unique<ManeuverRunner>(std::move(suite), std::move(target), options);
    runner_->setEndObserver([this](const ManeuverEnd& end) { ended(end); });

    const ManeuverSchedule& schedule = runner_->schedule();
    int runs = 0;
    for (const Maneuver& maneuver : runner_->suite().maneuvers) runs += maneuver.repeats;
    logInfo(kManeuverLog, "Running " + info_.fileName + " on " + session->path() + ": " +
                              std::to_string(runner_->suite().maneuvers.size()) + " maneuvers, " +
                              std::to_string(runs) + " runs, " +
                              secondsText(double(schedule.tickCount()) * ManeuverSchedule::kTickSeconds) +
                              (options.holdToEnable ? ", while the enable button is held" : ""));
}

void ManeuverControl::tick(const std::vector<GamepadHandle>& gamepads) {
    if (!isRunning()) return;
    bool enableHeld = false;
    for (const auto& gamepad : gamepads) {
        ExtendedGamepad* pad = gamepad ? gamepad->extendedGamepad() : nullptr;
        if (!pad) continue;
        const bool enable = pad->enableButtonPressed();
        // Without hold-to-enable the enable button is a button like any other.
        if (pad->otherButtonPressed() || (enable && !runner_->options().holdToEnable)) {
            const auto name = gamepad->vendorName();
            abort("a button of the gamepad " + (name && !name->empty() ? "\"" + *name + "\" " : std::string()) +
                  "was pressed");
            return;
        }
        enableHeld = enableHeld || enable;
    }
    runner_->setEnableHeld(enableHeld);
    if (!isRunning()) return;

    auto session = session_.lock();
    ManeuverObservation observed;
    if (session) {
        observed = observe(*session);
    } else {
        observed.linkAlive = observed.responding = false;
    }
    runner_->tick(observed);
    if (!isRunning()) return;  // ended() has told
    const ManeuverRunnerState& state = runner_->state();
    if (tap_) {
        tap_->setRecordingFields(
            {runner_->suite().maneuvers.at(state.maneuver).name, std::to_string(state.repeat + 1)});
    }
    if (changed_) changed_();
}

void ManeuverControl::abort(const std::string& reason) {
    if (isRunning()) runner_->abort(reason);
}

bool ManeuverControl::abortAndWaitForZero(const std::string& reason, std::chrono::milliseconds timeout) {
    if (!runner_) return true;
    // The abort has written 0 into the session's magnitudes before the sequence is read, so every
    // request numbered above it was composed after that. A request of 0 composed before the abort
    // proves nothing: a step composed after it and before the abort may follow it out.
    abort(reason);
    auto session = session_.lock();
    return !session || waitForZeroOnTheWire(*session, timeout);
}

std::optional<std::string> ManeuverControl::reportHtml() const {
    if (!runner_ || !runner_->hasEnded()) return std::nullopt;
    return maneuverReportHtml(runner_->suite(), runner_->records(), *runner_->end(), info_);
}

void ManeuverControl::noteDevice(const DeviceSerialInterface& session) {
    const DeviceTelemetry telemetry = session.telemetry();
    if (telemetry.version) info_.firmwareVersion = telemetry.version->description();
    if (!telemetry.serialNumber.empty()) info_.serialNumber = telemetry.serialNumber;
}

void ManeuverControl::ended(const ManeuverEnd& end) {
    if (auto session = session_.lock()) noteDevice(*session);
    if (tap_) tap_->setRecordingFields({});
    if (end.completed) {
        logInfo(kManeuverLog, "The suite " + info_.fileName + " completed after " + secondsText(end.seconds));
    } else {
        logWarning(kManeuverLog, "The suite " + info_.fileName + " was aborted in " +
                                     whereText(runner_->suite(), end.maneuver, end.repeat) + " after " +
                                     secondsText(end.seconds) + ": " + end.reason);
    }
    if (changed_) changed_();
}

std::string maneuverOutcomeText(const ManeuverRunner& runner) {
    const auto& end = runner.end();
    if (!end) return "Running";
    if (end->completed) return "Completed";
    return "Aborted in " + whereText(runner.suite(), end->maneuver, end->repeat) + ": " + end->reason;
}

}  // namespace orvane
