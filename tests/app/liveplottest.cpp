#include "app/liveplot.h"
#include "engine/stepframe.h"

#include <QChart>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineSeries>

#include <gtest/gtest.h>

TEST(LivePlot, KeepsOneSampleASimulatedSecondForAnHourAndStartsAgainForANewRun)
{
    auto at = [](int32_t step) {
        StepFrame s;
        s.step = step;
        s.time = QTime(23, 59, 0).addMSecs(step * 250); // past midnight
        s.counts.cars = 5;
        return s;
    };
    LivePlot plot;
    plot.resize(400, 200);
    plot.show();
    for (int32_t step = 0; step < 10; ++step)
        plot.addFrame(at(step));
    EXPECT_EQ(plot.sampleCount(), 3); // steps 0, 4, 8
    plot.addFrame(StepFrame());       // no run yet: nothing to plot
    EXPECT_EQ(plot.sampleCount(), 3);
    for (int32_t step = 12; step < 4 * (LivePlot::MAX_SAMPLES + 100); step += 4)
        plot.addFrame(at(step));
    EXPECT_EQ(plot.sampleCount(), LivePlot::MAX_SAMPLES);

    auto *cars = qobject_cast<QtCharts::QLineSeries *>(plot.chart()->series().at(0));
    ASSERT_NE(cars, nullptr);
    QElapsedTimer clock;
    clock.start();
    while (cars->count() < LivePlot::MAX_SAMPLES && clock.elapsed() < 5000) // the redraw is throttled
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(cars->count(), LivePlot::MAX_SAMPLES);
    for (int i = 1; i < cars->count(); ++i)
        ASSERT_DOUBLE_EQ(cars->at(i).x() - cars->at(i - 1).x(), 1000.0) << "index " << i;
    plot.addFrame(at(0)); // the step counter went back
    EXPECT_EQ(plot.sampleCount(), 1);
}
