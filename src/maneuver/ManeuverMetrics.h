#pragma once

#include <array>
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

// How a measured quantity answered one run of a request. All are taken on the response: the
// measured value minus the quantity's own motion. That motion is the straight line fitted (least
// squares) to the quantity over the last kBaselineSeconds before the run, carried on through the
// run; when the settle after the run is known (whole, and at least kShortestSettleAfterSeconds
// long, so that the response has died away), the line fitted over its last kBaselineSeconds too,
// joined to the first by a cubic with the value and slope of each. A wheel that drifts or swings
// by itself therefore does not count as answering, and an offset it had before the run does not
// count either. Without samples before the run the line is flat at the run's first sample.
//
// - held: the mean of the response over the last 0.2 s of the run (its last sample when the run
//   has no sample in that window).
// - size: the change the run made, in the direction the request first asks for (when known and
//   the response goes that way beyond the threshold; else held's, or that of the largest one): held for a profile that holds its end when it
//   exceeds the threshold and half the largest response that way, else the largest response that
//   way (a list of points that swings back, or ends near where it began).
// - delay: the time from the start of the run until the response first reaches 10 % of the
//   size in its direction, interpolated between the samples around the crossing. Nothing when
//   the size does not exceed the threshold (0.5 degrees of wheel angle by default): no response.
// - riseTime: from the first crossing of 10 % of held to the first crossing of 90 % after it.
//   Nothing when |held| does not exceed the threshold or the response never reaches 90 %.
// - overshootPercent: how far the response's peak in held's direction goes beyond held, as a
//   percentage of |held|; 0 when it never goes beyond. Nothing when |held| does not exceed the
//   threshold.
// - gain and phaseDegrees (a sine only): the response fitted with a sine of the request's
//   frequency (and a constant) over the run's last whole periods, leaving out the first when
//   there are two or more (all of the run when shorter than one period): gain is its amplitude per percent of request (degrees per percent of wheel angle) and
//   phaseDegrees its phase against the request's direction, -180 to 180, negative when the
//   response lags behind.
struct ResponseMetrics {
    double held = 0;
    std::optional<double> delay;
    std::optional<double> riseTime;
    std::optional<double> overshootPercent;
    std::optional<double> gain;
    std::optional<double> phaseDegrees;
};

// What the metrics need besides the run's curve.
struct ResponseContext {
    double runSeconds = 0;
    // The quantity before the run (times negative, in time order); may be empty.
    std::span<const CurvePoint> before;
    // The quantity at the end of the settle after the run (times after the run's end, in time
    // order); may be empty.
    std::span<const CurvePoint> after;
    // The profile ends on a value it holds (a step, points): rise and overshoot are measured.
    bool holdsEnd = true;
    // A sine's frequency (Hz) and its peak request in percent, signed the way the measured
    // quantity answers it (a clockwise lateral request drives the wheel angle negative).
    std::optional<double> sineFrequency;
    double sinePeakPercent = 0;
    // The way the request first asks the quantity to move: 1 or -1; 0 when not known.
    int firstDirection = 0;
};

inline constexpr double kWheelAngleResponseThreshold = 0.5;  // degrees
inline constexpr double kHeldWindowSeconds = 0.2;
inline constexpr double kBaselineSeconds = 0.5;
inline constexpr double kShortestSettleAfterSeconds = 1.0;
inline constexpr double kFirstResponseShare = 0.1;

// The metrics of a run's measured curve (samples in time order). Nothing for a curve without
// samples.
std::optional<ResponseMetrics> responseMetrics(std::span<const CurvePoint> curve, const ResponseContext& context,
                                               double threshold = kWheelAngleResponseThreshold);

// The metrics a response has, by name, in the order reports list them.
enum class ResponseMetric { held, delay, riseTime, overshootPercent, gain, phaseDegrees };
inline constexpr std::array kResponseMetrics{ResponseMetric::held,     ResponseMetric::delay,
                                             ResponseMetric::riseTime, ResponseMetric::overshootPercent,
                                             ResponseMetric::gain,     ResponseMetric::phaseDegrees};
// "held", "delay", "riseTime", "overshootPercent", "gain", "phaseDegrees": the metrics file's keys.
const char* metricKey(ResponseMetric metric);
// "held", "delay", "rise", "overshoot", "gain", "phase": the monitor's and the report's words.
const char* metricWord(ResponseMetric metric);
// " deg", " s", " %", " deg/%": after a value.
const char* metricUnit(ResponseMetric metric);
int metricDigits(ResponseMetric metric);
std::optional<double> metricValue(const ResponseMetrics& metrics, ResponseMetric metric);

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

// The metric an expectation bounds: delayMax the delay, riseMax the rise time,
// overshootMaxPercent the overshoot, heldWithin the held value.
ResponseMetric expectedMetric(ManeuverExpectation::Kind kind);

// Whether a repeat of the maneuver can have the metric at all.
bool maneuverHasMetric(const Maneuver& maneuver, ResponseMetric metric);

// The metrics of one repeat's run, taken on its plausible wheel angles only.
struct RepeatMetrics {
    // Nothing when no sample of the run has a plausible wheel angle: the response was not measured.
    std::optional<ResponseMetrics> response;
    // The run's samples whose wheel angle was not plausible, left out.
    std::size_t implausibleSamples = 0;
    std::size_t runSamples = 0;
};

// The metrics of one repeat of a maneuver; nothing when its channel has no measured response or
// the run did not complete. A metric the profile cannot have (rise and overshoot of a ramp or a
// sine, gain and phase of anything but a sine) is left out.
std::optional<RepeatMetrics> repeatMetrics(const ManeuverRepeatRecord& record, const Maneuver& maneuver);

// How a metric spread over the repeats that measured it.
struct MetricSpread {
    std::size_t count = 0;
    double mean = 0;
    double min = 0;
    double max = 0;
    double standardDeviation = 0;  // of the sample (n - 1); 0 for one value
};
std::optional<MetricSpread> spreadOf(std::span<const double> values);

}  // namespace orvane
