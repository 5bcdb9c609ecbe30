#ifndef KOLVEX_APP_LIVEPLOT_H
#define KOLVEX_APP_LIVEPLOT_H

#include <QPointF>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <cstdint>

namespace QtCharts {
class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
} // namespace QtCharts

struct StepFrame;

/// Plots, over simulated time, the vehicles on the road by kind and their mean speed, from the
/// frames of the steps.
///
/// Keeps one sample per simulated second for the last hour. Samples are collected always, but
/// the chart is redrawn a few times per second at most and only while the plot is visible, so a
/// fast run or a hidden plot costs the GUI thread little and the step loop nothing.
class LivePlot : public QWidget
{
    Q_OBJECT
public:
    static constexpr int32_t STEPS_PER_SAMPLE = 4; ///< one simulated second
    static constexpr int MAX_SAMPLES = 3600;       ///< one simulated hour
    static constexpr int REDRAW_INTERVAL_MS = 250;

    explicit LivePlot(QWidget *parent = nullptr);
    ~LivePlot() override;

    /// Samples shown or waiting to be shown, per series.
    int sampleCount() const;
    QtCharts::QChart *chart() const { return m_chart; }

public slots:
    void addFrame(const StepFrame &frame);
    /// Forgets every sample (a new run begins).
    void clear();

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum Series { Cars, Buses, Trams, Speed, SERIES_COUNT };

    void redraw();

    QtCharts::QChart *m_chart;
    QtCharts::QChartView *view;
    QtCharts::QDateTimeAxis *timeAxis;
    QtCharts::QValueAxis *countAxis;
    QtCharts::QValueAxis *speedAxis;
    QtCharts::QLineSeries *series[SERIES_COUNT];
    QVector<QPointF> pending[SERIES_COUNT]; ///< samples not yet handed to the chart
    QTimer redrawTimer;
    int64_t originMs = 0; ///< x of step 0
    int32_t lastSampledStep = -1;
};

#endif
