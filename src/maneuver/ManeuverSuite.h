#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane {

// The request a maneuver drives: lateral (steering) or longitudinal (engine against brake).
enum class ManeuverChannel { lateral, longitudinal };

// "lateral" or "longitudinal", as the maneuver file writes it.
const char* channelName(ManeuverChannel channel);

// The shape of one run's request over time. Values are the session's magnitudes (-1 to 1),
// times in seconds from the start of the run.
struct ManeuverProfile {
    enum class Kind { step, ramp, sine, points };

    Kind kind = Kind::step;
    double amplitude = 0;  // step: the value held; sine: the peak
    double from = 0;       // ramp
    double to = 0;         // ramp
    double frequency = 0;  // sine, Hz
    double duration = 0;   // seconds; for points the last point's time
    // (time, value), times rising; before the first point its value holds, after the last one
    // the last value holds.
    std::vector<std::pair<double, double>> points;

    // The value at `t` seconds into the run; 0 outside [0, duration].
    double valueAt(double t) const;
    // The largest |value| the profile takes over [0, duration].
    double peakMagnitude() const;
};

// "step", "ramp", "sine" or "points".
const char* profileName(ManeuverProfile::Kind kind);

// What every completed repeat of a maneuver must meet: one bound on one of its response's
// metrics, as the file's "expect" object writes it, and optionally how much worse than the same
// repeat of a baseline run it may be.
struct ManeuverExpectation {
    enum class Kind { delayMax, riseMax, overshootMaxPercent, heldWithin };

    Kind kind = Kind::delayMax;
    double low = 0;   // heldWithin: the lowest held value (degrees)
    double high = 0;  // the most: seconds, percent, or heldWithin's highest held value (degrees)
    // A repeat whose metric is worse than the baseline's by more than this fails (for held,
    // differs from it by more than this either way).
    std::optional<double> tolerance;
};

// "delayMax", "riseMax", "overshootMaxPercent" or "heldWithin", as the file writes it.
const char* expectationKey(ManeuverExpectation::Kind kind);

struct Maneuver {
    std::string name;
    ManeuverChannel channel = ManeuverChannel::lateral;
    ManeuverProfile profile;
    int repeats = 1;
    double settle = 2.0;                            // seconds at 0 after every run
    std::vector<ManeuverExpectation> expectations;  // in the order of ManeuverExpectation::Kind
};

struct ManeuverLimits {
    double lateral = 0;            // largest |lateral request|, at most 1
    double longitudinal = 0;       // largest |longitudinal request|, at most 1
    double driverTorqueAbort = 0;  // Nm: a driver torque beyond this ends the suite

    double forChannel(ManeuverChannel channel) const {
        return channel == ManeuverChannel::lateral ? lateral : longitudinal;
    }
};

// A maneuver file that cannot run. what() is one line naming the maneuver (its position and
// name) or the part of the file at fault, and what is wrong.
class ManeuverFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The maneuvers of one file and the limits they run under. Reading checks everything before
// anything runs: a suite that reads without an error only asks for requests within its limits.
struct ManeuverSuite {
    ManeuverLimits limits;
    std::vector<Maneuver> maneuvers;
    // The SHA-256 of the file's bytes (lower-case hexadecimal), set by the reader that has them;
    // a baseline names the suite it was measured with by it. Empty when not known.
    std::string fileSha256;

    // Throws ManeuverFileError.
    static ManeuverSuite fromJsonText(std::string_view text);
    // The bytes of the file at `path`, read as fromFile reads them. Throws ManeuverFileError.
    static std::string readFileText(const std::filesystem::path& path);
    // Throws ManeuverFileError, also when the file cannot be read, is not a regular file (a FIFO
    // or a device is refused without reading or waiting) or is larger than kMostFileBytes.
    static ManeuverSuite fromFile(const std::filesystem::path& path);

    // A suite of a thousand maneuvers takes about 150 KiB: no real file comes near this.
    static constexpr std::size_t kMostFileBytes = 1024 * 1024;
};

}  // namespace orvane
