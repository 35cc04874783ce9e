#include "qt/PlotPanel.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QSettings>
#include <QSpinBox>
#include <QSvgGenerator>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "console/PlotAxes.h"
#include "console/PlotExport.h"
#include "qt/FlowLayout.h"
#include "qt/SheetDialog.h"
#include "qt/ViewStyle.h"

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

// The series' titles (seriesTitle's, which the CSV export keeps in English), marked here for the
// translation tools: the check boxes and the exported pictures' legends show them translated.
[[maybe_unused]] constexpr const char* kSeriesTitles[] = {
    QT_TRANSLATE_NOOP("PlotPanel", "Steering Wheel Angle"), QT_TRANSLATE_NOOP("PlotPanel", "Assistance Torque"),
    QT_TRANSLATE_NOOP("PlotPanel", "Driver Torque"), QT_TRANSLATE_NOOP("PlotPanel", "Lateral Request"),
    QT_TRANSLATE_NOOP("PlotPanel", "Longitudinal Request")};

QString titleOf(TelemetrySeriesKind kind) {
    return QCoreApplication::translate("PlotPanel", std::string(seriesTitle(kind)).c_str());
}

struct ExportType {
    PlotPanel::ExportFormat format;
    const char* suffix;
    const char* filter;
};
constexpr ExportType kExportTypes[] = {
    {PlotPanel::ExportFormat::png, "png", QT_TRANSLATE_NOOP("PlotPanel", "PNG image (*.png)")},
    {PlotPanel::ExportFormat::svg, "svg", QT_TRANSLATE_NOOP("PlotPanel", "SVG image (*.svg)")},
    {PlotPanel::ExportFormat::csv, "csv", QT_TRANSLATE_NOOP("PlotPanel", "CSV file (*.csv)")},
};

// A series' colour swatch: a square about as tall as a capital letter of the font (at least 10
// pixels), so it grows with the text beside it.
int swatchSize(const QFontMetrics& metrics) { return std::max(10, metrics.capHeight()); }

// The size of an exported picture unless the user chose another (kept in the settings), and the
// sizes one can choose.
constexpr QSize kDefaultExportSize(1920, 1080);
constexpr QSize kSmallestExport(100, 100);
constexpr QSize kLargestExport(10000, 10000);
const char* const kExportSizeKey = "plots/exportSize";

// A picture is laid out as a panel of this height would show it, and scaled up to the picture's
// height, so that its text and lines keep their proportion to the plots (a picture less high is
// laid out at its own size).
constexpr double kExportLayoutHeight = 720;

qreal exportScale(QSize size) { return std::max(1.0, size.height() / kExportLayoutHeight); }

}  // namespace

// ---- TimePlot ----

TimePlot::TimePlot(double windowSeconds, QWidget* parent) : QWidget(parent), window_(windowSeconds) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(tr("Plot"));
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

void TimePlot::changeEvent(QEvent* event) {
    // The frame, grid and labels take the palette's colours and the font's size: drawn again
    // when either changes (a desktop switched to a dark scheme or a larger font).
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange) {
        background_ = QPixmap();
        update();
    }
    QWidget::changeEvent(event);
}

QSize TimePlot::minimumSizeHint() const {
    // Room for the labels below and beside the plot and a few lines of it, at the font's size.
    const QFontMetrics metrics = fontMetrics();
    return {200, std::max(100, 7 * metrics.height())};
}

QRect TimePlot::plotRect(QSize size) const {
    const QFontMetrics metrics = fontMetrics();
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("-0000"));
    const int sideMargin = metrics.height() + 4 + labelWidth + 4;
    const int leftMargin = axes_[left].limit > 0 ? sideMargin : 8;
    const int rightMargin = axes_[right].limit > 0 ? sideMargin : 12;
    const int top = metrics.height() / 2 + 2;
    const int bottom = 2 * metrics.height() + 6;
    return QRect(leftMargin, top, std::max(1, size.width() - leftMargin - rightMargin),
                 std::max(1, size.height() - top - bottom));
}

