// The device exchange over a pseudo-terminal against a peer that answers every request at once:
// round trips per second, and the application side's CPU time per message, for the session's
// reader (one read for whatever has arrived, framed from a buffer) and, in the same run, for a
// reader that takes one byte per read with a presence check (fstat) before each byte.
//
// Counters: round_trips_per_s (wall clock) and app_cpu_us_per_msg (CPU time of the thread that
// does the application's side of the exchange). The benchmark's own CPU column is not the
// measure: for the session it is the bench thread, which only waits.

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "device/DeviceSerialInterface.h"

namespace {

using orvane::DeviceReport;

const std::string kReply =
    "STEERING{angle:-12.34\napaTOI:activated\nhalfTOI:temporary-deactivation\nassist-torque:0.56\n"
    "driver-torque:-1.25\n}";

// The device's end: answers each request (they end with the only "}" they contain) with kReply.
class AnsweringPeer {
public:
    AnsweringPeer() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        char name[128];
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            ::ptsname_r(master_, name, sizeof name) != 0) {
            throw std::runtime_error("cannot create a pseudo-terminal");
        }
        path_ = name;
        termios attributes{};
        ::tcgetattr(master_, &attributes);
        ::cfmakeraw(&attributes);
        ::tcsetattr(master_, TCSANOW, &attributes);
        stop_ = ::eventfd(0, EFD_CLOEXEC);
        thread_ = std::thread([this] { answer(); });
    }

    ~AnsweringPeer() {
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(stop_, &one, sizeof one);
        thread_.join();
        ::close(master_);
        ::close(stop_);
    }

    const std::string& path() const { return path_; }

private:
    void answer() {
        char buffer[4096];
        for (;;) {
            pollfd descriptors[2] = {{master_, POLLIN, 0}, {stop_, POLLIN, 0}};
            if (::poll(descriptors, 2, -1) < 0 && errno != EINTR) return;
            if (descriptors[1].revents) return;
            if (!(descriptors[0].revents & POLLIN)) {
                // Nobody has the device open yet (or any more).
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            ssize_t count = ::read(master_, buffer, sizeof buffer);
            for (ssize_t i = 0; i < count; ++i) {
                if (buffer[i] == '}') [[maybe_unused]]
                    auto written = ::write(master_, kReply.data(), kReply.size());
            }
        }
    }

    int master_ = -1;
    int stop_ = -1;
    std::string path_;
    std::thread thread_;
};

double threadCpuSeconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double seconds(std::chrono::steady_clock::duration duration) { return std::chrono::duration<double>(duration).count(); }

constexpr std::uint64_t kBatch = 2000;

