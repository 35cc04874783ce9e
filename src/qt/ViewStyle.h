#pragma once

// The look the views share: muted secondary text, scaled fonts, captions.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <memory>

class QLabel;
class QString;
class QWidget;

namespace orvane {

// `share` of `a` and the rest of `b`, channel by channel (opaque).
QColor mixedColor(const QColor& a, const QColor& b, qreal share);
// Secondary text: the text colour faded towards the background.
QColor mutedTextColor(const QPalette& palette, qreal strength = 0.58);
void setTextColor(QWidget* widget, const QColor& color);
// `font` at `factor` times its size (in points or pixels, as it is given) and of `weight`.
QFont scaledFont(const QFont& font, qreal factor, QFont::Weight weight = QFont::Normal);
// A small label in the muted colour.
QLabel* makeCaption(const QString& text, QWidget* parent);

// Makes every label of the application that is left at Qt::AutoText show its text as plain text
// once it is polished (before it is first shown): texts from files, devices and servers reach
// labels and message boxes, and a name such as "<img src=...>" must read as it is, never render.
// A label set to Qt::RichText on purpose (the About box) keeps it. Installed once per application.
void showLabelsAsPlainText();

// A weak reference to a controller that an action can call while the controller lives.
template <typename Controller>
std::weak_ptr<Controller> weakController(Controller& controller) {
    return std::static_pointer_cast<Controller>(controller.shared_from_this());
}

}  // namespace orvane
