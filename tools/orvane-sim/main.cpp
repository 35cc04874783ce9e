// orvane-sim: a simulated vehicle interface device on a pseudo-terminal.
//
// Prints the device path (the pty's slave) on the first line of standard output, answers each
// "CONTROL" request with one message from a moving vehicle, and can misbehave on purpose.
// Runs until SIGINT or SIGTERM, or until it unplugs itself.
//
// Like the real board, a host that opens the device at 1200 baud and closes it again makes it
// reboot into its serial bootloader, which takes a firmware image from bossac; the bootloader's
// reset brings the device back with the version the image carries. Each reboot replaces the pty
// by a new one and prints its path as a further line.
//
// A fault plan (--faults) makes it misbehave on a schedule, and --stats keeps a file of counts
// for a soak run to check against what its host saw.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <variant>

#include "Bootloader.h"
#include "FaultPlan.h"
#include "SimulatorStats.h"
#include "ToolOptions.h"
#include "UsbPort.h"
#include "device/DeviceReport.h"
#include "device/NumberText.h"
#include "device/ReportFramer.h"
#include "device/ValueSyntax.h"

namespace {

using orvane::DeviceReport;
using orvane::sim::Bootloader;
using orvane::sim::BootloaderFaults;
using orvane::sim::Fault;
using orvane::sim::FaultKind;
using orvane::sim::FaultPlan;
using orvane::sim::Flash;
using orvane::sim::SimulatorStats;
using orvane::sim::UsbPort;
using Clock = std::chrono::steady_clock;

// What a device whose flashed image carries no version marker reports.
const char* const kUnmarkedFirmwareVersion = "0.0.0.0";

struct Options {
    std::string linkPath;
    std::string version = "1.1.9.0";
    long rate = 100;
    std::optional<long> unplugAfter;
    bool silent = false;
    std::optional<long> highBitAfter;
    std::optional<long> endlessNameAfter;
    double steerDelay = 0;             // seconds
    double steerLag = 0.3;             // seconds
    double swing = 25;                 // degrees
    std::optional<double> driverGrab;  // seconds after a client's first request
    std::string bootloaderLinkPath;
    std::string flashDumpPath;
    BootloaderFaults faults;
    bool startInBootloader = false;
    bool stayInBootloaderAfterInterrupt = false;
    std::string faultsSource;  // a file, or "random"
    std::optional<unsigned long long> seed;
    std::optional<FaultPlan> plan;
    std::string statsPath;
};

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] auto written = ::write(signalPipe[1], &byte, 1);
}

// A number in the device protocol's syntax (C locale) from 0 to `most`.
CLI::Validator amount(double most) {
    return CLI::Validator(
        [most](std::string& text) {
            const auto value = orvane::parseNumber(text);
            if (value && *value >= 0 && *value <= most) return std::string();
            return "'" + text + "' is not a number from 0 to " + std::to_string(static_cast<long>(most));
        },
        "");
}

const CLI::Validator kCount = orvane::tools::wholeNumberFrom(0);
using orvane::tools::kNamesAFile;

