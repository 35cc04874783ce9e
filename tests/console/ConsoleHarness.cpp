#include "console/ConsoleHarness.h"

#include <unistd.h>

#include <fstream>
#include <stdexcept>

#include "device/DeviceSerialInterface.h"
#include "inspector/InspectorItem.h"

namespace orvane::testing {

ConsoleHarness::ConsoleHarness(ViewController::Configuration configuration) {
    MainQueue::shared().bindToCurrentThread();
    MainQueue::shared().runPending();

    // The console is handed its parts as the application hands them.
    configuration.devicesPopup = devicesPopup;
    configuration.gamepadsPopup = gamepadsPopup;
    configuration.inspector = inspector;
    console = std::make_shared<ViewController>(std::move(configuration));

    host->fakeWindow = std::make_shared<FakeWindow>();
    host->appearDestinations = false;

    host->registerDestination(ModalProgressSegue, [] { return std::make_shared<ModalProgressViewController>(); });
    host->registerDestination(SoftwareUpdateInformationSegue,
                              [] { return std::make_shared<UpdateInformationViewController>(); });
    host->onLoadView = [this](PlatformViewController& controller) {
        if (&controller == console.get()) {
            console->longControlLabel = longLabel;
            console->latControlLabel = latLabel;
            console->longControlSlider = longSlider;
            console->latControlSlider = latSlider;
            console->steeringWheelImage = wheel;
        } else if (auto* sheet = dynamic_cast<ModalProgressViewController*>(&controller)) {
            sheetLabel = std::make_shared<FakeTextField>();
            sheetDetail = std::make_shared<FakeTextField>();
            sheetProgress = std::make_shared<FakeProgressIndicator>();
            sheetOutput = std::make_shared<FakeTextField>();
            sheet->statusLabel = sheetLabel;
            sheet->detailLabel = sheetDetail;
            sheet->progressIndicator = sheetProgress;
            sheet->outputView = sheetOutput;
        } else if (auto* updateDialog = dynamic_cast<UpdateInformationViewController*>(&controller)) {
            dialog = std::static_pointer_cast<UpdateInformationViewController>(updateDialog->shared_from_this());
            dialogVersion = std::make_shared<FakeTextField>();
            dialogDate = std::make_shared<FakeTextField>();
            dialogNotes = std::make_shared<FakeTextField>();
            updateDialog->versionTextField = dialogVersion;
            updateDialog->releaseDateTextField = dialogDate;
            updateDialog->releaseNotesTextField = dialogNotes;
        } else if (&controller == inspector.get()) {
            inspector->setOutlineView(outline);
        }
    };

    console->setHost(host);
    inspector->setHost(host);

    // The window loads the inspector before the console appears.
    inspector->loadViewIfNeeded();

    auto* statusItem = console->inspectorManager().device().connectionStatus.get();
    statusObserver_ = NotificationCenter::defaultCenter().addObserver(
        "InspectorItemValueNeedsUpdateNotification", statusItem, NotificationCenter::Delivery::postingThread,
        [this, statusItem](const Notification&) { statusTexts.push_back(statusItem->status().text()); });
}

ConsoleHarness::~ConsoleHarness() {
    statusObserver_.reset();
    if (console && console->vehicleInterface()) console->vehicleInterface()->disconnect();
    console.reset();
    MainQueue::shared().runPending();
}

void ConsoleHarness::appear() {
    console->loadViewIfNeeded();
    console->viewWillAppear();
    console->viewDidAppear();
}

void ConsoleHarness::loadWithoutTimers() {
    console->loadViewIfNeeded();
    console->viewDidAppear();
}

}  // namespace orvane::testing
