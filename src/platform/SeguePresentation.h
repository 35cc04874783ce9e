#pragma once

#include <memory>
#include <string>

#include "platform/SegueCallbackPresenter.h"
#include "platform/SeguePresentingState.h"
#include "platform/ViewControllerBase.h"

namespace orvane {

// Performs the segue `identifier` on `controller` and lets `handler` prepare its destination (a D)
// once, before it is shown. The controller's prepareForSegue must hand the sender to
// handleSegueCallback (or a SegueCallbackPresenter's handleSegue) before anything else.
template <typename D>
void performSegueWithHandler(PlatformViewController& controller, const std::string& identifier,
                             typename SeguePresentingState<D>::Handler handler) {
    controller.performSegueWithIdentifier(identifier, std::make_shared<SeguePresentingState<D>>(std::move(handler)));
}

}  // namespace orvane
