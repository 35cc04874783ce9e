// The console's control path as the control timer runs it 50 times a second: one gamepad poll
// and one telemetry refresh, with the telemetry unchanged and with it changing every time.

#include <atomic>
#include <memory>
#include <thread>

#include <benchmark/benchmark.h>

#include "console/ViewController.h"
#include "device/DeviceSerialInterface.h"
#include "inspector/InspectorManager.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "support/FakeWidgets.h"
#include "support/PtyPeer.h"

using namespace orvane;

namespace {

class BenchPad : public GameController, public ExtendedGamepad {
public:
    ExtendedGamepad* extendedGamepad() override { return this; }
    std::optional<std::string> vendorName() const override { return "Bench Pad"; }
    float leftTrigger() const override { return 0; }
    float rightTrigger() const override { return 0.25f; }
    float leftThumbstickX() const override { return 0.5f; }
    float rightThumbstickX() const override { return 0.5f; }
    float leftThumbstickY() const override { return 0; }
    float rightThumbstickY() const override { return 0; }
    bool enableButtonPressed() const override { return false; }
    bool otherButtonPressed() const override { return false; }
};

struct Console {
    std::shared_ptr<ViewController> console;
    std::shared_ptr<BenchPad> pad = std::make_shared<BenchPad>();
    std::shared_ptr<PtyPeer> device = std::make_shared<PtyPeer>();

    explicit Console(bool changing) {
        MainQueue::shared().bindToCurrentThread();
        console = std::make_shared<ViewController>();
        console->longControlLabel = std::make_shared<FakeTextField>();
        console->latControlLabel = std::make_shared<FakeTextField>();
        console->longControlSlider = std::make_shared<FakeSlider>();
        console->latControlSlider = std::make_shared<FakeSlider>();
        console->steeringWheelImage = std::make_shared<FakeImageView>();
        console->setSelectedGamepad(pad);
        auto counter = std::make_shared<std::atomic<int>>(0);
        device->startAnswering([changing, counter](const DeviceReport&) -> std::string {
            const int n = changing ? (*counter)++ : 0;
            return "STEERING{angle:" + std::to_string(n % 720 - 360) +
                   ".5\napaTOI:activated\nhalfTOI:faulted\n"
                   "assist-torque:" +
                   std::to_string(n % 7) + "\ndriver-torque:-0.5\n}";
        });
        console->connectToDevice(device->devicePath());
        MainQueue::shared().runUntil([&] { return console->vehicleInterface() != nullptr; });
        device->waitForRequests(5);
    }
    ~Console() {
        if (console->vehicleInterface()) console->vehicleInterface()->disconnect();
        console.reset();
        MainQueue::shared().runPending();
    }
};

void run(benchmark::State& state, bool changing) {
    Console c(changing);
    int announcements = 0;
    auto token = NotificationCenter::defaultCenter().addObserver("InspectorItemValueNeedsUpdateNotification", nullptr,
                                                                 NotificationCenter::Delivery::postingThread,
                                                                 [&](const Notification&) { ++announcements; });
    // With changing telemetry every pass waits (untimed) for the device's next report, so each
    // timed pass sees new values.
    auto decoded = std::make_shared<std::atomic<long>>(0);
    c.console->vehicleInterface()->addMessageObserver(
        [decoded](const DeviceReport&, const DeviceTelemetry&) { ++*decoded; });
    c.console->pollGamepad();
    c.console->refreshTelemetry();
    announcements = 0;
    long seen = decoded->load();
    for (auto _ : state) {
        if (changing) {
            state.PauseTiming();
            while (decoded->load() == seen) std::this_thread::yield();
            seen = decoded->load();
            state.ResumeTiming();
        }
        c.console->pollGamepad();
        c.console->refreshTelemetry();
    }
    state.counters["rows_announced_per_pass"] =
        benchmark::Counter(static_cast<double>(announcements) / static_cast<double>(state.iterations()));
}

void BM_ControlPathUnchangedTelemetry(benchmark::State& state) { run(state, false); }
void BM_ControlPathChangingTelemetry(benchmark::State& state) { run(state, true); }

BENCHMARK(BM_ControlPathUnchangedTelemetry);
BENCHMARK(BM_ControlPathChangingTelemetry);

}  // namespace

BENCHMARK_MAIN();
