#pragma once

#include <QProxyStyle>

namespace orvane {

// The application's style with a focus ring that is plain to see: the control that has the
// keyboard focus is framed by a 2 px line in the palette's highlight colour, over whatever the
// base style (Fusion, by default) draws for it, which is a faint tint. The controls a person tabs
// to are framed: buttons, check boxes, sliders, combo boxes, tool buttons and line edits, and the
// frame of a list, table or text view (whose current item keeps its own marking, and which may
// have none); of a tab bar, its current tab.
class FocusRingStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;

    static constexpr int kRingWidth = 2;

private:
    // Frames `area` (the widget's rect unless given) when the option is of the focused widget.
    static void drawRing(const QStyleOption* option, QPainter* painter, const QWidget* widget, QRect area = {});
};

}  // namespace orvane
