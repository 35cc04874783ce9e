#include "qt/FocusRingStyle.h"

#include <QPainter>
#include <QPen>
#include <QStyleOption>
#include <QWidget>

namespace orvane {

void FocusRingStyle::drawRing(const QStyleOption* option, QPainter* painter, const QWidget* widget, QRect area) {
    // The option says whether this drawing is of the focused control; a widget drawn for another
    // purpose (a combo box's list, say) has no focus state.
    if (!option || !(option->state & State_HasFocus) || !widget || !widget->hasFocus()) return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    QPen pen(option->palette.color(QPalette::Active, QPalette::Highlight), kRingWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
    // The pen is centred on the path: inset by half its width so that the whole ring is inside.
    if (area.isNull()) area = widget->rect();
    const QRect ring = area.adjusted(kRingWidth / 2, kRingWidth / 2, -kRingWidth / 2, -kRingWidth / 2);
    painter->drawRect(ring);
    painter->restore();
}

void FocusRingStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const {
    // The base style's own faint focus frame is replaced by the ring drawn with the control.
    if (element == PE_FrameFocusRect) return;
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    // A combo box's line edit is framed with the combo box.
    if (element == PE_FrameLineEdit && widget &&
        !(widget->parentWidget() && widget->parentWidget()->inherits("QComboBox"))) {
        drawRing(option, painter, widget);
    }
}

void FocusRingStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton || element == CE_CheckBox || element == CE_RadioButton) {
        drawRing(option, painter, widget);
    } else if (element == CE_ShapedFrame && widget && widget->inherits("QAbstractScrollArea")) {
        // A list, table or text view: its frame, outside the viewport, shows whose the keys are.
        drawRing(option, painter, widget);
    } else if (element == CE_TabBarTab && option) {
        drawRing(option, painter, widget, option->rect);  // only the current tab has the focus state
    }
}

void FocusRingStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                        const QWidget* widget) const {
    QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (control == CC_Slider || control == CC_ComboBox || control == CC_ToolButton || control == CC_SpinBox) {
        drawRing(option, painter, widget);
    }
}

}  // namespace orvane
