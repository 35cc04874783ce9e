#pragma once

#include <QProxyStyle>

namespace orvane {

// The application's style with a focus ring that is plain to see: the control that has the
// keyboard focus is framed by a 2 px line in the palette's highlight colour, over whatever the
// base style (Fusion, by default) draws for it, which is a faint tint. Only the controls a person
// tabs to are framed: buttons, check boxes, sliders, combo boxes, tool buttons and line edits;
// lists and tables keep their own current-item marking.
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
    static void drawRing(const QStyleOption* option, QPainter* painter, const QWidget* widget);
};

}  // namespace orvane
