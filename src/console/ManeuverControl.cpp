#include "console/ManeuverControl.h"

#include <cstdio>

#include "console/SessionEnd.h"
#include "console/SessionTap.h"
#include "device/DeviceSerialInterface.h"
#include "device/NumberText.h"
#include "platform/Log.h"
#include "platform/MainQueue.h"
#include "platform/Translation.h"

namespace orvane {

namespace {

std::string secondsText(double seconds) { return fixedText(seconds, 1) + " s"; }

// "\"steer step 20%\", repeat 2 of 3": in English for the log, translated for the user.
std::string whereText(const ManeuverSuite& suite, std::size_t maneuver, int repeat, bool forUser) {
    if (maneuver >= suite.maneuvers.size()) {
        return forUser ? translate("ManeuverControl", "after the last maneuver") : "after the last maneuver";
    }
    const Maneuver& m = suite.maneuvers[maneuver];
    const std::string pattern =
        forUser ? translate("ManeuverControl", "\"%1\", repeat %2 of %3") : "\"%1\", repeat %2 of %3";
    return withArgs(pattern, m.name, std::to_string(repeat + 1), std::to_string(m.repeats));
}

}  // namespace

ManeuverControl::ManeuverControl(std::shared_ptr<SessionTap> tap, ManeuverTicking ticking)
    : ticking_(ticking), tap_(std::move(tap)) {}

ManeuverControl::~ManeuverControl() {
    *endObserver_ = nullptr;
    abort("the console closed");  // seen only in the log: the window has gone
    timer_.reset();
}

std::optional<std::string> ManeuverControl::start(ManeuverSuite suite, std::string fileName,
                                                  const std::shared_ptr<DeviceSerialInterface>& session,
                                                  ManeuverRequestTarget target, ManeuverRunner::Options options) {
    if (isRunning()) return translate("ManeuverControl", "another suite runs");
    if (!session) return translate("ManeuverControl", "no device is connected");
    auto runner = std::make_unique<ManeuverRunner>(std::move(suite), std::move(target), options);
    runner->setEnableHeld(enableHeld_);
    if (auto refusal = runner->startRefusal(observe(*session))) {
        logWarning(kManeuverLog, fileName + " was not run: " + *refusal);
        return refusal;
    }
    timer_.reset();  // the last suite's, idle since it ended
    {
        std::lock_guard lock(mutex_);
        session_ = session;
        info_ = {};
        info_.fileName = std::move(fileName);
        info_.suiteSha256 = runner->suite().fileSha256;
        info_.date = std::chrono::system_clock::now();
        noteDevice(*session);
        runner_ = std::move(runner);
        runner_->setEndObserver([this](const ManeuverEnd& end) { ended(end); });
        running_.store(true, std::memory_order_release);

        const ManeuverSchedule& schedule = runner_->schedule();
        int runs = 0;
        for (const Maneuver& maneuver : runner_->suite().maneuvers) runs += maneuver.repeats;
        logInfo(kManeuverLog, "Running " + info_.fileName + " on " + session->path() + ": " +
                                  std::to_string(runner_->suite().maneuvers.size()) + " maneuvers, " +
                                  std::to_string(runs) + " runs, " +
                                  secondsText(double(schedule.tickCount()) * ManeuverSchedule::kTickSeconds) +
                                  (options.holdToEnable ? ", while the enable button is held" : ""));
    }
    if (ticking_ == ManeuverTicking::ownThread) {
        // The first tick at once: the suite takes over the requests from whatever a hand held.
        timer_ = RepeatingTimer::start(
            RepeatingTimer::Queue::global, std::chrono::nanoseconds(0),
            std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::duration<double>(ManeuverSchedule::kTickSeconds)),
            [this] { tick(); }, "orvane-maneuver");
    }
    return std::nullopt;
}

void ManeuverControl::noteGamepads(const std::vector<GamepadHandle>& gamepads) {
    bool enableHeld = false;
    std::optional<std::string> pressed;
    for (const auto& gamepad : gamepads) {
        ExtendedGamepad* pad = gamepad ? gamepad->extendedGamepad() : nullptr;
        if (!pad) continue;
        const bool enable = pad->enableButtonPressed();
        // Without hold-to-enable the enable button is a button like any other.
        if (!pressed && (pad->otherButtonPressed() || (enable && !(runner_ && runner_->options().holdToEnable)))) {
            const auto name = gamepad->vendorName();
            pressed = name && !name->empty()
                          ? withArgs(translate("ManeuverControl", "a button of the gamepad \"%1\" was pressed"), *name)
                          : translate("ManeuverControl", "a button of the gamepad was pressed");
        }
        enableHeld = enableHeld || enable;
    }
    {
        std::lock_guard lock(mutex_);
        enableHeld_ = enableHeld;
        if (isRunning()) {
            if (pressed) {
                runner_->abort(*pressed);
            } else {
                runner_->setEnableHeld(enableHeld);
            }
            settle();
        }
    }
    tellEnd();
}

