// What the exchange thread pays to hand a message to the test bench, and what recording costs.
//
// BM_TrafficLogPush: one push of a CONTROL request into the traffic log, with a drain every 1024
// pushes (its time included), on one thread.
// BM_TrafficLogPushWhileDraining: pushes while another thread drains as fast as it can, the
// worst contention on the log's mutex; dropped_per_push says how many did not fit.
// BM_TelemetryRecorderRecord: one record() call that queues a row (a flush every 8192 rows,
// not timed, keeps the queue below its bound); dropped_per_row should be 0.
// BM_TelemetryRecorderEndToEnd: record() and a flush() every 1024 rows: the time per row until
// it is in the file.
// BM_TelemetryCsvRow: formatting one row (the writer thread's work per row).

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include <benchmark/benchmark.h>

#include "device/TelemetryRecorder.h"
#include "device/TrafficLog.h"
#include "device/ValueSyntax.h"

using namespace orvane;

namespace {

DeviceTelemetry benchTelemetry() {
    DeviceTelemetry telemetry;
    telemetry.steeringWheelAngle = -12.34;
    telemetry.parkTOI = TOIStatus::active;
    telemetry.halfTOI = TOIStatus::temporaryDeactivated;
    telemetry.steeringAssistanceTorque = 0.56;
    telemetry.steeringDriverTorque = -1.25;
    telemetry.version = Version(1, 2, 0, 0);
    telemetry.buildDate = parseInternetDateTime("2024-03-18T14:05:12.345Z");
    telemetry.serialNumber = "OV-000123";
    telemetry.lateralControlMethod = LateralControlMethod::fromDeviceText("HALF");
    telemetry.longitudinalControlMethod = LongitudinalControlMethod::fromDeviceText("DASM");
    telemetry.receivedMessageCountsByChannel = {{0, 123456}, {1, 654321}};
    return telemetry;
}

const DeviceReport kRequest{"CONTROL", {{"lat", "50.0"}, {"long", "-25.0"}}};
const DeviceReport kSteering{"STEERING", {{"angle", "-12.34"}, {"apaTOI", "activated"}}};

// A file name in /tmp, removed when the object goes.
struct ScratchFile {
    std::string path;
    ScratchFile() {
        char pattern[] = "/tmp/orvane-bench-XXXXXX";
        const int fd = ::mkstemp(pattern);
        if (fd >= 0) ::close(fd);
        path = pattern;
    }
    ~ScratchFile() { ::unlink(path.c_str()); }
};

void BM_TrafficLogPush(benchmark::State& state) {
    TrafficLog log;
    std::size_t pushed = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(log.push(TrafficDirection::sent, kRequest));
        if (++pushed % 1024 == 0) log.drain();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TrafficLogPushWhileDraining(benchmark::State& state) {
    TrafficLog log;
    std::atomic<bool> running{true};
    std::thread consumer([&] {
        while (running.load(std::memory_order_relaxed)) log.drain();
    });
    for (auto _ : state) benchmark::DoNotOptimize(log.push(TrafficDirection::received, kSteering));
    running.store(false);
    consumer.join();
    state.SetItemsProcessed(state.iterations());
    state.counters["dropped_per_push"] =
        benchmark::Counter(static_cast<double>(log.droppedCount()) / static_cast<double>(state.iterations()));
}

void BM_TelemetryRecorderRecord(benchmark::State& state) {
    ScratchFile file;
    const DeviceTelemetry telemetry = benchTelemetry();
    TelemetryRecorder recorder(file.path);
    std::size_t recorded = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(recorder.record(kSteering, telemetry, 0.5, -0.25));
        // Keep the queue below its bound, so that the calls measured are ones that queue a row.
        if (++recorded % 8192 == 0) {
            state.PauseTiming();
            recorder.flush();
            state.ResumeTiming();
        }
    }
    recorder.close();
    state.SetItemsProcessed(state.iterations());
    state.counters["dropped_per_row"] =
        benchmark::Counter(static_cast<double>(recorder.droppedRowCount()) / static_cast<double>(state.iterations()));
}

void BM_TelemetryRecorderEndToEnd(benchmark::State& state) {
    ScratchFile file;
    const DeviceTelemetry telemetry = benchTelemetry();
    TelemetryRecorder recorder(file.path);
    std::size_t recorded = 0;
    for (auto _ : state) {
        recorder.record(kSteering, telemetry, 0.5, -0.25);
        if (++recorded % 1024 == 0) recorder.flush();
    }
    recorder.flush();
    state.SetItemsProcessed(state.iterations());
    state.counters["dropped_per_row"] =
        benchmark::Counter(static_cast<double>(recorder.droppedRowCount()) / static_cast<double>(state.iterations()));
}

void BM_TelemetryCsvRow(benchmark::State& state) {
    const auto start = std::chrono::steady_clock::now();
    const TelemetryRecord record{start + std::chrono::milliseconds(12345),
                                 std::chrono::system_clock::now(),
                                 "STEERING",
                                 benchTelemetry(),
                                 0.5,
                                 -0.25};
    std::string text;
    for (auto _ : state) {
        text.clear();
        appendCsvRow(text, telemetryCsvFields(record, start));
        benchmark::DoNotOptimize(text.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["bytes_per_row"] = benchmark::Counter(static_cast<double>(text.size()));
}

}  // namespace

BENCHMARK(BM_TrafficLogPush);
BENCHMARK(BM_TrafficLogPushWhileDraining)->UseRealTime();
BENCHMARK(BM_TelemetryRecorderRecord)->UseRealTime();
BENCHMARK(BM_TelemetryRecorderEndToEnd)->UseRealTime();
BENCHMARK(BM_TelemetryCsvRow);

BENCHMARK_MAIN();
