#include "qt/PlotPanel.h"

#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLineSeries>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr int kRefreshIntervalMs = 100;
constexpr double kMinimumAngleLimit = 10;  // degrees
constexpr double kMinimumTorqueLimit = 1;  // Nm
constexpr double kRequestLimit = 100;      // percent

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

// The smallest of 1, 2 or 5 times a power of ten that is at least `value` (> 0).
double niceCeiling(double value) {
    const double power = std::pow(10.0, std::floor(std::log10(value)));
    for (double step : {1.0, 2.0, 5.0, 10.0}) {
        if (step * power >= value * (1 - 1e-9)) return step * power;
    }
    return 10 * power;
}

QValueAxis* makeAxis(const QString& title, const QString& format) {
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setLabelFormat(format);
    axis->setTickCount(5);
    return axis;
}

QChartView* makeChartView(QChart* chart, QWidget* parent) {
    chart->legend()->hide();  // the check boxes name the series, in their colours
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->setBackgroundRoundness(0);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    auto* view = new QChartView(chart, parent);
    view->setMinimumHeight(120);
    return view;
}

}  // namespace

PlotPanel::PlotPanel(std::shared_ptr<TelemetrySeries> series, QWidget* parent)
    : QDockWidget(QStringLiteral("Plots"), parent), series_(std::move(series)) {
    setObjectName(QStringLiteral("plotPanel"));

    auto* content = new QWidget(this);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto* controls = new QHBoxLayout;
    pauseButton_ = new QPushButton(QStringLiteral("Pause"), content);
    pauseButton_->setObjectName(QStringLiteral("pauseButton"));
    pauseButton_->setCheckable(true);
    controls->addWidget(pauseButton_);

    const double window = std::chrono::duration<double>(series_->window()).count();
    auto makeTimeAxis = [window] {
        QValueAxis* axis = makeAxis(QStringLiteral("Time (s)"), QStringLiteral("%.0f"));
        axis->setRange(-window, 0);
        axis->setTickCount(7);
        return axis;
    };

    auto* angleChart = new QChart;
    QValueAxis* angleTime = makeTimeAxis();
    angleChart->addAxis(angleTime, Qt::AlignBottom);
    angleAxis_ = makeAxis(QStringLiteral("Angle (°)"), QStringLiteral("%g"));
    angleAxis_->setRange(-kMinimumAngleLimit, kMinimumAngleLimit);
    angleChart->addAxis(angleAxis_, Qt::AlignLeft);

    auto* torqueChart = new QChart;
    QValueAxis* torqueTime = makeTimeAxis();
    torqueChart->addAxis(torqueTime, Qt::AlignBottom);
    torqueAxis_ = makeAxis(QStringLiteral("Torque (Nm)"), QStringLiteral("%g"));
    torqueAxis_->setRange(-kMinimumTorqueLimit, kMinimumTorqueLimit);
    torqueChart->addAxis(torqueAxis_, Qt::AlignLeft);
    requestAxis_ = makeAxis(QStringLiteral("Request (%)"), QStringLiteral("%.0f"));
    requestAxis_->setRange(-kRequestLimit, kRequestLimit);
    torqueChart->addAxis(requestAxis_, Qt::AlignRight);

    for (TelemetrySeriesKind kind : kKinds) {
        Plot& plot = plots_[std::size_t(kind)];
        const QString title = QString::fromLatin1(seriesTitle(kind).data(), qsizetype(seriesTitle(kind).size()));
        const bool isRequest =
            kind == TelemetrySeriesKind::requestLateral || kind == TelemetrySeriesKind::requestLongitudinal;
        QChart* chart = kind == TelemetrySeriesKind::steeringWheelAngle ? angleChart : torqueChart;
        plot.axis = kind == TelemetrySeriesKind::steeringWheelAngle ? angleAxis_
                    : isRequest                                     ? requestAxis_
                                                                    : torqueAxis_;
        plot.scale = isRequest ? 100 : 1;

        plot.line = new QLineSeries;
        plot.line->setName(title);
        plot.line->setColor(seriesColor(kind));
        chart->addSeries(plot.line);
        plot.line->attachAxis(chart == angleChart ? angleTime : torqueTime);
        plot.line->attachAxis(plot.axis);

        plot.toggle = new QCheckBox(title, content);
        plot.toggle->setObjectName(QStringLiteral("plotToggle%1").arg(int(kind)));
        plot.toggle->setChecked(true);
        QPixmap swatch(10, 10);
        swatch.fill(seriesColor(kind));
        plot.toggle->setIcon(QIcon(swatch));
        controls->addWidget(plot.toggle);
        connect(plot.toggle, &QCheckBox::toggled, this, [this, kind](bool shown) { setShown(kind, shown); });
    }
    controls->addStretch();
    layout->addLayout(controls);
    layout->addWidget(makeChartView(angleChart, content), 2);
    layout->addWidget(makeChartView(torqueChart, content), 3);
    setWidget(content);

    setPaused(series_->isPaused());
    connect(pauseButton_, &QPushButton::toggled, this, &PlotPanel::setPaused);

    timer_ = new QTimer(this);
    timer_->setInterval(kRefreshIntervalMs);
    connect(timer_, &QTimer::timeout, this, qOverload<>(&PlotPanel::refresh));
    connect(this, &QDockWidget::visibilityChanged, this, &PlotPanel::setRefreshing);
}

