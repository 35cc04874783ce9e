#include "maneuver/ManeuverRunner.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "device/DeviceSerialInterface.h"
#include "device/NumberText.h"

namespace orvane {

namespace {

constexpr double kTick = ManeuverSchedule::kTickSeconds;

std::string torqueText(double newtonMetres) { return numberText(std::round(newtonMetres * 100) / 100) + " Nm"; }

}  // namespace

ManeuverObservation observe(const DeviceSerialInterface& session, std::chrono::steady_clock::duration silenceLimit) {
    const DeviceTelemetry telemetry = session.telemetry();
    ManeuverObservation observed;
    observed.linkAlive = session.isConnected();
    observed.responding = observed.linkAlive && session.timeSinceLastMessage() < silenceLimit;
    observed.wheelAngle = telemetry.steeringWheelAngle;
    observed.assistTorque = telemetry.steeringAssistanceTorque;
    observed.driverTorque = telemetry.steeringDriverTorque;
    observed.lateralControlMethod = telemetry.lateralControlMethod;
    observed.longitudinalControlMethod = telemetry.longitudinalControlMethod;
    return observed;
}

ManeuverRequestTarget requestTargetFor(const std::shared_ptr<DeviceSerialInterface>& session) {
    std::weak_ptr<DeviceSerialInterface> weak = session;
    return {[weak](double value) {
                if (auto held = weak.lock()) held->setRequestLateralControlMagntiude(value);
            },
            [weak](double value) {
                if (auto held = weak.lock()) held->setRequestLongitudinalControlMagntiude(value);
            }};
}

ManeuverRunner::ManeuverRunner(ManeuverSuite suite, ManeuverRequestTarget target)
    : ManeuverRunner(std::move(suite), std::move(target), Options{}) {}

ManeuverRunner::ManeuverRunner(ManeuverSuite suite, ManeuverRequestTarget target, Options options, Clock clock)
    : suite_(std::move(suite)),
      schedule_(suite_),
      target_(std::move(target)),
      options_(options),
      clock_(clock ? std::move(clock) : Clock([] { return std::chrono::steady_clock::now(); })) {
    const ManeuverTick first = schedule_.at(0);
    state_.phase = first.phase;
    state_.phaseSecondsLeft = static_cast<double>(first.phaseTicksLeft) * kTick;
    state_.suiteSecondsLeft = static_cast<double>(schedule_.tickCount()) * kTick;
}

double ManeuverRunner::secondsSinceStart(std::chrono::steady_clock::time_point now) const {
    return start_ ? std::chrono::duration<double>(now - *start_).count() : 0.0;
}

void ManeuverRunner::tick(const ManeuverObservation& observed) {
    if (end_) return;
    const auto now = clock_();
    if (!start_) {
        if (!leadInStart_) leadInStart_ = now;
        state_.stage = ManeuverRunnerState::Stage::running;
        const double lead = std::chrono::duration<double>(now - *leadInStart_).count();
        if (lead < options_.leadInSeconds) {
            // The lead-in: requests at 0 while the wheel's own motion is recorded.
            if (auto cause = abortCause(observed)) {
                stop(cause->first, std::move(cause->second), 0, schedule_.at(0));
                return;
            }
            write(0, 0);
            remember(now, sampleOf(lead - options_.leadInSeconds, ManeuverPhase::settle, 0, 0, observed));
            return;
        }
        start_ = now;
    } else {
        // The tick due at this time; never back, and never past the zero that ends a run.
        const double seconds = secondsSinceStart(now);
        std::int64_t due = std::isfinite(seconds) ? std::llround(seconds / kTick) : tick_;
        due = std::min(std::max(due, tick_), schedule_.runEndAfter(tick_));
        tick_ = due;
    }
    const double seconds = secondsSinceStart(now);
    const ManeuverTick planned = schedule_.at(tick_);
    if (auto cause = abortCause(observed)) {
        if (planned.phase != ManeuverPhase::finished) record(planned, 0, 0, seconds, observed);
        stop(cause->first, std::move(cause->second), seconds, planned);
        return;
    }
    write(planned.lateral, planned.longitudinal);
    if (planned.phase == ManeuverPhase::finished) {
        if (!records_.empty()) records_.back().settleCompleted = true;
        state_.stage = ManeuverRunnerState::Stage::completed;
        state_.maneuver = planned.maneuver;
        state_.phase = planned.phase;
        state_.phaseSecondsLeft = state_.suiteSecondsLeft = 0;
        finish({.completed = true, .maneuver = planned.maneuver, .phase = planned.phase, .seconds = seconds});
        return;
    }
    record(planned, planned.lateral, planned.longitudinal, seconds, observed);
    state_.maneuver = planned.maneuver;
    state_.repeat = planned.repeat;
    state_.phase = planned.phase;
    state_.phaseSecondsLeft = static_cast<double>(planned.phaseTicksLeft) * kTick;
    state_.suiteSecondsLeft = static_cast<double>(schedule_.tickCount() - tick_) * kTick;
}

std::optional<std::pair<ManeuverAbortCause, std::string>> ManeuverRunner::abortCause(
    const ManeuverObservation& observed) const {
    if (!observed.linkAlive) return std::pair{ManeuverAbortCause::linkEnded, "the connection to the device ended"};
    if (!observed.responding) return std::pair{ManeuverAbortCause::notResponding, "the device stopped responding"};
    if (options_.holdToEnable && !held_) {
        return std::pair{ManeuverAbortCause::enableReleased, "the hold-to-enable control is not held"};
    }
    // A torque that cannot be real says nothing of the driver's hands: the suite cannot be watched.
    if (!plausibleTorque(observed.driverTorque)) {
        return std::pair{ManeuverAbortCause::driverTorque,
                         "the device reported a driver torque that is not plausible (not a finite number, or beyond " +
                             torqueText(kMostPlausibleTorque) + ")"};
    }
    const double limit = suite_.limits.driverTorqueAbort;
    if (std::fabs(observed.driverTorque) > limit) {
        return std::pair{ManeuverAbortCause::driverTorque, "the driver torque of " + torqueText(observed.driverTorque) +
                                                               " went beyond the limit of " + torqueText(limit)};
    }
    return std::nullopt;
}

std::optional<std::string> ManeuverRunner::startRefusal(const ManeuverObservation& observed) const {
    if (auto cause = abortCause(observed)) return std::move(cause->second);
    return std::nullopt;
}

void ManeuverRunner::abort(const std::string& reason) {
    if (end_) return;
    const ManeuverTick where = schedule_.at(tick_);
    stop(ManeuverAbortCause::requested, reason, start_ ? secondsSinceStart(clock_()) : 0.0, where);
}

void ManeuverRunner::setEnableHeld(bool held) {
    held_ = held;
    if (!held && options_.holdToEnable && start_ && !end_) {
        stop(ManeuverAbortCause::enableReleased, "the hold-to-enable control was released", secondsSinceStart(clock_()),
             schedule_.at(tick_));
    }
}

void ManeuverRunner::write(double lateral, double longitudinal) {
    if (target_.setLateral) target_.setLateral(lateral);
    if (target_.setLongitudinal) target_.setLongitudinal(longitudinal);
    state_.lateral = lateral;
    state_.longitudinal = longitudinal;
}

void ManeuverRunner::record(const ManeuverTick& planned, double lateral, double longitudinal, double seconds,
                            const ManeuverObservation& observed) {
    const double runStart = static_cast<double>(schedule_.runStart(planned.maneuver, planned.repeat)) * kTick;
    if (records_.empty() || records_.back().maneuver != planned.maneuver || records_.back().repeat != planned.repeat) {
        ManeuverRepeatRecord next{
            .maneuver = planned.maneuver,
            .repeat = planned.repeat,
            .runSeconds = static_cast<double>(schedule_.runTicks(planned.maneuver)) * kTick,
            .settleSeconds = static_cast<double>(schedule_.settleTicks(planned.maneuver)) * kTick};
        // A settle shorter than kBeforeRunSeconds still carries the previous run's response: the
        // wheel's own motion cannot be told from it.
        const bool settledBefore = records_.empty() || records_.back().settleSeconds >= kBeforeRunSeconds - kTick / 2;
        for (const auto& [when, sample] : settledBefore ? recent_ : decltype(recent_){}) {
            ManeuverSample earlier = sample;
            earlier.time = secondsSinceStart(when) - runStart;
            if (earlier.time < 0 && earlier.time >= -kBeforeRunSeconds - kTick / 2) next.before.push_back(earlier);
        }
        if (!records_.empty()) records_.back().settleCompleted = true;
        records_.push_back(std::move(next));
    }
    ManeuverRepeatRecord& repeat = records_.back();
    if (planned.phase == ManeuverPhase::settle) repeat.runCompleted = true;
    repeat.samples.push_back(sampleOf(seconds - runStart, planned.phase, lateral, longitudinal, observed));
    remember(*start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(seconds)),
             repeat.samples.back());
}

