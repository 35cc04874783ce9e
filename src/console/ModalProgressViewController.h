#pragma once

#include <memory>

#include "platform/ViewControllerBase.h"
#include "platform/Widgets.h"

namespace orvane {

// The segue that presents the modal progress sheet from the console.
inline constexpr const char* ModalProgressSegue = "Modal Progress";

// The modal progress sheet: a status text, a line naming the step, a progress bar (0 to 100) and
// a details area (collapsed until the user opens it) with a tool's output. It has no behaviour of
// its own; the console writes into the outlets. The sheet cannot be closed by the user.
class ModalProgressViewController : public PlatformViewController {
public:
    std::shared_ptr<TextField> statusLabel;
    std::shared_ptr<TextField> detailLabel;
    std::shared_ptr<ProgressIndicator> progressIndicator;
    std::shared_ptr<TextField> outputView;  // multi-line
};

}  // namespace orvane
