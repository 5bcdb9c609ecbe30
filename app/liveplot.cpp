#include "liveplot.h"

#include "engine/stepframe.h"
#include "model/units.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGraphicsLayout>
#include <QLineSeries>
#include <QPen>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

using namespace QtCharts;

namespace {

/// Rounds a maximum up to a readable axis end (at least `floor`).
double niceCeiling(double value, double floor)
{
    const double steps[] = {5,   10,  20,  30,   50,   75,   100,  150,  200,  300,
                            400, 500, 750, 1000, 1500, 2000, 3000, 5000, 10000};
    for (double s : steps)
        if (value <= s)
            return std::max(s, floor);
    return value;
}

} // namespace

LivePlot::LivePlot(QWidget *parent) : QWidget(parent), m_chart(new QChart)
{
    const char *names[SERIES_COUNT] = {"Cars", "Buses/Trolley", "Trams", "Mean speed (km/h)"};
    const QColor colours[SERIES_COUNT] = {QColor(200, 40, 40), QColor(30, 90, 200), QColor(20, 150, 60),
                                          QColor(90, 90, 90)};
    timeAxis = new QDateTimeAxis;
    timeAxis->setFormat(QStringLiteral("hh:mm:ss"));
    timeAxis->setTickCount(5);
    countAxis = new QValueAxis;
    countAxis->setTitleText(QStringLiteral("vehicles"));
    countAxis->setLabelFormat(QStringLiteral("%d"));
    speedAxis = new QValueAxis;
    speedAxis->setTitleText(QStringLiteral("km/h"));
    speedAxis->setLabelFormat(QStringLiteral("%d"));
    m_chart->addAxis(timeAxis, Qt::AlignBottom);
    m_chart->addAxis(countAxis, Qt::AlignLeft);
    m_chart->addAxis(speedAxis, Qt::AlignRight);
    for (int i = 0; i < SERIES_COUNT; ++i) {
        series[i] = new QLineSeries;
        series[i]->setName(QString::fromUtf8(names[i]));
        QPen pen(colours[i], 2);
        if (i == Speed)
            pen.setStyle(Qt::DashLine);
        series[i]->setPen(pen);
        series[i]->setUseOpenGL(false);
        m_chart->addSeries(series[i]); // the chart owns its series and axes
        series[i]->attachAxis(timeAxis);
        series[i]->attachAxis(i == Speed ? speedAxis : countAxis);
    }
    m_chart->legend()->setAlignment(Qt::AlignTop);
    m_chart->setMargins(QMargins(2, 2, 2, 2));
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    clear();

    view = new QChartView(m_chart, this); // owns the chart
    view->setObjectName(QStringLiteral("chartView"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(150);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);

    redrawTimer.setInterval(REDRAW_INTERVAL_MS);
    redrawTimer.setSingleShot(true);
    connect(&redrawTimer, &QTimer::timeout, this, &LivePlot::redraw);
}

LivePlot::~LivePlot() = default;

int LivePlot::sampleCount() const
{
    return std::min(series[Cars]->count() + pending[Cars].size(), MAX_SAMPLES);
}

void LivePlot::addFrame(const StepFrame &s)
{
    if (!s.time.isValid())
        return;
    if (lastSampledStep >= 0 && s.step < lastSampledStep)
        clear(); // the step counter went back: another run
    if (lastSampledStep >= 0 && s.step - lastSampledStep < STEPS_PER_SAMPLE)
        return;
    if (lastSampledStep < 0) {
        // The step counter, not the clock, drives the x axis, so a run across midnight keeps
        // going to the right.
        const QDateTime start(QDate(2000, 1, 1), s.time);
        originMs = start.toMSecsSinceEpoch() - int64_t(s.step) * units::STEP_MS;
    }
    lastSampledStep = s.step;
    const double x = double(originMs + int64_t(s.step) * units::STEP_MS);
    pending[Cars].append(QPointF(x, double(s.counts.cars)));
    pending[Buses].append(QPointF(x, double(s.counts.buses)));
    pending[Trams].append(QPointF(x, double(s.counts.trams)));
    pending[Speed].append(QPointF(x, s.counts.meanSpeedKmh));
    for (QVector<QPointF> &p : pending)
        if (p.size() > MAX_SAMPLES)
            p.remove(0, p.size() - MAX_SAMPLES);
    if (isVisible() && !redrawTimer.isActive())
        redrawTimer.start();
}

void LivePlot::clear()
{
    for (int i = 0; i < SERIES_COUNT; ++i) {
        series[i]->clear();
        pending[i].clear();
    }
    lastSampledStep = -1;
    const qint64 noon = QDateTime(QDate(2000, 1, 1), QTime(12, 0)).toMSecsSinceEpoch();
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(noon), QDateTime::fromMSecsSinceEpoch(noon + 60000));
    countAxis->setRange(0, 10);
    speedAxis->setRange(0, 50);
}

void LivePlot::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    redraw(); // samples collected while hidden
}

void LivePlot::redraw()
{
    if (pending[Cars].isEmpty())
        return;
    for (int i = 0; i < SERIES_COUNT; ++i) {
        QVector<QPointF> points = series[i]->pointsVector();
        points += pending[i];
        pending[i].clear();
        if (points.size() > MAX_SAMPLES)
            points.remove(0, points.size() - MAX_SAMPLES);
        series[i]->replace(points); // one redraw instead of one per point
    }
    double maxCount = 0, maxSpeed = 0;
    for (int i = 0; i < SERIES_COUNT; ++i) {
        double &top = i == Speed ? maxSpeed : maxCount;
        for (const QPointF &p : series[i]->pointsVector())
            top = std::max(top, p.y());
    }
    const QVector<QPointF> cars = series[Cars]->pointsVector();
    // At least a minute wide, so the first samples do not fill the whole axis.
    const qint64 first = qint64(cars.front().x());
    const qint64 last = std::max(qint64(cars.back().x()), first + 60000);
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(first), QDateTime::fromMSecsSinceEpoch(last));
    countAxis->setRange(0, niceCeiling(maxCount * 1.1, 10));
    speedAxis->setRange(0, niceCeiling(maxSpeed * 1.1, 50));
}
