// The widget tests run inside one QApplication on Qt's offscreen platform (CTest sets it; it is
// also the default here, so the test binary can be run by hand and listed at build time).

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>

#include <gtest/gtest.h>

#include "support/WaitFor.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
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
