// Exporting a recording to MCAP, as `orvane-monitor --replay FILE --mcap OUT` does: a one-hour
// recording at 100 messages a second (360,000 rows) written by TelemetryRecorder, made once per
// run in /tmp. The argument 1 adds the maneuver and repeat columns the console's recordings have,
// filled for most of the hour as while a suite runs (a third message per row, on /maneuver).
//
// BM_McapExport: Recording::open and exportRecordingAsMcap, timed together (the aim: under 5 s).
// Counters: csv_MB, mcap_MB, mcap_per_csv (the aim: at most 1/3), open_s and export_s.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/BenchDrive.h"
#include "device/McapWriter.h"
#include "device/Recording.h"

using namespace orvane;

namespace {

constexpr int kRows = 360000;  // one hour at 100 messages a second

double megabytes(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return static_cast<double>(status.st_size) / (1024 * 1024);
}

// The drive with the maneuver and repeat columns: a suite of three-repeat maneuvers of 20 s each
// in every minute's first 45 s.
std::string withManeuverColumns(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t row = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find("\r\n", start);
        out.append(text, start, end - start);
        if (row == 0) {
            out += ",maneuver,repeat";
        } else if (const int second = static_cast<int>((row - 1) / 100); second % 60 < 45) {
            out += ",steer step " + std::to_string(second / 60 % 4 * 10 + 10) + "%," +
                   std::to_string(second % 60 / 15 + 1);
        } else {
            out += ",,";
        }
        out += "\r\n";
        start = end + 2;
        ++row;
    }
    const std::string result = path.substr(0, path.size() - 4) + "-maneuvers.csv";
    std::ofstream(result, std::ios::binary) << out;
    return result;
}

void BM_McapExport(benchmark::State& state) {
    std::string csv = bench::writeBenchDrive(kRows);
    if (state.range(0) == 1) {
        const std::string plain = csv;
        csv = withManeuverColumns(plain);
        ::unlink(plain.c_str());
    }
    const std::string mcap = csv.substr(0, csv.size() - 4) + ".mcap";
    using Seconds = std::chrono::duration<double>;
    Seconds open{}, exported{};
    McapExport result;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto recording = Recording::open(csv);
        const auto opened = std::chrono::steady_clock::now();
        result = exportRecordingAsMcap(recording, mcap);
        open += opened - start;
        exported += std::chrono::steady_clock::now() - opened;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["rows"] = static_cast<double>(result.rows);
    state.counters["messages"] = static_cast<double>(result.messages);
    state.counters["csv_MB"] = megabytes(csv);
    state.counters["mcap_MB"] = megabytes(mcap);
    state.counters["mcap_per_csv"] = megabytes(mcap) / megabytes(csv);
    state.counters["open_s"] = open.count() / iterations;
    state.counters["export_s"] = exported.count() / iterations;
    ::unlink(csv.c_str());
    ::unlink(mcap.c_str());
}
BENCHMARK(BM_McapExport)->ArgName("maneuvers")->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