void ManeuverControl::tick() {
    {
        std::lock_guard lock(mutex_);
        if (!isRunning()) return;
        auto session = session_.lock();
        ManeuverObservation observed;
        if (session) {
            observed = observe(*session);
        } else {
            observed.linkAlive = observed.responding = false;
        }
        runner_->tick(observed);
        settle();
        if (isRunning() && tap_) {
            const ManeuverRunnerState& state = runner_->state();
            tap_->setRecordingFields(
                {runner_->suite().maneuvers.at(state.maneuver).name, std::to_string(state.repeat + 1)});
        }
    }
    tellEnd();
}

void ManeuverControl::abort(const std::string& reason) {
    {
        std::lock_guard lock(mutex_);
        if (!isRunning()) return;
        runner_->abort(reason);
        settle();
    }
    tellEnd();
}

bool ManeuverControl::abortAndWaitForZero(const std::string& reason, std::chrono::milliseconds timeout) {
    std::shared_ptr<DeviceSerialInterface> session;
    {
        std::lock_guard lock(mutex_);
        if (!runner_) return true;
        session = session_.lock();
    }
    // The abort has written 0 into the session's magnitudes before the sequence is read, so every
    // request numbered above it was composed after that. A request of 0 composed before the abort
    // proves nothing: a step composed after it and before the abort may follow it out.
    abort(reason);
    return !session || waitForZeroOnTheWire(*session, timeout);
}

ManeuverRunnerState ManeuverControl::state() const {
    std::lock_guard lock(mutex_);
    return runner_ ? runner_->state() : ManeuverRunnerState{};
}

std::optional<ManeuverEnd> ManeuverControl::end() const {
    std::lock_guard lock(mutex_);
    return runner_ ? runner_->end() : std::nullopt;
}

std::size_t ManeuverControl::sampleCount() const {
    std::lock_guard lock(mutex_);
    std::size_t samples = 0;
    if (runner_) {
        for (const auto& record : runner_->records()) samples += record.samples.size();
    }
    return samples;
}

std::optional<ManeuverSuiteResults> ManeuverControl::results() const {
    std::lock_guard lock(mutex_);
    if (!runner_ || !runner_->hasEnded()) return std::nullopt;
    return evaluateManeuvers(runner_->suite(), runner_->records(), *runner_->end(), baseline_ ? &*baseline_ : nullptr);
}

std::optional<std::string> ManeuverControl::reportHtml() const {
    const auto evaluated = results();
    if (!evaluated) return std::nullopt;
    std::lock_guard lock(mutex_);
    return maneuverReportHtml(runner_->suite(), runner_->records(), *runner_->end(), info_, &*evaluated);
}

std::optional<std::string> ManeuverControl::junitXml() const {
    const auto evaluated = results();
    if (!evaluated) return std::nullopt;
    std::lock_guard lock(mutex_);
    return maneuverJunitXml(runner_->suite(), *evaluated, info_);
}

std::optional<std::string> ManeuverControl::metricsJson() const {
    const auto evaluated = results();
    if (!evaluated) return std::nullopt;
    std::lock_guard lock(mutex_);
    return maneuverMetricsJson(runner_->suite(), *evaluated, info_);
}

void ManeuverControl::setBaseline(std::optional<ManeuverBaseline> baseline) {
    std::lock_guard lock(mutex_);
    baseline_ = std::move(baseline);
}

bool ManeuverControl::hasBaseline() const {
    std::lock_guard lock(mutex_);
    return baseline_.has_value();
}

ManeuverReportInfo ManeuverControl::reportInfo() const {
    std::lock_guard lock(mutex_);
    return info_;
}

void ManeuverControl::noteDevice(const DeviceSerialInterface& session) {
    const DeviceTelemetry telemetry = session.telemetry();
    if (telemetry.version) info_.firmwareVersion = telemetry.version->description();
    if (!telemetry.serialNumber.empty()) info_.serialNumber = telemetry.serialNumber;
}

void ManeuverControl::settle() {
    if (runner_->hasEnded() && isRunning()) {
        endToTell_.store(true);
        running_.store(false, std::memory_order_release);
    }
}

void ManeuverControl::tellEnd() {
    if (!endToTell_.exchange(false)) return;
    if (MainQueue::shared().isMainThread()) {
        if (*endObserver_) (*endObserver_)();
        return;
    }
    dispatchMain([observer = std::weak_ptr(endObserver_)] {
        const auto told = observer.lock();
        if (told && *told) (*told)();
    });
}

void ManeuverControl::ended(const ManeuverEnd& end) {
    if (auto session = session_.lock()) noteDevice(*session);
    if (tap_) tap_->setRecordingFields({});
    if (end.completed) {
        logInfo(kManeuverLog, "The suite " + info_.fileName + " completed after " + secondsText(end.seconds));
    } else {
        logWarning(kManeuverLog, "The suite " + info_.fileName + " was aborted in " +
                                     whereText(runner_->suite(), end.maneuver, end.repeat, false) + " after " +
                                     secondsText(end.seconds) + ": " + end.reason);
    }
}

std::string maneuverOutcomeText(const ManeuverRunner& runner) {
    const auto& end = runner.end();
    if (!end) return translate("ManeuverControl", "Running");
    if (end->completed) return translate("ManeuverControl", "Completed");
    return withArgs(translate("ManeuverControl", "Aborted in %1: %2"),
                    whereText(runner.suite(), end->maneuver, end->repeat, true), end->reason);
}

}  // namespace orvane
