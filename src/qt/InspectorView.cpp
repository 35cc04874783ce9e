#include "qt/InspectorView.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolTip>
#include <algorithm>

#include "inspector/InspectorItem.h"
#include "inspector/InspectorViewController.h"
#include "qt/ElidedLabel.h"
#include "qt/QtControls.h"
#include "qt/QtImageView.h"
#include "qt/QtOutlineView.h"
#include "qt/ViewStyle.h"

namespace orvane {

namespace {

// The cell of a row: a horizontal strip with the given margins.
QWidget* makeCellWidget(QHBoxLayout*& layout, const QMargins& margins) {
    auto* cell = new QWidget();
    layout = new QHBoxLayout(cell);
    layout->setContentsMargins(margins);
    layout->setSpacing(6);
    return cell;
}

// A value that does not fit its column (a connection failure with its advice) can be read
// whole: it ends in an ellipsis, the label's tooltip is its text (or more, where the row says more), and a click shows
// it at once.
//
// The text can be selected with the mouse, but only while the pointer is over the label: a
// selectable label keeps its text in a text document, which lays the text out again on every
// change and measures it that way too, several times the work of a plain label, and the
// values change several times a second. The pointer arrives before any press, so selecting
// works as ever; a selection keeps the label selectable until it is cleared.
class WholeTextOnClick : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* label = static_cast<QLabel*>(watched);
        switch (event->type()) {
            case QEvent::Enter: label->setTextInteractionFlags(Qt::TextSelectableByMouse); break;
            case QEvent::Leave:
                if (!label->hasSelectedText()) label->setTextInteractionFlags(Qt::NoTextInteraction);
                break;
            case QEvent::MouseButtonRelease:
                if (!label->hasSelectedText()) {
                    const auto* click = static_cast<QMouseEvent*>(event);
                    QToolTip::showText(click->globalPosition().toPoint(), label->toolTip(), label);
                }
                break;
            default: break;
        }
        return false;
    }
};

// A status lamp tells what its row's text tells: hovering it shows the text's tooltip (the
// status, and its detail when there is one), which changes with the status.
class LampToolTip : public QObject {
public:
    LampToolTip(QLabel* text, QObject* parent) : QObject(parent), text_(text) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return false;
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text_->toolTip(),
                           static_cast<QWidget*>(watched));
        return true;
    }

private:
    QLabel* text_;
};

// A title keeps to one line; a value (a status or an error can be long) takes a second one before
// it is cut with an ellipsis.
QLabel* makeCellLabel(QWidget* cell, int lines = 1) {
    auto* label = new ElidedLabel(lines, cell);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    label->setProperty(QtTextField::textAsToolTipProperty, true);
    label->installEventFilter(new WholeTextOnClick(label));
    return label;
}

const QMargins kCellMargins(6, 3, 10, 3);
constexpr int kValueLines = 2;

// A status lamp is a little smaller than a line of the text beside it, and grows with it (a
// larger desktop font), never below 13 pixels.
int lampSide(const QFontMetrics& metrics) { return std::max(13, qRound(metrics.height() * 0.8)); }

}  // namespace

std::shared_ptr<QtOutlineView> makeInspectorView(InspectorViewController& inspector) {
    auto outline = std::make_shared<QtOutlineView>(std::vector<QtOutlineView::Column>{
        {InspectorViewController::titleColumnIdentifier, 210},
        {InspectorViewController::valueColumnIdentifier, 240},
    });
    QTreeView* tree = outline->widget();
    tree->setObjectName("inspectorOutline");
    // Narrow enough to share the window, wide enough that the longest status and the firmware row's
    // button stay whole.
    const QFontMetrics metrics(tree->font());
    const int valueMinimum = std::max(
        metrics.horizontalAdvance(QCoreApplication::translate("InspectorView", "Temporarily Deactivated")) +
            lampSide(metrics) + 40,
        metrics.horizontalAdvance("0.0.0.0") +
            metrics.horizontalAdvance(QCoreApplication::translate("InspectorView", "Check for Update")) + 60);
    outline->setMinimumLastColumnWidth(valueMinimum);

    outline->registerCellPrototype(InspectorViewController::titleCellIdentifier, [] {
        QHBoxLayout* layout = nullptr;
        QWidget* cell = makeCellWidget(layout, kCellMargins);
        QLabel* label = makeCellLabel(cell);
        setTextColor(label, mutedTextColor(label->palette()));
        layout->addWidget(label);
        return std::make_shared<QtTableCellView>(InspectorViewController::titleCellIdentifier, cell,
                                                 std::make_shared<QtTextField>(label), nullptr);
    });
    outline->registerCellPrototype(InspectorViewController::groupCellIdentifier, [] {
        QHBoxLayout* layout = nullptr;
        QWidget* cell = makeCellWidget(layout, QMargins(6, 12, 10, 4));
        QLabel* label = makeCellLabel(cell);
        QFont font = scaledFont(label->font(), 0.82, QFont::Bold);
        font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
        label->setFont(font);
        // Room above the capitals for their accents, which the small bold font draws above its ascent.
        label->setContentsMargins(0, 2, 0, 0);
        setTextColor(label, mutedTextColor(label->palette(), 0.72));
        layout->addWidget(label);
        return std::make_shared<QtTableCellView>(InspectorViewController::groupCellIdentifier, cell,
                                                 std::make_shared<QtTextField>(label), nullptr);
    });
    outline->registerCellPrototype(TextValueCellIdentifier, [] {
        QHBoxLayout* layout = nullptr;
        QWidget* cell = makeCellWidget(layout, kCellMargins);
        QLabel* label = makeCellLabel(cell, kValueLines);
        layout->addWidget(label);
        return std::make_shared<QtTableCellView>(TextValueCellIdentifier, cell, std::make_shared<QtTextField>(label),
                                                 nullptr);
    });
    outline->registerCellPrototype(IndicatorTextValueCellIdentifier, [] {
        QHBoxLayout* layout = nullptr;
        QWidget* cell = makeCellWidget(layout, kCellMargins);
        auto* lamp = new ImageCanvas(cell);
        lamp->setObjectName("statusLamp");
        QLabel* label = makeCellLabel(cell, kValueLines);
        const int side = lampSide(label->fontMetrics());
        lamp->setFixedSize(side, side);
        lamp->installEventFilter(new LampToolTip(label, lamp));
        layout->addWidget(lamp, 0, Qt::AlignVCenter);
        layout->addWidget(label);
        return std::make_shared<QtTableCellView>(IndicatorTextValueCellIdentifier, cell,
                                                 std::make_shared<QtTextField>(label),
                                                 std::make_shared<QtImageView>(lamp));
    });
    outline->registerCellPrototype(ActionTextValueCellIdentifier, [] {
        QHBoxLayout* layout = nullptr;
        QWidget* cell = makeCellWidget(layout, QMargins(6, 1, 10, 1));
        QLabel* label = makeCellLabel(cell, kValueLines);
        auto* button = new QPushButton(cell);
        button->setObjectName("actionButton");
        button->setFont(scaledFont(button->font(), 0.9));
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        button->setFocusPolicy(Qt::StrongFocus);
        layout->addWidget(label);
        layout->addWidget(button);
        return std::make_shared<QtActionTableCellView>(ActionTextValueCellIdentifier, cell,
                                                       std::make_shared<QtTextField>(label),
                                                       std::make_shared<QtButton>(button));
    });

    inspector.setOutlineView(outline);
    return outline;
}

}  // namespace orvane
