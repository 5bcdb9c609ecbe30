#include "engine/simulation.h"
#include "engine/simulationcontrol.h"
#include "engine/simulationthread.h"
#include "model/simulationdata.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

/// The test binary's application object: queued signals are delivered by its event loop.
QCoreApplication &application()
{
    return *QCoreApplication::instance();
}

/// Runs the event loop until `done` holds or five seconds pass.
template <typename Predicate> bool spinUntil(Predicate done)
{
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    timeout.start(5000);
    while (!done() && timeout.isActive())
        loop.processEvents(QEventLoop::AllEvents, 10);
    return done();
}

const QStringList stageMessages = {
    "Parsing schedules...",
    "Parsing OpenStreetMap data...",
    "Converting OpenStreetMap bus stops...",
    "Creating simulation data...",
    "Converting OpenStreetMap data to simulation data...",
    "Converting OpenStreetMap routes...",
    "Synchronizing OpenStreetMap routes and online shedules...",
    "Pregenerating lines...",
    "Simulation data preparating DONE!",
};

} // namespace

TEST(SimulationPreparation, MissingInputsStillRunTheNineStagesInOrderOnOneWorkerThread)
{
    application();
    auto simulation =
        std::make_unique<Simulation>("/nonexistent/map.osm", "/nonexistent/schedules.xml", QTime(8, 30, 0));
    QStringList messages;
    QThread *prepThread = nullptr;
    QThread *startThread = nullptr;
    int prepared = 0;
    int started = 0;
    QObject::connect(simulation.get(), &Simulation::log, &application(), [&](const QString &m) { messages << m; });
    QObject::connect(
        simulation.get(), &Simulation::prepDataDone, simulation.get(), [&] { prepThread = QThread::currentThread(); },
        Qt::DirectConnection);
    QObject::connect(simulation.get(), &Simulation::prepDataDone, &application(), [&] {
        ++prepared;
        // prepDataDone follows the last log message.
        EXPECT_EQ(messages.size(), stageMessages.size());
        QMetaObject::invokeMethod(simulation.get(), "startSim", Qt::QueuedConnection);
    });
    QObject::connect(
        simulation.get(), &Simulation::simStartDone, simulation.get(), [&] { startThread = QThread::currentThread(); },
        Qt::DirectConnection);
    QObject::connect(simulation.get(), &Simulation::simStartDone, &application(), [&] { ++started; });

    QMetaObject::invokeMethod(simulation.get(), "prepData", Qt::QueuedConnection);
    ASSERT_TRUE(spinUntil([&] { return started == 1; }));

    EXPECT_EQ(messages, stageMessages);
    EXPECT_EQ(prepared, 1);
    EXPECT_EQ(prepThread, simulation->workerThread());
    EXPECT_EQ(startThread, simulation->workerThread());
    EXPECT_NE(prepThread, QCoreApplication::instance()->thread());

    // Started but not stepping: the clock still shows the start time at step 0.
    ASSERT_NE(simulation->simulationData(), nullptr);
    ASSERT_NE(simulation->simulationThread(), nullptr);
    EXPECT_FALSE(simulation->simulationThread()->isRunning());
    EXPECT_EQ(simulation->simulationData()->time, QTime(8, 30, 0));
    EXPECT_EQ(simulation->simulationData()->step, 0);
    EXPECT_TRUE(simulation->simulationData()->cells.empty());
}

TEST(SimulationPreparation, DestroyingARunningSimulationJoinsBothThreads)
{
    application();
    auto simulation =
        std::make_unique<Simulation>("/nonexistent/map.osm", "/nonexistent/schedules.xml", QTime(23, 59, 59));
    bool started = false;
    QObject::connect(simulation.get(), &Simulation::prepDataDone, &application(),
                     [&] { QMetaObject::invokeMethod(simulation.get(), "startSim", Qt::QueuedConnection); });
    QObject::connect(simulation.get(), &Simulation::simStartDone, &application(), [&] { started = true; });
    QMetaObject::invokeMethod(simulation.get(), "prepData", Qt::QueuedConnection);
    ASSERT_TRUE(spinUntil([&] { return started; }));

    SimulationThread *stepper = simulation->simulationThread();
    QThread *stepThread = stepper->thread();
    QThread *worker = simulation->workerThread();
    QMetaObject::invokeMethod(stepper, "decSimStep", Qt::QueuedConnection); // 125 ms
    QMetaObject::invokeMethod(stepper, "startSim", Qt::QueuedConnection);
    ASSERT_TRUE(spinUntil([&] { return simulation->simulationData()->step >= 2; }));

    QPointer<QThread> workerAlive(worker);
    simulation.reset();
    // Both threads were joined before their objects went away.
    EXPECT_TRUE(workerAlive.isNull());
    (void)stepThread;
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
