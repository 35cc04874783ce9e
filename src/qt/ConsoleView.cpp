#include "qt/ConsoleView.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>

#include "console/ViewController.h"
#include "qt/QtControls.h"
#include "qt/QtImageView.h"
#include "qt/ViewStyle.h"

namespace orvane {

namespace {

// The wheel for a screen reader: a read-only indicator named "Steering wheel" whose value is the
// angle it shows.
class AccessibleWheel : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleWheel(WheelStage* stage) : QAccessibleWidget(stage, QAccessible::Dial) {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.readOnly = true;
        return state;
    }
    QVariant currentValue() const override {
        const auto* stage = static_cast<const WheelStage*>(widget());
        return stage->angle ? stage->angle() : 0.0;
    }
    void setCurrentValue(const QVariant&) override {}  // an indicator: nothing to set
    QVariant maximumValue() const override { return 3600.0; }
    QVariant minimumValue() const override { return -3600.0; }
    QVariant minimumStepSize() const override { return 0.1; }
    QString text(QAccessible::Text kind) const override {
        const auto* stage = static_cast<const WheelStage*>(widget());
        if (kind == QAccessible::Name) return QCoreApplication::translate("ConsoleView", "Steering wheel");
        if (kind == QAccessible::Value || kind == QAccessible::Description) {
            return QString::number(stage->angle ? stage->angle() : 0.0, 'f', 1) + QStringLiteral("°");
        }
        return QAccessibleWidget::text(kind);
    }
    int childCount() const override { return 0; }  // the picture itself is no object of its own
};

QAccessibleInterface* accessibleWheel(const QString& className, QObject* object) {
    if (className == QLatin1String("orvane::WheelStage") && object && object->isWidgetType()) {
        return new AccessibleWheel(static_cast<WheelStage*>(object));
    }
    return nullptr;
}

}  // namespace

WheelStage::WheelStage(QWidget* parent) : QWidget(parent), canvas_(new ImageCanvas(this)) {
    static const bool factoryInstalled = (QAccessible::installFactory(accessibleWheel), true);
    (void)factoryInstalled;
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void WheelStage::resizeEvent(QResizeEvent*) {
    // The wheel grows with the window up to a comfortable size, and stays centred.
    const int side = std::max(0, std::min({width(), height() - pointerHeight - 4, maximumSide}));
    const int top = pointerHeight + 4 + std::max(0, (height() - pointerHeight - 4 - side) / 2);
    canvas_->setGeometry((width() - side) / 2, top, side, side);
    pointerTop_ = top - pointerHeight - 4;
}

void WheelStage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const qreal x = width() / 2.0;
    QPainterPath pointer;
    pointer.moveTo(x - 7, pointerTop_);
    pointer.lineTo(x + 7, pointerTop_);
    pointer.lineTo(x, pointerTop_ + pointerHeight);
    pointer.closeSubpath();
    painter.fillPath(pointer, mutedTextColor(palette(), 0.45));
}

QWidget* makeConsoleView(ViewController& console) {
    auto* view = new QWidget();
    view->setObjectName("consoleView");
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(28, 20, 28, 22);
    layout->setSpacing(18);

    auto* stage = new WheelStage(view);
    stage->angle = [&console] { return console.steeringWheelAngle(); };
    stage->canvas()->setObjectName("steeringWheelImage");
    stage->canvas()->setImageName("SteeringWheel");
    stage->canvas()->setOpaque(true);
    // Each frame turns the whole picture (about a millisecond of bilinear sampling for a wheel
    // a few hundred pixels wide), so the frames are few: at most eight a second. The wheel is
    // read for its angle, not watched as an animation; the device's own swing moves it by at
    // most about a degree and a half between frames, a step that reads the same at eight frames
    // a second as at twelve (both are far below the rate at which motion looks continuous), and
    // the last angle always shows within a sixth of a second.
    stage->canvas()->setMaximumFrameRate(8);
    layout->addWidget(stage, 1);

    auto* controls = new QGridLayout();
    controls->setHorizontalSpacing(10);
    controls->setVerticalSpacing(2);
    controls->setColumnStretch(2, 1);
    layout->addLayout(controls);

    auto addSlider = [&](int row, const QString& title, const QString& minimum, const QString& maximum,
                         const char* sliderName, const char* labelName, const QString& idleText,
                         const QString& toolTip) {
        auto* heading = new QLabel(title, view);
        heading->setFont(scaledFont(heading->font(), 1.0, QFont::DemiBold));
        controls->addWidget(heading, row, 0, Qt::AlignVCenter);
        controls->addWidget(makeCaption(minimum, view), row, 1, Qt::AlignRight | Qt::AlignVCenter);
        auto* slider = new ControlSlider(Qt::Horizontal, view);
        slider->setObjectName(sliderName);
        slider->setTickPosition(QSlider::TicksBelow);
        slider->setTickInterval(50);
        slider->setPageStep(10);
        slider->setMinimumWidth(220);
        slider->setToolTip(toolTip);
        slider->setAccessibleName(QCoreApplication::translate("ConsoleView", "%1 request").arg(title));
        controls->addWidget(slider, row, 2);
        controls->addWidget(makeCaption(maximum, view), row, 3, Qt::AlignLeft | Qt::AlignVCenter);
        auto* label = new QLabel(idleText, view);
        label->setObjectName(labelName);
        label->setAlignment(Qt::AlignHCenter);
        controls->addWidget(label, row + 1, 2);
        controls->setRowMinimumHeight(row + 2, 12);
        return std::make_pair(slider, label);
    };
    auto [longSlider, longLabel] =
        addSlider(0, QCoreApplication::translate("ConsoleView", "Longitudinal"),
                  QCoreApplication::translate("ConsoleView", "Brake"),
                  QCoreApplication::translate("ConsoleView", "Engine"), "longControlSlider", "longControlLabel",
                  QCoreApplication::translate("ConsoleView", "No longitudinal control requested."),
                  QCoreApplication::translate("ConsoleView",
                                              "The longitudinal request: drag toward Engine or Brake, or hold an arrow "
                                              "key; it springs back to 0 when let go."));
    auto [latSlider, latLabel] = addSlider(
        3, QCoreApplication::translate("ConsoleView", "Lateral"),
        QCoreApplication::translate("ConsoleView", "Counterclockwise"),
        QCoreApplication::translate("ConsoleView", "Clockwise"), "latControlSlider", "latControlLabel",
        QCoreApplication::translate("ConsoleView", "No lateral control requested."),
        QCoreApplication::translate("ConsoleView",
                                    "The lateral (steering) request: drag toward Clockwise or "
                                    "Counterclockwise, or hold an arrow key; it springs back to 0 when let go."));

    auto longControl = std::make_shared<QtSlider>(longSlider);
    auto latControl = std::make_shared<QtSlider>(latSlider);
    auto target = weakController(console);
    longControl->setAction([target, sender = longControl.get()] {
        if (auto controller = target.lock()) controller->didChangeLongSlider(sender);
    });
    latControl->setAction([target, sender = latControl.get()] {
        if (auto controller = target.lock()) controller->didChangeLatSlider(sender);
    });

    console.longControlSlider = longControl;
    console.latControlSlider = latControl;
    console.longControlLabel = std::make_shared<QtTextField>(longLabel);
    console.latControlLabel = std::make_shared<QtTextField>(latLabel);
    console.steeringWheelImage = std::make_shared<QtImageView>(stage->canvas());
    return view;
}

// --- inspector ---

}  // namespace orvane
