#pragma once

// A console assembled as the application assembles it, but over recording fakes: the console
// handed two fake popups and an inspector over a fake outline, with fake outlets, and a fake
// host for segues, sheets and alerts.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "console/ModalProgressViewController.h"
#include "console/ViewController.h"
#include "inspector/InspectorViewController.h"
#include "platform/Gamepad.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "support/FakeGamepads.h"
#include "support/FakeWidgets.h"
#include "support/TemporaryDirectory.h"
#include "support/WaitFor.h"
#include "update/UpdateInformationViewController.h"

namespace orvane::testing {

struct ConsoleHarness {
    explicit ConsoleHarness(ViewController::Configuration configuration = {});
    ~ConsoleHarness();

    // Loads the console and brings it on screen as the window does: viewDidLoad,
    // viewWillAppear (timers started), viewDidAppear.
    void appear();
    // Loads the console without starting its timers (viewDidLoad and viewDidAppear only), for
    // tests that drive scans and polls by hand.
    void loadWithoutTimers();

    // Every vehicle status text shown in the connection-status row, in order.
    std::vector<std::string> statusTexts;
    std::string lastStatusText() const { return statusTexts.empty() ? std::string() : statusTexts.back(); }

    std::shared_ptr<FakeViewHost> host = std::make_shared<FakeViewHost>();
    std::shared_ptr<FakePopupButton> devicesPopup = std::make_shared<FakePopupButton>();
    std::shared_ptr<FakePopupButton> gamepadsPopup = std::make_shared<FakePopupButton>();
    std::shared_ptr<InspectorViewController> inspector = std::make_shared<InspectorViewController>();
    std::shared_ptr<FakeOutlineView> outline = std::make_shared<FakeOutlineView>();
    std::shared_ptr<ViewController> console;

    std::shared_ptr<FakeTextField> longLabel = std::make_shared<FakeTextField>();
    std::shared_ptr<FakeTextField> latLabel = std::make_shared<FakeTextField>();
    std::shared_ptr<FakeSlider> longSlider = std::make_shared<FakeSlider>();
    std::shared_ptr<FakeSlider> latSlider = std::make_shared<FakeSlider>();
    std::shared_ptr<FakeImageView> wheel = std::make_shared<FakeImageView>();

    // The outlets of the last modal progress sheet and update dialog the host made.
    std::shared_ptr<FakeTextField> sheetLabel, sheetDetail, sheetOutput;
    std::shared_ptr<FakeProgressIndicator> sheetProgress;
    std::shared_ptr<UpdateInformationViewController> dialog;
    std::shared_ptr<FakeTextField> dialogVersion, dialogDate, dialogNotes;

private:
    ObserverToken statusObserver_;
};

}  // namespace orvane::testing
