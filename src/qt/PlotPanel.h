#pragma once

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "console/PlotAxes.h"
#include "console/TelemetrySeries.h"
#include "qt/BenchPanel.h"

class QCheckBox;
class QPainter;
class QPushButton;
class QTimer;

namespace orvane {

// A plain line plot over a window of time: x from -window to 0 seconds, one value axis on the
// left and optionally one on the right, each symmetric about zero (-limit to +limit). Lines are
// drawn with QPainter as polylines; on screen the frame, grid and labels are drawn once into a
// pixmap that is made again only when the size or an axis changes. Painted at another size
// (paintAt, for an export) or onto a painter of another kind (an SVG file), the frame, grid and
// labels are drawn there directly, as lines and text.
class TimePlot : public QWidget {
    Q_OBJECT
public:
    enum Side { left, right };

    explicit TimePlot(double windowSeconds, QWidget* parent = nullptr);

    // The seconds the time axis spans (it runs from -window to 0).
    double windowSeconds() const { return window_; }

    void setAxis(Side side, const QString& title, double limit);
    double axisLimit(Side side) const { return axes_[side].limit; }
    const QString& axisTitle(Side side) const { return axes_[side].title; }

    // Adds a line drawn against the axis of `side`; returns its index.
    int addLine(const QColor& color, Side side);
    // The line's points (seconds, value), drawn as separate pieces from each index in `starts`
    // on (all joined when empty); a piece of one point is drawn as a dot.
    void setLinePoints(int line, QList<QPointF> points, QList<qsizetype> starts = {});
    void setLineShown(int line, bool shown);
    const QList<QPointF>& linePoints(int line) const { return lines_[std::size_t(line)].points; }
    bool isLineShown(int line) const { return lines_[std::size_t(line)].shown; }
    Side lineSide(int line) const { return lines_[std::size_t(line)].side; }

    // Paints the plot as it would look at `size` (the frame, grid, labels and lines) onto
    // `painter` at its origin, whatever the widget's own size: an export of a chosen size.
    void paintAt(QPainter& painter, QSize size);

    QSize sizeHint() const override { return {600, 180}; }
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Axis {
        QString title;
        double limit = 0;  // 0: no axis
    };
    struct Line {
        QColor color;
        Side side = left;
        QList<QPointF> points;
        QList<qsizetype> starts;
        bool shown = true;
    };

    // Where the lines go in a plot of `size`.
    QRect plotRect(QSize size) const;
    // The frame, grid and labels (everything but the lines), and the lines, of a plot of `size`;
    // the lines in pens of a device pixel (`cosmetic`) or of a unit of the painter.
    void paintFrame(QPainter& painter, QSize size) const;
    void paintLines(QPainter& painter, QSize size, bool cosmetic);

    const double window_;
    std::array<Axis, 2> axes_;
    std::vector<Line> lines_;
    QPixmap background_;  // null: to be drawn again
    QPolygonF scratch_;   // the pixels of a line, kept to reuse its memory
};

// A dock plotting the last 30 s of the telemetry series: the steering wheel angle (degrees) on
// an upper plot; the assistance and driver torques (Nm, left axis) and the lateral and
// longitudinal requests (percent, right axis) on a lower one. A check box per series shows or
// hides it; Pause freezes the series' window (TelemetrySeries::setPaused). A line breaks where the
// series has no data for longer than its gap (no device, or one that stopped answering). The controls wrap onto
// more lines in a narrow panel, so the panel is never wider than its widest control.
//
// Export… writes what the plots show at that moment (the shown series over the plotted window,
// whatever feeds them) to a PNG or SVG picture, drawn by the plots' own painting under a legend
// of the shown series, or to CSV (plotCsv). A picture has the size the user chose in the export
// dialog (1920x1080 until then), whatever the dock's size.
//
// The plots are redrawn from the series at most 10 times a second, only while the dock is
// visible. The value axes are fitted to what is shown (fitPlotAxes).
class PlotPanel : public BenchPanel {
    Q_OBJECT
public:
    explicit PlotPanel(std::shared_ptr<TelemetrySeries> series, QWidget* parent = nullptr);
    ~PlotPanel() override;

    // What is drawn of a series: its points (seconds, value in the axis' unit), whether it is
    // shown, its check box, and the plot and side of its axis.
    const QList<QPointF>& points(TelemetrySeriesKind kind) const;
    bool isShown(TelemetrySeriesKind kind) const;
    QCheckBox* toggle(TelemetrySeriesKind kind) const;
    TimePlot* plot(TelemetrySeriesKind kind) const;
    TimePlot::Side side(TelemetrySeriesKind kind) const;
    // The limit of the series' axis (it runs from -limit to +limit).
    double axisLimit(TelemetrySeriesKind kind) const;
    // Draws another series from now on: the live session's, or a replay's, whose window ends at
    // its playhead.
    void setSeries(std::shared_ptr<TelemetrySeries> series);

    enum class ExportFormat { png, svg, csv };
    // The file filters Export… offers, PNG first.
    static QStringList exportFilters();
    // The format of an export to `fileName`: its extension's when that is png, svg or csv (in
    // any case), otherwise the format of `filter` (one of exportFilters()).
    static ExportFormat exportFormat(const QString& fileName, const QString& filter);

    // The size of an exported picture: the one last chosen (kept in the settings), else
    // 1920x1080. A size set is kept within 100 to 10000 pixels a side.
    static QSize exportSize();
    static void setExportSize(QSize size);

    // What the plots show now: a picture of `size` (in the painter's units) of the plots under a
    // legend of the shown series, painted onto `painter`; the CSV of the shown series over the
    // plotted window.
    void paintExport(QPainter& painter, QSize size);
    std::string exportCsv() const;

public slots:
    void setShown(TelemetrySeriesKind kind, bool shown);
    void setPaused(bool paused);
    // Redraws the shown series from the telemetry series now.
    void refresh() override;
    // Asks for a file (its filter or extension choosing the format) and, for a picture, its
    // size, and exports into it.
    void exportPlots();
    // Exports what the plots show into `fileName` in exportFormat(fileName, filter). The file is
    // replaced only by a whole export; when it cannot be written, a one-line alert over the
    // window names it and nothing else changes. Returns whether it was written.
    bool exportToFile(const QString& fileName, const QString& filter);

private:
    struct Series {
        TimePlot* plot = nullptr;
        int line = 0;
        QCheckBox* toggle = nullptr;
        double scale = 1;    // from the series' unit to the axis'
        double largest = 0;  // the largest magnitude drawn, in the axis' unit
    };

    // Where an axis is drawn.
    struct Axis {
        TimePlot* plot = nullptr;
        TimePlot::Side side = TimePlot::left;
        QString title;
    };

    void refresh(TelemetrySeriesKind kind);
    // Fits the axes to the largest magnitudes of the shown series.
    void fitAxes();
    // The legend's lines above an exported picture `width` wide, each a list of the shown series.
    std::vector<std::vector<TelemetrySeriesKind>> legendLines(int width) const;
    int legendLineHeight() const;

    std::shared_ptr<TelemetrySeries> series_;
    std::array<Series, kTelemetrySeriesCount> plotted_;
    std::array<Axis, kPlotAxisCount> axes_;
    QWidget* plotArea_ = nullptr;  // the two plots, one above the other
    TimePlot* anglePlot_ = nullptr;
    TimePlot* torquePlot_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QString exportDirectory_;  // where the last export went
    QString exportFilter_;     // and its filter
};

}  // namespace orvane