// The command line, or the exit status to end with at once.
std::variant<Options, int> parseOptions(int argc, char** argv) {
    Options options;
    CLI::App app{
        "A simulated Orvane vehicle interface on a pseudo-terminal. Prints the device path (the pty's slave) on "
        "the first line of standard output, answers each CONTROL request with one message from a moving "
        "vehicle, and can misbehave on purpose. Runs until SIGINT or SIGTERM, or until it unplugs itself.\n\n"
        "The wheel turns 3.6 degrees clockwise (negative) per percent of lateral request, plus a slow swing of "
        "its own; the driver's torque follows the angle's sign.\n\n"
        "Opened at 1200 baud and closed, the device reboots into its bootloader (an ATSAMD21G18A's SAM-BA "
        "monitor, for bossac) on a new pty, linked from the --link PATH; its reset brings the device back on a "
        "new pty, reporting the version in the image's \"ORVANE-FIRMWARE-VERSION=V\" marker (NUL-terminated), "
        "or 0.0.0.0 for an image without one. Each new pty's path is printed."};
    orvane::tools::describeTool(app, "orvane-sim");
    auto text = [](CLI::Option* option, const char* name) { return option->type_name(name); };
    text(app.add_option("--link", options.linkPath,
                        "Place a symbolic link to the device at PATH (removed on exit); the console lists only names "
                        "that begin with "
                        "ttyACM, ttyUSB or cu.usb, so name it DIR/ttyACM0, for one"),
         "PATH");
    text(app.add_option("--firmware-version", options.version, "Firmware version X to report (default 1.1.9.0)"), "X");
    text(app.add_option("--rate", options.rate,
                        "Answer at most N messages a second, as the device's bus cycle paces it (default 100; 0: "
                        "answer every request at once)"),
         "N")
        ->check(kCount);
    text(app.add_option("--unplug-after", options.unplugAfter,
                        "After N messages, close the device when the next request comes and remove the link, then exit"),
         "N")
        ->check(kCount);
    app.add_flag("--silent", options.silent, "Read requests but never answer");
    text(
        app.add_option("--high-bit-after", options.highBitAfter, "Make message N+1 carry a byte with the high bit set"),
        "N")
        ->check(kCount);
    text(app.add_option("--endless-name-after", options.endlessNameAfter,
                        "After N messages, send a name that never ends"),
         "N")
        ->check(kCount);
    text(app.add_option("--steer-delay", options.steerDelay,
                        "The wheel starts to follow a lateral request this long after it arrives (default 0, at "
                        "most 10)"),
         "SECONDS")
        ->check(amount(10));
    text(app.add_option("--steer-lag", options.steerLag,
                        "Time constant of the wheel's first-order lag (default 0.3, at most 10; 0: none)"),
         "SECONDS")
        ->check(amount(10));
    text(app.add_option("--swing", options.swing,
                        "Amplitude of the wheel's own slow swing (default 25, at most 180; 0: none)"),
         "DEGREES")
        ->check(amount(180));
    text(app.add_option("--driver-grab", options.driverGrab,
                        "This long after a client's first request the driver grabs the wheel: it stays where it "
                        "is and the driver's torque exceeds 4 Nm"),
         "SECONDS")
        ->check(amount(86400));
    text(app.add_option("--bootloader-link", options.bootloaderLinkPath,
                        "Link the bootloader from PATH instead, and remove the device's link"),
         "PATH")
        ->check(kNamesAFile);
    text(app.add_option("--flash-dump", options.flashDumpPath,
                        "At a reset after a write, save the written flash to FILE: from the lowest written address "
                        "(0 with bossac's defaults) to the last byte the host sent, so exactly the image bossac "
                        "wrote"),
         "FILE")
        ->check(kNamesAFile);
    app.add_flag("--flip-bit-after-write", options.faults.flipBitAfterWrite,
                 "Flip one bit of the written flash before it is read back");
    app.add_flag("--vanish-during-write", options.faults.vanishDuringWrite,
                 "After 16 pages (1 KiB) were written, the bootloader's link goes and it answers nothing; its pty "
                 "goes when the host closes it (at most 20 s later), and the simulator exits");
    app.add_flag("--bootloader-silent", options.faults.silent, "The bootloader reads everything and answers nothing");
    app.add_flag("--start-in-bootloader", options.startInBootloader,
                 "Start in the bootloader, as a board without firmware does");
    app.add_flag("--stay-in-bootloader-after-interrupt", options.stayInBootloaderAfterInterrupt,
                 "A bootloader that vanished during a write (--vanish-during-write) comes back as the bootloader, "
                 "once its pty has gone, instead of exiting: the write was cut short, so the board stays there; the "
                 "next write succeeds");
    text(app.add_option("--faults", options.faultsSource,
                        "Misbehave on the plan in FILE, a JSON object (at most 64 KiB): {\"repeat\": true, "
                        "\"faults\": [{\"after\": S, \"kind\": K, ...}, ...]}. Each fault starts \"after\" seconds "
                        "after the end of the previous one (after the start for the first); with \"repeat\" true "
                        "(default false) the list starts again after its last fault. Kinds and their fields, all of "
                        "them required: \"unplug\" (\"for\": the link goes for that many seconds and comes back on a "
                        "new pty), \"freeze\" (\"for\": the device reads but answers nothing), \"garbage\" "
                        "(\"bytes\": that many bytes of line noise, high-bit bytes, invalid UTF-8, stray braces and "
                        "an unterminated name, just before the next message; it lasts until they are sent), "
                        "\"bootloader\" (\"for\": the device resets into its bootloader, then back into its "
                        "firmware, same version, nothing flashed; a host's reset ends it sooner) and \"slow\" "
                        "(\"for\", and \"delay\": each answer comes that many milliseconds late). \"after\" and "
                        "\"for\" are 0 to 3600 seconds, \"bytes\" a whole number from 1 to 65536, \"delay\" 1 to "
                        "60000; a round of a repeating plan takes at least 1 s. A fault due while the device sits in "
                        "its bootloader after a 1200-baud reset waits until it is back. A line on standard error "
                        "tells as each fault starts and ends. A bad plan is refused (exit status 2) with a line that "
                        "names the fault (faults[I], from 0) and the field. FILE \"random\" draws a repeating plan "
                        "with each kind once a round, a round at most 50 s (so each kind at least once a minute "
                        "while a host asks for messages) and prints it; name a file ./random"),
         "FILE")
        ->check(kNamesAFile);
    text(app.add_option("--seed", options.seed,
                        "Draw the plan of --faults random from N: the same plan for the same N (default: from the "
                        "clock; the plan printed names it)"),
         "N")
        ->check(kCount);
    text(app.add_option("--stats", options.statsPath,
                        "Keep counts in FILE, a JSON object rewritten every second, as connections and faults start "
                        "and end, and at exit: {\"connections\": [{\"opened\": T, \"closed\": T, "
                        "\"messagesSent\": N, \"requestsReceived\": N, \"nonZeroRequests\": N}, ...], "
                        "\"faults\": [{\"kind\": K, \"start\": T, \"end\": T}, ...]}, times in seconds since the "
                        "epoch (null while the connection is open or the fault under way). A connection lasts from "
                        "the first bytes a host sends on a newly opened device until it closes it, the link goes or "
                        "the simulator ends; it counts the reports written to the host, the CONTROL requests read "
                        "and those with a lateral or longitudinal magnitude other than 0. The file is replaced "
                        "whole (a temporary file beside it, then a rename)"),
         "FILE")
        ->check(kNamesAFile);
    if (auto status = orvane::tools::parseToolOptions(app, argc, argv)) return *status;
    if (options.seed && options.faultsSource != "random") {
        return orvane::tools::usageError(app, "--seed requires --faults random");
    }
    if (options.faultsSource == "random") {
        const unsigned long long seed =
            options.seed.value_or(static_cast<unsigned long long>(Clock::now().time_since_epoch().count()));
        options.plan = FaultPlan::random(seed);
        std::fprintf(stderr, "orvane-sim: fault plan drawn with seed %llu: %s\n", seed,
                     options.plan->jsonText().c_str());
    } else if (!options.faultsSource.empty()) {
        try {
            options.plan = FaultPlan::fromFile(options.faultsSource);
        } catch (const orvane::sim::FaultPlanError& error) {
            return orvane::tools::usageError(app, "--faults: " + std::string(error.what()));
        }
    }
    return options;
}

