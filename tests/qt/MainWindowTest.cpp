// The main window as the program builds it: the inspector outline, the toolbar popups, the
// spring-loaded sliders and the wheel, wired to the real console and inspector.

#include <QAbstractButton>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>
#include <cmath>
#include <fstream>

#include <gtest/gtest.h>

#include "console/SessionTap.h"
#include "device/DeviceSerialInterface.h"
#include "device/TelemetryRecorder.h"
#include "device/TrafficLog.h"
#include "inspector/InspectorManager.h"
#include "qt/ElidedLabel.h"
#include "qt/ManeuverRunControl.h"
#include "qt/PlotPanel.h"
#include "support/Csv.h"
#include "support/PtyPeer.h"
#include "tests/qt/AppHarness.h"

namespace orvane {
namespace {

using testing::AppHarness;
using testing::handleCentre;
using testing::waitFor;

// Each test starts from no kept settings, whatever an earlier (perhaps failed) one left.
struct MainWindow : ::testing::Test {
    void SetUp() override { QSettings().clear(); }
};

std::string text(const std::shared_ptr<TableCellView>& cell) {
    return cell && cell->textField() ? cell->textField()->stringValue() : "<none>";
}

TEST_F(MainWindow, StartsWithTheInspectorEmbeddedAndItsGroupsAndRowsInOrder) {
    AppHarness h;
    ASSERT_NE(h.app->master()->inspector, nullptr);
    EXPECT_EQ(h.console().parentViewController(), h.app->master());
    QtOutlineView& outline = h.outline();

    const auto& groups = h.console().inspectorManager().groups();
    ASSERT_EQ(groups.size(), 3u);
    const std::vector<std::string> groupTitles{"DEVICE", "STEERING", "STATISTICS"};
    const std::vector<std::vector<std::string>> rowTitles{
        {"Firmware Version", "Build Date"},
        {"Control Method", "Active Park Assist Torque Overlay", "Lane Keep Assist Torque Overlay", "Wheel Angle",
         "Assist Torque", "Driver Torque"},
        {"CAN 0 Message Count", "CAN 1 Message Count"}};
    QTreeView* tree = outline.widget();
    ASSERT_EQ(outline.model()->rowCount({}), 3);
    for (int g = 0; g < 3; ++g) {
        const QModelIndex groupIndex = outline.model()->index(g, 0, {});
        Object* group = outline.itemAtIndex(groupIndex);
        EXPECT_EQ(group, groups[std::size_t(g)].get());
        EXPECT_EQ(text(outline.cellView(group, std::nullopt)), groupTitles[std::size_t(g)]);
        EXPECT_TRUE(tree->isFirstColumnSpanned(g, {}));
        EXPECT_FALSE(outline.isGroupRowStyle(group)) << "group rows are drawn like ordinary rows";
        EXPECT_TRUE(tree->isExpanded(groupIndex));

        std::vector<std::string> titles;
        for (int r = 0; r < outline.model()->rowCount(groupIndex); ++r) {
            Object* row = outline.itemAtIndex(outline.model()->index(r, 0, groupIndex));
            titles.push_back(text(outline.cellView(row, "Title Column")));
            EXPECT_FALSE(outline.model()->flags(outline.model()->index(r, 0, groupIndex)) & Qt::ItemIsSelectable);
        }
        if (g == 0) {
            ASSERT_EQ(titles.size(), 3u);
            titles.erase(titles.begin());  // the connection row's title is ours to choose
        }
        EXPECT_EQ(titles, rowTitles[std::size_t(g)]);
    }

    // The value cells of the three kinds, as they read without a device.
    const InspectorManager& manager = h.console().inspectorManager();
    ASSERT_TRUE(
        waitFor([&] { return text(outline.cellView(manager.steering().angle.get(), "Value Column")) == "0.0\u00b0"; }));
    auto lampCell = outline.cellView(manager.steering().apaTOI.get(), "Value Column");
    ASSERT_NE(lampCell, nullptr);
    ASSERT_NE(lampCell->imageView(), nullptr);
    EXPECT_EQ(static_cast<QtImageView*>(lampCell->imageView())->widget()->imageName(), "NSStatusNone");
    EXPECT_EQ(text(lampCell), "Unknown");
    EXPECT_EQ(text(outline.cellView(manager.statistics().canChannel0RxCount.get(), "Value Column")), "0");
    auto actionCell = std::dynamic_pointer_cast<QtActionTableCellView>(
        outline.cellView(manager.device().version.get(), "Value Column"));
    ASSERT_NE(actionCell, nullptr);
    EXPECT_EQ(text(actionCell), "Unknown");
    QPushButton* button = actionCell->qtButton()->widget();
    EXPECT_EQ(button->text(), "Check for Update");

    // The button is wholly inside the outline at the window's default size.
    const QRect inViewport(button->mapTo(tree->viewport(), QPoint(0, 0)), button->size());
    EXPECT_TRUE(tree->viewport()->rect().contains(inViewport))
        << "button at " << inViewport.x() << "," << inViewport.y() << " " << inViewport.width() << "x"
        << inViewport.height() << " in a viewport " << tree->viewport()->width() << " wide; columns "
        << tree->columnWidth(0) << "+" << tree->columnWidth(1) << " cell " << button->parentWidget()->geometry().x()
        << "+" << button->parentWidget()->width() << " min " << button->parentWidget()->minimumSizeHint().width();
}

// A desktop with a larger font: the titles widen their column, and the outline widens with them
// instead of squeezing the firmware row's button out of sight.
TEST_F(MainWindow, TheFirmwareButtonStaysWholeWithALargerDesktopFont) {
    const QFont desktop = QApplication::font();
    for (const qreal factor : {1.0, 1.5}) {
        SCOPED_TRACE(factor);
        QFont font = desktop;
        font.setPointSizeF(desktop.pointSizeF() * factor);
        QApplication::setFont(font);
        {
            AppHarness h;
            QTreeView* tree = h.outline().widget();
            auto cell = std::dynamic_pointer_cast<QtActionTableCellView>(
                h.outline().cellView(h.console().inspectorManager().device().version.get(), "Value Column"));
            ASSERT_NE(cell, nullptr);
            QPushButton* button = cell->qtButton()->widget();
            QCoreApplication::processEvents();
            const QRect inViewport(button->mapTo(tree->viewport(), QPoint(0, 0)), button->size());
            EXPECT_TRUE(tree->viewport()->rect().contains(inViewport))
                << "button " << inViewport.x() << "+" << inViewport.width() << " in " << tree->viewport()->width();
            EXPECT_GE(button->width(), button->sizeHint().width());
        }
        QApplication::setFont(desktop);
    }
}

TEST_F(MainWindow, AChangedValueReloadsOnlyItsRowAndLightsItsLamp) {
    AppHarness h;
    QtOutlineView& outline = h.outline();
    const InspectorManager& manager = h.console().inspectorManager();
    Object* connection = manager.device().connectionStatus.get();
    // Start-up's reloads and the first telemetry refresh: after one refresh without a device no
    // refresh changes a value.
    const auto refreshes = [&](int count) {
        for (int i = 0; i < count; ++i) {
            h.console().refreshTelemetry();
            QCoreApplication::processEvents();
        }
    };
    refreshes(1);

    QSignalSpy changed(outline.model(), &QAbstractItemModel::dataChanged);
    h.console().setVehicleStatus(StatusIndication::warning("Connecting to vehicle..."));
    ASSERT_TRUE(waitFor([&] { return changed.count() > 0; }));
    refreshes(20);  // none of which changes a value

    ASSERT_EQ(changed.count(), 1);
    const auto topLeft = changed[0][0].value<QModelIndex>();
    const auto bottomRight = changed[0][1].value<QModelIndex>();
    EXPECT_EQ(outline.itemAtIndex(topLeft), connection);
    EXPECT_EQ(topLeft.row(), bottomRight.row());
    EXPECT_EQ(bottomRight.column(), 1);

    auto cell = outline.cellView(connection, "Value Column");
    EXPECT_EQ(text(cell), "Connecting to vehicle...");
    EXPECT_EQ(static_cast<QtImageView*>(cell->imageView())->widget()->imageName(), "NSStatusPartiallyAvailable");

    h.console().setVehicleStatus(StatusIndication::positive("Vehicle connnected"));
    ASSERT_TRUE(waitFor([&] { return text(outline.cellView(connection, "Value Column")) == "Vehicle connnected"; }));
    QWidget* lamp = static_cast<QtImageView*>(outline.cellView(connection, "Value Column")->imageView())->widget();
    EXPECT_EQ(static_cast<ImageCanvas*>(lamp)->imageName(), "NSStatusAvailable");
    // Hovering the lamp tells what its row's text tells.
    QHelpEvent hover(QEvent::ToolTip, QPoint(3, 3), lamp->mapToGlobal(QPoint(3, 3)));
    QCoreApplication::sendEvent(lamp, &hover);
    EXPECT_EQ(QToolTip::text(), "Vehicle connnected");
}

TEST_F(MainWindow, AValueTooLongForItsColumnWrapsThenEndsInAnEllipsisAndNeverRunsUnderItsButton) {
    AppHarness h;
    QtOutlineView& outline = h.outline();
    auto& device = h.console().inspectorManager().device();
    auto& steering = h.console().inspectorManager().steering();
    auto& method = *steering.controlMethod;
    const std::string bootloader =
        "The device is in its bootloader: install the firmware with Install Firmware, or reset the board";
    const std::string cannotOpen =
        "Could not open \"/tmp/a/rather/long/folder/of/devices/ttyACM0\": Device or "
        "resource busy (another program has it open: close it, then connect again)";
    struct Case {
        const char* what;
        Object* row;
        std::function<void()> set;
        std::string whole;
        bool fits;  // whole on at most two lines at any width the window allows
    };
    const Case cases[] = {
        {"a short status", device.connectionStatus.get(),
         [&] { h.console().setVehicleStatus(StatusIndication::warning("Connecting to vehicle...")); },
         "Connecting to vehicle...", true},
        {"a long status", device.connectionStatus.get(),
         [&] { h.console().setVehicleStatus(StatusIndication::warning(bootloader + ". " + bootloader)); },
         bootloader + ". " + bootloader, false},
        {"a number", steering.angle.get(), [&] { steering.angle->setValue("67.13°"); }, "67.13°", true},
        {"a long text value", &method, [&] { method.setValue(cannotOpen); }, cannotOpen, false},
        {"a stale version beside its button", device.version.get(),
         [&] {
             device.version->setValue(Version(1, 2, 3, 4));
             device.version->setStale(true);
         },
         "1.2.3.4 (stale)", true},
        {"a long text beside the button", device.version.get(),
         [&] {
             device.version->setStale(false);
             device.version->setValue(std::nullopt);
             device.version->setAbsentValueText(cannotOpen);
         },
         cannotOpen, false},
    };
    QMainWindow& window = h.app->window();
    const QSize defaultSize = window.size();
    for (const QSize size : {defaultSize, QSize(1, 1)}) {  // the default, then the narrowest the window gets
        window.resize(size);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (size == defaultSize ? " at the default size" : " at the smallest"));
            c.set();
            QLabel* label = nullptr;
            ASSERT_TRUE(waitFor([&] {
                auto* hosted = dynamic_cast<QtHostedCell*>(outline.cellView(c.row, "Value Column").get());
                label = hosted ? hosted->widget()->findChild<QLabel*>() : nullptr;
                return label && label->text().toStdString() == c.whole;
            }));
            // Laid out: the row as tall as its lines (no taller), the label inside its cell.
            QWidget* cell = label->parentWidget();
            ASSERT_TRUE(waitFor([&] { return label->height() >= label->heightForWidth(label->width()); }))
                << label->height() << " high for " << label->heightForWidth(label->width());
            EXPECT_EQ(cell->height(), std::max(22, cell->heightForWidth(cell->width())));
            EXPECT_TRUE(cell->rect().contains(label->geometry()));
            EXPECT_EQ(label->toolTip().toStdString(), c.whole) << "the whole text in the tooltip";

            // The row's button keeps its width, clear of the value and inside the outline.
            if (auto* button = cell->findChild<QPushButton*>("actionButton")) {
                EXPECT_LT(label->geometry().right(), button->geometry().left());
                EXPECT_GE(button->width(), button->sizeHint().width());
                EXPECT_TRUE(cell->rect().contains(button->geometry()));
                QWidget* viewport = outline.widget()->viewport();
                EXPECT_TRUE(viewport->rect().contains(QRect(button->mapTo(viewport, QPoint()), button->size())));
            }
            auto* elided = qobject_cast<ElidedLabel*>(label);
            if (!elided) {
                ADD_FAILURE() << "a label that cuts its text without a sign";
                continue;
            }
            const QStringList lines = elided->shownLines();
            ASSERT_FALSE(lines.isEmpty());
            EXPECT_LE(lines.size(), 2);
            for (const QString& line : lines) {
                EXPECT_LE(label->fontMetrics().horizontalAdvance(line), label->contentsRect().width())
                    << line.toStdString();
            }
            if (c.fits) {
                EXPECT_EQ(lines.join(' ').toStdString(), c.whole);
            } else {
                EXPECT_EQ(lines.size(), 2) << "wrapped onto a second line before it is cut";
                EXPECT_TRUE(lines.back().endsWith(QChar(0x2026))) << lines.back().toStdString();
            }
        }
    }
}

