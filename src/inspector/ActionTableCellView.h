#pragma once

#include "platform/Widgets.h"

namespace orvane {

// The value cell of an action row: a text field and a push button.
class ActionTableCellView : public TableCellView {
public:
    // The button, or none while the view has none.
    virtual Button* button() = 0;
};

}  // namespace orvane