// Rounded to two decimals, as the device's firmware prints its values.
std::string decimal(double value) { return orvane::numberText(std::round(value * 100) / 100); }

// How the wheel answers lateral requests.
struct SteeringOptions {
    double delay = 0;                  // seconds before the wheel starts to follow a request
    double lag = 0.3;                  // time constant of its first-order lag, seconds
    double swing = 25;                 // degrees of the wheel's own slow swing
    std::optional<double> driverGrab;  // seconds after a client's first request
};

// A vehicle driving about: the wheel swings slowly and follows the requested lateral control
// after a delay and through a first-order lag, the driver's torque follows it, overlays and
// control methods change now and then. A driver who grabs the wheel holds it where it is, with
// a torque of more than 4 Nm.
// Signs: a positive lateral request asks for a clockwise turn, while a positive steering wheel
// angle is counterclockwise; the driver's torque counts the same way as the angle. So a
// clockwise request drives the angle and the torque negative.
class Vehicle {
public:
    Vehicle(std::string version, SteeringOptions steering)
        : version_(std::move(version)), steering_(steering), start_(Clock::now()), last_(start_) {}

    void request(double lateralPercent, double longitudinalPercent) {
        if (std::isfinite(lateralPercent)) lateral_ = std::clamp(lateralPercent, -100.0, 100.0);
        if (std::isfinite(longitudinalPercent)) longitudinal_ = std::clamp(longitudinalPercent, -100.0, 100.0);
        const auto now = Clock::now();
        if (!clientStart_) clientStart_ = now;
        pending_.emplace_back(now, lateral_);
    }