TEST_F(MainWindow, AValueCanBeSelectedWhileThePointerIsOverIt) {
    // Values change many times a second, so a label is selectable only while the pointer is over
    // it or it holds a selection.
    AppHarness h;
    auto cell = h.outline().cellView(h.console().inspectorManager().device().connectionStatus.get(), "Value Column");
    auto* hosted = dynamic_cast<QtHostedCell*>(cell.get());
    ASSERT_NE(hosted, nullptr);
    auto* label = hosted->widget()->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    const auto selectable = [&] { return bool(label->textInteractionFlags() & Qt::TextSelectableByMouse); };
    const auto send = [&](QEvent::Type type) {
        QEvent event(type);
        QApplication::sendEvent(label, &event);
    };
    EXPECT_FALSE(selectable());
    send(QEvent::Enter);
    ASSERT_TRUE(selectable());
    label->setSelection(0, 3);
    send(QEvent::Leave);
    EXPECT_TRUE(selectable()) << "a selection outlives the pointer";
    EXPECT_TRUE(label->hasSelectedText());
    send(QEvent::Enter);
    label->setSelection(0, 0);
    send(QEvent::Leave);
    EXPECT_FALSE(selectable());
    h.console().setVehicleStatus(StatusIndication::warning("Connecting to vehicle..."));
    EXPECT_TRUE(waitFor([&] { return label->text() == "Connecting to vehicle..."; }));
}

