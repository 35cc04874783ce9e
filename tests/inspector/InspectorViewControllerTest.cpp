#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unicode/locid.h>

#include "inspector/InspectorManager.h"
#include "inspector/InspectorViewController.h"
#include "platform/MainQueue.h"
#include "platform/NotificationCenter.h"
#include "support/FakeWidgets.h"

namespace orvane {
namespace {

using Kind = FakeOutlineView::Kind;

// Runs every turn of the main queue that is waiting, including work queued by those turns.
void drainMainQueue() {
    while (MainQueue::shared().runPending() > 0) {}
}

class InspectorViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        MainQueue::shared().bindToCurrentThread();
        drainMainQueue();
        outline = std::make_shared<FakeOutlineView>();
        outline->registerInspectorPrototypes();
        host = std::make_shared<FakeViewHost>();
        host->onLoadView = [this](PlatformViewController& loaded) {
            if (auto* inspector = dynamic_cast<InspectorViewController*>(&loaded)) inspector->setOutlineView(outline);
        };
        controller = std::make_shared<InspectorViewController>();
        controller->setHost(host);
        controller->loadViewIfNeeded();
    }

    void TearDown() override {
        controller.reset();
        drainMainQueue();
    }

    // Shows the manager's groups the way the console does.
    void showGroups() {
        controller->rootItem()->setChildren(manager.groups());
        drainMainQueue();
        outline->clearCalls();
    }

    InspectorManager manager;
    std::shared_ptr<FakeOutlineView> outline;
    std::shared_ptr<FakeViewHost> host;
    std::shared_ptr<InspectorViewController> controller;
};

TEST_F(InspectorViewControllerTest, LoadingConnectsTheOutlineExpandsItAndObserves) {
    EXPECT_EQ(outline->dataSource, controller.get());
    EXPECT_EQ(outline->delegate, controller.get());
    const auto expands = outline->callsOf(Kind::expandItem);
    ASSERT_EQ(expands.size(), 1u);
    EXPECT_EQ(expands[0].item, nullptr);
    EXPECT_TRUE(expands[0].flag);
    const auto autoresizes = outline->callsOf(Kind::setAutoresizesOutlineColumn);
    ASSERT_EQ(autoresizes.size(), 1u);
    EXPECT_TRUE(autoresizes[0].flag);
    EXPECT_TRUE(controller->updateNotification());
    EXPECT_EQ(controller->rootItem()->title(), "root");
}

TEST_F(InspectorViewControllerTest, ChangesOfOneTurnAreReloadedInOneBatchInOrder) {
    showGroups();
    auto& steering = manager.steering();

    steering.angle->setValue(std::string("1.0°"));
    steering.controlMethod->setValue(std::string("APA"));
    steering.assistTorque->setValue(std::string("0.5 Nm"));
    steering.angle->setValue(std::string("1.0°"));  // unchanged: not announced

    EXPECT_EQ(controller->itemsNeedingReload().size(), 3u);
    EXPECT_TRUE(outline->calls.empty());  // nothing happens before the next turn
    EXPECT_EQ(MainQueue::shared().runPending(), 1u);

    EXPECT_EQ(outline->callKinds(), (std::vector<Kind>{Kind::beginUpdates, Kind::reloadItem, Kind::reloadItem,
                                                       Kind::reloadItem, Kind::endUpdates}));
    EXPECT_EQ(outline->reloadedItems(),
              (std::vector<Object*>{steering.angle.get(), steering.controlMethod.get(), steering.assistTorque.get()}));
    EXPECT_TRUE(controller->itemsNeedingReload().empty());
    EXPECT_EQ(MainQueue::shared().runPending(), 0u);
}

TEST_F(InspectorViewControllerTest, AnItemAnnouncingTwiceIsReloadedTwiceInTheSamePass) {
    showGroups();
    auto& row = manager.steering().driverTorque;

    row->setValue(std::string("1.0 Nm"));
    row->setValue(std::string("2.0 Nm"));
    drainMainQueue();

    EXPECT_EQ(outline->reloadedItems(), (std::vector<Object*>{row.get(), row.get()}));
    EXPECT_EQ(outline->callsOf(Kind::beginUpdates).size(), 1u);
    EXPECT_EQ(outline->callsOf(Kind::endUpdates).size(), 1u);
}

TEST_F(InspectorViewControllerTest, AnAnnouncementAfterAPassStartedGetsItsOwnPass) {
    showGroups();
    auto& first = manager.steering().angle;
    auto& second = manager.steering().driverTorque;

    first->setValue(std::string("5.0°"));
    // An assignment queued behind the pass runs after the pass has taken its list.
    MainQueue::shared().async([&] { second->setValue(std::string("3.0 Nm")); });
    EXPECT_EQ(MainQueue::shared().runPending(), 2u);
    EXPECT_EQ(outline->reloadedItems(), (std::vector<Object*>{first.get()}));
    EXPECT_EQ(controller->itemsNeedingReload().size(), 1u);

    EXPECT_EQ(MainQueue::shared().runPending(), 1u);
    EXPECT_EQ(outline->callKinds(), (std::vector<Kind>{Kind::beginUpdates, Kind::reloadItem, Kind::endUpdates,
                                                       Kind::beginUpdates, Kind::reloadItem, Kind::endUpdates}));
    EXPECT_EQ(outline->reloadedItems(), (std::vector<Object*>{first.get(), second.get()}));
}