void TimePlot::paintFrame(QPainter& painter, QSize size) const {
    painter.save();
    painter.setFont(font());
    painter.fillRect(QRect(QPoint(), size), palette().color(QPalette::Window));
    const QRect area = plotRect(size);
    const QFontMetrics metrics = fontMetrics();
    painter.fillRect(area, palette().color(QPalette::Base));
    // The grid is the plot's text faded towards its base, so it shows on a light, dark or
    // high-contrast palette alike; the labels around the plot are in the window's text colour.
    const QColor grid = mixedColor(palette().color(QPalette::Text), palette().color(QPalette::Base), 0.2);
    const QColor text = palette().color(QPalette::WindowText);

    // Time: a grid line every 5 s, the newest at the right edge, and a label on every line, or
    // on every 2nd, 3rd or 6th where the plot is too narrow for the labels to stand apart.
    const double tickSpacing = kTimeTickSeconds / window_ * area.width();
    const int labelRoom = metrics.horizontalAdvance(tickText(-window_)) + metrics.averageCharWidth() * 2;
    int labelEvery = 1;
    for (int every : {2, 3, 6})
        if (labelEvery * tickSpacing < labelRoom) labelEvery = every;
    int tick = 0;
    for (double t = 0; t >= -window_ - 1e-9; t -= kTimeTickSeconds, ++tick) {
        const int x = area.left() + int(std::lround((t + window_) / window_ * area.width()));
        painter.setPen(grid);
        painter.drawLine(x, area.top(), x, area.bottom());
        if (tick % labelEvery != 0) continue;
        painter.setPen(text);
        painter.drawText(QRect(x - labelRoom / 2, area.bottom() + 3, labelRoom, metrics.height()),
                         Qt::AlignHCenter | Qt::AlignTop, tickText(t));
    }
    painter.drawText(QRect(area.left(), area.bottom() + 3 + metrics.height(), area.width(), metrics.height()),
                     Qt::AlignHCenter | Qt::AlignTop, tr("Time (s)"));

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
                painter.setPen(i == 2 ? mixedColor(palette().color(QPalette::Text), grid, 0.25) : grid);
                painter.drawLine(area.left(), y, area.right(), y);
            }
            painter.setPen(text);
            const QRect label = side == left
                                    ? QRect(0, y - metrics.height() / 2, area.left() - 4, metrics.height())
                                    : QRect(area.right() + 5, y - metrics.height() / 2,
                                            size.width() - area.right() - 5 - metrics.height() - 4, metrics.height());
            painter.drawText(label, (side == left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                             tickText(value));
        }
        // The axis title, turned to run along the axis.
        painter.save();
        const int x = side == left ? 2 : size.width() - 2 - metrics.height();
        painter.translate(x, area.center().y());
        painter.rotate(side == left ? -90 : 90);
        // It may run on beside the time labels below the plot; what is longer still (a large font,
        // a short plot) ends in an ellipsis rather than being cut at both ends.
        const int room = 2 * std::min(area.center().y(), size.height() - area.center().y());
        const QRect title(-room / 2, side == left ? 0 : -metrics.height(), room, metrics.height());
        painter.drawText(title, Qt::AlignCenter, metrics.elidedText(axis.title, Qt::ElideRight, room));
        painter.restore();
    }
    painter.setPen(mixedColor(text, palette().color(QPalette::Window), 0.45));
    painter.drawRect(area.adjusted(0, 0, -1, -1));
    painter.restore();
}

void TimePlot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (painter.paintEngine()->type() == QPaintEngine::Raster) {
        if (background_.isNull() || background_.size() != size() * devicePixelRatioF()) {
            const qreal ratio = devicePixelRatioF();
            background_ = QPixmap(size() * ratio);
            background_.setDevicePixelRatio(ratio);
            QPainter onPixmap(&background_);
            paintFrame(onPixmap, size());
        }
        painter.drawPixmap(0, 0, background_);
    } else {
        // Onto another kind of device: drawn there directly, as lines and text.
        paintFrame(painter, size());
    }
    paintLines(painter, size(), true);
}

void TimePlot::paintAt(QPainter& painter, QSize size) {
    painter.save();
    paintFrame(painter, size);
    paintLines(painter, size, false);
    painter.restore();
}

void TimePlot::paintLines(QPainter& painter, QSize size, bool cosmetic) {
    const QRectF area = plotRect(size).adjusted(1, 1, -1, -1);
    painter.save();
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
        // On screen a cosmetic pen at most a pixel wide keeps to the raster engine's fast line
        // drawing; a wider one is stroked into an outline first, which costs several times more.
        // In a picture the lines scale with it, as its text does.
        QPen pen(line.color, 1);
        pen.setCosmetic(cosmetic);
        QPen dot(line.color, 3);
        dot.setCosmetic(cosmetic);
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
    painter.restore();
}

// ---- PlotPanel ----