TEST_F(MainWindow, TheRowButtonRunsItsRowsAction) {
    AppHarness h;
    auto& version = *h.console().inspectorManager().device().version;
    EXPECT_TRUE(version.actionHandler()) << "the console hooks the button up when its view loads";
    int presses = 0;
    version.setActionHandler([&] { ++presses; });
    auto cell = std::dynamic_pointer_cast<QtActionTableCellView>(h.outline().cellView(&version, "Value Column"));
    ASSERT_NE(cell, nullptr);
    // No device is connected: "Check for Update" cannot be pressed.
    EXPECT_FALSE(cell->qtButton()->widget()->isEnabled());
    QTest::mouseClick(cell->qtButton()->widget(), Qt::LeftButton);
    EXPECT_EQ(presses, 0);

    version.setActionEnabled(true);
    ASSERT_TRUE(waitFor([&] {
        cell = std::dynamic_pointer_cast<QtActionTableCellView>(h.outline().cellView(&version, "Value Column"));
        return cell && cell->qtButton()->widget()->isEnabled();
    }));
    QTest::mouseClick(cell->qtButton()->widget(), Qt::LeftButton);
    EXPECT_EQ(presses, 1);

    // Still wired after the row has been reloaded with a new value.
    version.setValue(Version("1.2.3.4"));
    ASSERT_TRUE(waitFor([&] { return text(h.outline().cellView(&version, "Value Column")) == "1.2.3.4"; }));
    cell = std::dynamic_pointer_cast<QtActionTableCellView>(h.outline().cellView(&version, "Value Column"));
    QTest::mouseClick(cell->qtButton()->widget(), Qt::LeftButton);
    EXPECT_EQ(presses, 2);
}

