#include "qt/PlotPanel.h"

#include <QCheckBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "console/PlotAxes.h"
#include "qt/FlowLayout.h"

namespace orvane {

namespace {

constexpr double kTimeTickSeconds = 5;

constexpr std::array<TelemetrySeriesKind, kTelemetrySeriesCount> kKinds{
    TelemetrySeriesKind::steeringWheelAngle, TelemetrySeriesKind::steeringAssistanceTorque,
    TelemetrySeriesKind::steeringDriverTorque, TelemetrySeriesKind::requestLateral,
    TelemetrySeriesKind::requestLongitudinal};

QColor seriesColor(TelemetrySeriesKind kind) {
    switch (kind) {
        case TelemetrySeriesKind::steeringWheelAngle: return QColor(0x1f, 0x77, 0xb4);
        case TelemetrySeriesKind::steeringAssistanceTorque: return QColor(0xff, 0x7f, 0x0e);
        case TelemetrySeriesKind::steeringDriverTorque: return QColor(0x2c, 0xa0, 0x2c);
        case TelemetrySeriesKind::requestLateral: return QColor(0x94, 0x67, 0xbd);
        case TelemetrySeriesKind::requestLongitudinal: return QColor(0xd6, 0x27, 0x28);
    }
    return Qt::black;
}

QString tickText(double value) { return QString::number(value, 'g', 4); }

}  // namespace

// ---- TimePlot ----

TimePlot::TimePlot(double windowSeconds, QWidget* parent) : QWidget(parent), window_(windowSeconds) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TimePlot::setAxis(Side side, const QString& title, double limit) {
    Axis& axis = axes_[side];
    if (axis.title == title && axis.limit == limit) return;
    axis.title = title;
    axis.limit = limit;
    background_ = QPixmap();
    update();
}

int TimePlot::addLine(const QColor& color, Side side) {
    lines_.push_back(Line{color, side, {}, {}, true});
    update();
    return int(lines_.size()) - 1;
}

void TimePlot::setLinePoints(int line, QList<QPointF> points, QList<qsizetype> starts) {
    Line& target = lines_[std::size_t(line)];
    // A paused series gives the same points again: nothing to draw then.
    if (target.points == points && target.starts == starts) return;
    target.points = std::move(points);
    target.starts = std::move(starts);
    if (target.shown) update();
}

void TimePlot::setLineShown(int line, bool shown) {
    Line& target = lines_[std::size_t(line)];
    if (target.shown == shown) return;
    target.shown = shown;
    update();
}

void TimePlot::resizeEvent(QResizeEvent* event) {
    background_ = QPixmap();
    QWidget::resizeEvent(event);
}

QRect TimePlot::plotRect() const {
    const QFontMetrics metrics = fontMetrics();
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("-0000"));
    const int sideMargin = metrics.height() + 4 + labelWidth + 4;
    const int leftMargin = axes_[left].limit > 0 ? sideMargin : 8;
    const int rightMargin = axes_[right].limit > 0 ? sideMargin : 12;
    const int top = metrics.height() / 2 + 2;
    const int bottom = 2 * metrics.height() + 6;
    return QRect(leftMargin, top, std::max(1, width() - leftMargin - rightMargin),
                 std::max(1, height() - top - bottom));
}