ManeuverSample ManeuverRunner::sampleOf(double time, ManeuverPhase phase, double lateral, double longitudinal,
                                        const ManeuverObservation& observed) {
    return {.time = time,
            .phase = phase,
            .lateralRequest = lateral,
            .longitudinalRequest = longitudinal,
            .wheelAngle = observed.wheelAngle,
            .assistTorque = observed.assistTorque,
            .driverTorque = observed.driverTorque,
            .lateralControlMethod = observed.lateralControlMethod,
            .longitudinalControlMethod = observed.longitudinalControlMethod};
}

void ManeuverRunner::remember(std::chrono::steady_clock::time_point now, const ManeuverSample& sample) {
    recent_.emplace_back(now, sample);
    const auto keep = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(kBeforeRunSeconds + 2 * kTick));
    while (!recent_.empty() && now - recent_.front().first > keep) recent_.pop_front();
}

void ManeuverRunner::stop(ManeuverAbortCause cause, std::string reason, double seconds, const ManeuverTick& where) {
    write(0, 0);
    state_.stage = ManeuverRunnerState::Stage::aborted;
    finish({.completed = false,
            .cause = cause,
            .reason = std::move(reason),
            .maneuver = where.maneuver,
            .repeat = where.repeat,
            .phase = where.phase,
            .seconds = seconds});
}

void ManeuverRunner::finish(ManeuverEnd end) {
    end_ = std::move(end);
    if (endObserver_) endObserver_(*end_);
}

}  // namespace orvane
