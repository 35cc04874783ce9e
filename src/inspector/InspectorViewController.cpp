#include "inspector/InspectorViewController.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "platform/MainQueue.h"
#include "platform/Widgets.h"

namespace orvane {

namespace {

// Full Unicode upper-casing that does not depend on the user's locale ("Straße" gives
// "STRASSE", and "i" stays "I" in a Turkish locale).
std::string uppercased(const std::string& text) {
    icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
    unicode.toUpper(icu::Locale::getRoot());
    std::string result;
    unicode.toUTF8String(result);
    return result;
}

}  // namespace

InspectorViewController::InspectorViewController()
    : rootItem_(std::make_shared<InspectorItem>("root")), self_(std::make_shared<InspectorViewController*>(this)) {}

InspectorViewController::~InspectorViewController() {
    self_.reset();
    updateNotification_.reset();
    if (auto outline = outlineView_.lock()) {
        outline->setDataSource(nullptr);
        outline->setDelegate(nullptr);
    }
}

void InspectorViewController::setOutlineView(const std::shared_ptr<OutlineView>& outlineView) {
    if (auto previous = outlineView_.lock(); previous && previous != outlineView) {
        previous->setDataSource(nullptr);
        previous->setDelegate(nullptr);
    }
    outlineView_ = outlineView;
    if (outlineView) {
        outlineView->setDataSource(this);
        outlineView->setDelegate(this);
    }
}

void InspectorViewController::viewDidLoad() {
    PlatformViewController::viewDidLoad();

    std::weak_ptr<InspectorViewController*> weakSelf = self_;
    updateNotification_ = NotificationCenter::defaultCenter().addObserver(
        InspectorItemValueNeedsUpdateNotification, nullptr, NotificationCenter::Delivery::mainQueue,
        [weakSelf](const Notification& notification) {
            if (auto self = weakSelf.lock()) (*self)->itemValueNeedsUpdate(notification);
        });

    if (auto outline = outlineView_.lock()) {
        outline->expandItem(nullptr, true);
        outline->setAutoresizesOutlineColumn(true);
    }
}

void InspectorViewController::itemValueNeedsUpdate(const Notification& notification) {
    auto* item = dynamic_cast<InspectorItem*>(notification.object);
    if (!item) return;
    // An item that nobody owns yet is still being constructed; it cannot be in the outline, so
    // there is nothing to reload for it.
    std::shared_ptr<InspectorItem> owned = item->weak_from_this().lock();
    if (!owned) return;

    if (itemsNeedingReload_.empty()) {
        std::weak_ptr<InspectorViewController*> weakSelf = self_;
        MainQueue::shared().async([weakSelf] {
            if (auto self = weakSelf.lock()) (*self)->reloadItemsNeedingReload();
        });
    }
    itemsNeedingReload_.push_back(std::move(owned));
}

void InspectorViewController::reloadItemsNeedingReload() {
    const std::vector<std::shared_ptr<InspectorItem>> items = std::move(itemsNeedingReload_);
    itemsNeedingReload_.clear();

    auto outline = outlineView_.lock();
    if (outline) outline->beginUpdates();
    for (const auto& item : items) {
        if (outline) outline->reloadItem(item.get());
    }
    if (outline) outline->endUpdates();
}

bool InspectorViewController::isGroupRow(const InspectorItem* item) const {
    if (!item) return false;
    for (const auto& group : rootItem_->children()) {
        if (group.get() == item) return true;
    }
    return false;
}

long InspectorViewController::numberOfChildrenOfItem(OutlineView&, Object* item) {
    if (!item) return static_cast<long>(rootItem_->children().size());
    if (auto* inspectorItem = dynamic_cast<InspectorItem*>(item)) {
        return static_cast<long>(inspectorItem->children().size());
    }
    return 0;
}

Object* InspectorViewController::childOfItem(OutlineView&, long index, Object* item) {
    const InspectorItem* parent = item ? dynamic_cast<InspectorItem*>(item) : rootItem_.get();
    // Anything that is not a row, and an index outside the children, has no child.
    if (!parent || index < 0 || static_cast<std::size_t>(index) >= parent->children().size()) return nullptr;
    return parent->children()[static_cast<std::size_t>(index)].get();
}

bool InspectorViewController::isItemExpandable(OutlineView&, Object*) { return true; }

bool InspectorViewController::isGroupItem(OutlineView&, Object* item) {
    return isGroupRow(dynamic_cast<InspectorItem*>(item));
}

bool InspectorViewController::shouldSelectItem(OutlineView&, Object*) { return false; }

bool InspectorViewController::shouldShowOutlineCellForItem(OutlineView&, Object*) { return false; }

void InspectorViewController::didAddRowView(OutlineView&, RowView& rowView, long) {
    // Group rows are drawn on the background of ordinary rows.
    if (rowView.isGroupRowStyle()) rowView.setGroupRowStyle(false);
}

std::shared_ptr<TableCellView> InspectorViewController::viewForTableColumn(
    OutlineView& outlineView, const std::optional<std::string>& columnIdentifier, Object* item) {
    auto* inspectorItem = dynamic_cast<InspectorItem*>(item);

    if (!columnIdentifier) {
        // A full-width row: only group rows have one.
        if (!isGroupRow(inspectorItem)) return nullptr;
        auto cellView = outlineView.makeViewWithIdentifier(groupCellIdentifier, this);
        if (cellView) {
            if (TextField* textField = cellView->textField()) {
                textField->setStringValue(uppercased(inspectorItem->title()));
            }
        }
        return cellView;
    }

    if (!inspectorItem) return nullptr;

    if (*columnIdentifier == titleColumnIdentifier) {
        auto cellView = outlineView.makeViewWithIdentifier(titleCellIdentifier, inspectorItem);
        if (cellView) {
            if (TextField* textField = cellView->textField()) textField->setStringValue(inspectorItem->title());
        }
        return cellView;
    }

    if (*columnIdentifier == valueColumnIdentifier) {
        auto cellView = outlineView.makeViewWithIdentifier(inspectorItem->valueCellIdentifier(), inspectorItem);
        if (cellView) inspectorItem->updateValueCellView(*cellView);
        return cellView;
    }

    return nullptr;
}

}  // namespace orvane
