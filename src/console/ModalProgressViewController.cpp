#include "console/ModalProgressViewController.h"

#include "platform/Translation.h"

namespace orvane {

void ModalProgressViewController::showProgress(const std::optional<std::string>& statusText,
                                               std::optional<double> progress,
                                               const std::optional<std::string>& detailText) {
    if (detailLabel) detailLabel->setStringValue(detailText.value_or(std::string()));
    if (statusLabel)
        statusLabel->setStringValue(statusText && !statusText->empty()
                                        ? *statusText
                                        : translate("ModalProgressViewController", "Please wait..."));
    if (progressIndicator) {
        progressIndicator->setIndeterminate(!progress);
        progressIndicator->setDoubleValue(progress ? *progress * 100 : 0);
    }
}

void ModalProgressViewController::showOutput(const std::optional<std::string>& output) {
    if (outputView) outputView->setStringValue(output.value_or(std::string()));
}

void ModalProgress::setStatusText(std::optional<std::string> text) {
    modalProgressStatusText_ = std::move(text);
    if (modalProgressStatusText_) {
        if (_currentModalProgressViewController) {
            update();
        } else {
            presenter_.performSegueWithIdentifier(ModalProgressSegue, nullptr);
        }
    } else if (_currentModalProgressViewController) {
        auto sheet = std::move(_currentModalProgressViewController);
        _currentModalProgressViewController = nullptr;
        presenter_.dismissViewController(*sheet);
    }
}

void ModalProgress::setStatusProgress(std::optional<double> progress) {
    modalProgressStatusProgress_ = progress;
    update();
}

void ModalProgress::setDetailText(std::optional<std::string> text) {
    modalProgressDetailText_ = std::move(text);
    update();
}

void ModalProgress::setOutput(std::optional<std::string> output) {
    modalProgressOutput_ = std::move(output);
    if (auto sheet = _currentModalProgressViewController) sheet->showOutput(modalProgressOutput_);
}

void ModalProgress::prepareSheet(const std::shared_ptr<PlatformViewController>& destination) {
    _currentModalProgressViewController = std::dynamic_pointer_cast<ModalProgressViewController>(destination);
    if (_currentModalProgressViewController) _currentModalProgressViewController->loadViewIfNeeded();
    update();
    if (auto sheet = _currentModalProgressViewController) sheet->showOutput(modalProgressOutput_);
}

void ModalProgress::update() {
    if (auto sheet = _currentModalProgressViewController) {
        sheet->showProgress(modalProgressStatusText_, modalProgressStatusProgress_, modalProgressDetailText_);
    }
}

}  // namespace orvane
