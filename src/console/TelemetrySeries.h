#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "device/DeviceTelemetry.h"

namespace orvane {

// The quantities the live plots show.
enum class TelemetrySeriesKind {
    steeringWheelAngle,        // degrees
    steeringAssistanceTorque,  // Nm
    steeringDriverTorque,      // Nm
    requestLateral,            // -1 to 1
    requestLongitudinal,       // -1 to 1
};
inline constexpr std::size_t kTelemetrySeriesCount = 5;

// A series' name: "Steering Wheel Angle", "Assistance Torque", "Driver Torque", "Lateral Request",
// "Longitudinal Request". In English, as the exports' column names use it; the plot shows it
// through translate("TelemetrySeries", title).
std::string_view seriesTitle(TelemetrySeriesKind kind);

// A point to draw: `seconds` relative to the end of the plotted window (from -window to 0, the
// newest sample nearest 0), and the value.
struct SeriesPoint {
    double seconds = 0;
    double value = 0;

    friend bool operator==(const SeriesPoint&, const SeriesPoint&) = default;
};

// Where the lines through `points` (oldest first) start: at the first point and at every point
// more than `gap` after the one before it. Between two lines there was no data (no device, or a
// device that did not answer), and a line drawn across would show values nobody measured.
std::vector<std::size_t> lineStarts(const std::vector<SeriesPoint>& points, std::chrono::duration<double> gap);

// The last `window` (30 s) of each series, for live plots. The console appends a sample of every
// series from the telemetry it reads 50 times a second; each series keeps its samples in a ring
// of fixed capacity, trimmed to the window on each append, so its memory stays the same however
// long it runs (and however fast it is fed: beyond the capacity the oldest samples go first).
//
// Samples are stamped with the time they are appended, so the plots' time axis is the real time
// of the samples, however irregular their pace; where more than gap() lies between two samples
// the plotted lines break (lineStarts).
//
// Pausing stops appending and freezes the plotted window at the moment of pausing; resuming
// continues with the samples that come from then on.
//
// One thread (the main thread) uses an object.
class TelemetrySeries {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    static constexpr std::chrono::steady_clock::duration kDefaultWindow = std::chrono::seconds(30);
    // 30 s at 50 samples a second is 1500: room for twice that.
    static constexpr std::size_t kDefaultCapacity = 3000;
    // The console samples 50 times a second; a quarter of the silence after which a device is
    // shown as not responding (2 s) without a sample breaks the line.
    static constexpr std::chrono::steady_clock::duration kDefaultGap = std::chrono::milliseconds(500);

    // `clock` gives the time of each sample and of the window's end (steady_clock::now unless given).
    explicit TelemetrySeries(Clock clock = nullptr, std::chrono::steady_clock::duration window = kDefaultWindow,
                             std::size_t capacity = kDefaultCapacity,
                             std::chrono::steady_clock::duration gap = kDefaultGap);

    // Appends one sample of each series, stamped with the clock's time; nothing while paused. A
    // value that is not finite (nan, inf) is left out of its series.
    void append(const DeviceTelemetry& telemetry, double requestLateral, double requestLongitudinal);
    // The same for telemetry whose last message was received at `received`, but only when a
    // message has come since the last such append: a device that stopped answering leaves a gap,
    // not a flat line of its last values.
    void append(const DeviceTelemetry& telemetry, double requestLateral, double requestLongitudinal,
                std::chrono::steady_clock::time_point received);

    void setPaused(bool paused);
    bool isPaused() const { return paused_; }
    // Forgets every sample.
    void clear();

    // The series' samples inside the window that ends now (or at the moment of pausing), oldest
    // first.
    std::vector<SeriesPoint> points(TelemetrySeriesKind kind) const;
    // Samples held, including any older than the window that no append has trimmed yet.
    std::size_t size(TelemetrySeriesKind kind) const;

    std::chrono::steady_clock::duration window() const { return window_; }
    std::size_t capacity() const { return capacity_; }
    // Samples further apart than this are not joined by a line.
    std::chrono::steady_clock::duration gap() const { return gap_; }

private:
    struct Sample {
        std::chrono::steady_clock::time_point time;
        double value = 0;
    };
    // A ring of `capacity_` samples: `count` samples from `head` on, oldest first.
    struct Ring {
        std::vector<Sample> samples;
        std::size_t head = 0;
        std::size_t count = 0;

        const Sample& at(std::size_t index) const { return samples[(head + index) % samples.size()]; }
        void push(Sample sample);
        void dropOldest();
    };

    void append(TelemetrySeriesKind kind, std::chrono::steady_clock::time_point time, double value);
    std::chrono::steady_clock::time_point windowEnd() const;

    const Clock clock_;
    const std::chrono::steady_clock::duration window_;
    const std::size_t capacity_;
    const std::chrono::steady_clock::duration gap_;
    std::array<Ring, kTelemetrySeriesCount> rings_;
    std::optional<std::chrono::steady_clock::time_point> lastReceived_;
    bool paused_ = false;
    std::chrono::steady_clock::time_point pausedAt_;
};

}  // namespace orvane
