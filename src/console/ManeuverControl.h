#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "maneuver/ManeuverReport.h"
#include "maneuver/ManeuverRunner.h"
#include "platform/Gamepad.h"
#include "platform/RepeatingTimer.h"

namespace orvane {

class DeviceSerialInterface;
class SessionTap;

// How a suite's ticks are driven: by a timer thread of the control's own (the console), or by
// the owner calling tick() (tests that step it by hand).
enum class ManeuverTicking { ownThread, byCaller };

// The console's third source of requests, beside the sliders and the gamepad: a maneuver suite
// run on the connected device. It owns the runner and, while a suite runs, a timer thread that
// advances it every 20 ms and writes its requests straight into the session, so that neither a
// step nor an abort waits for the window: a long paint, a big replay jump or an open file dialog
// delays what the window shows, never what the device is asked. While a suite runs the console
// shows its requests and writes none of its own.
//
// Besides the runner's own aborts (the link ending, the device falling silent, the driver's
// torque) any gamepad button but the enable button aborts, and with hold-to-enable the suite
// runs only while a gamepad's enable button is held. The gamepads are read on the main thread
// (their events arrive there) and handed over with noteGamepads() at each of the window's ticks.
// An abort writes 0 on both requests at once and the suite never resumes. Every end is logged to
// "orvane.maneuver". While the suite runs, the recording's maneuver and repeat columns name
// where it stands.
//
// start(), noteGamepads() and the end observer belong to the main thread; abort(), isRunning()
// and the snapshots may be called from any thread.
class ManeuverControl {
public:
    explicit ManeuverControl(std::shared_ptr<SessionTap> tap = nullptr,
                             ManeuverTicking ticking = ManeuverTicking::ownThread);
    ~ManeuverControl();
    ManeuverControl(const ManeuverControl&) = delete;
    ManeuverControl& operator=(const ManeuverControl&) = delete;

    // Starts `suite` (read from a file named `fileName`) on `session`, writing the requests into
    // `target`; the first tick writes the first. Nothing while a suite runs. A suite whose first
    // tick would abort does not start: returns why (logged), and none when it started.
    std::optional<std::string> start(ManeuverSuite suite, std::string fileName,
                                     const std::shared_ptr<DeviceSerialInterface>& session,
                                     ManeuverRequestTarget target, ManeuverRunner::Options options = {});
    // A suite was started and has not ended.
    bool isRunning() const { return running_.load(std::memory_order_acquire); }

    // What the person does with the gamepads (read after the gamepad source was pumped): any
    // button but the enable button aborts the running suite, and the enable button's hold is
    // what hold-to-enable asks for (noted before start() too, so the suite starts held).
    void noteGamepads(const std::vector<GamepadHandle>& gamepads);
    // One tick: advances the runner with what the session reports. The control's own thread
    // calls it every 20 ms; with ManeuverTicking::byCaller the owner does.
    void tick();
    // Ends the running suite with `reason` (one line for the user); nothing when none runs.
    void abort(const std::string& reason);
    // abort(), then waits up to `timeout` until the session has written a request composed after
    // the abort, or its link has ended, so that the device holds 0 before the caller lets the
    // session go. True when that request carries 0 on both or the link ended (or no suite had run
    // on a session).
    bool abortAndWaitForZero(const std::string& reason, std::chrono::milliseconds timeout);

    // Where the suite stands now, and how it ended (std::nullopt while it runs or before any).
    ManeuverRunnerState state() const;
    std::optional<ManeuverEnd> end() const;
    // The samples recorded so far by the last suite.
    std::size_t sampleCount() const;
    // The last suite started (running or ended); none before the first. Its suite and schedule
    // may be read at any time; its state, records and end only once isRunning() is false.
    const ManeuverRunner* runner() const { return runner_.get(); }
    // The report of the last suite once it has ended (std::nullopt before).
    std::optional<std::string> reportHtml() const;
    // Its verdicts, JUnit XML and metrics JSON, the same way (see ManeuverResults.h).
    std::optional<ManeuverSuiteResults> results() const;
    std::optional<std::string> junitXml() const;
    std::optional<std::string> metricsJson() const;
    ManeuverReportInfo reportInfo() const;
    // The metrics of an earlier run of the same suite that the results are compared with; none
    // to compare with nothing. Kept until replaced.
    void setBaseline(std::optional<ManeuverBaseline> baseline);
    bool hasBaseline() const;

    // Called on the main thread once each suite has ended: at once when the main thread ended it,
    // posted to the main queue when the suite's thread did.
    void setEndObserver(std::function<void()> observer) { *endObserver_ = std::move(observer); }

private:
    void ended(const ManeuverEnd& end);
    void noteDevice(const DeviceSerialInterface& session);
    // Marks the suite ended once the runner has (under the lock).
    void settle();
    // Tells the end observer of an end not yet told (outside the lock).
    void tellEnd();

    ManeuverTicking ticking_;
    std::shared_ptr<SessionTap> tap_;
    mutable std::mutex mutex_;  // the runner, the session, info_ and enableHeld_
    std::weak_ptr<DeviceSerialInterface> session_;
    std::unique_ptr<ManeuverRunner> runner_;
    ManeuverReportInfo info_;
    std::optional<ManeuverBaseline> baseline_;
    bool enableHeld_ = false;
    std::atomic<bool> running_{false};
    std::atomic<bool> endToTell_{false};
    std::shared_ptr<std::function<void()>> endObserver_ = std::make_shared<std::function<void()>>();
    std::unique_ptr<RepeatingTimer> timer_;  // last: it stops before the rest goes
};

// How the suite ended or stands, in a line for the user: "Completed", "Aborted: <reason>", or
// "Running".
std::string maneuverOutcomeText(const ManeuverRunner& runner);

}  // namespace orvane
