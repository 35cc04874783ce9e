#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "device/Version.h"
#include "inspector/ActionInspectorItem.h"
#include "inspector/InspectorItem.h"
#include "inspector/StatusInspectorItem.h"
#include "inspector/ValueInspectorItem.h"
#include "platform/NotificationCenter.h"
#include "support/FakeWidgets.h"

namespace orvane {
namespace {

// Records the objects of every change announcement, as they are posted.
class AnnouncementRecorder {
public:
    AnnouncementRecorder()
        : token_(NotificationCenter::defaultCenter().addObserver(
              InspectorItemValueNeedsUpdateNotification, nullptr, NotificationCenter::Delivery::postingThread,
              [this](const Notification& notification) { objects.push_back(notification.object); })) {}

    std::vector<Object*> objects;

private:
    ObserverToken token_;
};

// A formatter that cannot show anything.
class RefusingFormatter : public Formatter {
public:
    std::optional<std::string> stringForObjectValue(const FormatterValue&) const override { return std::nullopt; }
};

// A formatter that says which kind of value it was given.
class KindFormatter : public Formatter {
public:
    std::optional<std::string> stringForObjectValue(const FormatterValue& value) const override {
        static const char* kinds[] = {"nothing", "double", "integer", "date", "text", "version"};
        return std::string(kinds[value.index()]);
    }
};

TEST(InspectorItemAnnouncements, TitleAnnouncesOnlyARealChange) {
    auto item = std::make_shared<InspectorItem>("Device");
    AnnouncementRecorder recorder;

    item->setTitle("Device");
    EXPECT_TRUE(recorder.objects.empty());

    item->setTitle("Steering");
    ASSERT_EQ(recorder.objects.size(), 1u);
    EXPECT_EQ(recorder.objects[0], item.get());
    EXPECT_EQ(item->title(), "Steering");
}

TEST(InspectorItemAnnouncements, ChildrenAnnounceEveryAssignmentWithTheParentAsObject) {
    auto parent = std::make_shared<InspectorItem>("Group");
    auto child = std::make_shared<InspectorItem>("Row");
    AnnouncementRecorder recorder;

    parent->setChildren({child});
    parent->setChildren({child});
    parent->setChildren({});

    EXPECT_EQ(recorder.objects, (std::vector<Object*>{parent.get(), parent.get(), parent.get()}));
}

TEST(InspectorItemAnnouncements, ConstructionAnnouncesANonEmptyTitleAndAlwaysTheChildren) {
    AnnouncementRecorder recorder;
    auto titled = std::make_shared<ValueInspectorItem<std::string>>("Speed", std::string("fast"));
    // Two announcements from the constructor: title and children, both about the new item.
    EXPECT_EQ(recorder.objects, (std::vector<Object*>{titled.get(), titled.get()}));

    recorder.objects.clear();
    auto untitled = std::make_shared<ValueInspectorItem<std::string>>();
    EXPECT_EQ(recorder.objects.size(), 1u);

    // The plain item stores title and children without announcing them.
    recorder.objects.clear();
    auto group = std::make_shared<InspectorItem>("Group", InspectorItem::Children{titled, untitled});
    EXPECT_TRUE(recorder.objects.empty());
    // Value and formatter were stored without an announcement.
    EXPECT_EQ(titled->value(), std::optional<std::string>("fast"));
}

TEST(InspectorItemAnnouncements, ValueAnnouncesOnlyWhenItDiffers) {
    auto item = std::make_shared<ValueInspectorItem<std::int64_t>>("Count", std::int64_t{0});
    AnnouncementRecorder recorder;

    item->setValue(std::int64_t{0});  // equal present value
    EXPECT_TRUE(recorder.objects.empty());

    item->setValue(std::nullopt);  // 0 to absent
    EXPECT_EQ(recorder.objects.size(), 1u);

    item->setValue(std::nullopt);  // absent over absent
    EXPECT_EQ(recorder.objects.size(), 1u);

    item->setValue(std::int64_t{7});  // absent to present
    EXPECT_EQ(recorder.objects.size(), 2u);

    item->setValue(std::int64_t{8});  // between two present values
    EXPECT_EQ(recorder.objects.size(), 3u);
    EXPECT_EQ(recorder.objects.back(), item.get());
}

TEST(InspectorItemAnnouncements, VersionAndDateValuesCompareByValue) {
    auto version = std::make_shared<ValueInspectorItem<Version>>("Firmware Version");
    auto date = std::make_shared<ValueInspectorItem<std::chrono::system_clock::time_point>>("Build Date");
    AnnouncementRecorder recorder;

    version->setValue(Version("1.2.3"));
    version->setValue(Version(1, 2, 3, 0));
    const std::chrono::system_clock::time_point when{std::chrono::seconds(1560508200)};
    date->setValue(when);
    date->setValue(when);

    EXPECT_EQ(recorder.objects, (std::vector<Object*>{version.get(), date.get()}));
}

TEST(InspectorItemAnnouncements, StatusAnnouncesWhenCaseOrTextDiffers) {
    auto item = std::make_shared<StatusInspectorItem<std::string>>("Connection Status", std::string("Unknown"));
    EXPECT_EQ(item->status(), StatusIndication::none("Unknown"));
    AnnouncementRecorder recorder;

    item->setStatus(StatusIndication::none("Unknown"));  // identical
    EXPECT_TRUE(recorder.objects.empty());

    item->setStatus(StatusIndication::none("Other text"));     // same case, other text
    item->setStatus(StatusIndication::warning("Other text"));  // other case, same text
    EXPECT_EQ(recorder.objects.size(), 2u);
}

TEST(InspectorItemAnnouncements, FormatterActionTitleAndHandlerNeverAnnounce) {
    auto item = std::make_shared<ActionInspectorItem<std::string>>("Firmware Version");
    AnnouncementRecorder recorder;

    item->setFormatter(std::make_shared<RefusingFormatter>());
    item->setActionTitle("Check for Update");
    item->setActionHandler([] {});

    EXPECT_TRUE(recorder.objects.empty());
}

TEST(ValueInspectorItemRendering, ShowsUnknownWhenThereIsNoText) {
    FakeTableCellView cell;
    ValueInspectorItem<std::string> absent("Control Method");
    absent.updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "Unknown");

