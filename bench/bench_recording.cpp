// Reading a recording back, as a replay does: a one-hour recording at 100 messages a second
// (360,000 rows) written by TelemetryRecorder, made once per run in /tmp.
//
// BM_RecordingOpen: Recording::open of the whole file. Counters: rows, file_MB; and, measured once
// on the first open of the run, resident_growth_MB (what the open recording keeps resident),
// peak_growth_MB (the most the open had resident on the way), and both per byte of the file
// (the aim: at most 2).
// BM_RecordingJump: a playhead jump: indexAt() of a random time, then entry() of that row.

#include <malloc.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/BenchDrive.h"
#include "device/Recording.h"
#include "device/TelemetryRecorder.h"
#include "device/ValueSyntax.h"

using namespace orvane;

namespace {

constexpr int kRows = 360000;  // one hour at 100 messages a second

// The kB figure of a line of /proc/self/status ("VmRSS", "VmHWM").
double statusMegabytes(const std::string& key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0) return std::stod(line.substr(key.size() + 1)) / 1024;
    }
    return 0;
}

// A recording of a drive: mostly steering reports, with the other messages now and then.
struct BenchRecording {
    std::string path;
    double fileMegabytes = 0;

    BenchRecording() {
        path = bench::writeBenchDrive(kRows);
        struct stat status {};
        ::stat(path.c_str(), &status);
        fileMegabytes = static_cast<double>(status.st_size) / (1024 * 1024);
        ::malloc_trim(0);
    }
    ~BenchRecording() { ::unlink(path.c_str()); }
};

const BenchRecording& benchRecording() {
    static const BenchRecording recording;
    return recording;
}

void BM_RecordingOpen(benchmark::State& state) {
    const auto& file = benchRecording();
    static std::optional<std::pair<double, double>> growth;
    if (!growth) {
        // Resident memory before, at its peak during, and after one open; the peak counter is
        // reset first (writing 5 to clear_refs).
        ::malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        const double before = statusMegabytes("VmRSS");
        const auto recording = Recording::open(file.path);
        growth.emplace(statusMegabytes("VmRSS") - before, statusMegabytes("VmHWM") - before);
        benchmark::DoNotOptimize(recording.size());
    }
    std::size_t rows = 0;
    for (auto _ : state) {
        const auto recording = Recording::open(file.path);
        rows = recording.size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["file_MB"] = file.fileMegabytes;
    state.counters["resident_growth_MB"] = growth->first;
    state.counters["peak_growth_MB"] = growth->second;
    state.counters["resident_per_file_byte"] = growth->first / file.fileMegabytes;
    state.counters["peak_per_file_byte"] = growth->second / file.fileMegabytes;
}
BENCHMARK(BM_RecordingOpen)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_RecordingJump(benchmark::State& state) {
    const auto recording = Recording::open(benchRecording().path);
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> playhead(0, recording.time(recording.size() - 1));
    std::vector<double> times(4096);
    for (auto& time : times) time = playhead(random);
    std::size_t next = 0;
    for (auto _ : state) {
        const auto entry = recording.entry(recording.indexAt(times[next++ % times.size()]));
        benchmark::DoNotOptimize(entry.telemetry.steeringWheelAngle);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RecordingJump);

}  // namespace

BENCHMARK_MAIN();
