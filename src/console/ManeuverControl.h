#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "maneuver/ManeuverReport.h"
#include "maneuver/ManeuverRunner.h"
#include "platform/Gamepad.h"

namespace orvane {

class DeviceSerialInterface;
class SessionTap;

// The console's third source of requests, beside the sliders and the gamepad: a maneuver suite
// run on the connected device. It owns the runner, which the console's control tick advances;
// while a suite runs the console takes its requests from here and neither the sliders nor the
// gamepad drive them.
//
// Besides the runner's own aborts (the link ending, the device falling silent, the driver's
// torque) any gamepad button but the enable button aborts at the tick that reads it, and with
// hold-to-enable the suite runs only while a gamepad's enable button is held. An abort writes 0 on
// both requests at once and the suite never resumes. Every end is logged to "orvane.maneuver".
// While the suite runs, the recording's maneuver and repeat columns name where it stands.
//
// Main thread only.
class ManeuverControl {
public:
    explicit ManeuverControl(std::shared_ptr<SessionTap> tap = nullptr);
    ~ManeuverControl();
    ManeuverControl(const ManeuverControl&) = delete;
    ManeuverControl& operator=(const ManeuverControl&) = delete;

    // Starts `suite` (read from a file named `fileName`) on `session`, writing the requests into
    // `target`; the first tick() writes the first. Nothing while a suite runs.
    void start(ManeuverSuite suite, std::string fileName, const std::shared_ptr<DeviceSerialInterface>& session,
               ManeuverRequestTarget target, ManeuverRunner::Options options = {});
    // A suite was started and has not ended.
    bool isRunning() const { return runner_ && !runner_->hasEnded(); }

    // One tick of the control timer: reads the gamepads' buttons (after the gamepad source was
    // pumped), then advances the runner with what the session reports.
    void tick(const std::vector<GamepadHandle>& gamepads);
    // Ends the running suite with `reason` (one line for the user); nothing when none runs.
    void abort(const std::string& reason);
    // abort(), then waits up to `timeout` until the session has written a request composed after
    // the abort, or its link has ended, so that the device holds 0 before the caller lets the
    // session go. True when that request carries 0 on both or the link ended (or no suite had run
    // on a session).
    bool abortAndWaitForZero(const std::string& reason, std::chrono::milliseconds timeout);

    // The last suite started (running or ended); none before the first.
    const ManeuverRunner* runner() const { return runner_.get(); }
    // The report of the last suite once it has ended (std::nullopt before).
    std::optional<std::string> reportHtml() const;
    const ManeuverReportInfo& reportInfo() const { return info_; }

    // Called after every tick that ran the suite and once more when it has ended.
    void setChangeObserver(std::function<void()> observer) { changed_ = std::move(observer); }

private:
    void ended(const ManeuverEnd& end);
    void noteDevice(const DeviceSerialInterface& session);

    std::shared_ptr<SessionTap> tap_;
    std::weak_ptr<DeviceSerialInterface> session_;
    std::unique_ptr<ManeuverRunner> runner_;
    ManeuverReportInfo info_;
    std::function<void()> changed_;
};

// How the suite ended or stands, in a line for the user: "Completed", "Aborted: <reason>", or
// "Running".
std::string maneuverOutcomeText(const ManeuverRunner& runner);

}  // namespace orvane