    // A new client starts with the device information, the state and the statistics, and its
    // own time for the driver's grab.
    void restart() {
        index_ = 0;
        clientStart_.reset();
        grabbed_ = false;
    }

    void setVersion(std::string version) { version_ = std::move(version); }

    DeviceReport nextMessage() {
        advance();
        const long k = index_++;
        if (k == 0 || k % 100 == 50) return deviceInfo();
        if (k == 1 || k % 10 == 3) return state();
        if (k == 2 || k % 10 == 7) return statistics();
        return steering();
    }

private:
    double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

    void advance() {
        const auto now = Clock::now();
        const double step = std::chrono::duration<double>(now - last_).count();
        last_ = now;
        const double t = seconds();
        // The requests older than the delay have reached the wheel.
        const auto due =
            now - std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(steering_.delay));
        while (!pending_.empty() && pending_.front().first <= due) {
            applied_ = pending_.front().second;
            pending_.pop_front();
        }
        if (steering_.driverGrab && clientStart_ && !grabbed_ &&
            std::chrono::duration<double>(now - *clientStart_).count() >= *steering_.driverGrab) {
            grabbed_ = true;
            std::fprintf(stderr, "orvane-sim: the driver grabs the wheel\n");
        }
        if (grabbed_) return;
        // First-order lag towards a gentle swing plus 3.6 degrees clockwise per percent of the
        // lateral request that has reached the wheel.
        const double target = steering_.swing * std::sin(0.4 * t) - 3.6 * applied_;
        angle_ = steering_.lag > 0 ? angle_ + (target - angle_) * (1 - std::exp(-step / steering_.lag)) : target;
    }

    double driverTorque(double t) const {
        const double torque = -0.025 * applied_ + 0.1 * std::sin(2.3 * t);
        return grabbed_ ? torque + (angle_ < 0 ? -4.0 : 4.0) : torque;
    }

    static const char* overlay(double t, double period, double phase) {
        static const char* const states[] = {"activated", "activated", "inactive", "temporary-deactivation",
                                             "activated", "faulted",   "unknown"};
        const auto slot = static_cast<long>(std::floor(t / period + phase));
        return states[((slot % 7) + 7) % 7];
    }

    DeviceReport steering() const {
        const double t = seconds();
        return {"STEERING",
                {{"angle", decimal(angle_)},
                 {"apaTOI", overlay(t, 4.0, 0.0)},
                 {"halfTOI", overlay(t, 5.0, 3.0)},
                 {"assist-torque", decimal(0.8 * std::sin(0.7 * t) + 0.01 * longitudinal_)},
                 {"driver-torque", decimal(driverTorque(t))}}};
    }

    DeviceReport state() const {
        const double t = seconds();
        static const char* const lateral[] = {"HALF", "HALF", "APA", "", "LKA"};
        static const char* const longitudinal[] = {"DASM", "DASM", ""};
        return {"STATE",
                {{"lateral-control-method", lateral[static_cast<long>(t / 7) % 5]},
                 {"longitudinal-control-method", longitudinal[static_cast<long>(t / 11) % 3]}}};
    }

    DeviceReport deviceInfo() const {
        return {"DEVICE-INFO",
                {{"version", version_}, {"build-date", "2024-03-18T14:05:12.345Z"}, {"serial-number", "OV-SIM-0001"}}};
    }

    DeviceReport statistics() const {
        const double t = seconds();
        return {"STATISTICS",
                {{"can0-rx-message-count", std::to_string(static_cast<long long>(1000 * t))},
                 {"can1-rx-message-count", std::to_string(static_cast<long long>(400 * t))}}};
    }

    std::string version_;
    SteeringOptions steering_;
    Clock::time_point start_;
    Clock::time_point last_;
    long index_ = 0;
    double angle_ = 0;
    double lateral_ = 0;
    double longitudinal_ = 0;
    // Lateral requests on their way to the wheel (arrival, percent), and the one that has reached it.
    std::deque<std::pair<Clock::time_point, double>> pending_;
    double applied_ = 0;
    std::optional<Clock::time_point> clientStart_;
    bool grabbed_ = false;
};

class Simulator {
public:
    explicit Simulator(Options options)
        : options_(std::move(options)),
          vehicle_(options_.version, {.delay = options_.steerDelay,
                                      .lag = options_.steerLag,
                                      .swing = options_.swing,
                                      .driverGrab = options_.driverGrab}),
          stats_(options_.statsPath) {}

