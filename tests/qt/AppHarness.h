#pragma once

// The whole main window, started as the program starts it, on a scratch device directory and a
// scripted gamepad source.

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>

#include "console/ViewController.h"
#include "inspector/InspectorViewController.h"
#include "qt/Application.h"
#include "qt/MainWindow.h"
#include "qt/MasterViewController.h"
#include "qt/QtControls.h"
#include "qt/QtOutlineView.h"
#include "qt/QtViewHost.h"
#include "tests/qt/QtTestSupport.h"

namespace orvane::testing {

class AppHarness {
public:
    AppHarness() {
        padA = std::make_shared<ScriptedController>("Pad A", true);
        untitled = std::make_shared<ScriptedController>(std::nullopt, true);
        plainJoystick = std::make_shared<ScriptedController>("Joystick", false);
        gamepads->list = {padA, plainJoystick, untitled};
        devices.touch("ttyACM0");
        devices.touch("ttyUSB3");
        devices.touch("tty0");

        Application::Options options;
        options.deviceDirectory = devices.path().string();
        options.gamepadSource = gamepads;
        app = std::make_unique<Application>(options);
        app->show();
        (void)QTest::qWaitForWindowExposed(&app->window());
    }

    ViewController& console() const { return *app->console(); }
    QtOutlineView& outline() const { return dynamic_cast<QtOutlineView&>(*app->master()->inspector->outlineView()); }
    template <typename W>
    W* find(const char* name) const {
        for (QWidget* widget : QApplication::allWidgets()) {
            if (widget->objectName() == name) {
                if (auto* typed = qobject_cast<W*>(widget)) return typed;
            }
        }
        return nullptr;
    }

    ScratchDirectory devices;
    std::shared_ptr<ScriptedGamepadSource> gamepads = std::make_shared<ScriptedGamepadSource>();
    std::shared_ptr<ScriptedController> padA, untitled, plainJoystick;
    std::unique_ptr<Application> app;
};

}  // namespace orvane::testing
