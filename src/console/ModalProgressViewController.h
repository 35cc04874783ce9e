#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/ViewControllerBase.h"
#include "platform/Widgets.h"

namespace orvane {

// The segue that presents the modal progress sheet from the console.
inline constexpr const char* ModalProgressSegue = "Modal Progress";

// The modal progress sheet: a status text, a line naming the step, a progress bar (0 to 100) and
// a details area (collapsed until the user opens it) with a tool's output. It shows what it is
// given; the sheet cannot be closed by the user.
class ModalProgressViewController : public PlatformViewController {
public:
    std::shared_ptr<TextField> statusLabel;
    std::shared_ptr<TextField> detailLabel;
    std::shared_ptr<ProgressIndicator> progressIndicator;
    std::shared_ptr<TextField> outputView;  // multi-line

    // The status text ("Please wait..." when it is none or empty), the step's line, and the
    // progress: none makes the bar indeterminate at 0, a fraction makes it determinate at
    // fraction × 100.
    void showProgress(const std::optional<std::string>& statusText, std::optional<double> progress,
                      const std::optional<std::string>& detailText);
    void showOutput(const std::optional<std::string>& output);
};

// The console's side of the sheet: the values the update workflow sets, and the sheet on screen
// that shows them. A status text asks for the sheet: the first one presents it over `presenter`
// with the "Modal Progress" segue, later ones update it; none dismisses it. Every other value
// updates the sheet on screen and is kept for one presented later.
class ModalProgress {
public:
    // `presenter` (the console) outlives this object.
    explicit ModalProgress(PlatformViewController& presenter) : presenter_(presenter) {}

    const std::optional<std::string>& statusText() const { return modalProgressStatusText_; }
    void setStatusText(std::optional<std::string> text);
    const std::optional<double>& statusProgress() const { return modalProgressStatusProgress_; }
    void setStatusProgress(std::optional<double> progress);
    const std::optional<std::string>& detailText() const { return modalProgressDetailText_; }
    void setDetailText(std::optional<std::string> text);
    const std::optional<std::string>& output() const { return modalProgressOutput_; }
    void setOutput(std::optional<std::string> output);

    // The "Modal Progress" segue's destination becomes the sheet on screen (none when it is not a
    // progress sheet); its view is loaded and shows the values.
    void prepareSheet(const std::shared_ptr<PlatformViewController>& destination);
    // Copies the status text, progress and step into the sheet on screen, if any.
    void update();

    const std::shared_ptr<ModalProgressViewController>& currentSheet() const {
        return _currentModalProgressViewController;
    }

private:
    PlatformViewController& presenter_;
    std::shared_ptr<ModalProgressViewController> _currentModalProgressViewController;
    std::optional<std::string> modalProgressStatusText_;
    std::optional<double> modalProgressStatusProgress_;
    std::optional<std::string> modalProgressDetailText_;
    std::optional<std::string> modalProgressOutput_;
};

}  // namespace orvane
