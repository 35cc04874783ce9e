#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/Object.h"

namespace orvane {

class TableCellView;

// Posted through NotificationCenter::defaultCenter() by an item whose shown content changed,
// with the item as object; delivered on the posting thread (always the main thread here).
inline constexpr const char* InspectorItemValueNeedsUpdateNotification = "InspectorItemValueNeedsUpdateNotification";

// Identifiers of the value column's cell views, one per kind of row.
inline constexpr const char* TextValueCellIdentifier = "Text Value Cell";
inline constexpr const char* IndicatorTextValueCellIdentifier = "Indicator Text Value Cell";
inline constexpr const char* ActionTextValueCellIdentifier = "Action Text Value Cell";

// A row of the inspector outline: a title and child rows. Items are shared objects compared by
// identity; make them with std::make_shared, so that the inspector view and the action buttons
// can keep hold of them. An item never keeps the cell views it fills.
class InspectorItem : public Object, public std::enable_shared_from_this<InspectorItem> {
public:
    using Children = std::vector<std::shared_ptr<InspectorItem>>;

    // Stores title and children without announcing them (group rows and the root).
    explicit InspectorItem(std::string title = {}, Children children = {});
    ~InspectorItem() override;

    InspectorItem(const InspectorItem&) = delete;
    InspectorItem& operator=(const InspectorItem&) = delete;

    const std::string& title() const { return title_; }
    // Announces only when the title differs from the current one.
    void setTitle(std::string title);

    const Children& children() const { return children_; }
    // Always announces, with this item (the parent) as object, even for the same list.
    void setChildren(Children children);

    // A stale row shows the last value a device reported after the link to it ended, marked as
    // such. Announces only a change.
    bool isStale() const { return stale_; }
    void setStale(bool stale);
    // A stale row's text, marked as such: "12.5° (stale)".
    static std::string staleText(const std::string& text);

    // Fills a cell view of the value column. The plain item shows nothing.
    virtual void updateValueCellView(TableCellView& cellView);

    // The identifier of the value column's cell view that this row needs.
    virtual std::string valueCellIdentifier() const;

protected:
    // Posts InspectorItemValueNeedsUpdateNotification with this item as object.
    void announceChange();

private:
    std::string title_;
    Children children_;
    bool stale_ = false;
};

}  // namespace orvane
