#pragma once

#include <memory>
#include <optional>
#include <string>

#include "inspector/Formatter.h"
#include "inspector/InspectorItem.h"
#include "platform/Translation.h"
#include "platform/Widgets.h"

namespace orvane {

// A row with a value of type T (std::string, std::int64_t, double,
// std::chrono::system_clock::time_point or Version) and an optional formatter. An absent value,
// or one the formatter cannot show, reads "Unknown" unless the row is given another text for it.
template <typename T>
class ValueInspectorItem : public InspectorItem {
public:
    // Title and children go through their announcing setters; value and formatter are stored
    // without an announcement.
    explicit ValueInspectorItem(std::string title = {}, std::optional<T> value = std::nullopt,
                                std::shared_ptr<const Formatter> formatter = nullptr, Children children = {})
        : InspectorItem() {
        setTitle(std::move(title));
        setChildren(std::move(children));
        value_ = std::move(value);
        formatter_ = std::move(formatter);
    }

    const std::optional<T>& value() const { return value_; }

    // Announces when the value differs: two present values by T's equality; absent equals
    // absent only.
    void setValue(std::optional<T> value) {
        if (value == value_) return;
        value_ = std::move(value);
        announceChange();
    }

    // What the row reads while it has no value to show; announces a change.
    const std::string& absentValueText() const { return absentValueText_; }
    void setAbsentValueText(std::string text) {
        if (text == absentValueText_) return;
        absentValueText_ = std::move(text);
        announceChange();
    }

    const std::shared_ptr<const Formatter>& formatter() const { return formatter_; }
    // Never announces; the next rendering uses the new formatter.
    void setFormatter(std::shared_ptr<const Formatter> formatter) { formatter_ = std::move(formatter); }

    // The value's display text: none when the value is absent or the formatter returns none.
    std::optional<std::string> valueText() const {
        if (!value_) return std::nullopt;
        const FormatterValue value{*value_};
        if (formatter_) return formatter_->stringForObjectValue(value);
        return plainValueText(value);
    }

    void updateValueCellView(TableCellView& cellView) override {
        if (TextField* textField = cellView.textField()) {
            const std::string text = valueText().value_or(absentValueText_);
            textField->setStringValue(this->isStale() ? staleText(text) : text);
        }
    }

private:
    std::optional<T> value_;
    std::shared_ptr<const Formatter> formatter_;
    std::string absentValueText_ = translate("ValueInspectorItem", "Unknown");
};

}  // namespace orvane
