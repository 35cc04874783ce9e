#pragma once

#include <QLabel>
#include <QString>
#include <QStringList>

namespace orvane {

// A plain-text label that never cuts its text without a sign: the text is wrapped at word
// boundaries (anywhere inside a word longer than the line) onto at most maximumLines() lines, and
// the last of them ends in an ellipsis ("…") where text is left over. text() stays whole; the
// tooltip is the caller's (QtTextField's textAsToolTipProperty, or setTextAndToolTip).
//
// Its size hint is the text on one line. Its minimum width is a few characters, so a button
// beside it keeps its own width. With more than one line it has a height for its width, and its
// minimum height is that of the lines its text takes at its present width (at most
// maximumLines()): a layout that cannot use the height for a width (a dock's minimum) still
// keeps every shown line whole.
//
// A selection (the label may be selectable) is drawn the way QLabel draws it, the text unshortened.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(int maximumLines = 1, QWidget* parent = nullptr);

    int maximumLines() const { return maximumLines_; }
    void setMaximumLines(int lines);

    // Sets the text and the tooltip to it, so that the whole text can be read wherever the
    // label is too small for it.
    void setTextAndToolTip(const QString& text);

    // The lines as drawn at the label's present size.
    QStringList shownLines() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return maximumLines_ > 1; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The lines the text takes at `width` pixels (the last one elided); none for no text.
    QStringList linesFor(int width) const;
    // The height of `lines` lines of text, margins included.
    int heightOfLines(qsizetype lines) const;

    int maximumLines_;
    // The last lines laid out, for the text, font and width they were laid out for.
    mutable QString cachedText_;
    mutable int cachedWidth_ = -1;
    mutable QStringList cachedLines_;
    int shownLineCount_ = 0;  // the line count the last resize left
};

}  // namespace orvane
