#pragma once

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/LateralControlMethod.h"
#include "device/LongitudinalControlMethod.h"
#include "maneuver/ManeuverSchedule.h"
#include "maneuver/ManeuverSuite.h"

namespace orvane {

class DeviceSerialInterface;

// What the device reports at one tick, as the runner's owner sees it.
struct ManeuverObservation {
    bool linkAlive = true;   // the connection is up
    bool responding = true;  // messages keep coming
    double wheelAngle = 0;   // degrees
    double assistTorque = 0;
    double driverTorque = 0;  // Nm
    LateralControlMethod lateralControlMethod;
    LongitudinalControlMethod longitudinalControlMethod;
};

// The largest magnitudes a device can plausibly report. No steering wheel turns ten times either
// way (a car's turns less than two), and no steering column carries 200 Nm (a driver's hands give
// a few, an assist motor some tens). A value beyond them, or one that is not a number, is a fault
// of the report, not a measurement: the metrics, the monitor's summaries and the report take it
// as not measured.
inline constexpr double kMostPlausibleWheelAngle = 3600;  // degrees
inline constexpr double kMostPlausibleTorque = 200;       // Nm
inline bool plausibleWheelAngle(double degrees) { return std::fabs(degrees) <= kMostPlausibleWheelAngle; }
inline bool plausibleTorque(double newtonMetres) { return std::fabs(newtonMetres) <= kMostPlausibleTorque; }

// A session that has sent no message for this long no longer responds: the device answers
// every request at once, many times a second.
inline constexpr std::chrono::milliseconds kManeuverSilenceLimit{500};

// The session's telemetry and link state as an observation.
ManeuverObservation observe(const DeviceSerialInterface& session,
                            std::chrono::steady_clock::duration silenceLimit = kManeuverSilenceLimit);

// Where the runner writes the two request magnitudes (-1 to 1): the console's requests or a
// session's, for example.
struct ManeuverRequestTarget {
    std::function<void(double)> setLateral;
    std::function<void(double)> setLongitudinal;
};

// Writes into the session's request magnitudes while the session lives.
ManeuverRequestTarget requestTargetFor(const std::shared_ptr<DeviceSerialInterface>& session);

// One tick's record: the requests written and what the device reported then.
struct ManeuverSample {
    double time = 0;  // seconds from the start of the repeat's run
    ManeuverPhase phase = ManeuverPhase::run;
    double lateralRequest = 0;
    double longitudinalRequest = 0;
    double wheelAngle = 0;
    double assistTorque = 0;
    double driverTorque = 0;
    LateralControlMethod lateralControlMethod;
    LongitudinalControlMethod longitudinalControlMethod;
};

// The samples of one repeat of one maneuver: its run and the settle after it.
struct ManeuverRepeatRecord {
    std::size_t maneuver = 0;
    int repeat = 0;                // from 0
    double runSeconds = 0;         // the run's length on the schedule
    double settleSeconds = 0;      // the settle's length on the schedule
    bool runCompleted = false;     // the run reached its end (false when the suite ended inside it)
    bool settleCompleted = false;  // the settle after the run reached its end too
    std::vector<ManeuverSample> samples;
    // The samples of the last ManeuverRunner::kBeforeRunSeconds before the run (the previous
    // repeat's settle when it lasted that long, or the lead-in before the suite's first run),
    // times negative: the wheel's own motion that its response is measured against.
    std::vector<ManeuverSample> before;
};

enum class ManeuverAbortCause {
    requested,       // abort() was called: a key, a button, the window closing, a signal
    linkEnded,       // the connection to the device ended
    notResponding,   // the device stopped sending messages
    driverTorque,    // the driver's torque went beyond the suite's limit
    enableReleased,  // hold-to-enable is required and the hold was let go (or never taken)
};

struct ManeuverEnd {
    bool completed = false;
    std::optional<ManeuverAbortCause> cause;  // when aborted
    std::string reason;                       // when aborted: one line, for the user
    std::size_t maneuver = 0;                 // where the suite stood; the count when completed
    int repeat = 0;
    ManeuverPhase phase = ManeuverPhase::finished;
    double seconds = 0;  // since the suite started
};

struct ManeuverRunnerState {
    enum class Stage { ready, running, completed, aborted };
    Stage stage = Stage::ready;
    std::size_t maneuver = 0;
    int repeat = 0;  // from 0
    ManeuverPhase phase = ManeuverPhase::run;
    double phaseSecondsLeft = 0;
    double suiteSecondsLeft = 0;
    double lateral = 0;  // the requests last written
    double longitudinal = 0;
};

// Runs a suite: each tick() writes the scheduled requests into the target and records what the
// device reports, until the suite completes or something aborts it. An abort writes 0 on both
// channels at once and nothing runs after it.
//
// The owner of the control timer calls tick() every 20 ms with what the device reports. The
// first tick starts the suite; later ticks follow the clock, so a late tick takes the request of
// its time, but never steps past the end of a run: the tick that ends a run, at 0, is always
// written. Single-threaded: call everything from the thread that owns the timer. The runner has
// no thread or timer of its own; the clock is injectable.
class ManeuverRunner {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using EndObserver = std::function<void(const ManeuverEnd& end)>;

