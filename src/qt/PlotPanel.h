#pragma once

#include <QDockWidget>
#include <array>
#include <memory>

// The series' ring has a member named "slots", which Qt defines as a keyword: read the header
// without that macro. Its include guard then keeps later includes from reading it again.
#pragma push_macro("slots")
#undef slots
#include "console/TelemetrySeries.h"
#pragma pop_macro("slots")

class QChart;
class QChartView;
class QCheckBox;
class QLineSeries;
class QPushButton;
class QTimer;
class QValueAxis;

namespace orvane {

// A dock plotting the last 30 s of the telemetry series: the steering wheel angle (degrees) on
// an upper chart; the assistance and driver torques (Nm, left axis) and the lateral and
// longitudinal requests (percent, right axis) on a lower one. A check box per series shows or
// hides it; Pause freezes the series' window (TelemetrySeries::setPaused).
//
// The plots are redrawn from the series at most 10 times a second, only while the dock is
// visible. The angle and torque axes grow and shrink to the largest magnitude shown, symmetric
// about zero and rounded to 1, 2 or 5 times a power of ten; the request axis is fixed at +-100 %.
class PlotPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit PlotPanel(std::shared_ptr<TelemetrySeries> series, QWidget* parent = nullptr);
    ~PlotPanel() override;

    // The line of a series (named by seriesTitle), its check box, and its value axis.
    QLineSeries* line(TelemetrySeriesKind kind) const;
    QCheckBox* toggle(TelemetrySeriesKind kind) const;
    QValueAxis* valueAxis(TelemetrySeriesKind kind) const;
    bool isShown(TelemetrySeriesKind kind) const;

public slots:
    void setShown(TelemetrySeriesKind kind, bool shown);
    void setPaused(bool paused);
    // Redraws the shown series from the telemetry series now.
    void refresh();

private:
    struct Plot {
        QLineSeries* line = nullptr;
        QCheckBox* toggle = nullptr;
        QValueAxis* axis = nullptr;
        double scale = 1;    // from the series' unit to the axis'
        double largest = 0;  // the largest magnitude drawn, in the axis' unit
    };

    void setRefreshing(bool visible);
    void refresh(TelemetrySeriesKind kind);
    // Fits a growing axis to the largest magnitude of the shown series on it.
    void fitAxis(QValueAxis* axis, double minimumLimit);

    std::shared_ptr<TelemetrySeries> series_;
    std::array<Plot, kTelemetrySeriesCount> plots_;
    QValueAxis* angleAxis_ = nullptr;
    QValueAxis* torqueAxis_ = nullptr;
    QValueAxis* requestAxis_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace orvane
