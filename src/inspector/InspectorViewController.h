#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "inspector/InspectorItem.h"
#include "platform/NotificationCenter.h"
#include "platform/OutlineView.h"
#include "platform/ViewControllerBase.h"

namespace orvane {

// Shows the inspector's item tree in a two-column outline (title and value). The rows announce
// their own changes; every row announced during one turn of the main queue is reloaded in one
// batched outline update on the next turn, in the order of announcement.
class InspectorViewController : public PlatformViewController,
                                public OutlineViewDataSource,
                                public OutlineViewDelegate {
public:
    static constexpr const char* titleColumnIdentifier = "Title Column";
    static constexpr const char* valueColumnIdentifier = "Value Column";
    static constexpr const char* titleCellIdentifier = "Title Cell";
    static constexpr const char* groupCellIdentifier = "Group Cell";

    InspectorViewController();
    ~InspectorViewController() override;

    // The invisible root row; the console gives it the group rows as children.
    const std::shared_ptr<InspectorItem>& rootItem() const { return rootItem_; }

    // The outline view outlet, held weakly. Setting it also makes this controller the outline's
    // data source and delegate.
    std::shared_ptr<OutlineView> outlineView() const { return outlineView_.lock(); }
    void setOutlineView(const std::shared_ptr<OutlineView>& outlineView);

    // Rows announced since the last reload pass, in order, duplicates kept. A pass is pending
    // exactly while this is not empty.
    const std::vector<std::shared_ptr<InspectorItem>>& itemsNeedingReload() const { return itemsNeedingReload_; }

    // The registration for InspectorItemValueNeedsUpdateNotification, made in viewDidLoad.
    const ObserverToken& updateNotification() const { return updateNotification_; }

    void viewDidLoad() override;

    // Data source.
    long numberOfChildrenOfItem(OutlineView& outlineView, Object* item) override;
    Object* childOfItem(OutlineView& outlineView, long index, Object* item) override;
    bool isItemExpandable(OutlineView& outlineView, Object* item) override;

    // Delegate.
    bool isGroupItem(OutlineView& outlineView, Object* item) override;
    bool shouldSelectItem(OutlineView& outlineView, Object* item) override;
    bool shouldShowOutlineCellForItem(OutlineView& outlineView, Object* item) override;
    void didAddRowView(OutlineView& outlineView, RowView& rowView, long row) override;
    std::shared_ptr<TableCellView> viewForTableColumn(OutlineView& outlineView,
                                                      const std::optional<std::string>& columnIdentifier,
                                                      Object* item) override;

private:
    void itemValueNeedsUpdate(const Notification& notification);
    void reloadItemsNeedingReload();
    bool isGroupRow(const InspectorItem* item) const;

    ObserverToken updateNotification_;
    const std::shared_ptr<InspectorItem> rootItem_;
    std::weak_ptr<OutlineView> outlineView_;
    std::vector<std::shared_ptr<InspectorItem>> itemsNeedingReload_;
    // The notification block and the queued reload pass reach the controller through this
    // pointer, held weakly: once the controller is gone they do nothing.
    std::shared_ptr<InspectorViewController*> self_;
};

}  // namespace orvane
