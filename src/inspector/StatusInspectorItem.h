#pragma once

#include "inspector/StatusIndication.h"
#include "inspector/ValueInspectorItem.h"
#include "platform/Translation.h"

namespace orvane {

// A value row with a status lamp: the lamp and the status text take the place of the value text.
template <typename T>
class StatusInspectorItem : public ValueInspectorItem<T> {
public:
    using ValueInspectorItem<T>::ValueInspectorItem;

    const StatusIndication& status() const { return status_; }
    // More than the status text says (the cause and time of an earlier event, say), shown with
    // the text in its tooltip; none: the tooltip is the text.
    const std::optional<std::string>& detail() const { return detail_; }

    // Announces once when the lamp state, the text or the detail differs.
    void setStatus(StatusIndication status, std::optional<std::string> detail = std::nullopt) {
        if (status == status_ && detail == detail_) return;
        status_ = std::move(status);
        detail_ = std::move(detail);
        this->announceChange();
    }

    std::string valueCellIdentifier() const override { return IndicatorTextValueCellIdentifier; }

    void updateValueCellView(TableCellView& cellView) override {
        ValueInspectorItem<T>::updateValueCellView(cellView);
        status_.apply(cellView.imageView(), cellView.textField());
        TextField* textField = cellView.textField();
        if (!textField) return;
        const std::string shown = this->isStale() ? this->staleText(status_.text()) : status_.text();
        if (this->isStale()) textField->setStringValue(shown);
        // Set every time: a cell view may have shown another row before.
        textField->setToolTip(detail_ && *detail_ != shown ? shown + "\n" + *detail_ : shown);
    }

private:
    StatusIndication status_ = StatusIndication::none(translate("StatusInspectorItem", "Unknown"));
    std::optional<std::string> detail_;
};

}  // namespace orvane
