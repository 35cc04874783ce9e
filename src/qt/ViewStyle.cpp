#include "qt/ViewStyle.h"

#include <QLabel>
#include <QWidget>

namespace orvane {

QColor mutedTextColor(const QPalette& palette, qreal strength) {
    const QColor text = palette.color(QPalette::Text);
    const QColor base = palette.color(QPalette::Base);
    return QColor::fromRgbF(text.redF() * strength + base.redF() * (1 - strength),
                            text.greenF() * strength + base.greenF() * (1 - strength),
                            text.blueF() * strength + base.blueF() * (1 - strength));
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QFont scaledFont(const QFont& font, qreal factor, QFont::Weight weight) {
    QFont scaled = font;
    if (scaled.pointSizeF() > 0) scaled.setPointSizeF(scaled.pointSizeF() * factor);
    scaled.setWeight(weight);
    return scaled;
}

QLabel* makeCaption(const QString& text, QWidget* parent) {
    auto* caption = new QLabel(text, parent);
    caption->setFont(scaledFont(caption->font(), 0.85));
    setTextColor(caption, mutedTextColor(caption->palette()));
    return caption;
}

}  // namespace orvane
