#pragma once

#include <memory>

#include "platform/Object.h"
#include "platform/Widgets.h"

namespace orvane {

// The main window's controller: it only holds the two toolbar popups, which the console fills
// and reads.
class MainWindowController : public Object {
public:
    std::shared_ptr<PopupButton> devicesPopupButton;
    std::shared_ptr<PopupButton> gamepadsPopupButton;
};

}  // namespace orvane
