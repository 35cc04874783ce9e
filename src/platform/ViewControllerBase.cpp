#include "platform/ViewControllerBase.h"

namespace orvane {

void PlatformViewController::loadViewIfNeeded() {
    if (viewLoaded_) return;
    viewLoaded_ = true;
    if (auto host = host_.lock()) host->loadView(*this);
    viewDidLoad();
}

void PlatformViewController::prepareForSegue(const StoryboardSegue&, Object*) {}

void PlatformViewController::performSegueWithIdentifier(const std::string& identifier,
                                                        const std::shared_ptr<Object>& sender) {
    if (auto host = host_.lock()) host->performSegue(*this, identifier, sender);
}

void PlatformViewController::dismissViewController(PlatformViewController& presented) {
    if (auto host = host_.lock()) host->dismissViewController(*this, presented);
}

Window* PlatformViewController::window() {
    auto host = host_.lock();
    return host ? host->window(*this) : nullptr;
}

void PlatformViewController::presentError(const ErrorRef& error) {
    if (auto host = host_.lock()) host->presentError(*this, error, false);
}

void PlatformViewController::presentErrorModalForWindow(const ErrorRef& error) {
    if (auto host = host_.lock()) host->presentError(*this, error, true);
}

void PlatformViewController::showAlert(const Alert& alert, bool asSheetOnWindow, std::function<void()> completion) {
    if (auto host = host_.lock()) host->showAlert(*this, alert, asSheetOnWindow, std::move(completion));
}

}  // namespace orvane
