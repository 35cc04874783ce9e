#pragma once

#include <optional>
#include <span>
#include <vector>

#include "maneuver/ManeuverRunner.h"
#include "maneuver/ManeuverSuite.h"

namespace orvane {

struct CurvePoint {
    double time = 0;  // seconds from the start of the run
    double value = 0;
};

// How a measured quantity answered one run of a request. All are taken from the run alone (the
// settle after it is not looked at), on the response: the measured value minus its value at the
// run's first sample, so an offset the wheel had before the run does not count.
//
// - held: the value the response holds at the end of the run, the mean of the response over the
//   last 0.2 s of the run (over its last sample when the run has no sample in that window).
// - delay: the time from the start of the run to the first sample whose |response| exceeds the
//   threshold (a small change, 0.5 degrees of wheel angle by default). Nothing when no sample
//   does.
// - riseTime: the time the response takes from 10 % to 90 % of `held`, in held's direction: from
//   the first crossing of 10 % to the first crossing of 90 % after it, each crossing placed by
//   linear interpolation between the two samples around it. Nothing when |held| does not exceed
//   the threshold (no step to rise to, e.g. a sine that ends where it started) or the response
//   never reaches 90 %.
// - overshootPercent: how far the response's peak in held's direction goes beyond held, as a
//   percentage of |held|; 0 when it never goes beyond. Nothing when |held| does not exceed the
//   threshold.
struct ResponseMetrics {
    double held = 0;
    std::optional<double> delay;
    std::optional<double> riseTime;
    std::optional<double> overshootPercent;
};

inline constexpr double kWheelAngleResponseThreshold = 0.5;  // degrees
inline constexpr double kHeldWindowSeconds = 0.2;

// The metrics of a run's measured curve (samples in time order) over a run of `runSeconds`.
// Nothing for a curve without samples.
std::optional<ResponseMetrics> responseMetrics(std::span<const CurvePoint> curve, double runSeconds,
                                               double threshold = kWheelAngleResponseThreshold);

// The quantity that answers a channel's request, if the device reports one: the wheel angle
// (degrees) for lateral; nothing is measured for longitudinal (the device reports no engine or
// brake quantity).
bool channelHasMeasuredResponse(ManeuverChannel channel);

// The run's wheel-angle curve of one repeat: its run samples whose angle is plausible (see
// plausibleWheelAngle); the others are not measurements and are left out.
std::vector<CurvePoint> measuredRunCurve(const ManeuverRepeatRecord& record);

// Whether the profile ends on a value it holds, which a response rises to and may overshoot: a
// step does, and so may the points' last one; a ramp ends still moving and a sine oscillating.
bool profileHoldsItsEnd(ManeuverProfile::Kind kind);

// The metrics of one repeat's run, taken on its plausible wheel angles only.
struct RepeatMetrics {
    // Nothing when no sample of the run has a plausible wheel angle: the response was not measured.
    std::optional<ResponseMetrics> response;
    // The run's samples whose wheel angle was not plausible, left out.
    std::size_t implausibleSamples = 0;
    std::size_t runSamples = 0;
};

// The metrics of one repeat of a maneuver; nothing when its channel has no measured response or
// the run did not complete. For a profile that does not hold its end the rise time and overshoot
// are left out.
std::optional<RepeatMetrics> repeatMetrics(const ManeuverRepeatRecord& record, const Maneuver& maneuver);

}  // namespace orvane
