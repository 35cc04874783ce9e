#pragma once

// Helpers shared by the widget tests: waiting on Qt's event loop (which also drives the main
// queue), and the shared fake gamepads and temporary directory.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Gamepad.h"
#include "support/FakeGamepads.h"
#include "support/TemporaryDirectory.h"

namespace orvane::testing {

// Runs Qt's event loop until `condition` holds or `timeoutMs` passes; returns whether it held.
inline bool waitFor(const std::function<bool()>& condition, int timeoutMs = 3000) {
    return QTest::qWaitFor(condition, timeoutMs);
}

// The visible windows of type W (sheets, which have a parent window, included).
template <typename W>
std::vector<W*> visibleWindows() {
    std::vector<W*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* typed = qobject_cast<W*>(widget); typed && typed->isVisible()) found.push_back(typed);
    }
    return found;
}

// The shared fakes, under the names these tests use.
using ScriptedController = FakeGameController;
using ScriptedGamepadSource = FakeGamepadSource;
using ScratchDirectory = TemporaryDirectory;

}  // namespace orvane::testing