    bool open() {
        if (options_.plan && !options_.plan->faults.empty()) {
            nextFaultAt_ = Clock::now() + seconds(options_.plan->faults.front().after);
        } else {
            planDone_ = true;
        }
        // A file that cannot be written is told at once rather than after a soak run.
        if (!options_.statsPath.empty() && !stats_.write()) return false;
        nextStatsWrite_ = Clock::now() + std::chrono::seconds(1);
        if (!options_.startInBootloader) return port_.attach(options_.linkPath);
        std::fprintf(stderr, "orvane-sim: starting in the bootloader\n");
        bootloader_.emplace(flash_, options_.faults);
        return port_.attach(bootloaderLink());
    }

    int run() {
        for (;;) {
            if (!followPlan()) return 1;
            if (!sendDelayedAnswers()) return 0;
            keepStats();
            const int master = port_.master();
            pollfd descriptors[2] = {{master, static_cast<short>(POLLIN | (endless_ ? POLLOUT : 0)), 0},
                                     {signalPipe[0], POLLIN, 0}};
            // Without a host the master reports a hang-up at once; a poll that waits instead
            // means a host has opened the device, even one that never sends anything. (While the
            // device is unplugged there is no master: poll skips a descriptor of -1.)
            int ready = ::poll(descriptors, 2, pollTimeout(hostPresent_ || master < 0 ? -1 : 20));
            if (ready < 0) {
                if (errno == EINTR) continue;
                std::perror("orvane-sim: poll");
                return 1;
            }
            if (descriptors[1].revents != 0) return 0;
            if (master < 0) continue;
            const short events = descriptors[0].revents;
            if (ready == 0) {
                hostArrived();
                continue;
            }
            if (events & POLLIN) {
                hostArrived();
                if (!readFromHost()) return 0;
            } else if (events & (POLLHUP | POLLERR)) {
                if (hostPresent_ && !hostLeft()) return 1;
                // No client has the device open: look again shortly.
                pollfd signal{signalPipe[0], POLLIN, 0};
                if (::poll(&signal, 1, pollTimeout(20)) > 0) return 0;
                continue;
            }
            if ((events & POLLOUT) && endless_) sendEndlessName();
        }
    }

