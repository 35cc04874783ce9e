#pragma once

#include <functional>
#include <string>

#include "inspector/ActionTableCellView.h"
#include "inspector/ValueInspectorItem.h"
#include "platform/Translation.h"

namespace orvane {

// A value row with a push button beside the value; pressing it calls `actionHandler`.
template <typename T>
class ActionInspectorItem : public ValueInspectorItem<T> {
public:
    using ValueInspectorItem<T>::ValueInspectorItem;

    // Neither setter announces: the button picks them up when the row is next rendered or pressed.
    const std::string& actionTitle() const { return actionTitle_; }
    void setActionTitle(std::string title) { actionTitle_ = std::move(title); }

    const std::function<void()>& actionHandler() const { return actionHandler_; }
    void setActionHandler(std::function<void()> handler) { actionHandler_ = std::move(handler); }

    // Whether the button can be pressed; announces a change, so the button follows at once.
    bool isActionEnabled() const { return actionEnabled_; }
    void setActionEnabled(bool enabled) {
        if (enabled == actionEnabled_) return;
        actionEnabled_ = enabled;
        this->announceChange();
    }

    std::string valueCellIdentifier() const override { return ActionTextValueCellIdentifier; }

    // Sets the value text, then, in an action cell with a button, the button's title and its
    // press action. The button refers to the row weakly: a press after the row is gone does nothing.
    void updateValueCellView(TableCellView& cellView) override {
        ValueInspectorItem<T>::updateValueCellView(cellView);
        auto* actionCell = dynamic_cast<ActionTableCellView*>(&cellView);
        if (!actionCell) return;
        Button* button = actionCell->button();
        if (!button) return;
        button->setTitle(actionTitle_);
        button->setEnabled(actionEnabled_);
        std::weak_ptr<InspectorItem> target = this->weak_from_this();
        button->setAction([target, button] {
            if (auto item = target.lock())
                static_cast<ActionInspectorItem&>(*item).didPressActionButtonWithButton(button);
        });
    }

    // The button's action: runs the handler if one is set and the action is enabled. The button
    // is not used.
    void didPressActionButtonWithButton(Button* /*sender*/) {
        if (!actionEnabled_) return;
        // A copy, so that a handler may replace itself while it runs.
        const std::function<void()> handler = actionHandler_;
        if (handler) handler();
    }

private:
    std::string actionTitle_ = translate("ActionInspectorItem", "Go");
    std::function<void()> actionHandler_;
    bool actionEnabled_ = true;
};

}  // namespace orvane
