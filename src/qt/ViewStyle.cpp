#include "qt/ViewStyle.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>
#include <algorithm>

namespace orvane {

namespace {

class PlainTextLabels : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Polish) {
            auto* label = qobject_cast<QLabel*>(watched);
            if (label && label->textFormat() == Qt::AutoText) label->setTextFormat(Qt::PlainText);
        }
        return false;
    }
};

}  // namespace

void showLabelsAsPlainText() {
    const QString name = QStringLiteral("orvanePlainTextLabels");
    if (!qApp || qApp->findChild<QObject*>(name, Qt::FindDirectChildrenOnly)) return;
    auto* filter = new PlainTextLabels(qApp);
    filter->setObjectName(name);
    qApp->installEventFilter(filter);
}

QColor mixedColor(const QColor& a, const QColor& b, qreal share) {
    return QColor::fromRgbF(a.redF() * share + b.redF() * (1 - share), a.greenF() * share + b.greenF() * (1 - share),
                            a.blueF() * share + b.blueF() * (1 - share));
}

QColor mutedTextColor(const QPalette& palette, qreal strength) {
    return mixedColor(palette.color(QPalette::Text), palette.color(QPalette::Base), strength);
}

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QFont scaledFont(const QFont& font, qreal factor, QFont::Weight weight) {
    // The desktop's font may be given in points or in pixels (then pointSizeF() is -1): either
    // way the scaled font keeps its proportion to it.
    QFont scaled = font;
    if (scaled.pointSizeF() > 0) {
        scaled.setPointSizeF(scaled.pointSizeF() * factor);
    } else if (scaled.pixelSize() > 0) {
        scaled.setPixelSize(std::max(1, qRound(scaled.pixelSize() * factor)));
    }
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