// The session as the console runs it: its own exchange loop on the global queue. Each
// iteration lets a batch of messages be decoded; the loop thread's CPU time is read from its
// CPU clock, which a message observer looks up once before the measurement.
void BM_SessionReader(benchmark::State& state) {
    AnsweringPeer peer;
    auto session = std::make_shared<orvane::DeviceSerialInterface>(peer.path());
    std::promise<clockid_t> loopClockPromise;
    std::atomic<bool> clockKnown{false};
    const orvane::ObserverId clockObserver =
        session->addMessageObserver([&](const DeviceReport&, const orvane::DeviceTelemetry&) {
            if (clockKnown.exchange(true)) return;
            clockid_t clock{};
            ::pthread_getcpuclockid(::pthread_self(), &clock);
            loopClockPromise.set_value(clock);
        });
    session->connect();
    const clockid_t loopClock = loopClockPromise.get_future().get();
    session->removeObserver(clockObserver);
    auto waitFor = [&](std::uint64_t count) {
        while (session->decodedMessageCount() < count && session->isConnected()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    waitFor(100);  // warmed up

    double cpu = 0;
    double wall = 0;
    std::uint64_t messages = 0;
    for (auto _ : state) {
        const std::uint64_t start = session->decodedMessageCount();
        const double cpuStart = threadCpuSeconds(loopClock);
        const auto wallStart = std::chrono::steady_clock::now();
        waitFor(start + kBatch);
        const double cpuEnd = threadCpuSeconds(loopClock);
        wall += seconds(std::chrono::steady_clock::now() - wallStart);
        cpu += cpuEnd - cpuStart;
        messages += session->decodedMessageCount() - start;
        if (!session->isConnected()) {
            state.SkipWithError("the link ended");
            break;
        }
    }
    session->disconnect();
    while (session.use_count() > 1) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    state.counters["round_trips_per_s"] = static_cast<double>(messages) / wall;
    state.counters["app_cpu_us_per_msg"] = cpu * 1e6 / static_cast<double>(messages);
    state.counters["messages"] = static_cast<double>(messages);
}

// The slow way: one presence check (fstat) and one single-byte read per byte, reading the name
// up to "{", one byte on its own at the start of each field, key up to ":", value up to LF.
class ByteAtATimeReader {
public:
    explicit ByteAtATimeReader(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd_ < 0) throw std::runtime_error("cannot open the device");
        termios attributes{};
        ::tcgetattr(fd_, &attributes);
        ::cfmakeraw(&attributes);
        ::cfsetispeed(&attributes, B115200);
        ::cfsetospeed(&attributes, B115200);
        attributes.c_cc[VMIN] = 0;
        attributes.c_cc[VTIME] = 10;
        ::tcsetattr(fd_, TCSANOW, &attributes);
    }
    ~ByteAtATimeReader() { ::close(fd_); }

    bool exchange(orvane::DeviceTelemetry& telemetry) {
        const std::string request = orvane::messageText(orvane::controlRequest(0.25, -0.5));
        if (::write(fd_, request.data(), request.size()) < 1) return false;
        DeviceReport report;
        if (!readUntil('{', report.name)) return false;
        for (;;) {
            int first = readByte();
            if (first < 0) return false;
            if (first == '}') break;
            std::string key = first < 0x80 ? std::string(1, static_cast<char>(first)) : std::string();
            std::string rest;
            std::string value;
            if (!readUntil(':', rest) || !readUntil('\n', value)) return false;
            report.fields[key + rest] = value;
        }
        telemetry.apply(report);
        return true;
    }

private:
    int readByte() {
        for (;;) {
            struct stat status {};
            if (::fstat(fd_, &status) != 0 || status.st_nlink != 1) return -1;
            unsigned char byte = 0;
            if (::read(fd_, &byte, 1) == 1) return byte;
        }
    }

    bool readUntil(char terminator, std::string& text) {
        for (;;) {
            int byte = readByte();
            if (byte < 0 || byte >= 0x80) return false;
            if (byte == terminator) return true;
            text.push_back(static_cast<char>(byte));
        }
    }

    int fd_ = -1;
};

void BM_ByteAtATimeReader(benchmark::State& state) {
    AnsweringPeer peer;
    ByteAtATimeReader reader(peer.path());
    orvane::DeviceTelemetry telemetry;
    for (int i = 0; i < 100; ++i) reader.exchange(telemetry);

    double cpu = 0;
    double wall = 0;
    std::uint64_t messages = 0;
    for (auto _ : state) {
        const double cpuStart = threadCpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const auto wallStart = std::chrono::steady_clock::now();
        for (std::uint64_t i = 0; i < kBatch; ++i) {
            if (!reader.exchange(telemetry)) {
                state.SkipWithError("exchange failed");
                return;
            }
        }
        wall += seconds(std::chrono::steady_clock::now() - wallStart);
        cpu += threadCpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
        messages += kBatch;
    }
    benchmark::DoNotOptimize(telemetry.steeringWheelAngle);
    state.counters["round_trips_per_s"] = static_cast<double>(messages) / wall;
    state.counters["app_cpu_us_per_msg"] = cpu * 1e6 / static_cast<double>(messages);
    state.counters["messages"] = static_cast<double>(messages);
}

}  // namespace

BENCHMARK(BM_SessionReader)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_ByteAtATimeReader)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
