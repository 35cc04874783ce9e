// orvane-sim: a simulated vehicle interface device on a pseudo-terminal.
//
// Prints the device path (the pty's slave) on the first line of standard output, answers each
// "CONTROL" request with one message from a moving vehicle, and can misbehave on purpose.
// Runs until SIGINT or SIGTERM, or until it unplugs itself.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "device/DeviceReport.h"
#include "device/NumberText.h"
#include "device/ReportFramer.h"
#include "device/ValueSyntax.h"

namespace {

using orvane::DeviceReport;
using Clock = std::chrono::steady_clock;

const char* const kUsage =
    "usage: orvane-sim [--link PATH] [--version X] [--rate N] [--unplug-after N] [--silent]\n"
    "                  [--high-bit-after N] [--endless-name-after N]\n"
    "  --link PATH             place a symbolic link to the device at PATH (removed on exit)\n"
    "  --rate N                answer at most N messages a second, as the device's bus cycle\n"
    "                          paces it (default 100; 0: answer every request at once)\n"
    "  --version X             firmware version to report (default 1.1.9.0)\n"
    "  --unplug-after N        after N messages, close the device and remove the link, then exit\n"
    "  --silent                read requests but never answer\n"
    "  --high-bit-after N      make message N+1 carry a byte with the high bit set\n"
    "  --endless-name-after N  after N messages, send a name that never ends\n";

struct Options {
    std::string linkPath;
    std::string version = "1.1.9.0";
    long rate = 100;
    std::optional<long> unplugAfter;
    bool silent = false;
    std::optional<long> highBitAfter;
    std::optional<long> endlessNameAfter;
};

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] auto written = ::write(signalPipe[1], &byte, 1);
}

std::optional<long> count(const char* text) {
    auto value = orvane::parseDecimalInteger(text ? text : "");
    if (!value || *value < 0) return std::nullopt;
    return static_cast<long>(*value);
}

bool parseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (argument == "--link") {
            const char* path = next();
            if (!path) return false;
            options.linkPath = path;
        } else if (argument == "--version") {
            const char* version = next();
            if (!version) return false;
            options.version = version;
        } else if (argument == "--rate") {
            auto rate = count(next());
            if (!rate) return false;
            options.rate = *rate;
        } else if (argument == "--unplug-after") {
            if (!(options.unplugAfter = count(next()))) return false;
        } else if (argument == "--high-bit-after") {
            if (!(options.highBitAfter = count(next()))) return false;
        } else if (argument == "--endless-name-after") {
            if (!(options.endlessNameAfter = count(next()))) return false;
        } else if (argument == "--silent") {
            options.silent = true;
        } else {
            return false;
        }
    }
    return true;
}

// Rounded to two decimals, as the device's firmware prints its values.
std::string decimal(double value) { return orvane::numberText(std::round(value * 100) / 100); }

// A vehicle driving about: the wheel swings slowly and follows the requested lateral control,
// the driver's torque follows it at once, overlays and control methods change now and then.
class Vehicle {
public:
    explicit Vehicle(std::string version) : version_(std::move(version)), start_(Clock::now()), last_(start_) {}

    void request(double lateralPercent, double longitudinalPercent) {
        if (std::isfinite(lateralPercent)) lateral_ = std::clamp(lateralPercent, -100.0, 100.0);
        if (std::isfinite(longitudinalPercent)) longitudinal_ = std::clamp(longitudinalPercent, -100.0, 100.0);
    }

    // A new client starts with the device information, the state and the statistics.
    void restart() { index_ = 0; }

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
        // First-order lag (0.3 s) towards a gentle swing plus 3.6 degrees per percent of lateral request.
        const double target = 25 * std::sin(0.4 * t) + 3.6 * lateral_;
        angle_ += (target - angle_) * (1 - std::exp(-step / 0.3));
    }

    static const char* overlay(double t, double period, double phase) {
        static const char* const states[] = {"activated", "activated", "inactive", "temporary-deactivation",
                                             "activated", "faulted", "unknown"};
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
                 {"driver-torque", decimal(0.025 * lateral_ + 0.1 * std::sin(2.3 * t))}}};
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
    Clock::time_point start_;
    Clock::time_point last_;
    long index_ = 0;
    double angle_ = 0;
    double lateral_ = 0;
    double longitudinal_ = 0;
};

class Simulator {
public:
    explicit Simulator(Options options) : options_(std::move(options)), vehicle_(options_.version) {}

    ~Simulator() {
        removeLink();
        if (master_ >= 0) ::close(master_);
    }

