#include "support/FakeWidgets.h"

#include <functional>
#include <stdexcept>

#include "inspector/InspectorItem.h"

namespace orvane {

// FakePopupButton

void FakePopupButton::removeAllItems() {
    items.clear();
    selectedIndex = -1;
    calls.push_back("removeAllItems");
}

void FakePopupButton::addItemWithTitle(const std::string& itemTitle) {
    items.push_back({itemTitle, true});
    if (selectedIndex < 0) selectedIndex = 0;
    calls.push_back("addItemWithTitle:" + itemTitle);
}

void FakePopupButton::setTitle(const std::string& newTitle) {
    title = newTitle;
    calls.push_back("setTitle:" + newTitle);
}

void FakePopupButton::selectItemAtIndex(int index) {
    selectedIndex = (index >= 0 && index < numberOfItems()) ? index : -1;
    calls.push_back("selectItemAtIndex:" + std::to_string(index));
}

void FakePopupButton::setItemEnabled(int index, bool itemEnabled) {
    if (index >= 0 && index < numberOfItems()) items[static_cast<std::size_t>(index)].enabled = itemEnabled;
    calls.push_back("setItemEnabled:" + std::to_string(index) + ":" + (itemEnabled ? "1" : "0"));
}

std::vector<std::string> FakePopupButton::itemTitles() const {
    std::vector<std::string> titles;
    for (const auto& item : items) titles.push_back(item.title);
    return titles;
}

// FakeOutlineView

void FakeOutlineView::setDataSource(OutlineViewDataSource* newDataSource) {
    dataSource = newDataSource;
    calls.push_back({Kind::setDataSource});
}

void FakeOutlineView::setDelegate(OutlineViewDelegate* newDelegate) {
    delegate = newDelegate;
    calls.push_back({Kind::setDelegate});
}

void FakeOutlineView::expandItem(Object* item, bool expandChildren) {
    calls.push_back({Kind::expandItem, item, expandChildren});
}

void FakeOutlineView::setAutoresizesOutlineColumn(bool autoresizes) {
    calls.push_back({Kind::setAutoresizesOutlineColumn, nullptr, autoresizes});
}

void FakeOutlineView::beginUpdates() { calls.push_back({Kind::beginUpdates}); }

void FakeOutlineView::endUpdates() { calls.push_back({Kind::endUpdates}); }

void FakeOutlineView::reloadItem(Object* item) { calls.push_back({Kind::reloadItem, item}); }

void FakeOutlineView::reloadData() { calls.push_back({Kind::reloadData}); }

std::shared_ptr<TableCellView> FakeOutlineView::makeViewWithIdentifier(const std::string& identifier, Object* owner) {
    std::shared_ptr<TableCellView> view;
    if (auto found = prototypes.find(identifier); found != prototypes.end() && found->second) view = found->second();
    calls.push_back({Kind::makeView, owner, false, identifier});
    madeViews.push_back({identifier, owner, view});
    return view;
}

void FakeOutlineView::registerPrototype(const std::string& identifier, Prototype prototype) {
    prototypes[identifier] = std::move(prototype);
}

void FakeOutlineView::registerInspectorPrototypes() {
    auto textCell = [] { return std::make_shared<FakeTableCellView>(true, false); };
    registerPrototype("Title Cell", textCell);
    registerPrototype("Group Cell", textCell);
    registerPrototype(TextValueCellIdentifier, textCell);
    registerPrototype(IndicatorTextValueCellIdentifier, [] { return std::make_shared<FakeTableCellView>(true, true); });
    registerPrototype(ActionTextValueCellIdentifier,
                      [] { return std::make_shared<FakeActionTableCellView>(true, true); });
}

std::vector<FakeOutlineView::Call> FakeOutlineView::callsOf(Kind kind) const {
    std::vector<Call> result;
    for (const auto& call : calls) {
        if (call.kind == kind) result.push_back(call);
    }
    return result;
}

std::vector<FakeOutlineView::Kind> FakeOutlineView::callKinds() const {
    std::vector<Kind> result;
    for (const auto& call : calls) result.push_back(call.kind);
    return result;
}

std::vector<Object*> FakeOutlineView::reloadedItems() const {
    std::vector<Object*> result;
    for (const auto& call : calls) {
        if (call.kind == Kind::reloadItem) result.push_back(call.item);
    }
    return result;
}

std::vector<Object*> FakeOutlineView::rows(Object* item) const {
    std::vector<Object*> result;
    if (!dataSource) return result;
    auto& self = const_cast<FakeOutlineView&>(*this);
    const long count = dataSource->numberOfChildrenOfItem(self, item);
    for (long index = 0; index < count; ++index) {
        Object* child = dataSource->childOfItem(self, index, item);
        result.push_back(child);
        if (child && dataSource->isItemExpandable(self, child)) {
            auto below = rows(child);
            result.insert(result.end(), below.begin(), below.end());
        }
    }
    return result;
}

std::shared_ptr<TableCellView> FakeOutlineView::viewFor(const std::optional<std::string>& columnIdentifier,
                                                        Object* item) {
    if (!delegate) return nullptr;
    return delegate->viewForTableColumn(*this, columnIdentifier, item);
}

// FakeViewHost

void FakeViewHost::loadView(PlatformViewController& controller) {
    loadedViews.push_back(&controller);
    if (onLoadView) onLoadView(controller);
}

void FakeViewHost::performSegue(PlatformViewController& source, const std::string& identifier,
                                const std::shared_ptr<Object>& sender) {
    PerformedSegue record;
    record.source = &source;
    record.identifier = identifier;
    record.hadSender = sender != nullptr;
    record.sender = sender;

    auto factory = destinationFactories.find(identifier);
    if (factory == destinationFactories.end() || !factory->second) {
        performedSegues.push_back(record);
        if (throwOnUnknownSegue)
            throw std::out_of_range("No destination is registered for the segue \"" + identifier + "\"");
        return;
    }

    auto destination = factory->second();
    record.destination = destination;
    performedSegues.push_back(record);
    if (!destination) return;
    if (!destination->host()) destination->setHost(source.host());

    source.prepareForSegue(StoryboardSegue{identifier, source.weak_from_this().lock(), destination}, sender.get());

    presented.push_back(destination);
    if (appearDestinations) {
        destination->loadViewIfNeeded();
        destination->viewWillAppear();
        destination->viewDidAppear();
    }
}

void FakeViewHost::dismissViewController(PlatformViewController& presenter,
                                         PlatformViewController& presentedController) {
    dismissals.push_back({&presenter, &presentedController});
}

Window* FakeViewHost::window(PlatformViewController&) { return fakeWindow.get(); }

void FakeViewHost::presentError(PlatformViewController& controller, const ErrorRef& error, bool asSheetOnWindow) {
    presentedErrors.push_back({&controller, error, asSheetOnWindow});
}

void FakeViewHost::showAlert(PlatformViewController& controller, const Alert& alert, bool asSheetOnWindow,
                             std::function<void()> completion) {
    alerts.push_back({&controller, alert, asSheetOnWindow, std::move(completion), false});
}

void FakeViewHost::registerDestination(const std::string& identifier, DestinationFactory factory) {
    destinationFactories[identifier] = std::move(factory);
}

bool FakeViewHost::completeAlert(std::size_t index) {
    if (index >= alerts.size() || alerts[index].completed) return false;
    alerts[index].completed = true;
    // Copied out: the completion may show another alert and grow the list.
    auto completion = alerts[index].completion;
    if (completion) completion();
    return true;
}

}  // namespace orvane
