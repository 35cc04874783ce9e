#pragma once

// Helpers shared by the widget tests: waiting on Qt's event loop (which also drives the main
// queue), a gamepad source with scripted controllers, and a scratch directory of device names.

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

class ScriptedGamepad : public ExtendedGamepad {
public:
    float leftTrigger() const override { return lt; }
    float rightTrigger() const override { return rt; }
    float leftThumbstickX() const override { return lx; }
    float rightThumbstickX() const override { return rx; }
    float lt = 0, rt = 0, lx = 0, rx = 0;
};

class ScriptedController : public GameController {
public:
    ScriptedController(std::optional<std::string> vendor, bool extended) : vendor_(std::move(vendor)), extended_(extended) {}
    ExtendedGamepad* extendedGamepad() override { return extended_ ? &gamepad : nullptr; }
    std::optional<std::string> vendorName() const override { return vendor_; }
    ScriptedGamepad gamepad;

private:
    std::optional<std::string> vendor_;
    bool extended_;
};

class ScriptedGamepadSource : public GamepadSource {
public:
    std::vector<GamepadHandle> controllers() override { return attached; }
    std::vector<GamepadHandle> attached;
};

// A fresh directory under the system's temporary directory, removed again at the end.
class ScratchDirectory {
public:
    ScratchDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orvane-qt-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data());
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const {
        std::ofstream(path_ / name).put('\n');
        return (path_ / name).string();
    }

private:
    std::filesystem::path path_;
};

}  // namespace orvane::testing