TEST_F(MainWindow, PopupsListTheDevicesAndGamepadsBehindADisabledHeader) {
    AppHarness h;
    QtPopupButton& devices = h.app->devicesPopupButton();
    QtPopupButton& gamepads = h.app->gamepadsPopupButton();
    ASSERT_TRUE(waitFor([&] { return devices.numberOfItems() == 3; }));
    EXPECT_EQ(devices.itemTitle(0), "Discovered 2 devices.");
    EXPECT_FALSE(devices.isItemEnabled(0));
    const auto& paths = h.console().devices();
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(devices.itemTitle(1), paths[0]);
    EXPECT_EQ(devices.itemTitle(2), paths[1]);
    EXPECT_EQ(devices.indexOfSelectedItem(), 0);

    ASSERT_EQ(gamepads.numberOfItems(), 3);
    EXPECT_EQ(gamepads.itemTitle(0), "Discovered 2 gamepads.");
    EXPECT_FALSE(gamepads.isItemEnabled(0));
    EXPECT_EQ(gamepads.itemTitle(1), "Pad A");
    EXPECT_EQ(gamepads.itemTitle(2), "Untitled Gamepad");
}

TEST_F(MainWindow, ChoicesInThePopupsReachTheConsole) {
    AppHarness h;
    QtPopupButton& devices = h.app->devicesPopupButton();
    ASSERT_TRUE(waitFor([&] { return devices.numberOfItems() == 3; }));
    QComboBox* deviceCombo = devices.widget();
    deviceCombo->setFocus();
    QTest::keyClick(deviceCombo, Qt::Key_Down);
    ASSERT_TRUE(h.console().selectedDevice().has_value());
    EXPECT_EQ(*h.console().selectedDevice(), h.console().devices()[0]);
    // The choice starts a connection attempt, whose outcome shows as the status.
    ASSERT_TRUE(waitFor([&] {
        return !h.console().isConnectingToVehicle() &&
               h.console().vehicleStatus().state() != StatusIndication::Case::unknown;
    }));

    QComboBox* gamepadCombo = h.app->gamepadsPopupButton().widget();
    gamepadCombo->setFocus();
    QTest::keyClick(gamepadCombo, Qt::Key_Down);
    EXPECT_EQ(h.console().selectedGamepad(), h.padA);
    h.padA->rt = 0.25f;
    auto* longSlider = h.find<ControlSlider>("longControlSlider");
    auto* longLabel = h.find<QLabel>("longControlLabel");
    ASSERT_TRUE(waitFor([&] { return longSlider->value() == 25; }));
    EXPECT_EQ(longLabel->text(), "25.0% Engine");
    h.padA->rt = 0;
    h.padA->lt = 0.5f;
    ASSERT_TRUE(waitFor([&] { return longSlider->value() == -50; }));
    EXPECT_EQ(longLabel->text(), "50.0% Brake");
}

TEST_F(MainWindow, SlidersDriveTheRequestsWhileHeldAndSpringBackToZeroOnRelease) {
    AppHarness h;
    auto* longSlider = h.find<ControlSlider>("longControlSlider");
    auto* latSlider = h.find<ControlSlider>("latControlSlider");
    auto* longLabel = h.find<QLabel>("longControlLabel");
    auto* latLabel = h.find<QLabel>("latControlLabel");
    ASSERT_TRUE(longSlider && latSlider && longLabel && latLabel);
    EXPECT_EQ(longSlider->minimum(), -100);
    EXPECT_EQ(longSlider->maximum(), 100);

    QPoint start = handleCentre(*longSlider);
    QTest::mousePress(longSlider, Qt::LeftButton, {}, start);
    QTest::mouseMove(longSlider, start + QPoint(longSlider->width() / 4, 0));
    EXPECT_GT(h.console().requestedLongitudinalControl(), 0.2);
    EXPECT_TRUE(longLabel->text().endsWith("% Engine")) << longLabel->text().toStdString();
    EXPECT_GT(longSlider->value(), 20);
    QTest::mouseRelease(longSlider, Qt::LeftButton, {}, start + QPoint(longSlider->width() / 4, 0));
    EXPECT_EQ(longSlider->value(), 0);
    EXPECT_EQ(h.console().requestedLongitudinalControl(), 0.0);
    EXPECT_EQ(longLabel->text(), "No longitudinal control requested.");

    start = handleCentre(*latSlider);
    QTest::mousePress(latSlider, Qt::LeftButton, {}, start);
    QTest::mouseMove(latSlider, start - QPoint(latSlider->width() / 4, 0));
    EXPECT_LT(h.console().requestedLateralControl(), -0.2);
    EXPECT_TRUE(latLabel->text().endsWith("% Counterclockwise")) << latLabel->text().toStdString();
    QTest::mouseRelease(latSlider, Qt::LeftButton, {}, start - QPoint(latSlider->width() / 4, 0));
    EXPECT_EQ(latSlider->value(), 0);
    EXPECT_EQ(h.console().requestedLateralControl(), 0.0);
    EXPECT_EQ(latLabel->text(), "No lateral control requested.");

    // A click on the groove without a drag springs back as well.
    QTest::mouseClick(longSlider, Qt::LeftButton, {}, QPoint(longSlider->width() - 4, longSlider->height() / 2));
    EXPECT_EQ(longSlider->value(), 0);
    EXPECT_EQ(h.console().requestedLongitudinalControl(), 0.0);
}