PlotPanel::~PlotPanel() = default;

QLineSeries* PlotPanel::line(TelemetrySeriesKind kind) const { return plots_[std::size_t(kind)].line; }
QCheckBox* PlotPanel::toggle(TelemetrySeriesKind kind) const { return plots_[std::size_t(kind)].toggle; }
QValueAxis* PlotPanel::valueAxis(TelemetrySeriesKind kind) const { return plots_[std::size_t(kind)].axis; }
bool PlotPanel::isShown(TelemetrySeriesKind kind) const { return plots_[std::size_t(kind)].line->isVisible(); }

void PlotPanel::setShown(TelemetrySeriesKind kind, bool shown) {
    Plot& plot = plots_[std::size_t(kind)];
    if (plot.toggle->isChecked() != shown) plot.toggle->setChecked(shown);
    plot.line->setVisible(shown);
    // A hidden series is not refreshed, so bring it up to date when it comes back.
    if (shown) refresh(kind);
    if (plot.axis != requestAxis_) {
        fitAxis(plot.axis, plot.axis == angleAxis_ ? kMinimumAngleLimit : kMinimumTorqueLimit);
    }
}

void PlotPanel::setPaused(bool paused) {
    series_->setPaused(paused);
    if (pauseButton_->isChecked() != paused) pauseButton_->setChecked(paused);
    pauseButton_->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
}

void PlotPanel::setRefreshing(bool visible) {
    if (visible) {
        refresh();
        timer_->start();
    } else {
        timer_->stop();
    }
}

void PlotPanel::refresh(TelemetrySeriesKind kind) {
    Plot& plot = plots_[std::size_t(kind)];
    const std::vector<SeriesPoint> points = series_->points(kind);
    QList<QPointF> drawn;
    drawn.reserve(qsizetype(points.size()));
    plot.largest = 0;
    for (const SeriesPoint& point : points) {
        drawn.append(QPointF(point.seconds, point.value * plot.scale));
        plot.largest = std::max(plot.largest, std::abs(drawn.back().y()));
    }
    // One replace per refresh: the series redraws once instead of once per point.
    plot.line->replace(drawn);
}

void PlotPanel::refresh() {
    for (TelemetrySeriesKind kind : kKinds) {
        if (isShown(kind)) refresh(kind);
    }
    fitAxis(angleAxis_, kMinimumAngleLimit);
    fitAxis(torqueAxis_, kMinimumTorqueLimit);
}

void PlotPanel::fitAxis(QValueAxis* axis, double minimumLimit) {
    double largest = 0;
    for (const Plot& plot : plots_) {
        if (plot.axis == axis && plot.line->isVisible()) largest = std::max(largest, plot.largest);
    }
    const double limit = niceCeiling(std::max(largest, minimumLimit));
    // Setting the same range again would still lay the chart out anew.
    if (axis->max() != limit || axis->min() != -limit) axis->setRange(-limit, limit);
}

}  // namespace orvane