void TimePlot::drawBackground() {
    const qreal ratio = devicePixelRatioF();
    background_ = QPixmap(size() * ratio);
    background_.setDevicePixelRatio(ratio);
    background_.fill(palette().color(QPalette::Window));

    QPainter painter(&background_);
    const QRect area = plotRect();
    const QFontMetrics metrics = fontMetrics();
    painter.fillRect(area, palette().color(QPalette::Base));
    const QColor grid = palette().color(QPalette::Mid).lighter(150);
    const QColor text = palette().color(QPalette::Text);

    // Time: a grid line and label every 5 s, the newest at the right edge.
    for (double t = 0; t >= -window_ - 1e-9; t -= kTimeTickSeconds) {
        const int x = area.left() + int(std::lround((t + window_) / window_ * area.width()));
        painter.setPen(grid);
        painter.drawLine(x, area.top(), x, area.bottom());
        painter.setPen(text);
        const QString label = tickText(t);
        painter.drawText(QRect(x - 30, area.bottom() + 3, 60, metrics.height()), Qt::AlignHCenter | Qt::AlignTop,
                         label);
    }
    painter.drawText(QRect(area.left(), area.bottom() + 3 + metrics.height(), area.width(), metrics.height()),
                     Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Time (s)"));

    // Values: five ticks from -limit to +limit on each axis; the grid follows the left one (or
    // the right one when there is no left).
    const Side gridSide = axes_[left].limit > 0 ? left : right;
    for (Side side : {left, right}) {
        const Axis& axis = axes_[side];
        if (axis.limit <= 0) continue;
        for (int i = 0; i <= 4; ++i) {
            const double value = axis.limit * (i - 2) / 2.0;
            const int y = area.top() + int(std::lround((4 - i) / 4.0 * area.height()));
            if (side == gridSide) {
                painter.setPen(i == 2 ? grid.darker(130) : grid);
                painter.drawLine(area.left(), y, area.right(), y);
            }
            painter.setPen(text);
            const QRect label = side == left
                                    ? QRect(0, y - metrics.height() / 2, area.left() - 4, metrics.height())
                                    : QRect(area.right() + 5, y - metrics.height() / 2,
                                            width() - area.right() - 5 - metrics.height() - 4, metrics.height());
            painter.drawText(label, (side == left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                             tickText(value));
        }
        // The axis title, turned to run along the axis.
        painter.save();
        const int x = side == left ? 2 : width() - 2 - metrics.height();
        painter.translate(x, area.center().y());
        painter.rotate(side == left ? -90 : 90);
        const QRect title(-area.height() / 2, side == left ? 0 : -metrics.height(), area.height(), metrics.height());
        painter.drawText(title, Qt::AlignCenter, axis.title);
        painter.restore();
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
}

void TimePlot::paintEvent(QPaintEvent*) {
    if (background_.isNull() || background_.size() != size() * devicePixelRatioF()) drawBackground();
    QPainter painter(this);
    painter.drawPixmap(0, 0, background_);

    const QRectF area = plotRect().adjusted(1, 1, -1, -1);
    painter.setClipRect(area);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Line& line : lines_) {
        const double limit = axes_[line.side].limit;
        if (!line.shown || line.points.isEmpty() || limit <= 0) continue;
        const double xScale = area.width() / window_;
        const double yScale = area.height() / (2 * limit);
        const double xOrigin = area.right();
        const double yOrigin = area.center().y();
        scratch_.resize(line.points.size());
        for (qsizetype i = 0; i < line.points.size(); ++i) {
            const QPointF& point = line.points[i];
            scratch_[i] = QPointF(xOrigin + point.x() * xScale, yOrigin - point.y() * yScale);
        }
        // A cosmetic pen at most a pixel wide keeps to the raster engine's fast line drawing;
        // a wider one is stroked into an outline first, which costs several times more.
        QPen pen(line.color, 1);
        pen.setCosmetic(true);
        QPen dot(line.color, 3);
        dot.setCosmetic(true);
        for (qsizetype piece = 0; piece < std::max<qsizetype>(line.starts.size(), 1); ++piece) {
            const qsizetype from = line.starts.isEmpty() ? 0 : line.starts[piece];
            const qsizetype to = piece + 1 < line.starts.size() ? line.starts[piece + 1] : scratch_.size();
            if (to - from == 1) {
                painter.setPen(dot);
                painter.drawPoint(scratch_[from]);
            } else if (to - from > 1) {
                painter.setPen(pen);
                painter.drawPolyline(scratch_.constData() + from, int(to - from));
            }
        }
    }
}

// ---- PlotPanel ----

PlotPanel::PlotPanel(std::shared_ptr<TelemetrySeries> series, QWidget* parent)
    : BenchPanel(QStringLiteral("Plots"), QStringLiteral("plotPanel"), parent), series_(std::move(series)) {
    QWidget* content = this->content();
    QVBoxLayout* layout = contentLayout();

    // Pause and the series' check boxes wrap onto more lines in a narrow panel.
    auto* controls = new FlowLayout(nullptr, 8);
    pauseButton_ = makeButton(QStringLiteral("Pause"), QStringLiteral("pauseButton"), true);
    controls->addWidget(pauseButton_);

    const double window = std::chrono::duration<double>(series_->window()).count();
    anglePlot_ = new TimePlot(window, content);
    anglePlot_->setObjectName(QStringLiteral("anglePlot"));
    torquePlot_ = new TimePlot(window, content);
    torquePlot_->setObjectName(QStringLiteral("torquePlot"));
    // The angle above; the torques left and the requests right below.
    axes_[std::size_t(PlotAxis::angle)] = {anglePlot_, TimePlot::left, QStringLiteral("Angle (°)")};
    axes_[std::size_t(PlotAxis::torque)] = {torquePlot_, TimePlot::left, QStringLiteral("Torque (Nm)")};
    axes_[std::size_t(PlotAxis::request)] = {torquePlot_, TimePlot::right, QStringLiteral("Request (%)")};

    for (TelemetrySeriesKind kind : kKinds) {
        Series& plotted = plotted_[std::size_t(kind)];
        const Axis& axis = axes_[std::size_t(plotAxisOf(kind))];
        plotted.plot = axis.plot;
        plotted.line = plotted.plot->addLine(seriesColor(kind), axis.side);
        plotted.scale = plotScaleOf(kind);

        const QString title = QString::fromLatin1(seriesTitle(kind).data(), qsizetype(seriesTitle(kind).size()));
        plotted.toggle = new QCheckBox(title, content);
        plotted.toggle->setObjectName(QStringLiteral("plotToggle%1").arg(int(kind)));
        plotted.toggle->setChecked(true);
        QPixmap swatch(10, 10);
        swatch.fill(seriesColor(kind));
        plotted.toggle->setIcon(QIcon(swatch));
        controls->addWidget(plotted.toggle);
        connect(plotted.toggle, &QCheckBox::toggled, this, [this, kind](bool shown) { setShown(kind, shown); });
    }
    layout->addLayout(controls);
    layout->addWidget(anglePlot_, 2);
    layout->addWidget(torquePlot_, 3);
    fitAxes();

    setPaused(series_->isPaused());
    connect(pauseButton_, &QPushButton::toggled, this, &PlotPanel::setPaused);

    startRefreshing();
}

PlotPanel::~PlotPanel() = default;

const QList<QPointF>& PlotPanel::points(TelemetrySeriesKind kind) const {
    const Series& plotted = plotted_[std::size_t(kind)];
    return plotted.plot->linePoints(plotted.line);
}

bool PlotPanel::isShown(TelemetrySeriesKind kind) const {
    const Series& plotted = plotted_[std::size_t(kind)];
    return plotted.plot->isLineShown(plotted.line);
}

QCheckBox* PlotPanel::toggle(TelemetrySeriesKind kind) const { return plotted_[std::size_t(kind)].toggle; }
TimePlot* PlotPanel::plot(TelemetrySeriesKind kind) const { return plotted_[std::size_t(kind)].plot; }

TimePlot::Side PlotPanel::side(TelemetrySeriesKind kind) const {
    const Series& plotted = plotted_[std::size_t(kind)];
    return plotted.plot->lineSide(plotted.line);
}

double PlotPanel::axisLimit(TelemetrySeriesKind kind) const { return plot(kind)->axisLimit(side(kind)); }

void PlotPanel::setSeries(std::shared_ptr<TelemetrySeries> series) {
    series_ = std::move(series);
    setPaused(series_->isPaused());
    refresh();
}

void PlotPanel::setShown(TelemetrySeriesKind kind, bool shown) {
    Series& plotted = plotted_[std::size_t(kind)];
    if (plotted.toggle->isChecked() != shown) plotted.toggle->setChecked(shown);
    plotted.plot->setLineShown(plotted.line, shown);
    // A hidden series is not refreshed, so bring it up to date when it comes back.
    if (shown) refresh(kind);
    fitAxes();
}

void PlotPanel::setPaused(bool paused) {
    series_->setPaused(paused);
    if (pauseButton_->isChecked() != paused) pauseButton_->setChecked(paused);
    pauseButton_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
}

void PlotPanel::refresh(TelemetrySeriesKind kind) {
    Series& plotted = plotted_[std::size_t(kind)];
    const std::vector<SeriesPoint> points = series_->points(kind);
    QList<QPointF> drawn;
    drawn.reserve(qsizetype(points.size()));
    plotted.largest = 0;
    for (const SeriesPoint& point : points) {
        drawn.append(QPointF(point.seconds, point.value * plotted.scale));
        plotted.largest = std::max(plotted.largest, std::abs(drawn.back().y()));
    }
    QList<qsizetype> starts;
    for (std::size_t start : lineStarts(points, series_->gap())) starts.append(qsizetype(start));
    plotted.plot->setLinePoints(plotted.line, std::move(drawn), std::move(starts));
}

void PlotPanel::refresh() {
    for (TelemetrySeriesKind kind : kKinds) {
        if (isShown(kind)) refresh(kind);
    }
    fitAxes();
}

void PlotPanel::fitAxes() {
    std::array<std::optional<double>, kTelemetrySeriesCount> largestShown;
    for (TelemetrySeriesKind kind : kKinds) {
        if (isShown(kind)) largestShown[std::size_t(kind)] = plotted_[std::size_t(kind)].largest;
    }
    const auto limits = fitPlotAxes(largestShown);
    for (std::size_t axis = 0; axis < kPlotAxisCount; ++axis) {
        axes_[axis].plot->setAxis(axes_[axis].side, axes_[axis].title, limits[axis]);
    }
}

}  // namespace orvane