TEST_F(InspectorViewControllerTest, NotificationsWithoutAnItemChangeNothing) {
    showGroups();
    class Stranger : public Object {
    } stranger;

    NotificationCenter::defaultCenter().post(InspectorItemValueNeedsUpdateNotification, &stranger);
    NotificationCenter::defaultCenter().post(InspectorItemValueNeedsUpdateNotification, nullptr);

    EXPECT_TRUE(controller->itemsNeedingReload().empty());
    EXPECT_EQ(MainQueue::shared().runPending(), 0u);
    EXPECT_TRUE(outline->calls.empty());
}

TEST_F(InspectorViewControllerTest, AssigningTheRootsChildrenReloadsTheRoot) {
    controller->rootItem()->setChildren(manager.groups());
    ASSERT_EQ(controller->itemsNeedingReload().size(), 1u);
    EXPECT_EQ(controller->itemsNeedingReload()[0], controller->rootItem());
    drainMainQueue();
    EXPECT_EQ(outline->reloadedItems(), (std::vector<Object*>{controller->rootItem().get()}));

    // The data source now gives the groups and their rows, vehicle rows nowhere.
    const auto rows = outline->rows();
    EXPECT_EQ(rows.size(), 3u + 11u);
    EXPECT_EQ(rows[0], manager.groups()[0].get());
    EXPECT_EQ(rows[1], manager.device().connectionStatus.get());
    for (Object* row : rows) {
        EXPECT_NE(row, manager.vehicle().speed.get());
        EXPECT_NE(row, manager.vehicle().gearSelection.get());
    }
}

TEST_F(InspectorViewControllerTest, ARowOutsideTheOutlineStillOnlyReloadsItself) {
    showGroups();
    manager.vehicle().speed->setValue(88.0);
    drainMainQueue();
    EXPECT_EQ(outline->reloadedItems(), (std::vector<Object*>{manager.vehicle().speed.get()}));
}

TEST_F(InspectorViewControllerTest, PassAfterTheControllerIsGoneDoesNothing) {
    showGroups();
    manager.steering().angle->setValue(std::string("9.0°"));
    controller.reset();

    drainMainQueue();
    EXPECT_TRUE(outline->callsOf(Kind::reloadItem).empty());
    // Announcements reach no controller any more and schedule nothing.
    manager.steering().angle->setValue(std::string("10.0°"));
    EXPECT_EQ(MainQueue::shared().runPending(), 0u);
}

TEST_F(InspectorViewControllerTest, PassWithoutOutlineViewEmptiesTheList) {
    showGroups();
    outline.reset();  // the outlet is weak: the outline is gone
    manager.steering().angle->setValue(std::string("9.0°"));
    drainMainQueue();
    EXPECT_TRUE(controller->itemsNeedingReload().empty());
    EXPECT_EQ(controller->outlineView(), nullptr);
}

TEST_F(InspectorViewControllerTest, GroupRowsAreFullWidthUppercaseUnselectableGroupItems) {
    showGroups();
    std::vector<std::string> shownTitles;
    for (const auto& group : manager.groups()) {
        EXPECT_TRUE(controller->isGroupItem(*outline, group.get()));
        EXPECT_FALSE(controller->shouldSelectItem(*outline, group.get()));
        EXPECT_FALSE(controller->shouldShowOutlineCellForItem(*outline, group.get()));
        auto cell = std::dynamic_pointer_cast<FakeTableCellView>(outline->viewFor(std::nullopt, group.get()));
        ASSERT_TRUE(cell);
        shownTitles.push_back(cell->text->value);
        EXPECT_EQ(outline->madeViews.back().identifier, "Group Cell");
        EXPECT_EQ(outline->madeViews.back().owner, controller.get());
    }
    EXPECT_EQ(shownTitles, (std::vector<std::string>{"DEVICE", "STEERING", "STATISTICS"}));

    Object* row = manager.device().version.get();
    EXPECT_FALSE(controller->isGroupItem(*outline, row));
    EXPECT_FALSE(controller->shouldSelectItem(*outline, row));
    EXPECT_FALSE(controller->shouldShowOutlineCellForItem(*outline, row));
    EXPECT_EQ(outline->viewFor(std::nullopt, row), nullptr);
    EXPECT_FALSE(controller->isGroupItem(*outline, controller->rootItem().get()));

    FakeRowView groupStyled(true);
    controller->didAddRowView(*outline, groupStyled, 0);
    EXPECT_FALSE(groupStyled.groupRowStyle);
    FakeRowView plain(false);
    controller->didAddRowView(*outline, plain, 1);
    EXPECT_TRUE(plain.groupRowStyles.empty());
}

