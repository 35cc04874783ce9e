#include "qt/DemoAids.h"

#include <QApplication>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QEvent>
#include <QPixmap>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "console/ViewController.h"
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

void autoconnect(Application& application, const std::string& path) {
    auto* timer = new QTimer(&application.window());
    auto deadline = std::make_shared<QElapsedTimer>();
    deadline->start();
    QObject::connect(timer, &QTimer::timeout, timer, [&application, path, timer, deadline] {
        const auto& console = application.console();
        const auto& devices = console->devices();
        if (std::find(devices.begin(), devices.end(), path) != devices.end()) {
            timer->deleteLater();
            console->setSelectedDevice(path);
            console->connectToDevice(path);
            return;
        }
        if (deadline->elapsed() > 10000) {
            std::fprintf(stderr, "orvane-console: ORVANE_AUTOCONNECT: %s was not listed\n", path.c_str());
            timer->deleteLater();
        }
    });
    timer->start(100);
}

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

void showPanels(Application& application, const QString& wanted) {
    const QStringList names = wanted.split(',', Qt::SkipEmptyParts);
    for (auto* panel : application.window().findChildren<QDockWidget*>()) {
        const QString name = panel->objectName().chopped(int(std::string_view("Panel").size()));
        panel->setVisible(names.contains(name, Qt::CaseInsensitive) || names.contains(name + "s", Qt::CaseInsensitive));
    }
}

}  // namespace

void DemoAids::markStart() { sinceStart(); }

void DemoAids::install(Application& application) {
    if (environment("ORVANE_REPORT_STARTUP")) {
        application.window().installEventFilter(new FirstPaintReporter(&application.window()));
    }
    if (const char* path = environment("ORVANE_AUTOCONNECT")) autoconnect(application, path);
    // Set but empty counts: it hides every panel.
    if (const char* panels = std::getenv("ORVANE_PANELS")) showPanels(application, QString::fromLocal8Bit(panels));
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