    bool open() {
        if (!options_.linkPath.empty()) {
            // A link left behind by a simulator that was killed points nowhere: replace it.
            // (Checked before this simulator's own pty exists, which may get the same name.)
            const char* link = options_.linkPath.c_str();
            struct stat status{};
            if (::lstat(link, &status) == 0 && S_ISLNK(status.st_mode) && ::stat(link, &status) != 0 &&
                errno == ENOENT) {
                ::unlink(link);
            }
        }
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        char name[128];
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            ::ptsname_r(master_, name, sizeof name) != 0) {
            std::fprintf(stderr, "orvane-sim: cannot create a pseudo-terminal: %s\n", std::strerror(errno));
            return false;
        }
        devicePath_ = name;
        makeRaw(master_);
        // The slave is set raw once and closed again: the simulator never holds it, so the
        // console's exclusive open (flock and TIOCEXCL) meets no one else.
        int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave >= 0) {
            makeRaw(slave);
            ::close(slave);
        }
        if (!options_.linkPath.empty()) {
            if (::symlink(name, options_.linkPath.c_str()) != 0) {
                std::fprintf(stderr, "orvane-sim: cannot link %s: %s\n", options_.linkPath.c_str(), std::strerror(errno));
                return false;
            }
            linked_ = true;
        }
        std::printf("%s\n", name);
        std::fflush(stdout);
        return true;
    }

    int run() {
        for (;;) {
            pollfd descriptors[2] = {{master_, static_cast<short>(POLLIN | (endless_ ? POLLOUT : 0)), 0},
                                     {signalPipe[0], POLLIN, 0}};
            int ready = ::poll(descriptors, 2, -1);
            if (ready < 0) {
                if (errno == EINTR) continue;
                std::perror("orvane-sim: poll");
                return 1;
            }
            if (descriptors[1].revents != 0) return 0;
            const short events = descriptors[0].revents;
            if (events & POLLIN) {
                if (!readRequests()) return 0;
            } else if (events & (POLLHUP | POLLERR)) {
                clientGone();
                // No client has the device open: look again shortly.
                pollfd signal{signalPipe[0], POLLIN, 0};
                if (::poll(&signal, 1, 20) > 0) return 0;
                continue;
            }
            if ((events & POLLOUT) && endless_) sendEndlessName();
        }
    }

private:
    static void makeRaw(int fd) {
        termios attributes{};
        if (::tcgetattr(fd, &attributes) != 0) return;
        ::cfmakeraw(&attributes);
        ::tcsetattr(fd, TCSANOW, &attributes);
    }

    void removeLink() {
        if (linked_) {
            ::unlink(options_.linkPath.c_str());
            linked_ = false;
        }
    }

    void clientGone() {
        if (connected_) std::fprintf(stderr, "orvane-sim: client closed the device\n");
        connected_ = false;
        endless_ = false;
        framer_.reset();
        vehicle_.restart();
    }

    // False once the simulator has unplugged itself.
    bool readRequests() {
        std::uint8_t buffer[4096];
        ssize_t length = ::read(master_, buffer, sizeof buffer);
        if (length <= 0) return true;
        if (!connected_) std::fprintf(stderr, "orvane-sim: client opened the device\n");
        connected_ = true;
        std::span<const std::uint8_t> bytes(buffer, static_cast<std::size_t>(length));
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
            if (!answer()) return false;
        }
        return true;
    }

    static double percent(const DeviceReport& request, const char* key) {
        auto found = request.fields.find(key);
        if (found == request.fields.end()) return NAN;
        return orvane::parseNumber(found->second).value_or(NAN);
    }

    bool answer() {
        if (options_.silent || endless_) return true;
        if (options_.endlessNameAfter && sent_ == *options_.endlessNameAfter && !endlessDone_) {
            std::fprintf(stderr, "orvane-sim: sending a name that never ends\n");
            endless_ = true;
            endlessDone_ = true;
            return true;
        }
        pace();
        std::string text = orvane::messageText(vehicle_.nextMessage());
        if (options_.highBitAfter && sent_ == *options_.highBitAfter) {
            text.insert(text.begin() + 2, '\xC9');
            std::fprintf(stderr, "orvane-sim: sending a byte with the high bit set\n");
        }
        write(text);
        ++sent_;
        if (options_.unplugAfter && sent_ >= *options_.unplugAfter) {
            std::fprintf(stderr, "orvane-sim: unplugging after %ld messages\n", sent_);
            // Let the last message reach the client before the line goes.
            ::tcdrain(master_);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::close(master_);
            master_ = -1;
            removeLink();
            return false;
        }
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
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t count = ::write(master_, text.data() + done, text.size() - done);
            if (count > 0) {
                done += static_cast<std::size_t>(count);
            } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd out{master_, POLLOUT, 0};
                if (::poll(&out, 1, 1000) <= 0 || (out.revents & (POLLHUP | POLLERR))) return;
            } else {
                return;
            }
        }
    }

    void sendEndlessName() {
        static const std::string chunk(1024, 'N');
        [[maybe_unused]] auto written = ::write(master_, chunk.data(), chunk.size());
    }

    Options options_;
    Vehicle vehicle_;
    orvane::ReportFramer framer_;
    int master_ = -1;
    std::string devicePath_;
    bool linked_ = false;
    bool connected_ = false;
    bool endless_ = false;
    bool endlessDone_ = false;
    long sent_ = 0;
    Clock::time_point nextAnswer_{};
};

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 64;
    }
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("orvane-sim: pipe");
        return 1;
    }
    struct sigaction action{};
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    Simulator simulator(std::move(options));
    if (!simulator.open()) return 1;
    return simulator.run();
}
