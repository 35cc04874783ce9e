// The safety case with a real SDL game controller: a gamepad that is unplugged while its stick
// and trigger are held must not leave the vehicle with the last requests.

#include <SDL.h>

#include <gtest/gtest.h>

#include "console/ConsoleHarness.h"
#include "device/DeviceSerialInterface.h"
#include "sdl/SdlGamepadSource.h"
#include "support/PtyPeer.h"

using namespace orvane;
using namespace orvane::testing;
using namespace std::chrono_literals;

namespace {

TEST(GamepadSafety, DetachingAHeldSdlControllerReturnsTheDeviceRequestsToZero) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    auto source = std::make_shared<SdlGamepadSource>();
    ASSERT_FALSE(source->initError()) << *source->initError();

    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    desc.name = "Virtual Test Pad";
    const int deviceIndex = SDL_JoystickAttachVirtualEx(&desc);
    ASSERT_GE(deviceIndex, 0) << SDL_GetError();
    SDL_Joystick* joystick = SDL_JoystickOpen(deviceIndex);
    ASSERT_NE(joystick, nullptr);

    PtyPeer device;
    device.startAnswering([](const DeviceReport&) { return std::string("ACK{}"); });

    ConsoleHarness h({.gamepadSource = source});
    h.loadWithoutTimers();
    source->pump();  // announces the controller; the console lists it
    ASSERT_EQ(h.console->gamepads().size(), 1u);
    h.gamepadsPopup->selectItemAtIndex(1);
    h.console->didSelectGamepad(nullptr);
    h.console->connectToDevice(device.devicePath());
    ASSERT_TRUE(waitFor([&] { return h.console->vehicleInterface() != nullptr; }));

    // Both sticks fully right, the right trigger (engine) fully pressed.
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, 32767);
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_RIGHTX, 32767);
    SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 2 * 32767 - 32768);
    for (int i = 0; i < 20; ++i) {
        source->pump();
        h.console->pollGamepad();
    }
    EXPECT_EQ(h.console->requestedLateralControl(), -1.0);
    EXPECT_NEAR(h.console->requestedLongitudinalControl(), 1.0, 1e-4);
    ASSERT_TRUE(device.waitForRequests(device.requestCount() + 2));
    EXPECT_EQ(device.lastRequest().fields.at("lat"), "-100.0");

    // Unplugged while held.
    SDL_JoystickClose(joystick);
    ASSERT_EQ(SDL_JoystickDetachVirtual(deviceIndex), 0) << SDL_GetError();
    source->pump();
    h.console->pollGamepad();
    EXPECT_EQ(h.console->requestedLongitudinalControl(), 0.0);
    EXPECT_DOUBLE_EQ(h.console->requestedLateralControl(), -0.95);
    for (int i = 0; i < 19; ++i) {
        source->pump();
        h.console->pollGamepad();
    }
    EXPECT_EQ(h.console->requestedLateralControl(), 0.0);
    EXPECT_EQ(h.gamepadsPopup->itemTitles(), (std::vector<std::string>{"No gamepads found."}));

    // What the device receives from now on is a zero request.
    ASSERT_TRUE(device.waitForRequests(device.requestCount() + 3));
    const auto last = device.lastRequest();
    EXPECT_EQ(last.fields.at("lat"), "0.0");
    EXPECT_EQ(last.fields.at("long"), "0.0");
}

}  // namespace
