#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/Object.h"
#include "platform/Widgets.h"

namespace orvane {

class OutlineView;

// What an outline view asks of its data source; `item` is none for the invisible root.
class OutlineViewDataSource {
public:
    virtual ~OutlineViewDataSource() = default;
    virtual long numberOfChildrenOfItem(OutlineView& outlineView, Object* item) = 0;
    virtual Object* childOfItem(OutlineView& outlineView, long index, Object* item) = 0;
    virtual bool isItemExpandable(OutlineView& outlineView, Object* item) = 0;
};

// A row view's group style.
class RowView {
public:
    virtual ~RowView() = default;
    virtual bool isGroupRowStyle() const = 0;
    virtual void setGroupRowStyle(bool groupRowStyle) = 0;
};

// What an outline view asks of its delegate.
class OutlineViewDelegate {
public:
    virtual ~OutlineViewDelegate() = default;
    virtual bool isGroupItem(OutlineView& outlineView, Object* item) = 0;
    virtual bool shouldSelectItem(OutlineView& outlineView, Object* item) = 0;
    virtual bool shouldShowOutlineCellForItem(OutlineView& outlineView, Object* item) = 0;
    virtual void didAddRowView(OutlineView& outlineView, RowView& rowView, long row) = 0;
    // `columnIdentifier` is none for a full-width (group) row.
    virtual std::shared_ptr<TableCellView> viewForTableColumn(OutlineView& outlineView,
                                                              const std::optional<std::string>& columnIdentifier,
                                                              Object* item) = 0;
};

// An outline view: a tree of rows with a title column and a value column.
class OutlineView : public Object {
public:
    virtual void setDataSource(OutlineViewDataSource* dataSource) = 0;
    virtual void setDelegate(OutlineViewDelegate* delegate) = 0;
    virtual void expandItem(Object* item, bool expandChildren) = 0;  // none: the root
    virtual void setAutoresizesOutlineColumn(bool autoresizes) = 0;
    virtual void beginUpdates() = 0;
    virtual void endUpdates() = 0;
    virtual void reloadItem(Object* item) = 0;
    virtual void reloadData() = 0;
    // A cell view made from the prototype with `identifier`, or none when there is no such prototype.
    virtual std::shared_ptr<TableCellView> makeViewWithIdentifier(const std::string& identifier, Object* owner) = 0;
};

}  // namespace orvane
