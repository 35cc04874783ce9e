// One frame of the turning steering wheel as the console paints it: an opaque canvas of the
// wheel's usual size (370 pixels, the window at its default size) repainted at a new angle,
// through the canvas's own paint event into an image. Runs under Qt's offscreen platform unless
// another is set.
//
//     bench_wheel_frame [FRAMES] [SIDE]    (default 2000 frames, 370 pixels)
//
// Prints the median and 95th percentile of one frame in microseconds.

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "console/TelemetryDisplay.h"
#include "qt/QtImageView.h"

using namespace orvane;

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const int side = argc > 2 ? std::max(16, std::atoi(argv[2])) : 370;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);

    ImageCanvas canvas;
    canvas.setOpaque(true);
    canvas.resize(side, side);
    canvas.setImageName("SteeringWheel");
    QtImageView view(&canvas);
    // The format of an X11 window's backing store at 24 bits per pixel.
    QImage target(canvas.size(), QImage::Format_RGB32);

    std::vector<double> micros;
    micros.reserve(std::size_t(frames));
    for (int frame = 0; frame < frames; ++frame) {
        // A swing back and forth over most of a turn, as the simulator's driver steers.
        const double degrees = 170.0 * std::sin(frame * 0.013);
        view.setAnchorPoint({0.5, 0.5});
        view.setTransform(steeringWheelTransform(degrees, side));
        QElapsedTimer timer;
        timer.start();
        canvas.render(&target, QPoint(), QRegion(), QWidget::DrawChildren);
        micros.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(micros.begin(), micros.end());
    std::printf("wheel frame, %d pixels, %d frames: median %.0f us, 95th percentile %.0f us\n", side, frames,
                micros[micros.size() / 2], micros[std::min(micros.size() - 1, micros.size() * 95 / 100)]);
    return 0;
}
