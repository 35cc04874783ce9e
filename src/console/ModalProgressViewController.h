#pragma once

#include <memory>

#include "platform/ViewControllerBase.h"
#include "platform/Widgets.h"

namespace orvane {

// The segue that presents the modal progress sheet from the console.
inline constexpr const char* ModalProgressSegue = "Modal Progress";

// The modal progress sheet: a status text and a progress bar (0 to 100). It has no behaviour of
// its own; the console writes into both outlets.
class ModalProgressViewController : public PlatformViewController {
public:
    std::shared_ptr<TextField> statusLabel;
    std::shared_ptr<ProgressIndicator> progressIndicator;
};

}  // namespace orvane
