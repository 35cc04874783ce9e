// The simulator's fault plan: a list of ways the device misbehaves, one after the other, read
// from a JSON file or drawn at random for a soak run.
//
//     {"repeat": true, "faults": [{"after": 5, "kind": "freeze", "for": 2},
//                                 {"after": 3, "kind": "garbage", "bytes": 200}]}
//
// "after" counts seconds from the end of the previous fault (from the start for the first); a
// plan that repeats starts its list again after the last fault.

#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::sim {

enum class FaultKind {
    unplug,      // the link goes for "for" seconds and comes back on a new pty
    freeze,      // the device reads but answers nothing for "for" seconds
    garbage,     // "bytes" bytes of line noise before the next message
    bootloader,  // the device resets into its bootloader for "for" seconds, then back
    slow,        // each answer comes "delay" milliseconds late for "for" seconds
};

inline constexpr FaultKind kFaultKinds[] = {FaultKind::unplug, FaultKind::freeze, FaultKind::garbage,
                                            FaultKind::bootloader, FaultKind::slow};

// "unplug", "freeze", "garbage", "bootloader" or "slow", as the plan writes it.
const char* faultKindName(FaultKind kind);

struct Fault {
    FaultKind kind = FaultKind::freeze;
    double after = 0;     // seconds
    double duration = 0;  // "for", seconds; 0 for garbage, which lasts until its burst is sent
    long bytes = 0;       // garbage
    double delay = 0;     // slow, milliseconds

    bool operator==(const Fault&) const = default;
};

// A plan that cannot run. what() is one line naming the fault (faults[i]) and its field, or
// the part of the file at fault, and what is wrong.
class FaultPlanError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct FaultPlan {
    bool repeat = false;
    std::vector<Fault> faults;

    // Bounds that keep a plan to what a test run can mean.
    static constexpr double kLongestSeconds = 3600;  // "after" and "for"
    static constexpr double kLongestDelay = 60000;   // "delay", milliseconds
    static constexpr long kMostBytes = 65536;        // "bytes"
    // A repeating plan whose round takes less than this would start faults without pause.
    static constexpr double kShortestRound = 1;
    static constexpr std::size_t kMostFileBytes = 64 * 1024;

    // Throw FaultPlanError.
    static FaultPlan fromJsonText(std::string_view text);
    // Also when the file cannot be read, is not a regular file or is larger than kMostFileBytes.
    static FaultPlan fromFile(const std::filesystem::path& path);

    // A repeating plan drawn from `seed` (the same plan for the same seed) with each kind once
    // in a round, in an order of the draw; a round takes at most kRandomRound seconds plus the
    // time a garbage burst waits for the next message, so every kind comes at least once a
    // minute while a host asks for messages.
    static FaultPlan random(std::uint64_t seed);
    static constexpr double kRandomRound = 50;

    // The plan as JSON on one line, as fromJsonText reads it.
    std::string jsonText() const;

    bool operator==(const FaultPlan&) const = default;
};

// `bytes` bytes of line noise: bytes with the high bit set (the first is one), invalid UTF-8,
// stray braces and, at the end, the start of a name that never ends.
std::string lineNoise(long bytes);

}  // namespace orvane::sim
