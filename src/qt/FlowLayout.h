#pragma once

#include <QLayout>
#include <QList>

namespace orvane {

// Lays its items out left to right and starts a new line where the next one would not fit, so a
// row of controls stays whole in a narrow panel instead of widening it.
//
// Its minimum width is that of its widest item, and its minimum height that of the lines at the
// width it was laid out at last (before that, at its widget's minimum width): a panel that holds it never gets
// too short for its controls, is only as narrow as its widest control, and a wide one is not
// kept as tall as a narrow one. Given more width, the lines fill up and the height they take
// (heightForWidth) shrinks.
class FlowLayout : public QLayout {
public:
    explicit FlowLayout(QWidget* parent = nullptr, int spacing = 6);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in `rect` (only measures when `place` is false); returns the height used.
    int arrange(const QRect& rect, bool place) const;

    QList<QLayoutItem*> items_;
    int laidOutWidth_ = 0;
};

}  // namespace orvane
