// The control adapters: what the console's logic sees of a combo box, a slider, a label, a
// progress bar and a push button, and which event it is told about.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "qt/FocusRingStyle.h"
#include "qt/QtControls.h"
#include "tests/qt/QtTestSupport.h"

namespace orvane {
namespace {

using testing::handleCentre;
using testing::waitFor;

struct SliderFixture : ::testing::Test {
    void SetUp() override {
        widget = std::make_unique<ControlSlider>(Qt::Horizontal);
        widget->resize(300, 30);
        widget->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(widget.get()));
        slider = std::make_shared<QtSlider>(widget.get());
        slider->setAction([this] {
            events.push_back(QtCurrentEvent::type());
            values.push_back(slider->doubleValue());
        });
        QtCurrentEvent::install();
    }

    std::unique_ptr<ControlSlider> widget;
    std::shared_ptr<QtSlider> slider;
    std::vector<std::optional<EventType>> events;
    std::vector<double> values;
};

TEST_F(SliderFixture, DragSendsDraggedMovesThenOneMouseUp) {
    EXPECT_EQ(widget->minimum(), -100);
    EXPECT_EQ(widget->maximum(), 100);
    const QPoint start = handleCentre(*widget);
    QTest::mousePress(widget.get(), Qt::LeftButton, {}, start);
    QTest::mouseMove(widget.get(), start + QPoint(60, 0));
    QTest::mouseMove(widget.get(), start + QPoint(100, 0));
    QTest::mouseRelease(widget.get(), Qt::LeftButton, {}, start + QPoint(100, 0));

    ASSERT_GE(events.size(), 2u);
    for (std::size_t i = 0; i + 1 < events.size(); ++i) {
        EXPECT_EQ(events[i], EventType::leftMouseDragged) << "move " << i;
    }
    EXPECT_EQ(events.back(), EventType::leftMouseUp);
    EXPECT_GT(values[values.size() - 2], 40.0);  // the last move was well right of the centre
    // Outside an action the provider answers none, as outside event handling.
    EXPECT_EQ(currentEventType(), std::nullopt);
}

TEST_F(SliderFixture, ProgrammaticValuesSendNothingAndAreClampedToTheRange) {
    slider->setDoubleValue(42.4);
    EXPECT_EQ(widget->value(), 42);
    slider->setDoubleValue(250);
    EXPECT_EQ(widget->value(), 100);
    slider->setDoubleValue(-49.6);
    EXPECT_EQ(slider->doubleValue(), -50.0);
    EXPECT_TRUE(events.empty());
}

TEST_F(SliderFixture, NothingHoldsARequestWithoutAHandOnIt) {
    // A key moves it while it is held (its repeats included) and lets go when it goes up.
    widget->setFocus();
    QTest::keyPress(widget.get(), Qt::Key_Right);
    QKeyEvent repeatUp(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(widget.get(), &repeatUp);
    QTest::keyPress(widget.get(), Qt::Key_End);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], EventType::other);
    EXPECT_EQ(values[0], 1.0);
    EXPECT_EQ(values[1], 100.0);
    QTest::keyRelease(widget.get(), Qt::Key_End);
    ASSERT_TRUE(waitFor([&] { return events.size() == 3u; }));
    EXPECT_EQ(events[2], EventType::leftMouseUp) << "the console springs back to 0 on this";

    // The mouse wheel does not move it.
    events.clear();
    slider->setDoubleValue(0);
    QWheelEvent wheel(QPointF(150, 15), widget->mapToGlobal(QPointF(150, 15)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget.get(), &wheel);
    EXPECT_EQ(widget->value(), 0);
    EXPECT_TRUE(events.empty());

    // Losing the focus while it is off rest lets go too.
    slider->setDoubleValue(30);
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(widget.get(), &focusOut);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], EventType::leftMouseUp);
}

TEST(QtPopupButton, BehavesLikeThePlatformPopup) {
    QComboBox combo;
    QtPopupButton popup(&combo);
    popup.addItemWithTitle("Discovered 2 devices.");
    popup.addItemWithTitle("/dev/ttyACM0");
    popup.addItemWithTitle("/dev/ttyACM1");
    popup.addItemWithTitle("/dev/ttyACM0");  // same title: replaces the entry, now last
    ASSERT_EQ(popup.numberOfItems(), 3);
    EXPECT_EQ(popup.itemTitle(1), "/dev/ttyACM1");
    EXPECT_EQ(popup.itemTitle(2), "/dev/ttyACM0");

    popup.removeAllItems();
    EXPECT_EQ(popup.numberOfItems(), 0);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    popup.setTitle("No devices found.");  // adds and selects
    popup.addItemWithTitle("No devices found.");
    EXPECT_EQ(popup.numberOfItems(), 1);
    EXPECT_EQ(popup.indexOfSelectedItem(), 0);

    popup.addItemWithTitle("/dev/ttyUSB0");
    popup.selectItemAtIndex(1);
    EXPECT_EQ(combo.currentText(), "/dev/ttyUSB0");
    popup.selectItemAtIndex(7);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
}

