#include <QApplication>
#include <cstdlib>
#include <memory>
#include <string>

#include "qt/Application.h"
#include "qt/Artwork.h"
#include "qt/DemoAids.h"
#include "qt/QtLogSink.h"
#include "sdl/SdlGamepadSource.h"

// Where the device scan looks: "/dev/" unless ORVANE_DEVICE_DIR names another directory (the
// simulator puts its link in a directory of its own).
static std::string deviceDirectory() {
    const char* directory = std::getenv("ORVANE_DEVICE_DIR");
    return directory && *directory ? directory : "/dev/";
}

int main(int argc, char** argv) {
    orvane::DemoAids::markStart();
    QApplication application(argc, argv);
    QApplication::setApplicationName("orvane-console");
    QApplication::setApplicationDisplayName("Orvane Console");
    QApplication::setOrganizationName("Orvane");
    QGuiApplication::setDesktopFileName("orvane-console");
    QApplication::setWindowIcon(orvane::Artwork::applicationIcon());

    orvane::setLogSink(std::make_shared<orvane::QtLogSink>());
    auto gamepads = std::make_shared<orvane::SdlGamepadSource>();

    orvane::Application::Options options;
    options.deviceDirectory = deviceDirectory();
    options.gamepadSource = gamepads;

    orvane::Application console(options);
    orvane::DemoAids::install(console);
    console.show();
    return QApplication::exec();
}
