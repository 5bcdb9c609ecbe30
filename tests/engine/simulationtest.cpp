#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "engine/simulationthread.h"
#include "model/simulationdata.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

/// Processes events until `done` holds or five seconds pass.
template <typename Predicate> bool spinUntil(Predicate done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace

TEST(SimulationPreparation, MissingInputsStillPrepareAndStartOnTheWorkerThreadWhichDestroyingJoins)
{
    auto simulation =
        std::make_unique<Simulation>("/nonexistent/map.osm", "/nonexistent/schedules.xml", QTime(23, 59, 59));
    QObject *app = QCoreApplication::instance();
    int messages = 0, started = 0;
    QThread *prepThread = nullptr;
    QObject::connect(simulation.get(), &Simulation::log, app, [&] { ++messages; });
    QObject::connect(
        simulation.get(), &Simulation::prepDataDone, simulation.get(), [&] { prepThread = QThread::currentThread(); },
        Qt::DirectConnection);
    QObject::connect(simulation.get(), &Simulation::prepDataDone, app,
                     [&] { QMetaObject::invokeMethod(simulation.get(), "startSim", Qt::QueuedConnection); });
    QObject::connect(simulation.get(), &Simulation::simStartDone, app, [&] { ++started; });
    QMetaObject::invokeMethod(simulation.get(), "prepData", Qt::QueuedConnection);
    ASSERT_TRUE(spinUntil([&] { return started == 1; }));
    EXPECT_EQ(messages, 9); // one per stage
    EXPECT_EQ(prepThread, simulation->workerThread());
    EXPECT_NE(prepThread, app->thread());
    // Started but not stepping: the clock still shows the start time at step 0.
    EXPECT_FALSE(simulation->simulationThread()->isRunning());
    EXPECT_EQ(simulation->simulationData()->time, QTime(23, 59, 59));
    EXPECT_TRUE(simulation->simulationData()->cells.empty());

    SimulationThread *stepper = simulation->simulationThread();
    QMetaObject::invokeMethod(stepper, "decSimStep", Qt::QueuedConnection); // 125 ms
    QMetaObject::invokeMethod(stepper, "startSim", Qt::QueuedConnection);
    ASSERT_TRUE(spinUntil([&] { return simulation->simulationData()->step >= 2; }));
    QPointer<QThread> workerAlive(simulation->workerThread());
    simulation.reset();
    EXPECT_TRUE(workerAlive.isNull()); // joined before its object went away
}

TEST(SimulationRuns, TwoRunsInOneProcessWithOneSeedAreTheSame)
{
    // Ids and random streams belong to the run: a second run in the same process starts afresh.
    auto run = [](uint64_t seed) {
        Simulation simulation(QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm"),
                              QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml"), QTime(14, 0), seed);
        simulation.prepData();
        simulation.startSim();
        for (int i = 0; i < 600; ++i)
            simulation.simulationControl()->step();
        EXPECT_GT(simulation.simulationData()->cars.size(), 20u);
        return simulation.simulationData()->stateHash();
    };
    const uint64_t first = run(7);
    EXPECT_EQ(run(7), first);
    EXPECT_NE(run(8), first);
}
