#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/Version.h"
#include "inspector/InspectorManager.h"
#include "support/FakeWidgets.h"

namespace orvane {
namespace {

std::vector<std::string> titlesOf(const InspectorItem::Children& items) {
    std::vector<std::string> titles;
    for (const auto& item : items) titles.push_back(item->title());
    return titles;
}

// What an item shows in its value cell.
std::string shownValue(InspectorItem& item) {
    FakeActionTableCellView cell;
    item.updateValueCellView(cell);
    return cell.text->value;
}

TEST(InspectorManagerTest, GroupsAreBuiltOnceAndHoldTheRowsInOrder) {
    InspectorManager manager;
    const auto& first = manager.groups();
    const auto second = manager.groups();

    ASSERT_EQ(first.size(), 3u);
    for (std::size_t index = 0; index < first.size(); ++index) EXPECT_EQ(first[index], second[index]);

    EXPECT_EQ(titlesOf(first), (std::vector<std::string>{"Device", "Steering", "Statistics"}));
    EXPECT_EQ(titlesOf(first[0]->children()),
              (std::vector<std::string>{"Connection Status", "Firmware Version", "Build Date"}));
    EXPECT_EQ(
        titlesOf(first[1]->children()),
        (std::vector<std::string>{"Control Method", "Active Park Assist Torque Overlay",
                                  "Lane Keep Assist Torque Overlay", "Wheel Angle", "Assist Torque", "Driver Torque"}));
    EXPECT_EQ(titlesOf(first[2]->children()), (std::vector<std::string>{"CAN 0 Message Count", "CAN 1 Message Count"}));

    // The group rows hold the very rows the holders give out.
    EXPECT_EQ(first[0]->children()[1], manager.device().version);
    EXPECT_EQ(first[1]->children()[2], manager.steering().halfTOI);
    EXPECT_EQ(first[2]->children()[0], manager.statistics().canChannel0RxCount);
}

TEST(InspectorManagerTest, VehicleRowsAppearInNoGroup) {
    InspectorManager manager;
    std::vector<InspectorItem*> shown;
    for (const auto& group : manager.groups()) {
        for (const auto& row : group->children()) shown.push_back(row.get());
    }
    EXPECT_EQ(shown.size(), 11u);
    for (InspectorItem* row : shown) {
        EXPECT_NE(row, manager.vehicle().speed.get());
        EXPECT_NE(row, manager.vehicle().gearSelection.get());
    }
    EXPECT_EQ(manager.vehicle().speed->title(), "Speed");
    EXPECT_EQ(manager.vehicle().gearSelection->value(), std::optional<std::string>("Unknown"));
}

TEST(InspectorManagerTest, AFreshManagerShowsItsInitialValues) {
    InspectorManager manager;
    EXPECT_EQ(shownValue(*manager.statistics().canChannel0RxCount), "0");
    EXPECT_EQ(shownValue(*manager.statistics().canChannel1RxCount), "0");
    EXPECT_EQ(shownValue(*manager.device().version), "Unknown");
    EXPECT_EQ(shownValue(*manager.device().buildDate), "Unknown");
    EXPECT_EQ(shownValue(*manager.steering().controlMethod), "Unknown");
    EXPECT_EQ(shownValue(*manager.vehicle().speed), "Unknown");

    for (const auto& status :
         {manager.device().connectionStatus, manager.steering().apaTOI, manager.steering().halfTOI}) {
        FakeTableCellView cell(true, true);
        status->updateValueCellView(cell);
        EXPECT_EQ(cell.text->value, "Unknown") << status->title();
        EXPECT_EQ(cell.image->imageName, std::optional<std::string>("NSStatusNone")) << status->title();
    }
    for (const auto& group : manager.groups()) {
        for (const auto& row : group->children()) EXPECT_TRUE(row->children().empty()) << row->title();
    }
}

TEST(InspectorManagerTest, FirmwareVersionRowShowsTheVersionBesideCheckForUpdate) {
    InspectorManager manager;
    manager.device().version->setValue(Version("3.1.4.1"));
    FakeActionTableCellView cell;

    manager.device().version->updateValueCellView(cell);

    EXPECT_EQ(cell.text->value, Version("3.1.4.1").description());
    EXPECT_EQ(cell.pushButton->title, "Check for Update");
    // Until the console sets a handler the button does nothing (and does not fail).
    EXPECT_TRUE(cell.pushButton->press());
    EXPECT_FALSE(manager.device().version->actionHandler());
}

}  // namespace
}  // namespace orvane
