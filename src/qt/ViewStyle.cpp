#include "qt/ViewStyle.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QWidget>

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