PlotPanel::PlotPanel(std::shared_ptr<TelemetrySeries> series, QWidget* parent)
    : BenchPanel(tr("Plots"), QStringLiteral("plotPanel"), parent), series_(std::move(series)) {
    QWidget* content = this->content();
    QVBoxLayout* layout = contentLayout();

    // Pause, Export… and the series' check boxes wrap onto more lines in a narrow panel.
    auto* controls = new FlowLayout(nullptr, 8);
    pauseButton_ = makeButton(tr("Pause"), QStringLiteral("pauseButton"), true);
    controls->addWidget(pauseButton_);
    exportButton_ = makeButton(tr("Export…"), QStringLiteral("exportButton"));
    exportButton_->setToolTip(
        tr("Saves what the plots show: a PNG or SVG picture of the size you choose, or the values as CSV"));
    controls->addWidget(exportButton_);
    connect(exportButton_, &QPushButton::clicked, this, &PlotPanel::exportPlots);

    const double window = std::chrono::duration<double>(series_->window()).count();
    plotArea_ = new QWidget(content);
    plotArea_->setObjectName(QStringLiteral("plotArea"));
    anglePlot_ = new TimePlot(window, plotArea_);
    anglePlot_->setObjectName(QStringLiteral("anglePlot"));
    anglePlot_->setAccessibleDescription(tr("Steering wheel angle over the last 30 s"));
    torquePlot_ = new TimePlot(window, plotArea_);
    torquePlot_->setObjectName(QStringLiteral("torquePlot"));
    torquePlot_->setAccessibleDescription(tr("Torques and requests over the last 30 s"));
    // The angle above; the torques left and the requests right below.
    axes_[std::size_t(PlotAxis::angle)] = {anglePlot_, TimePlot::left, tr("Angle (°)")};
    axes_[std::size_t(PlotAxis::torque)] = {torquePlot_, TimePlot::left, tr("Torque (Nm)")};
    axes_[std::size_t(PlotAxis::request)] = {torquePlot_, TimePlot::right, tr("Request (%)")};

    for (TelemetrySeriesKind kind : kKinds) {
        Series& plotted = plotted_[std::size_t(kind)];
        const Axis& axis = axes_[std::size_t(plotAxisOf(kind))];
        plotted.plot = axis.plot;
        plotted.line = plotted.plot->addLine(seriesColor(kind), axis.side);
        plotted.scale = plotScaleOf(kind);

        plotted.toggle = new QCheckBox(titleOf(kind), content);
        plotted.toggle->setObjectName(QStringLiteral("plotToggle%1").arg(int(kind)));
        plotted.toggle->setChecked(true);
        const int side = swatchSize(plotted.toggle->fontMetrics());
        QPixmap swatch(side, side);
        swatch.fill(seriesColor(kind));
        plotted.toggle->setIcon(QIcon(swatch));
        plotted.toggle->setIconSize(QSize(side, side));
        controls->addWidget(plotted.toggle);
        connect(plotted.toggle, &QCheckBox::toggled, this, [this, kind](bool shown) { setShown(kind, shown); });
    }
    layout->addLayout(controls);
    auto* plots = new QVBoxLayout(plotArea_);
    plots->setContentsMargins(0, 0, 0, 0);
    plots->setSpacing(layout->spacing());
    plots->addWidget(anglePlot_, 2);
    plots->addWidget(torquePlot_, 3);
    layout->addWidget(plotArea_, 1);
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
    pauseButton_->setText(paused ? tr("Resume") : tr("Pause"));
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

// ---- Export ----

QStringList PlotPanel::exportFilters() {
    QStringList filters;
    for (const ExportType& type : kExportTypes) filters << QCoreApplication::translate("PlotPanel", type.filter);
    return filters;
}

PlotPanel::ExportFormat PlotPanel::exportFormat(const QString& fileName, const QString& filter) {
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    for (const ExportType& type : kExportTypes) {
        if (suffix == QLatin1String(type.suffix)) return type.format;
    }
    for (const ExportType& type : kExportTypes) {
        if (filter == QCoreApplication::translate("PlotPanel", type.filter)) return type.format;
    }
    return ExportFormat::png;
}

std::vector<std::vector<TelemetrySeriesKind>> PlotPanel::legendLines(int width) const {
    const QFontMetrics metrics = fontMetrics();
    std::vector<std::vector<TelemetrySeriesKind>> lines;
    int x = 0;
    for (TelemetrySeriesKind kind : kKinds) {
        if (!isShown(kind)) continue;
        const int entry = swatchSize(metrics) + 4 + metrics.horizontalAdvance(titleOf(kind)) + 16;
        if (lines.empty() || (x + entry > width && !lines.back().empty())) {
            lines.emplace_back();
            x = 8;
        }
        lines.back().push_back(kind);
        x += entry;
    }
    return lines;
}

int PlotPanel::legendLineHeight() const { return fontMetrics().height() + 4; }

QSize PlotPanel::exportSize() {
    const QSize size = QSettings().value(kExportSizeKey, kDefaultExportSize).toSize();
    return size == size.expandedTo(kSmallestExport).boundedTo(kLargestExport) ? size : kDefaultExportSize;
}

void PlotPanel::setExportSize(QSize size) {
    QSettings().setValue(kExportSizeKey, size.expandedTo(kSmallestExport).boundedTo(kLargestExport));
}

void PlotPanel::paintExport(QPainter& painter, QSize size) {
    painter.fillRect(QRect(QPoint(), size), palette().color(QPalette::Window));
    // The legend: a swatch and the title of each shown series, in the plots' colours.
    painter.save();
    painter.setFont(font());
    const QFontMetrics metrics = fontMetrics();
    const int lineHeight = legendLineHeight();
    const auto legend = legendLines(size.width());
    int y = 2;
    for (const auto& line : legend) {
        int x = 8;
        for (TelemetrySeriesKind kind : line) {
            const QString title = titleOf(kind);
            const int side = swatchSize(metrics);
            painter.fillRect(QRect(x, y + (lineHeight - side) / 2, side, side), seriesColor(kind));
            x += side + 4;
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(QRect(x, y, metrics.horizontalAdvance(title) + 2, lineHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, title);
            x += metrics.horizontalAdvance(title) + 16;
        }
        y += lineHeight;
    }
    painter.restore();
    // Below it the plots by their own painting, at the picture's width, sharing its height as
    // they share the panel's.
    const int top = legend.empty() ? 0 : y + 4;
    const int spacing = contentLayout()->spacing();
    const int angleHeight = (size.height() - top - spacing) * 2 / 5;
    painter.save();
    painter.translate(0, top);
    anglePlot_->paintAt(painter, QSize(size.width(), angleHeight));
    painter.translate(0, angleHeight + spacing);
    torquePlot_->paintAt(painter, QSize(size.width(), size.height() - top - angleHeight - spacing));
    painter.restore();
}

std::string PlotPanel::exportCsv() const {
    std::vector<PlottedSeries> shown;
    for (TelemetrySeriesKind kind : kKinds) {
        if (!isShown(kind)) continue;
        PlottedSeries& one = shown.emplace_back(PlottedSeries{plotColumnName(kind), {}});
        for (const QPointF& point : points(kind)) one.points.push_back({point.x(), point.y()});
    }
    return plotCsv(shown, anglePlot_->windowSeconds());
}

void PlotPanel::exportPlots() {
    if (exportDirectory_.isEmpty()) exportDirectory_ = QDir::homePath();
    if (exportFilter_.isEmpty()) exportFilter_ = exportFilters().front();
    const QString suggested =
        QDir(exportDirectory_).filePath("orvane-plots-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss"));
    QFileDialog dialog(window(), tr("Export Plots"), suggested);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(exportFilters());
    // A name typed without an extension takes the chosen filter's, before the dialog asks
    // whether to replace a file of that name.
    const auto suffixOf = [](const QString& filter) {
        for (const ExportType& type : kExportTypes) {
            if (filter == QCoreApplication::translate("PlotPanel", type.filter))
                return QString::fromLatin1(type.suffix);
        }
        return QString();
    };
    // The size of a picture, below the file type: Qt's own dialog, which takes another row.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* sizeRow = new QWidget(&dialog);
    auto* sizeLayout = new QHBoxLayout(sizeRow);
    sizeLayout->setContentsMargins(0, 0, 0, 0);
    const QSize size = exportSize();
    const auto sideBox = [sizeRow](const char* name, int value, const QString& tip) {
        auto* box = new QSpinBox(sizeRow);
        box->setObjectName(QLatin1String(name));
        box->setRange(kSmallestExport.width(), kLargestExport.width());
        box->setValue(value);
        box->setSuffix(QStringLiteral(" px"));
        box->setToolTip(tip);
        return box;
    };
    QSpinBox* widthBox = sideBox("exportWidthBox", size.width(), tr("The picture's width in pixels"));
    QSpinBox* heightBox = sideBox("exportHeightBox", size.height(), tr("The picture's height in pixels"));
    sizeLayout->addWidget(widthBox);
    sizeLayout->addWidget(new QLabel(QStringLiteral("×"), sizeRow));
    sizeLayout->addWidget(heightBox);
    sizeLayout->addStretch(1);
    auto* sizeLabel = new QLabel(tr("Picture size:"), &dialog);
    sizeLabel->setBuddy(widthBox);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(sizeLabel, row, 0);
        grid->addWidget(sizeRow, row, 1);
    }
    // A CSV file has no size.
    const auto chosen = [&dialog, sizeRow, sizeLabel, suffixOf](const QString& filter) {
        dialog.setDefaultSuffix(suffixOf(filter));
        sizeRow->setEnabled(suffixOf(filter) != QLatin1String("csv"));
        sizeLabel->setEnabled(sizeRow->isEnabled());
    };
    dialog.selectNameFilter(exportFilter_);
    chosen(exportFilter_);
    connect(&dialog, &QFileDialog::filterSelected, &dialog, chosen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    setExportSize(QSize(widthBox->value(), heightBox->value()));
    const QString fileName = dialog.selectedFiles().front();
    exportDirectory_ = QFileInfo(fileName).absolutePath();
    exportFilter_ = dialog.selectedNameFilter();
    exportToFile(fileName, exportFilter_);
}

bool PlotPanel::exportToFile(const QString& fileName, const QString& filter) {
    // Written aside and renamed over the file only when whole: a failed export leaves an
    // existing file as it was.
    QSaveFile file(fileName);
    bool written = file.open(QIODevice::WriteOnly);
    if (written) {
        switch (exportFormat(fileName, filter)) {
            case ExportFormat::png: {
                const QSize size = exportSize();
                const qreal scale = exportScale(size);
                QImage image(size, QImage::Format_ARGB32_Premultiplied);
                image.fill(palette().color(QPalette::Window));
                // Laid out at the picture's size over the scale, with the text as large as on
                // the screen there.
                image.setDevicePixelRatio(scale);
                image.setDotsPerMeterX(qRound(logicalDpiX() / 0.0254));
                image.setDotsPerMeterY(qRound(logicalDpiY() / 0.0254));
                QPainter painter(&image);
                paintExport(painter, (QSizeF(size) / scale).toSize());
                painter.end();
                written = image.save(&file, "PNG");
                break;
            }
            case ExportFormat::svg: {
                const QSize size = exportSize();
                const qreal scale = exportScale(size);
                QBuffer svg;
                svg.open(QIODevice::WriteOnly);
                QSvgGenerator generator;
                generator.setOutputDevice(&svg);
                generator.setSize(size);
                // The size is written in millimetres: at the CSS resolution a browser shows the
                // picture at its size in pixels.
                generator.setResolution(96);
                generator.setViewBox(QRect(QPoint(), size));
                generator.setTitle(QStringLiteral("Plots"));
                generator.setDescription(QStringLiteral("Orvane Console plots"));
                QPainter painter;
                written = painter.begin(&generator);
                if (written) {
                    painter.scale(scale, scale);
                    paintExport(painter, (QSizeF(size) / scale).toSize());
                    written = painter.end();
                }
                // The text names the font the window shows (its real family, not an alias that
                // only Qt resolves), then the generic sans-serif where that one is missing.
                const std::string text =
                    svgWithFontFamily(svg.data().toStdString(), QFontInfo(font()).family().toStdString());
                written = written && file.write(text.data(), qint64(text.size())) == qint64(text.size());
                break;
            }
            case ExportFormat::csv: {
                const std::string csv = exportCsv();
                written = file.write(csv.data(), qint64(csv.size())) == qint64(csv.size());
                break;
            }
        }
    }
    if (written) written = file.commit();
    if (written) return true;

    const QString reason = file.error() != QFileDevice::NoError ? file.errorString() : tr("not written");
    auto* box = new QMessageBox(
        QMessageBox::Warning, QApplication::applicationDisplayName(),
        tr("The plots could not be exported to %1: %2.").arg(QDir::toNativeSeparators(fileName), reason),
        QMessageBox::Ok, window(), sheetWindowFlags());
    box->setAttribute(Qt::WA_DeleteOnClose);
    openOverWindow(*box, window());
    return false;
}

}  // namespace orvane
