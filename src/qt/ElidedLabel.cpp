#include "qt/ElidedLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// The narrowest a label gets: room for a few characters and the ellipsis.
const QString kShortest = QStringLiteral("Mm…");

}  // namespace

ElidedLabel::ElidedLabel(int maximumLines, QWidget* parent) : QLabel(parent), maximumLines_(std::max(1, maximumLines)) {
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setMaximumLines(int lines) {
    lines = std::max(1, lines);
    if (lines == maximumLines_) return;
    maximumLines_ = lines;
    cachedWidth_ = -1;
    updateGeometry();
    update();
}

void ElidedLabel::setTextAndToolTip(const QString& text) {
    if (this->text() != text) setText(text);
    if (toolTip() != text) setToolTip(text);
}

QStringList ElidedLabel::linesFor(int width) const {
    const QString text = this->text();
    if (text.isEmpty() || width <= 0) return {};
    if (cachedWidth_ == width && cachedText_ == text) return cachedLines_;

    const QFontMetrics metrics = fontMetrics();
    QString laid = text;
    laid.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(laid, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() + 1 == maximumLines_) {
            // The last line takes the rest, cut with an ellipsis where it does not fit.
            QString rest = laid.mid(line.textStart());
            rest.replace(QChar::LineSeparator, QLatin1Char(' '));
            lines << metrics.elidedText(rest.trimmed(), Qt::ElideRight, width);
            break;
        }
        QString shown = laid.mid(line.textStart(), line.textLength());
        while (!shown.isEmpty() && (shown.back().isSpace() || shown.back() == QChar::LineSeparator)) shown.chop(1);
        lines << shown;
    }
    layout.endLayout();

    cachedText_ = text;
    cachedWidth_ = width;
    cachedLines_ = lines;
    return lines;
}

QStringList ElidedLabel::shownLines() const {
    const QRect area = contentsRect();
    QStringList lines = linesFor(area.width());
    // Never more lines than the height holds: the last one that fits is cut instead.
    const QFontMetrics metrics = fontMetrics();
    const int fitting = std::max(1, (area.height() - metrics.height()) / metrics.lineSpacing() + 1);
    if (lines.size() > fitting) {
        const QString rest = QStringList(lines.mid(fitting - 1)).join(QLatin1Char(' '));
        lines = lines.mid(0, fitting - 1);
        lines << metrics.elidedText(rest + QChar(0x2026), Qt::ElideRight, area.width());
    }
    return lines;
}

int ElidedLabel::heightOfLines(qsizetype lines) const {
    const QFontMetrics metrics = fontMetrics();
    const QMargins margins = contentsMargins();
    return metrics.height() + int(std::max<qsizetype>(lines, 1) - 1) * metrics.lineSpacing() + margins.top() +
           margins.bottom();
}

int ElidedLabel::heightForWidth(int width) const {
    const QMargins margins = contentsMargins();
    return heightOfLines(linesFor(width - margins.left() - margins.right()).size());
}

QSize ElidedLabel::sizeHint() const {
    // The text's own size: its lines (where it holds line breaks) each on one line. It does not
    // depend on the present width, so a view that sizes rows by their cells' hints (QTreeView)
    // never keeps the height of a moment when the label was narrower.
    // Rounded up: at the rounded advance (QFontMetrics') the last character could wrap.
    const QFontMetricsF metrics(font());
    const QStringList paragraphs = text().split(QLatin1Char('\n'));
    int widest = 0;
    for (const QString& line : paragraphs) widest = std::max(widest, int(std::ceil(metrics.horizontalAdvance(line))));
    const QMargins margins = contentsMargins();
    return {widest + margins.left() + margins.right(),
            heightOfLines(std::min<qsizetype>(paragraphs.size(), maximumLines_))};
}

QSize ElidedLabel::minimumSizeHint() const {
    const QMargins margins = contentsMargins();
    const int width =
        std::min(sizeHint().width(), fontMetrics().horizontalAdvance(kShortest) + margins.left() + margins.right());
    const int height = maximumLines_ > 1 ? heightForWidth(this->width()) : heightOfLines(1);
    return {width, height};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    if (maximumLines_ == 1) return;
    // A label of several lines asks for the height its text takes at its new width.
    const int lines = int(linesFor(contentsRect().width()).size());
    if (lines != shownLineCount_) {
        shownLineCount_ = lines;
        updateGeometry();
    }
}

void ElidedLabel::changeEvent(QEvent* event) {
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) cachedWidth_ = -1;
    QLabel::changeEvent(event);
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
    // A selection is drawn by QLabel, over the text as it is.
    if (hasSelectedText()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const QRect area = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    const QStringList lines = shownLines();
    const int block = heightOfLines(lines.size()) - contentsMargins().top() - contentsMargins().bottom();
    int y = area.top();
    if (alignment() & Qt::AlignVCenter) y += (area.height() - block) / 2;
    if (alignment() & Qt::AlignBottom) y += area.height() - block;
    // Not clipped to the line: an accent on a capital (the Ä of GERÄT) may rise above the font's
    // ascent at small sizes, into the label's top margin.
    const int flags =
        int(alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip;
    for (const QString& line : lines) {
        style()->drawItemText(&painter, QRect(area.left(), y, area.width(), metrics.height()), flags, palette(),
                              isEnabled(), line, foregroundRole());
        y += metrics.lineSpacing();
    }
}

}  // namespace orvane