    ValueInspectorItem<std::int64_t> refused("Count", std::int64_t{5}, std::make_shared<RefusingFormatter>());
    refused.updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "Unknown");
}

TEST(ValueInspectorItemRendering, UsesTheValuesOwnTextWithoutAFormatter) {
    FakeTableCellView cell;

    ValueInspectorItem<std::string>("Angle", std::string("12.5°")).updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "12.5°");

    ValueInspectorItem<std::int64_t>("Count", std::int64_t{-1234567}).updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "-1234567");

    ValueInspectorItem<Version>("Firmware Version", Version("2.1.0.7")).updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, Version("2.1.0.7").description());

    ValueInspectorItem<double>("Speed", 49.6).updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "49.6");

    const std::chrono::system_clock::time_point when{std::chrono::seconds(1560508200)};
    ValueInspectorItem<std::chrono::system_clock::time_point>("Build Date", when).updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "2019-06-14 10:30:00 +0000");
}

TEST(ValueInspectorItemRendering, HandsTheFormatterAValueOfTheRightKind) {
    auto kinds = std::make_shared<KindFormatter>();
    FakeTableCellView cell;

    ValueInspectorItem<double>("", 1.0, kinds).updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "double");
    ValueInspectorItem<std::int64_t>("", std::int64_t{1}, kinds).updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "integer");
    ValueInspectorItem<std::chrono::system_clock::time_point>("", std::chrono::system_clock::time_point{}, kinds)
        .updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "date");
    ValueInspectorItem<std::string>("", std::string("x"), kinds).updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "text");
    ValueInspectorItem<Version>("", Version("1.0"), kinds).updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "version");
}

TEST(ValueInspectorItemRendering, LeavesACellWithoutTextFieldAlone) {
    FakeTableCellView cell(/*withTextField=*/false, /*withImageView=*/true);
    ValueInspectorItem<std::string>("Angle", std::string("1.0°")).updateValueCellView(cell);
    EXPECT_TRUE(cell.image->imageNames.empty());
}

