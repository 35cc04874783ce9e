#include "platform/ViewControllerBase.h"

namespace orvane {

void PlatformViewController::loadViewIfNeeded() {
    if (viewLoaded_) return;
    viewLoaded_ = true;
    if (host_) host_->loadView(*this);
    viewDidLoad();
}

void PlatformViewController::prepareForSegue(const StoryboardSegue&, Object*) {}

void PlatformViewController::performSegueWithIdentifier(const std::string& identifier,
                                                        const std::shared_ptr<Object>& sender) {
    if (host_) host_->performSegue(*this, identifier, sender);
}

void PlatformViewController::dismissViewController(PlatformViewController& presented) {
    if (host_) host_->dismissViewController(*this, presented);
}

Window* PlatformViewController::window() { return host_ ? host_->window(*this) : nullptr; }

void PlatformViewController::presentError(const ErrorRef& error) {
    if (host_) host_->presentError(*this, error, false);
}

void PlatformViewController::presentErrorModalForWindow(const ErrorRef& error) {
    if (host_) host_->presentError(*this, error, true);
}

void PlatformViewController::showAlert(const Alert& alert, bool asSheetOnWindow, std::function<void()> completion) {
    if (host_) host_->showAlert(*this, alert, asSheetOnWindow, std::move(completion));
}

}  // namespace orvane
