// The widget tests run inside one QApplication on Qt's offscreen platform (CTest sets it; it is
// also the default here, so the test binary can be run by hand and listed at build time).

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <string_view>

#include <gtest/gtest.h>

#include "support/WaitFor.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The offscreen screen is a 1280x800 one (a common laptop's), which the window fits itself to.
    QTemporaryDir screenFolder;
    if (!screenFolder.isValid()) return 2;
    if (std::string_view(std::getenv("QT_QPA_PLATFORM")) == "offscreen") {
        QFile screens(screenFolder.filePath("screens.json"));
        if (!screens.open(QIODevice::WriteOnly) ||
            screens.write(R"({"screens": [{"name": "Laptop", "x": 0, "y": 0, "width": 1280, "height": 800,
                                          "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})") < 0)
            return 2;
        screens.close();
        setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.fileName()).toLocal8Bit().constData(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName("Orvane Console");
    // Settings go to a scratch folder of this process, never to the user's configuration nor to
    // one that another test process (CTest runs them side by side) changes underneath.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir settingsFolder;
    if (!settingsFolder.isValid()) return 2;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    QApplication::setOrganizationName("OrvaneTest");
    QApplication::setApplicationName("orvane-console-tests");
    QSettings().clear();
    // A test's waits run Qt's event loop (which drives the main queue too), as QTest::qWaitFor does.
    orvane::testing::setWaitStep([] {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::qSleep(1);
    });
    return RUN_ALL_TESTS();
}