TEST(StatusInspectorItemRendering, StatusReplacesTheValueTextBesideItsLamp) {
    StatusInspectorItem<std::string> item("Active Park Assist Torque Overlay", std::string("Unknown"));
    item.setStatus(StatusIndication::positive("Activated"));
    FakeTableCellView cell(true, true);

    item.updateValueCellView(cell);

    EXPECT_EQ(cell.text->stringValues, (std::vector<std::string>{"Unknown", "Activated"}));
    EXPECT_EQ(cell.image->imageName, std::optional<std::string>("NSStatusAvailable"));
    EXPECT_EQ(item.valueCellIdentifier(), "Indicator Text Value Cell");
}

TEST(StatusInspectorItemRendering, StartsWithTheEmptyLampAndUnknown) {
    StatusInspectorItem<std::string> item("Connection Status", std::string("Unknown"));
    FakeTableCellView cell(true, true);
    item.updateValueCellView(cell);
    EXPECT_EQ(cell.text->value, "Unknown");
    EXPECT_EQ(cell.image->imageName, std::optional<std::string>("NSStatusNone"));

    // Without a text field the lamp is still shown.
    FakeTableCellView imageOnly(false, true);
    item.setStatus(StatusIndication::negative("Faulted"));
    item.updateValueCellView(imageOnly);
    EXPECT_EQ(imageOnly.image->imageName, std::optional<std::string>("NSStatusUnavailable"));
}

TEST(ActionInspectorItemRendering, ShowsTheValueAndATitledButtonThatCallsTheHandlerPerPress) {
    auto item = std::make_shared<ActionInspectorItem<Version>>("Firmware Version", Version("1.4.2"));
    EXPECT_EQ(item->actionTitle(), "Go");
    EXPECT_EQ(item->valueCellIdentifier(), "Action Text Value Cell");
    item->setActionTitle("Check for Update");
    FakeActionTableCellView cell;

    item->updateValueCellView(cell);

    EXPECT_EQ(cell.text->value, Version("1.4.2").description());
    EXPECT_EQ(cell.pushButton->title, "Check for Update");

    // No handler yet: pressing does nothing.
    EXPECT_TRUE(cell.pushButton->press());

    int presses = 0;
    item->setActionHandler([&presses] { ++presses; });
    cell.pushButton->press();
    EXPECT_EQ(presses, 1);
    cell.pushButton->press();
    EXPECT_EQ(presses, 2);
}

TEST(ActionInspectorItemRendering, OnlySetsTheTextWithoutAnActionCellOrButton) {
    auto item = std::make_shared<ActionInspectorItem<std::string>>("Firmware Version", std::string("1.0"));
    int presses = 0;
    item->setActionHandler([&presses] { ++presses; });

    FakeTableCellView plain;
    item->updateValueCellView(plain);
    EXPECT_EQ(plain.text->value, "1.0");

    FakeActionTableCellView buttonless(true, /*withButton=*/false);
    item->updateValueCellView(buttonless);
    EXPECT_EQ(buttonless.text->value, "1.0");
    EXPECT_EQ(presses, 0);
}

TEST(ActionInspectorItemRendering, AButtonOutlivingItsRowDoesNothing) {
    FakeActionTableCellView cell;
    int presses = 0;
    {
        auto item = std::make_shared<ActionInspectorItem<std::string>>("Row", std::string("1.0"));
        item->setActionHandler([&presses] { ++presses; });
        item->updateValueCellView(cell);
    }
    EXPECT_TRUE(cell.pushButton->press());
    EXPECT_EQ(presses, 0);
}

TEST(ActionInspectorItemRendering, AReusedCellButtonActsForTheLastRowRendered) {
    auto first = std::make_shared<ActionInspectorItem<std::string>>("First");
    auto second = std::make_shared<ActionInspectorItem<std::string>>("Second");
    std::vector<std::string> pressed;
    first->setActionHandler([&pressed] { pressed.push_back("first"); });
    second->setActionHandler([&pressed] { pressed.push_back("second"); });
    FakeActionTableCellView cell;

    first->updateValueCellView(cell);
    second->updateValueCellView(cell);
    cell.pushButton->press();

    EXPECT_EQ(pressed, (std::vector<std::string>{"second"}));
}

}  // namespace
}  // namespace orvane
