// A jump anywhere in a one-hour recording (360,000 rows at 100 messages a second) as the window
// shows it: from a click's value on the timeline's slider (the seek) through the window's redraw
// of the inspector, the wheel and the Plots and Traffic panels, to the end of a forced repaint of
// the whole main window (1280x800, every panel docked and shown). Runs under Qt's offscreen platform unless
// another is set.
//
//     bench_replay_jump [JUMPS]    (default 300)
//
// Prints the time to open the recording (read on a worker, until the replay is shown) and the
// jumps' median, 95th percentile and maximum in milliseconds.

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchDrive.h"
#include "console/RecordingReplay.h"
#include "console/ViewController.h"
#include "device/TelemetryRecorder.h"
#include "qt/Application.h"
#include "qt/MainWindow.h"
#include "qt/ReplayControl.h"
#include "qt/ReplayTimeline.h"

using namespace orvane;

namespace {

constexpr int kRows = 360000;


double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(fraction * double(values.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    const int jumps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setOrganizationName("OrvaneBench");
    QApplication::setApplicationName("bench_replay_jump");
    QSettings().clear();

    const std::string path = bench::writeBenchDrive(kRows);
    char devices[] = "/tmp/orvane-bench-devices-XXXXXX";
    if (!::mkdtemp(devices)) return 1;

    int status = 0;
    {
        Application::Options options;
        options.deviceDirectory = devices;
        options.panels = QStringList{"log", "traffic", "plots"};
        Application app(options);
        app.window().resize(1280, 800);
        app.show();

        QElapsedTimer opening;
        opening.start();
        app.openRecording(path);
        while (!app.replayControl().replay() && opening.elapsed() < 60000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        const auto replay = app.replayControl().replay();
        if (!replay) {
            std::fprintf(stderr, "bench_replay_jump: the recording did not open\n");
            status = 1;
        } else {
            const double openMs = double(opening.nsecsElapsed()) / 1e6;
            QApplication::processEvents();
            QSlider* slider = app.timeline().slider();
            std::mt19937 random(17);
            std::uniform_real_distribution<double> anywhere(0, replay->duration());
            std::vector<double> times;
            int notRedrawn = 0;  // jumps after which the wheel did not show the playhead's angle
            for (int i = 0; i < jumps; ++i) {
                const double target = anywhere(random);
                QElapsedTimer jump;
                jump.start();
                // As a click on the timeline's slider: the seek, then the window's redraw of every
                // view once the click's events are taken in.
                slider->setValue(int(std::lround(target * 1000)));
                QApplication::processEvents();
                app.window().repaint();
                times.push_back(double(jump.nsecsElapsed()) / 1e6);
                const auto shown = replay->telemetry();
                if (!shown || app.console()->steeringWheelAngle() != shown->steeringWheelAngle) ++notRedrawn;
                // What the window would do between two jumps (timers, the main queue).
                QApplication::processEvents();
            }
            std::printf("recording: %d rows, opened and shown in %.0f ms\n", int(replay->recording().size()), openMs);
            std::printf("jump to redraw (%d jumps): median %.1f ms, p95 %.1f ms, max %.1f ms\n", jumps,
                        percentile(times, 0.5), percentile(times, 0.95), *std::max_element(times.begin(), times.end()));
            if (notRedrawn > 0) {
                std::printf("%d jumps were not redrawn\n", notRedrawn);
                status = 1;
            }
        }
    }
    QSettings().clear();
    ::unlink(path.c_str());
    ::rmdir(devices);
    return status;
}
