#include "qt/FlowLayout.h"

#include <QWidget>
#include <algorithm>

namespace orvane {

FlowLayout::FlowLayout(QWidget* parent, int spacing) : QLayout(parent) {
    setContentsMargins(0, 0, 0, 0);
    setSpacing(spacing);
}

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0)) delete item;
}

void FlowLayout::addItem(QLayoutItem* item) { items_.append(item); }

QLayoutItem* FlowLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size()) return nullptr;
    return items_.takeAt(index);
}

int FlowLayout::heightForWidth(int width) const { return arrange(QRect(0, 0, width, 0), false); }

QSize FlowLayout::minimumSize() const {
    int widest = 0;
    for (const QLayoutItem* item : items_) {
        if (!item->isEmpty()) widest = std::max(widest, item->minimumSize().width());
    }
    const QMargins margins = contentsMargins();
    const int width = widest + margins.left() + margins.right();
    // As tall as the lines are at the width the layout was given last (before it was given any,
    // at its widget's minimum width): a wide panel is not kept as tall as a narrow one would be.
    const int given = laidOutWidth_ > 0 ? laidOutWidth_ : parentWidget() ? parentWidget()->minimumWidth() : 0;
    return {width, heightForWidth(std::max(width, given))};
}

QSize FlowLayout::sizeHint() const {
    // Everything on one line.
    int width = 0, height = 0, shown = 0;
    for (const QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;
        const QSize hint = item->sizeHint();
        width += hint.width();
        height = std::max(height, hint.height());
        ++shown;
    }
    const QMargins margins = contentsMargins();
    return {width + std::max(0, shown - 1) * spacing() + margins.left() + margins.right(),
            height + margins.top() + margins.bottom()};
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    arrange(rect, true);
    if (rect.width() != laidOutWidth_) {
        // Another width, another minimum height: the layouts above take it in on their next pass.
        laidOutWidth_ = rect.width();
        update();
    }
}

int FlowLayout::arrange(const QRect& rect, bool place) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    int lineHeight = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty()) continue;
        const QSize hint = item->sizeHint();
        // A new line when this item would run past the right edge (unless it starts the line).
        if (x > area.x() && x + hint.width() > area.right() + 1) {
            x = area.x();
            y += lineHeight + spacing();
            lineHeight = 0;
        }
        const int width = std::min(hint.width(), std::max(item->minimumSize().width(), area.right() + 1 - x));
        if (place) item->setGeometry(QRect(QPoint(x, y), QSize(width, hint.height())));
        x += width + spacing();
        lineHeight = std::max(lineHeight, hint.height());
    }
    const QMargins margins = contentsMargins();
    return y + lineHeight - rect.y() + margins.bottom();
}

}  // namespace orvane