    struct Options {
        // Every tick requires the enable hold to be held (setEnableHeld(true)); letting go aborts.
        bool holdToEnable = false;
        // Seconds at 0 on both channels before the first run, so that the first run, like every
        // later one, has the wheel's own motion before it to be measured against.
        double leadInSeconds = 0;
    };

    // How much of the time before a run each record keeps in `before`.
    static constexpr double kBeforeRunSeconds = 1.0;

    ManeuverRunner(ManeuverSuite suite, ManeuverRequestTarget target, Options options, Clock clock = nullptr);
    ManeuverRunner(ManeuverSuite suite, ManeuverRequestTarget target);

    // Advances to the clock's time, checks the observation, and writes the requests.
    void tick(const ManeuverObservation& observed);
    // Why the suite must not start on what the device reports now (the reason its first tick
    // would abort with: a silent device, the driver's torque beyond the limit, hold-to-enable
    // not held); none when it may.
    std::optional<std::string> startRefusal(const ManeuverObservation& observed) const;
    // Ends the suite now with the given reason; nothing when it has already ended.
    void abort(const std::string& reason);
    // The state of the hold-to-enable control. Letting go while the suite runs aborts it at once.
    void setEnableHeld(bool held);
    // Called once, when the suite ends.
    void setEndObserver(EndObserver observer) { endObserver_ = std::move(observer); }

    const ManeuverSuite& suite() const { return suite_; }
    const ManeuverSchedule& schedule() const { return schedule_; }
    const Options& options() const { return options_; }
    const ManeuverRunnerState& state() const { return state_; }
    bool hasEnded() const { return end_.has_value(); }
    const std::optional<ManeuverEnd>& end() const { return end_; }
    // One record per repeat reached, in the order they ran.
    const std::vector<ManeuverRepeatRecord>& records() const { return records_; }

private:
    double secondsSinceStart(std::chrono::steady_clock::time_point now) const;
    void write(double lateral, double longitudinal);
    void record(const ManeuverTick& planned, double lateral, double longitudinal, double seconds,
                const ManeuverObservation& observed);
    void remember(std::chrono::steady_clock::time_point now, const ManeuverSample& sample);
    static ManeuverSample sampleOf(double time, ManeuverPhase phase, double lateral, double longitudinal,
                                   const ManeuverObservation& observed);
    void finish(ManeuverEnd end);
    void stop(ManeuverAbortCause cause, std::string reason, double seconds, const ManeuverTick& where);
    std::optional<std::pair<ManeuverAbortCause, std::string>> abortCause(const ManeuverObservation& observed) const;

    ManeuverSuite suite_;
    ManeuverSchedule schedule_;
    ManeuverRequestTarget target_;
    Options options_;
    Clock clock_;
    EndObserver endObserver_;

    std::optional<std::chrono::steady_clock::time_point> leadInStart_;
    std::optional<std::chrono::steady_clock::time_point> start_;
    // The samples of the last kBeforeRunSeconds, with the time they were taken at.
    std::deque<std::pair<std::chrono::steady_clock::time_point, ManeuverSample>> recent_;
    std::int64_t tick_ = 0;
    bool held_ = false;
    ManeuverRunnerState state_;
    std::optional<ManeuverEnd> end_;
    std::vector<ManeuverRepeatRecord> records_;
};

}  // namespace orvane
