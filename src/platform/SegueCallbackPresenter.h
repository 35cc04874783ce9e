#pragma once

#include "platform/Object.h"
#include "platform/ViewControllerBase.h"

namespace orvane {

// A segue sender that prepares the segue's destination itself.
//
// A controller that performs segues with performSegueWithHandler hands such senders over first
// thing in its prepareForSegue:
//
//     if (handleSegueCallback(segue, sender)) return;
class SegueCallbackPresenter : public Object {
public:
    virtual void handleSegue(const StoryboardSegue& segue) = 0;
};

// When `sender` is a SegueCallbackPresenter, lets it prepare the segue and returns true;
// otherwise returns false and does nothing.
inline bool handleSegueCallback(const StoryboardSegue& segue, Object* sender) {
    auto* presenter = dynamic_cast<SegueCallbackPresenter*>(sender);
    if (!presenter) return false;
    presenter->handleSegue(segue);
    return true;
}

}  // namespace orvane