TEST_F(MainWindow, TheWheelTurnsInPlaceWithTheConsolesAngle) {
    AppHarness h;
    auto* wheel = h.find<ImageCanvas>("steeringWheelImage");
    ASSERT_NE(wheel, nullptr);
    EXPECT_EQ(wheel->imageName(), "SteeringWheel");
    ASSERT_EQ(wheel->width(), wheel->height());
    const double side = wheel->width();

    h.console().setSteeringWheelAngle(90);
    QTransform t = wheel->paintTransform();
    const QPointF top = t.map(QPointF(side / 2, 0));
    EXPECT_NEAR(top.x(), 0, 1e-6);
    EXPECT_NEAR(top.y(), side / 2, 1e-6);
    EXPECT_NEAR(t.map(QPointF(side / 2, side / 2)).x(), side / 2, 1e-6) << "turns about its centre";

    // Without a device the telemetry refresh brings it back upright.
    ASSERT_TRUE(waitFor([&] {
        const QPointF p = wheel->paintTransform().map(QPointF(side / 2, 0));
        return std::abs(p.x() - side / 2) < 1e-6 && std::abs(p.y()) < 1e-6;
    }));
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

using testing::waitFor;

// The requests the device receives, each answered, read until one satisfies `wanted`.
bool deviceReceives(PtyPeer& device, const std::function<bool(const DeviceReport&)>& wanted) {
    for (int read = 0; read < 400; ++read) {
        QApplication::processEvents();
        auto request = device.readRequest(std::chrono::milliseconds(50));
        if (!request) continue;
        device.send("STEERING{angle:1.0\n}");
        if (wanted(*request)) return true;
    }
    return false;
}

TEST_F(MainWindow, KeysWheelAndFocusLossLeaveNoRequestOnTheWire) {
    AppHarness h;
    PtyPeer device;
    // Listed in the scanned folder: a connected device the scan does not list is taken as gone.
    h.devices.link("ttyACM9", device.devicePath());
    h.console().connectToDevice((h.devices.path() / "ttyACM9").string());
    ASSERT_TRUE(
        waitFor([&] { return h.console().vehicleInterface() && h.console().vehicleInterface()->isConnected(); }));
    auto* lat = h.find<ControlSlider>("latControlSlider");
    auto* lon = h.find<ControlSlider>("longControlSlider");
    ASSERT_TRUE(lat && lon);
    const auto field = [](const DeviceReport& request, const char* name) {
        auto found = request.fields.find(name);
        return found == request.fields.end() ? std::string() : found->second;
    };

    // Held key: the request goes out; released: 0 goes out after it. (The requests before the
    // key carry 0 as well, so the held request is awaited first.)
    lat->setFocus();
    QTest::keyPress(lat, Qt::Key_End);
    EXPECT_EQ(h.console().requestedLateralControl(), 1.0);
    ASSERT_TRUE(deviceReceives(device, [&](const DeviceReport& r) { return field(r, "lat") == "100.0"; }));
    QTest::keyRelease(lat, Qt::Key_End);
    EXPECT_TRUE(waitFor([&] { return h.console().requestedLateralControl() == 0.0; }));
    EXPECT_TRUE(deviceReceives(device, [&](const DeviceReport& r) { return field(r, "lat") == "0.0"; }));

    // Focus lost while a key holds the other slider.
    lon->setFocus();
    QTest::keyPress(lon, Qt::Key_Home);
    EXPECT_EQ(h.console().requestedLongitudinalControl(), -1.0);
    ASSERT_TRUE(deviceReceives(device, [&](const DeviceReport& r) { return field(r, "long") == "-100.0"; }));
    lat->setFocus();
    EXPECT_EQ(h.console().requestedLongitudinalControl(), 0.0);
    EXPECT_TRUE(deviceReceives(device, [&](const DeviceReport& r) { return field(r, "long") == "0.0"; }));

    // A scroll over a slider sets nothing.
    QWheelEvent wheel(QPointF(lat->rect().center()), lat->mapToGlobal(QPointF(lat->rect().center())), QPoint(),
                      QPoint(0, 360), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(lat, &wheel);
    EXPECT_EQ(lat->value(), 0);
    EXPECT_EQ(h.console().requestedLateralControl(), 0.0);
}

// A held key moves the slider one step per repeat, and each repeat is a release and a press of
// the same moment: X11 marks both as repeats when it read the press with the release, and neither
// when the press came a moment later. Either way the request rises with every repeat, and goes
// to 0 once the key really goes up.
TEST_F(MainWindow, AHeldKeyRampsTheRequestUntilItReallyGoesUp) {
    AppHarness h;
    auto* lat = h.find<ControlSlider>("latControlSlider");
    ASSERT_TRUE(lat);
    for (const bool marked : {true, false}) {
        SCOPED_TRACE(marked ? "marked repeats" : "unmarked repeats");
        lat->setFocus();
        QTest::keyPress(lat, Qt::Key_Right);
        std::vector<double> requests{h.console().requestedLateralControl()};
        for (ulong moment = 1; moment <= 20; ++moment) {
            QKeyEvent up(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), marked);
            QKeyEvent down(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), marked);
            up.setTimestamp(moment * 40);
            down.setTimestamp(moment * 40);
            QApplication::sendEvent(lat, &up);
            QApplication::sendEvent(lat, &down);
            requests.push_back(h.console().requestedLateralControl());
        }
        for (std::size_t i = 1; i < requests.size(); ++i) {
            EXPECT_GT(requests[i], requests[i - 1]) << "repeat " << i;
        }
        EXPECT_DOUBLE_EQ(requests.back(), 0.21);
        QTest::keyRelease(lat, Qt::Key_Right);
        EXPECT_TRUE(waitFor([&] { return h.console().requestedLateralControl() == 0.0 && lat->value() == 0; }));
    }
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

TEST_F(MainWindow, TabReachesEveryControl) {
    AppHarness h;
    // A chosen device and a connection make every control usable (a disabled one takes no focus).
    h.console().setSelectedDevice((h.devices.path() / "ttyACM0").string());
    h.console().inspectorManager().device().version->setActionEnabled(true);
    ASSERT_TRUE(waitFor([&] {
        auto* button = h.find<QPushButton>("actionButton");
        return button && button->isEnabled() && h.find<QPushButton>("connectionButton")->isEnabled();
    }));
    h.app->window().activateWindow();
    ASSERT_TRUE(waitFor([&] { return QApplication::activeWindow() == &h.app->window(); }));
    QSet<QString> reached;
    for (int tab = 0; tab < 40; ++tab) {
        QWidget* focused = QApplication::focusWidget();
        if (focused) {
            reached.insert(focused->objectName());
            QTest::keyClick(focused, Qt::Key_Tab);
        } else {
            QTest::keyClick(&h.app->window(), Qt::Key_Tab);
        }
    }
    for (const char* control : {"devicesPopupButton", "connectionButton", "gamepadsPopupButton", "settingsButton",
                                "longControlSlider", "latControlSlider", "actionButton"}) {
        EXPECT_TRUE(reached.contains(control)) << control << " is never reached with Tab";
    }
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

// The rows a recording label counts ("● Recording to PATH: N rows"); -1 when it names none.
long long rowsShown(const QString& label) {
    const auto match = QRegularExpression(": (\\d+) rows").match(label);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

struct TestBench : ::testing::Test {
    void SetUp() override { QSettings().clear(); }
};

TEST_F(TestBench, RecordingWritesOneRowPerMessageAndTheLayoutIsKept) {
    testing::ScratchDirectory files;
    const std::string csv = (files.path() / "run.csv").string();
    {
        AppHarness h;
        PtyPeer device;
        device.startAnswering([](const DeviceReport&) { return std::string("STEERING{angle:-3.5\n}"); });
        h.devices.link("ttyACM9", device.devicePath());  // listed, so the scans keep it connected
        h.console().connectToDevice((h.devices.path() / "ttyACM9").string());
        ASSERT_TRUE(waitFor([&] { return h.console().vehicleInterface() != nullptr; }));
        h.app->startRecording(csv);
        auto* label = h.find<QLabel>("recordingLabel");
        ASSERT_TRUE(label);
        ASSERT_TRUE(waitFor([&] { return h.app->sessionTap()->recording()->rowCount() >= 20; }));
        // While recording the status bar names the file and counts the rows (every second).
        ASSERT_TRUE(waitFor([&] { return label->isVisible() && rowsShown(label->text()) >= 20; }))
            << label->isVisible() << " " << label->text().toStdString();
        EXPECT_TRUE(label->text().contains(QString::fromStdString(csv)));
        h.app->stopRecording();
        EXPECT_FALSE(label->isVisible());

        // A layout unlike the first one: Log hidden, Traffic shown, Plots moved to the left.
        auto* log = h.find<QDockWidget>("logPanel");
        auto* traffic = h.find<QDockWidget>("trafficPanel");
        auto* plots = h.find<QDockWidget>("plotPanel");
        ASSERT_TRUE(log && traffic && plots);
        log->hide();
        traffic->show();
        h.app->window().addDockWidget(Qt::LeftDockWidgetArea, plots);
        plots->hide();
        h.app->window().resize(1011, 655);
        h.app->saveLayout();
    }
    std::ifstream in(csv, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const auto parsed = testing::parseCsv(text);
    EXPECT_EQ(parsed.error, "");
    ASSERT_GE(parsed.rows.size(), 21u);
    auto header = telemetryCsvColumns();
    header.insert(header.end(), {"maneuver", "repeat"});  // empty outside a maneuver suite
    EXPECT_EQ(parsed.rows.front(), header);
    EXPECT_EQ(parsed.rows[1][2], "STEERING");

    AppHarness next;
    EXPECT_EQ(next.app->window().size(), QSize(1011, 655));
    auto* log = next.find<QDockWidget>("logPanel");
    auto* traffic = next.find<QDockWidget>("trafficPanel");
    auto* plots = next.find<QDockWidget>("plotPanel");
    ASSERT_TRUE(log && traffic && plots);
    EXPECT_FALSE(log->isVisible());
    EXPECT_TRUE(traffic->isVisible());
    EXPECT_FALSE(plots->isVisible());
    EXPECT_EQ(next.app->window().dockWidgetArea(plots), Qt::LeftDockWidgetArea);
    EXPECT_EQ(next.app->window().dockWidgetArea(traffic), Qt::BottomDockWidgetArea);
}

TEST_F(TestBench, FileExportPlotsOpensThePlotsPanelAndAsksForTheFileAndThePictureSize) {
    AppHarness h;
    auto* plots = h.find<QDockWidget>("plotPanel");
    auto* action = h.app->window().findChild<QAction*>("exportPlotsAction");
    ASSERT_TRUE(plots && action);
    ASSERT_FALSE(plots->isVisible());
    testing::ScratchDirectory files;
    const QString path = QString::fromStdString((files.path() / "chosen.png").string());
    int dialogs = 0;
    bool panelShownMeanwhile = false;
    QSize offered;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        for (QFileDialog* dialog : testing::visibleWindows<QFileDialog>()) {
            panelShownMeanwhile = plots->isVisible();
            auto* width = dialog->findChild<QSpinBox*>("exportWidthBox");
            auto* height = dialog->findChild<QSpinBox*>("exportHeightBox");
            if (++dialogs == 1 || !width || !height) {
                if (width && height) offered = QSize(width->value(), height->value());
                dialog->reject();
            } else {                // the second time a size and a file are chosen
                width->setFocus();  // the name is taken from the file's path only while its field has no focus
                width->setValue(640);
                height->setValue(480);
                dialog->selectFile(path);
                static_cast<QDialog*>(dialog)->accept();
            }
        }
    });
    answerer.start(20);
    action->trigger();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(panelShownMeanwhile);
    EXPECT_EQ(offered, QSize(1920, 1080));
    action->trigger();
    answerer.stop();
    EXPECT_EQ(QImage(path).size(), QSize(640, 480));
    EXPECT_EQ(PlotPanel::exportSize(), QSize(640, 480)) << "the next export's size";
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

using testing::AppHarness;
using testing::waitFor;

TEST_F(MainWindow, WithEveryPanelDockedItFitsA1280By800ScreenAndKeepsEachControlWhole) {
    AppHarness h;
    QMainWindow& window = h.app->window();
    const auto panels = window.findChildren<QDockWidget*>();
    ASSERT_EQ(panels.size(), 4);  // Log, Traffic, Plots and the maneuver panel
    for (QDockWidget* panel : panels) {
        panel->show();
        EXPECT_FALSE(panel->isFloating()) << panel->objectName().toStdString();
    }
    window.resize(1, 1);
    ASSERT_TRUE(waitFor([&] { return window.size() == window.minimumSizeHint(); }));
    EXPECT_LT(window.width(), 1280);
    EXPECT_LT(window.height(), 800);

    // At that size every control of a panel lies whole inside the panel, on no other one.
    for (QDockWidget* panel : panels) {
        const QRect inside = panel->widget()->rect();
        std::vector<std::pair<QString, QRect>> placed;
        for (QWidget* control : panel->widget()->findChildren<QWidget*>()) {
            if (!control->isVisible() ||
                !(qobject_cast<QAbstractButton*>(control) || qobject_cast<QComboBox*>(control)))
                continue;
            const QRect at(control->mapTo(panel->widget(), QPoint(0, 0)), control->size());
            const QString name =
                panel->objectName() + "/" +
                (control->objectName().isEmpty() ? QString(control->metaObject()->className()) : control->objectName());
            EXPECT_TRUE(inside.contains(at)) << name.toStdString() << " outside its panel";
            EXPECT_GE(at.width(), control->minimumSizeHint().width()) << name.toStdString() << " cut short";
            for (const auto& [other, otherAt] : placed) {
                EXPECT_FALSE(at.intersects(otherAt)) << name.toStdString() << " over " << other.toStdString();
            }
            placed.emplace_back(name, at);
        }
        EXPECT_GE(placed.size(), 2u) << panel->objectName().toStdString();
    }
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

using testing::AppHarness;
using testing::waitFor;

// The controls Tab visits from the device popup until it comes back to it, each named with its
// panel's name in front ("trafficPanel/pauseButton").
std::vector<std::string> tabRound(AppHarness& h) {
    // Every control usable: a chosen device enables Connect, the firmware row's button is enabled.
    h.console().setSelectedDevice((h.devices.path() / "ttyACM0").string());
    h.console().inspectorManager().device().version->setActionEnabled(true);
    // The panels of the View menu shown, the log and the traffic side by side (not tabbed).
    auto* log = h.find<QDockWidget>("logPanel");
    auto* traffic = h.find<QDockWidget>("trafficPanel");
    h.app->window().addDockWidget(Qt::BottomDockWidgetArea, traffic);
    h.app->window().splitDockWidget(log, traffic, Qt::Horizontal);
    for (auto* panel : h.app->window().findChildren<QDockWidget*>()) {
        if (panel != h.app->maneuverRun().panel()) panel->show();
    }
    // Rows in the traffic table, which must not keep Tab among its cells.
    h.app->sessionTap()->traffic()->push(TrafficDirection::sent, controlRequest(0, 0));
    h.app->sessionTap()->traffic()->push(TrafficDirection::received, DeviceReport{"STEERING", {{"angle", "1"}}});
    EXPECT_TRUE(waitFor([&] {
        auto* button = h.find<QPushButton>("actionButton");
        auto* table = h.find<QTableView>("trafficView");
        return button && button->isEnabled() && h.find<QPushButton>("connectionButton")->isEnabled() && table &&
               table->model()->rowCount() == 2;
    }));
    h.app->window().activateWindow();
    EXPECT_TRUE(waitFor([&] { return QApplication::activeWindow() == &h.app->window(); }));
    QWidget* start = h.app->window().devicesComboBox();
    start->setFocus();
    std::vector<std::string> round;
    for (QWidget* focused = start; round.size() < 60;) {
        QString name = focused->objectName().isEmpty() ? focused->metaObject()->className() : focused->objectName();
        for (QWidget* up = focused->parentWidget(); up; up = up->parentWidget()) {
            if (auto* panel = qobject_cast<QDockWidget*>(up)) name = panel->objectName() + "/" + name;
        }
        round.push_back(name.toStdString());
        QTest::keyClick(focused, Qt::Key_Tab);
        focused = QApplication::focusWidget();
        if (!focused || focused == start) break;
    }
    return round;
}

TEST_F(MainWindow, TabRunsThroughTheWindowInOneOrderThatARestoredLayoutKeeps) {
    std::vector<std::string> first;
    {
        AppHarness h;
        first = tabRound(h);
        // The panels moved about: Plots to the left, Traffic above the Log.
        QMainWindow& window = h.app->window();
        auto* log = h.find<QDockWidget>("logPanel");
        auto* traffic = h.find<QDockWidget>("trafficPanel");
        auto* plots = h.find<QDockWidget>("plotPanel");
        window.addDockWidget(Qt::LeftDockWidgetArea, plots);
        window.splitDockWidget(traffic, log, Qt::Vertical);
        h.app->saveLayout();
    }
    // Toolbar, sliders, the inspector's button, then the panels in the View menu's order.
    const std::vector<std::string> expected{"devicesPopupButton",
                                            "connectionButton",
                                            "gamepadsPopupButton",
                                            "settingsButton",
                                            "longControlSlider",
                                            "latControlSlider",
                                            "actionButton",
                                            "logPanel/copyAllButton",
                                            "logPanel/clearButton",
                                            "logPanel/logView",
                                            "trafficPanel/pauseButton",
                                            "trafficPanel/clearButton",
                                            "trafficPanel/copyButton",
                                            "trafficPanel/filterBox",
                                            "trafficPanel/trafficView",
                                            "plotPanel/pauseButton",
                                            "plotPanel/exportButton",
                                            "plotPanel/plotToggle0",
                                            "plotPanel/plotToggle1",
                                            "plotPanel/plotToggle2",
                                            "plotPanel/plotToggle3",
                                            "plotPanel/plotToggle4"};
    EXPECT_EQ(first, expected);

    AppHarness next;
    ASSERT_EQ(next.app->window().dockWidgetArea(next.find<QDockWidget>("plotPanel")), Qt::LeftDockWidgetArea);
    EXPECT_EQ(tabRound(next), expected) << "after a restart with the kept layout";
}

}  // namespace
}  // namespace orvane

namespace orvane {
namespace {

using testing::AppHarness;
using testing::waitFor;

bool insideScreen(const QMainWindow& window) {
    return window.screen()->availableGeometry().contains(window.frameGeometry());
}

// Restored larger than the screen and reaching past it, or with the panels stacked in one column
// whose minimum heights together exceed the screen: the window stays inside the screen's
// available area, the panels tabbed, and a panel shown later does not push it out.
TEST_F(MainWindow, KeepsItsFrameInsideTheScreenWhateverItsGeometryAndPanels) {
    for (const bool stacked : {false, true}) {
        SCOPED_TRACE(stacked ? "panels in one column" : "a geometry larger than the screen");
        QSettings().clear();
        {
            AppHarness h;
            QMainWindow& window = h.app->window();
            if (stacked) {
                for (auto* panel : window.findChildren<QDockWidget*>()) {
                    window.addDockWidget(Qt::BottomDockWidgetArea, panel, Qt::Vertical);
                    panel->show();
                }
            } else {
                window.setGeometry(900, 500, 1600, 1000);
            }
            h.app->saveLayout();
        }
        AppHarness next;
        QMainWindow& window = next.app->window();
        EXPECT_TRUE(waitFor([&] { return insideScreen(window); }))
            << window.frameGeometry().x() << "," << window.frameGeometry().y() << " " << window.frameGeometry().width()
            << "x" << window.frameGeometry().height();
        next.app->maneuverRun().panel()->show();
        EXPECT_TRUE(waitFor([&] { return insideScreen(window) && window.minimumSize() == window.minimumSizeHint(); }))
            << window.frameGeometry().height() << " high, needing " << window.minimumSizeHint().height();
    }
}

// With every panel open at 1280x800 each is usable: the plots at least 500 px wide, the traffic
// table ten rows high or so, the wheel and the inspector whole.
TEST_F(MainWindow, WithEveryPanelOpenAt1280By800EachPanelIsUsable) {
    AppHarness h;
    QMainWindow& window = h.app->window();
    for (auto* panel : window.findChildren<QDockWidget*>()) {
        if (panel != h.app->maneuverRun().panel()) panel->toggleViewAction()->trigger();
    }
    window.resize(1280, 800);
    QWidget* plot = nullptr;
    QWidget* traffic = nullptr;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->accessibleName() == "Plot" && !plot) plot = widget;
        if (widget->accessibleName() == "Traffic") traffic = widget;
    }
    ASSERT_TRUE(plot && traffic);
    QWidget* central = window.centralWidget();
    EXPECT_TRUE(waitFor([&] {
        return plot->isVisible() && traffic->isVisible() && plot->width() >= 500 && traffic->height() >= 170 &&
               central->width() >= central->minimumSizeHint().width() &&
               central->height() >= central->minimumSizeHint().height() && insideScreen(window);
    })) << "plot "
        << plot->width() << " wide, traffic " << traffic->height() << " high, wheel and inspector " << central->width()
        << "x" << central->height();
}

}  // namespace
}  // namespace orvane
