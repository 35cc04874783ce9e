#include "qt/MasterViewController.h"

#include "inspector/InspectorViewController.h"

namespace orvane {

void MasterViewController::prepareForSegue(const StoryboardSegue& segue, Object* sender) {
    if (segue.identifier == EmbedInspectorSegue) {
        inspector = std::dynamic_pointer_cast<InspectorViewController>(segue.destinationController);
    }
    PlatformViewController::prepareForSegue(segue, sender);
}

}  // namespace orvane