    // At exit the device goes: the counts say so once more.
    void finish() {
        if (activeFault_) {
            std::fprintf(stderr, "orvane-sim: faults[%zu]: %s ends as the simulator stops\n", *activeFault_,
                         faultKindName(options_.plan->faults[*activeFault_].kind));
        }
        stats_.finish();
        stats_.write();
    }

private:
    static Clock::duration seconds(double value) {
        return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(value));
    }

    // Milliseconds until the next thing to do (a fault to start or end, a delayed answer, the
    // counts to write), at most `limit` (-1: no limit), rounded up so that it is due on waking.
    int pollTimeout(int limit) const {
        std::optional<Clock::time_point> next;
        auto consider = [&](Clock::time_point at) { next = next ? std::min(*next, at) : at; };
        if (activeFault_ && options_.plan->faults[*activeFault_].kind != FaultKind::garbage) consider(faultEndsAt_);
        if (!activeFault_ && !planDone_ && !bootloader_) consider(nextFaultAt_);
        if (!delayedAnswers_.empty()) consider(delayedAnswers_.front());
        if (!options_.statsPath.empty()) consider(nextStatsWrite_);
        if (!next) return limit;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
        const int due = static_cast<int>(std::clamp<long long>(wait, 0, 60'000));
        return limit < 0 ? due : std::min(limit, due);
    }

    void keepStats() {
        const auto now = Clock::now();
        if (options_.statsPath.empty() || (!stats_.changed() && now < nextStatsWrite_)) return;
        stats_.write();
        nextStatsWrite_ = now + std::chrono::seconds(1);
    }

    // Starts and ends the plan's faults as they come due; false if the device could not come
    // back after one.
    bool followPlan() {
        const auto now = Clock::now();
        if (activeFault_) {
            const bool timed = options_.plan->faults[*activeFault_].kind != FaultKind::garbage;
            return !timed || now < faultEndsAt_ || endFault();
        }
        // The board sitting in its bootloader (a host reset it at 1200 baud) runs no firmware to
        // misbehave: the fault waits until it is back.
        if (planDone_ || bootloader_ || now < nextFaultAt_) return true;
        const std::size_t index = nextFault_;
        const Fault& fault = options_.plan->faults[index];
        const char* kind = faultKindName(fault.kind);
        activeFault_ = index;
        faultEndsAt_ = now + seconds(fault.duration);
        stats_.faultStarted(kind);
        const std::string duration = orvane::numberText(fault.duration);
        switch (fault.kind) {
            case FaultKind::unplug:
                std::fprintf(stderr, "orvane-sim: faults[%zu]: unplug starts: the link goes for %s s\n", index,
                             duration.c_str());
                linkGoes();
                port_.detach();
                return true;
            case FaultKind::freeze:
                std::fprintf(stderr, "orvane-sim: faults[%zu]: freeze starts: answering nothing for %s s\n", index,
                             duration.c_str());
                frozen_ = true;
                return true;
            case FaultKind::garbage:
                std::fprintf(stderr,
                             "orvane-sim: faults[%zu]: garbage starts: %ld bytes of line noise before the next "
                             "message\n",
                             index, fault.bytes);
                noise_ = orvane::sim::lineNoise(fault.bytes);
                return true;
            case FaultKind::bootloader:
                std::fprintf(stderr, "orvane-sim: faults[%zu]: bootloader starts: in the bootloader for %s s\n", index,
                             duration.c_str());
                linkGoes();
                bootloader_.emplace(flash_, options_.faults);
                faultBootloader_ = true;
                return port_.attach(bootloaderLink());
            case FaultKind::slow:
                std::fprintf(stderr, "orvane-sim: faults[%zu]: slow starts: answers %s ms late for %s s\n", index,
                             orvane::numberText(fault.delay).c_str(), duration.c_str());
                slowDelay_ = fault.delay;
                return true;
        }
        return true;
    }

    // Ends the fault under way and schedules the next one; false if the device could not come
    // back.
    bool endFault() {
        const std::size_t index = *activeFault_;
        const Fault& fault = options_.plan->faults[index];
        std::fprintf(stderr, "orvane-sim: faults[%zu]: %s ends\n", index, faultKindName(fault.kind));
        bool back = true;
        switch (fault.kind) {
            case FaultKind::unplug:
                hostPresent_ = false;
                back = port_.attach(options_.linkPath);
                break;
            case FaultKind::freeze: frozen_ = false; break;
            case FaultKind::garbage: break;
            case FaultKind::bootloader:
                // Unless a host reset it meanwhile, the bootloader starts the firmware again.
                if (faultBootloader_ && bootloader_) {
                    bootloader_.reset();
                    hostPresent_ = false;
                    back = port_.attach(options_.linkPath);
                }
                faultBootloader_ = false;
                break;
            case FaultKind::slow: slowDelay_ = 0; break;
        }
        stats_.faultEnded();
        activeFault_.reset();
        if (++nextFault_ == options_.plan->faults.size()) {
            nextFault_ = 0;
            planDone_ = !options_.plan->repeat;
        }
        nextFaultAt_ = Clock::now() + seconds(options_.plan->faults[nextFault_].after);
        return back;
    }

    // The device leaves the bus, under a host that may have it open: its connection ends.
    void linkGoes() {
        if (connected_) std::fprintf(stderr, "orvane-sim: the link goes under the client\n");
        if (!bootloader_) clientGone();
        hostPresent_ = false;
    }

    // The answers a slowdown held back, each as it comes due; false once the simulator has
    // unplugged itself.
    bool sendDelayedAnswers() {
        while (!delayedAnswers_.empty() && delayedAnswers_.front() <= Clock::now()) {
            delayedAnswers_.pop_front();
            if (!answer()) return false;
        }
        return true;
    }

    void hostArrived() {
        if (hostPresent_) return;
        hostPresent_ = true;
        if (bootloader_) bootloader_->hostOpened();
    }

    // False if the device could not come back after a reboot.
    bool hostLeft() {
        hostPresent_ = false;
        if (bootloader_) return true;
        if (connected_) std::fprintf(stderr, "orvane-sim: client closed the device\n");
        clientGone();
        // The board's USB stack reboots into the bootloader when a host closes the port it set
        // to 1200 baud. The speed outlives the close, so it is read here.
        if (port_.speed() != B1200) return true;
        std::fprintf(stderr, "orvane-sim: opened at 1200 baud and closed: rebooting into the bootloader\n");
        bootloader_.emplace(flash_, options_.faults);
        return port_.attach(bootloaderLink());
    }

    const std::string& bootloaderLink() const {
        return options_.bootloaderLinkPath.empty() ? options_.linkPath : options_.bootloaderLinkPath;
    }

    void clientGone() {
        stats_.connectionClosed();
        connected_ = false;
        endless_ = false;
        delayedAnswers_.clear();
        framer_.reset();
        vehicle_.restart();
    }

    // False once the simulator has unplugged itself.
    bool readFromHost() {
        std::uint8_t buffer[4096];
        ssize_t length = ::read(port_.master(), buffer, sizeof buffer);
        if (length <= 0) return true;
        std::span<const std::uint8_t> bytes(buffer, static_cast<std::size_t>(length));
        if (bootloader_) return bootloaderReceive(bytes);
        if (!connected_) {
            std::fprintf(stderr, "orvane-sim: client opened the device\n");
            stats_.connectionOpened();
        }
        connected_ = true;
        while (!bytes.empty()) {
            bytes = bytes.subspan(framer_.feed(bytes));
            if (framer_.failed()) {
                framer_.reset();
                continue;
            }
            if (!framer_.hasMessage()) continue;
            DeviceReport request = framer_.takeMessage();
            if (request.name != "CONTROL") continue;
            vehicle_.request(percent(request, "lat"), percent(request, "long"));
            stats_.requestReceived(asksForMotion(request));
            if (slowDelay_ > 0 || !delayedAnswers_.empty()) {
                // Behind answers held back, so that they keep their order.
                delayedAnswers_.push_back(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                             std::chrono::duration<double, std::milli>(slowDelay_)));
            } else if (!answer()) {
                return false;
            }
        }
        return true;
    }

    bool bootloaderReceive(std::span<const std::uint8_t> bytes) {
        write(bootloader_->receive(bytes));
        if (bootloader_->vanished()) {
            // The port's name goes at once and nothing answers any more. The pty itself closes
            // only once the host has let go (or after a bound): bossac 1.9.1 reads a hung-up pty
            // forever, as its read loop takes end-of-file for "no bytes yet", while a silent line
            // makes it time out and fail.
            std::fprintf(stderr, "orvane-sim: the bootloader vanishes in the middle of the write\n");
            port_.unlink();
            pollfd descriptors[2] = {{port_.master(), 0, 0}, {signalPipe[0], POLLIN, 0}};
            const auto deadline = Clock::now() + std::chrono::seconds(20);
            while (Clock::now() < deadline && !(descriptors[0].revents & POLLHUP) && descriptors[1].revents == 0) {
                if (::poll(descriptors, 2, 100) < 0 && errno != EINTR) break;
            }
            if (!options_.stayInBootloaderAfterInterrupt) {
                port_.detach();
                return false;
            }
            // Plugged in again, the board finds no whole image and stays in its bootloader (on a
            // new pty, which replaces the old one).
            std::fprintf(stderr, "orvane-sim: back in the bootloader after the interrupted write\n");
            BootloaderFaults faults = options_.faults;
            faults.vanishDuringWrite = false;
            bootloader_.emplace(flash_, faults);
            hostPresent_ = false;
            return port_.attach(bootloaderLink());
        }
        if (!bootloader_->resetRequested()) return true;
        ::tcdrain(port_.master());
        if (!options_.flashDumpPath.empty() && bootloader_->wrote()) saveFlashDump(bootloader_->written());
        const std::string version =
            flash_.programmed() ? orvane::sim::firmwareVersionIn(flash_.image()).value_or(kUnmarkedFirmwareVersion)
                                : options_.version;
        std::fprintf(stderr, "orvane-sim: reset: back as the device with firmware %s\n", version.c_str());
        vehicle_.setVersion(version);
        bootloader_.reset();
        hostPresent_ = false;
        if (!port_.attach(options_.linkPath)) return false;
        // A bootloader fault ends with the host's reset.
        return !faultBootloader_ || endFault();
    }

    void saveFlashDump(std::span<const std::uint8_t> bytes) {
        std::FILE* file = std::fopen(options_.flashDumpPath.c_str(), "wb");
        if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
            std::fprintf(stderr, "orvane-sim: cannot write %s: %s\n", options_.flashDumpPath.c_str(),
                         std::strerror(errno));
        }
        if (file) std::fclose(file);
    }

    // Whether a request's lateral or longitudinal magnitude is other than 0. A missing field asks
    // for nothing; one that is not a number is not a request of 0.
    static bool asksForMotion(const DeviceReport& request) {
        return std::any_of(std::begin(kRequestKeys), std::end(kRequestKeys), [&](const char* key) {
            return request.fields.count(key) != 0 && !(percent(request, key) == 0);
        });
    }
    static constexpr const char* kRequestKeys[] = {"lat", "long"};

    static double percent(const DeviceReport& request, const char* key) {
        auto found = request.fields.find(key);
        if (found == request.fields.end()) return NAN;
        return orvane::parseNumber(found->second).value_or(NAN);
    }

    bool answer() {
        // The unplug comes with the request after the last message, not right after sending it:
        // that request shows the client has read the message, which the line's hang-up would
        // otherwise discard from its input.
        if (options_.unplugAfter && sent_ >= *options_.unplugAfter) {
            std::fprintf(stderr, "orvane-sim: unplugging after %ld messages\n", sent_);
            port_.detach();
            return false;
        }
        if (options_.silent || endless_ || frozen_) return true;
        if (options_.endlessNameAfter && sent_ == *options_.endlessNameAfter && !endlessDone_) {
            std::fprintf(stderr, "orvane-sim: sending a name that never ends\n");
            endless_ = true;
            endlessDone_ = true;
            return true;
        }
        pace();
        if (!noise_.empty()) {
            write(noise_);
            noise_.clear();
            endFault();
        }
        std::string text = orvane::messageText(vehicle_.nextMessage());
        if (options_.highBitAfter && sent_ == *options_.highBitAfter) {
            text.insert(text.begin() + 2, '\xC9');
            std::fprintf(stderr, "orvane-sim: sending a byte with the high bit set\n");
        }
        write(text);
        stats_.messageSent();
        ++sent_;
        return true;
    }

    // Spaces the answers as the device's reporting cycle would.
    void pace() {
        if (options_.rate <= 0) return;
        const auto period = std::chrono::nanoseconds(1'000'000'000 / options_.rate);
        const auto now = Clock::now();
        if (now < nextAnswer_) std::this_thread::sleep_for(nextAnswer_ - now);
        nextAnswer_ = std::max(now, nextAnswer_) + period;
    }

    void write(const std::string& text) {
        const int master = port_.master();
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t count = ::write(master, text.data() + done, text.size() - done);
            if (count > 0) {
                done += static_cast<std::size_t>(count);
            } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd out{master, POLLOUT, 0};
                if (::poll(&out, 1, 1000) <= 0 || (out.revents & (POLLHUP | POLLERR))) return;
            } else {
                return;
            }
        }
    }

    void sendEndlessName() {
        static const std::string chunk(1024, 'N');
        [[maybe_unused]] auto written = ::write(port_.master(), chunk.data(), chunk.size());
    }

    Options options_;
    Vehicle vehicle_;
    orvane::ReportFramer framer_;
    UsbPort port_;
    Flash flash_;
    std::optional<Bootloader> bootloader_;
    bool hostPresent_ = false;
    bool connected_ = false;
    bool endless_ = false;
    bool endlessDone_ = false;
    long sent_ = 0;
    Clock::time_point nextAnswer_{};

    // The fault plan's progress: the next fault and when it starts, the one under way.
    std::size_t nextFault_ = 0;
    bool planDone_ = false;
    Clock::time_point nextFaultAt_{};
    std::optional<std::size_t> activeFault_;
    Clock::time_point faultEndsAt_{};
    bool frozen_ = false;
    bool faultBootloader_ = false;                  // the bootloader the plan reset the device into
    std::string noise_;                             // line noise to send before the next message
    double slowDelay_ = 0;                          // milliseconds
    std::deque<Clock::time_point> delayedAnswers_;  // when each held-back answer is due

    SimulatorStats stats_;
    Clock::time_point nextStatsWrite_{};
};

}  // namespace

int main(int argc, char** argv) {
    auto parsed = parseOptions(argc, argv);
    if (const int* status = std::get_if<int>(&parsed)) return *status;
    Options options = std::move(std::get<Options>(parsed));
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("orvane-sim: pipe");
        return 1;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    Simulator simulator(std::move(options));
    if (!simulator.open()) return 1;
    const int status = simulator.run();
    simulator.finish();
    return status;
}
