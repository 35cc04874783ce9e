#pragma once

#include "inspector/StatusIndication.h"
#include "inspector/ValueInspectorItem.h"

namespace orvane {

// A value row with a status lamp: the lamp and the status text take the place of the value text.
template <typename T>
class StatusInspectorItem : public ValueInspectorItem<T> {
public:
    using ValueInspectorItem<T>::ValueInspectorItem;

    const StatusIndication& status() const { return status_; }

    // Announces when the lamp state or the text differs.
    void setStatus(StatusIndication status) {
        if (status == status_) return;
        status_ = std::move(status);
        this->announceChange();
    }

    std::string valueCellIdentifier() const override { return IndicatorTextValueCellIdentifier; }

    void updateValueCellView(TableCellView& cellView) override {
        ValueInspectorItem<T>::updateValueCellView(cellView);
        status_.apply(cellView.imageView(), cellView.textField());
        if (TextField* textField = cellView.textField(); textField && this->isStale()) {
            textField->setStringValue(status_.text() + this->staleSuffix);
        }
    }

private:
    StatusIndication status_ = StatusIndication::none("Unknown");
};

}  // namespace orvane