TEST(QtPopupButton, TheDisabledHeaderCannotBeChosenAndChoicesSendTheAction) {
    QComboBox combo;
    QtPopupButton popup(&combo);
    int actions = 0;
    popup.setAction([&] {
        ++actions;
        EXPECT_EQ(QtCurrentEvent::type(), EventType::leftMouseUp);
    });
    QtCurrentEvent::install();
    popup.addItemWithTitle("Discovered 2 gamepads.");
    popup.addItemWithTitle("Pad A");
    popup.addItemWithTitle("Pad B");
    popup.setItemEnabled(0, false);
    EXPECT_FALSE(popup.isItemEnabled(0));
    EXPECT_TRUE(popup.isItemEnabled(1));

    popup.selectItemAtIndex(2);  // programmatic selection sends nothing
    EXPECT_EQ(actions, 0);
    combo.show();
    combo.setFocus();
    QTest::keyClick(&combo, Qt::Key_Up);
    EXPECT_EQ(popup.indexOfSelectedItem(), 1);
    QTest::keyClick(&combo, Qt::Key_Up);  // the header is skipped: the selection stays
    EXPECT_EQ(popup.indexOfSelectedItem(), 1);
    EXPECT_EQ(actions, 1);
}

TEST(QtTextField, SetsTextAndColoursOnLabelsAndMultiLineViews) {
    QLabel label;
    QtTextField field(&label);
    const QColor normal = field.textColor();
    field.setStringValue("50.0% Brake");
    field.setTextColor(Color::systemRed);
    EXPECT_EQ(label.text(), "50.0% Brake");
    EXPECT_EQ(field.textColor(), QtTextField::color(Color::systemRed, normal));
    field.setTextColor(Color::systemGreen);
    EXPECT_EQ(field.textColor(), QtTextField::color(Color::systemGreen, normal));
    field.setTextColor(Color::label);
    EXPECT_EQ(field.textColor(), normal);
    // Texts are shown as they are, never as markup.
    field.setStringValue("<b>1.2</b>");
    EXPECT_EQ(label.textFormat(), Qt::PlainText);

    QPlainTextEdit notes;
    QtTextField multiLine(&notes);
    multiLine.setStringValue("Line one\nLine two\n\u00b0");
    EXPECT_EQ(notes.toPlainText(), QString::fromUtf8("Line one\nLine two\n\u00b0"));
    EXPECT_EQ(multiLine.stringValue(), "Line one\nLine two\n\u00b0");
}

TEST(QtProgressIndicator, IsBusyWhenIndeterminateAndShowsPercentagesOtherwise) {
    QProgressBar bar;
    QtProgressIndicator indicator(&bar);
    indicator.setIndeterminate(true);
    indicator.setDoubleValue(0);
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 0);
    indicator.setIndeterminate(false);
    indicator.setDoubleValue(42);
    EXPECT_EQ(bar.maximum(), 100);
    EXPECT_EQ(bar.value(), 42);
    // A value set while busy is kept for when the bar becomes determinate.
    indicator.setIndeterminate(true);
    indicator.setDoubleValue(64.6);
    indicator.setIndeterminate(false);
    EXPECT_EQ(bar.value(), 65);
}

TEST(QtButton, ClickRunsTheActionAndAnActionMayReplaceItself) {
    QPushButton widget;
    QtButton button(&widget);
    button.setTitle("Check for Update");
    EXPECT_EQ(widget.text(), "Check for Update");
    int first = 0, second = 0;
    button.setAction([&] {
        ++first;
        button.setAction([&] { ++second; });
    });
    QTest::mouseClick(&widget, Qt::LeftButton);
    QTest::mouseClick(&widget, Qt::LeftButton);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
}

TEST(QtControls, AdaptersOutlivingTheirWidgetsDoNothing) {
    auto* combo = new QComboBox();
    auto* label = new QLabel();
    auto* bar = new QProgressBar();
    QtPopupButton popup(combo);
    QtTextField field(label);
    QtProgressIndicator indicator(bar);
    delete combo;
    delete label;
    delete bar;
    popup.addItemWithTitle("x");
    field.setStringValue("x");
    indicator.setDoubleValue(3);
    EXPECT_EQ(popup.numberOfItems(), 0);
    EXPECT_EQ(field.stringValue(), "");
}

}  // namespace
// The control with the keyboard focus is framed in the highlight colour all round; the same
// control without the focus is not.
TEST(FocusRingStyle, FramesTheFocusedControlInTheHighlightColour) {
    FocusRingStyle style(QStringLiteral("Fusion"));
    QWidget window;
    window.setStyle(&style);
    auto* layout = new QVBoxLayout(&window);
    auto* combo = new QComboBox;
    combo->addItem("ttyACM0");
    auto* slider = new QSlider(Qt::Horizontal);
    const QList<QWidget*> controls{new QPushButton("Connect"), new QCheckBox("Reconnect"), slider, combo};
    for (QWidget* control : controls) {
        control->setStyle(&style);
        control->setFocusPolicy(Qt::StrongFocus);
        layout->addWidget(control);
    }
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QColor highlight = window.palette().color(QPalette::Active, QPalette::Highlight);
    // Every pixel of the outermost line on all four sides.
    const auto framed = [&](QWidget* control) {
        const QImage image = control->grab().toImage();
        const int w = image.width(), h = image.height();
        for (int x = 0; x < w; ++x) {
            if (image.pixelColor(x, 0) != highlight || image.pixelColor(x, h - 1) != highlight) return false;
        }
        for (int y = 0; y < h; ++y) {
            if (image.pixelColor(0, y) != highlight || image.pixelColor(w - 1, y) != highlight) return false;
        }
        return true;
    };
    for (QWidget* control : controls) {
        SCOPED_TRACE(control->metaObject()->className());
        control->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(waitFor([&] { return control->hasFocus(); }));
        EXPECT_TRUE(framed(control));
        (control == controls.front() ? controls.back() : controls.front())->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(waitFor([&] { return !control->hasFocus(); }));
        EXPECT_FALSE(framed(control));
    }
}

}  // namespace orvane
