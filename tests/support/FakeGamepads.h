#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Gamepad.h"

namespace orvane::testing {

// A gamepad whose inputs the test sets; `gone` makes it read as detached.
class FakeGameController : public GameController, public ExtendedGamepad {
public:
    explicit FakeGameController(std::optional<std::string> vendor = "Test Pad", bool extended = true)
        : vendor_(std::move(vendor)), extended_(extended) {}
    ExtendedGamepad* extendedGamepad() override { return extended_ && !gone ? this : nullptr; }
    std::optional<std::string> vendorName() const override { return vendor_; }
    float leftTrigger() const override { return lt; }
    float rightTrigger() const override { return rt; }
    float leftThumbstickX() const override { return lx; }
    float rightThumbstickX() const override { return rx; }
    float leftThumbstickY() const override { return ly; }
    float rightThumbstickY() const override { return ry; }
    bool enableButtonPressed() const override { return enableHeld; }
    bool otherButtonPressed() const override { return otherHeld; }

    float lt = 0, rt = 0, lx = 0, rx = 0, ly = 0, ry = 0;
    bool enableHeld = false;
    bool otherHeld = false;  // a button other than the enable button
    bool gone = false;

private:
    std::optional<std::string> vendor_;
    bool extended_;
};

// A controller list the test fills.
class FakeGamepadSource : public GamepadSource {
public:
    std::vector<GamepadHandle> controllers() override { return list; }
    std::vector<GamepadHandle> list;
};

}  // namespace orvane::testing
