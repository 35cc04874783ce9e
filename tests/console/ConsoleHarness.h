#pragma once

// A console assembled as the application assembles it, but over recording fakes: a main window
// controller with two fake popups, a master controller with the inspector embedded over a fake
// outline, the console with fake outlets, and a fake host for segues, sheets and alerts.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindowController.h"
#include "app/MasterViewController.h"
#include "console/ModalProgressViewController.h"
#include "console/ViewController.h"
#include "inspector/InspectorViewController.h"
#include "platform/Gamepad.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "support/FakeWidgets.h"
#include "update/UpdateInformationViewController.h"

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

    float lt = 0, rt = 0, lx = 0, rx = 0;
    bool gone = false;

private:
    std::optional<std::string> vendor_;
    bool extended_;
};

class FakeGamepadSource : public GamepadSource {
public:
    std::vector<GamepadHandle> controllers() override { return list; }
    std::vector<GamepadHandle> list;
};

// A temporary directory that plays "/dev/".
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    const std::filesystem::path& path() const { return path_; }
    void touch(const std::string& name) const;
    void link(const std::string& name, const std::string& target) const;
    void remove(const std::string& name) const;

private:
    std::filesystem::path path_;
};

struct ConsoleHarness {
    explicit ConsoleHarness(ViewController::Configuration configuration = {});
    ~ConsoleHarness();

    // Loads the console and brings it on screen as the window does: viewDidLoad,
    // viewWillAppear (timers started), viewDidAppear.
    void appear();
    // Loads the console without starting its timers (viewDidLoad and viewDidAppear only), for
    // tests that drive scans and polls by hand.
    void loadWithoutTimers();

    // Runs the main queue until `done` holds.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Every vehicle status text shown in the connection-status row, in order.
    std::vector<std::string> statusTexts;
    std::string lastStatusText() const { return statusTexts.empty() ? std::string() : statusTexts.back(); }

    std::shared_ptr<FakeViewHost> host = std::make_shared<FakeViewHost>();
    std::shared_ptr<MainWindowController> windowController = std::make_shared<MainWindowController>();
    std::shared_ptr<FakePopupButton> devicesPopup = std::make_shared<FakePopupButton>();
    std::shared_ptr<FakePopupButton> gamepadsPopup = std::make_shared<FakePopupButton>();
    std::shared_ptr<MasterViewController> master = std::make_shared<MasterViewController>();
    std::shared_ptr<InspectorViewController> inspector = std::make_shared<InspectorViewController>();
    std::shared_ptr<FakeOutlineView> outline = std::make_shared<FakeOutlineView>();
    std::shared_ptr<ViewController> console;

    std::shared_ptr<FakeTextField> longLabel = std::make_shared<FakeTextField>();
    std::shared_ptr<FakeTextField> latLabel = std::make_shared<FakeTextField>();
    std::shared_ptr<FakeSlider> longSlider = std::make_shared<FakeSlider>();
    std::shared_ptr<FakeSlider> latSlider = std::make_shared<FakeSlider>();
    std::shared_ptr<FakeImageView> wheel = std::make_shared<FakeImageView>();

    // The outlets of the last modal progress sheet and update dialog the host made.
    std::shared_ptr<FakeTextField> sheetLabel;
    std::shared_ptr<FakeProgressIndicator> sheetProgress;
    std::shared_ptr<UpdateInformationViewController> dialog;
    std::shared_ptr<FakeTextField> dialogVersion, dialogDate, dialogNotes;

private:
    ObserverToken statusObserver_;
};

}  // namespace orvane::testing
