#include "qt/DemoAids.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "qt/Application.h"
#include "qt/MainWindow.h"

namespace orvane {

namespace {

const char* environment(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

QElapsedTimer& sinceStart() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer;
}

// Reports the first paint of the main window.
class FirstPaintReporter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            std::fprintf(stderr, "orvane-console: main window first painted %lld ms after start\n",
                         static_cast<long long>(sinceStart().elapsed()));
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};

void screenshot(Application& application, const QString& file, double delaySeconds) {
    QTimer::singleShot(int(delaySeconds * 1000), &application.window(), [&application, file] {
        const QPixmap picture = application.window().grab();
        if (!picture.save(file, "PNG")) {
            std::fprintf(stderr, "orvane-console: could not write %s\n", qPrintable(file));
            QApplication::exit(1);
            return;
        }
        std::fprintf(stderr, "orvane-console: screenshot written to %s\n", qPrintable(file));
        QApplication::quit();
    });
}

}  // namespace

void DemoAids::markStart() { sinceStart(); }

void DemoAids::install(Application& application) {
    if (environment("ORVANE_REPORT_STARTUP")) {
        application.window().installEventFilter(new FirstPaintReporter(&application.window()));
    }
    if (const char* size = environment("ORVANE_WINDOW_SIZE")) {
        // "WIDTH" "x" "HEIGHT"; the window's minimum size still applies (1x1 gives the smallest).
        int width = 0, height = 0;
        if (std::sscanf(size, "%dx%d", &width, &height) == 2) application.window().resize(width, height);
    }
    if (const char* file = environment("ORVANE_SCREENSHOT")) {
        const char* delay = environment("ORVANE_SCREENSHOT_DELAY");
        screenshot(application, QString::fromLocal8Bit(file), delay ? std::max(0.0, std::atof(delay)) : 4.0);
    }
}

}  // namespace orvane
