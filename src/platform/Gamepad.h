#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Object.h"

namespace orvane {

// The extended gamepad profile of a controller: triggers 0 to 1, thumbstick axes -1 to 1 (x
// positive to the right, y positive upwards).
class ExtendedGamepad {
public:
    virtual ~ExtendedGamepad() = default;
    virtual float leftTrigger() const = 0;
    virtual float rightTrigger() const = 0;
    virtual float leftThumbstickX() const = 0;
    virtual float rightThumbstickX() const = 0;
    virtual float leftThumbstickY() const = 0;
    virtual float rightThumbstickY() const = 0;
    // The button that must be held while hold-to-enable is on: the right shoulder button.
    virtual bool enableButtonPressed() const = 0;
    // Any button but the enable button is down (face buttons, left shoulder, stick clicks, the
    // directional pad, back, start, guide and the like; not the triggers, which are axes).
    virtual bool otherButtonPressed() const = 0;
};

// One connected game controller. Handles are compared by identity.
class GameController : public Object {
public:
    // None when the controller does not offer the extended profile, or is gone.
    virtual ExtendedGamepad* extendedGamepad() = 0;
    virtual std::optional<std::string> vendorName() const = 0;
};

using GamepadHandle = std::shared_ptr<GameController>;

// The platform's list of connected controllers. It posts the two notifications below, on the
// main thread, when a controller connects or disconnects.
class GamepadSource {
public:
    virtual ~GamepadSource() = default;
    virtual std::vector<GamepadHandle> controllers() = 0;
    // Brings the controllers' values and the list up to date (posting the notifications). The
    // console calls it on the main thread on each control tick, just before it reads the
    // gamepad, so the reading is fresh and no timer of its own wakes the window.
    virtual void pump() {}
};

inline constexpr const char* GCControllerDidConnectNotification = "GCControllerDidConnectNotification";
inline constexpr const char* GCControllerDidDisconnectNotification = "GCControllerDidDisconnectNotification";

}  // namespace orvane
