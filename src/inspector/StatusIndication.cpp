#include "inspector/StatusIndication.h"

#include "platform/Widgets.h"

namespace orvane {

const char* StatusIndication::imageName() const {
    switch (state_) {
        case Case::negative: return "NSStatusUnavailable";
        case Case::warning: return "NSStatusPartiallyAvailable";
        case Case::positive: return "NSStatusAvailable";
        case Case::replaying: return "OrvaneStatusReplaying";
        case Case::none:
        case Case::unknown: break;
    }
    return "NSStatusNone";
}

void StatusIndication::apply(ImageView* imageView, TextField* textField) const {
    if (imageView) imageView->setImageNamed(imageName());
    if (textField) textField->setStringValue(text_);
}

}  // namespace orvane