TEST_F(InspectorViewControllerTest, GroupTitlesUseFullLocaleIndependentUppercasing) {
    const icu::Locale saved = icu::Locale::getDefault();
    UErrorCode status = U_ZERO_ERROR;
    icu::Locale::setDefault(icu::Locale("tr_TR"), status);

    auto street = std::make_shared<InspectorItem>("Straße");
    auto device = std::make_shared<InspectorItem>("Device info");
    controller->rootItem()->setChildren({street, device});
    auto streetCell = std::dynamic_pointer_cast<FakeTableCellView>(outline->viewFor(std::nullopt, street.get()));
    auto deviceCell = std::dynamic_pointer_cast<FakeTableCellView>(outline->viewFor(std::nullopt, device.get()));

    icu::Locale::setDefault(saved, status);
    ASSERT_TRUE(streetCell && deviceCell);
    EXPECT_EQ(streetCell->text->value, "STRASSE");
    EXPECT_EQ(deviceCell->text->value, "DEVICE INFO");  // no dotted capital I of Turkish
}

TEST_F(InspectorViewControllerTest, TitleAndValueColumnsUseTheRowsCells) {
    showGroups();
    for (const auto& group : manager.groups()) {
        for (const auto& row : group->children()) {
            auto title = std::dynamic_pointer_cast<FakeTableCellView>(outline->viewFor("Title Column", row.get()));
            ASSERT_TRUE(title);
            EXPECT_EQ(title->text->value, row->title());
            EXPECT_EQ(outline->madeViews.back().identifier, "Title Cell");
            EXPECT_EQ(outline->madeViews.back().owner, row.get());

            auto value = outline->viewFor("Value Column", row.get());
            ASSERT_TRUE(value) << row->title();
            EXPECT_EQ(outline->madeViews.back().owner, row.get());
            std::string expected = "Text Value Cell";
            if (row == manager.device().connectionStatus || row == manager.steering().apaTOI ||
                row == manager.steering().halfTOI) {
                expected = "Indicator Text Value Cell";
            } else if (row == manager.device().version) {
                expected = "Action Text Value Cell";
            }
            EXPECT_EQ(outline->madeViews.back().identifier, expected) << row->title();
            EXPECT_FALSE(value->textField()->stringValue().empty()) << row->title();
        }
    }

    auto button = std::dynamic_pointer_cast<FakeActionTableCellView>(
        outline->viewFor("Value Column", manager.device().version.get()));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->pushButton->title, "Check for Update");
}

TEST_F(InspectorViewControllerTest, UnknownColumnsItemsAndPrototypesGiveNoView) {
    showGroups();
    class Stranger : public Object {
    } stranger;
    Object* row = manager.steering().angle.get();

    EXPECT_EQ(outline->viewFor("Other Column", row), nullptr);
    EXPECT_EQ(outline->viewFor("Title Column", &stranger), nullptr);
    EXPECT_EQ(outline->viewFor("Value Column", nullptr), nullptr);

    outline->prototypes.erase("Text Value Cell");
    EXPECT_EQ(outline->viewFor("Value Column", row), nullptr);

    Object* group = manager.groups()[0].get();
    outline->registerPrototype("Group Cell", [] { return std::make_shared<FakeTableCellView>(false, false); });
    EXPECT_NE(outline->viewFor(std::nullopt, group), nullptr);  // a group cell without text field
    outline->prototypes.erase("Group Cell");
    EXPECT_EQ(outline->viewFor(std::nullopt, group), nullptr);
}

TEST_F(InspectorViewControllerTest, DataSourceAnswersForRootRowsAndStrangers) {
    showGroups();
    class Stranger : public Object {
    } stranger;
    Object* steering = manager.groups()[1].get();

    EXPECT_EQ(controller->numberOfChildrenOfItem(*outline, nullptr), 3);
    EXPECT_EQ(controller->numberOfChildrenOfItem(*outline, steering), 6);
    EXPECT_EQ(controller->numberOfChildrenOfItem(*outline, manager.steering().angle.get()), 0);
    EXPECT_EQ(controller->numberOfChildrenOfItem(*outline, &stranger), 0);

    EXPECT_EQ(controller->childOfItem(*outline, 2, nullptr), manager.groups()[2].get());
    EXPECT_EQ(controller->childOfItem(*outline, 3, steering), manager.steering().angle.get());
    EXPECT_EQ(controller->childOfItem(*outline, 6, steering), nullptr);
    EXPECT_EQ(controller->childOfItem(*outline, -1, nullptr), nullptr);
    EXPECT_EQ(controller->childOfItem(*outline, 0, &stranger), nullptr);

    EXPECT_TRUE(controller->isItemExpandable(*outline, manager.steering().angle.get()));
    EXPECT_TRUE(controller->isItemExpandable(*outline, steering));
}

}  // namespace
}  // namespace orvane
