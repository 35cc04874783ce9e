#include "inspector/InspectorItem.h"

#include "platform/NotificationCenter.h"
#include "platform/Translation.h"

namespace orvane {

InspectorItem::InspectorItem(std::string title, Children children)
    : title_(std::move(title)), children_(std::move(children)) {}

InspectorItem::~InspectorItem() = default;

void InspectorItem::setTitle(std::string title) {
    if (title == title_) return;
    title_ = std::move(title);
    announceChange();
}

void InspectorItem::setChildren(Children children) {
    children_ = std::move(children);
    announceChange();
}

void InspectorItem::updateValueCellView(TableCellView&) {}

void InspectorItem::setStale(bool stale) {
    if (stale == stale_) return;
    stale_ = stale;
    announceChange();
}

std::string InspectorItem::staleText(const std::string& text) {
    return withArgs(translate("InspectorItem", "%1 (stale)"), text);
}

std::string InspectorItem::valueCellIdentifier() const { return TextValueCellIdentifier; }

void InspectorItem::announceChange() {
    NotificationCenter::defaultCenter().post(InspectorItemValueNeedsUpdateNotification, this);
}

}  // namespace orvane
