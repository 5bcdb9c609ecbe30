#include "engine/simulationthread.h"
#include "engine/simulationcontrol.h"
#include "model/simulationdata.h"
#include "model/simulationlocks.h"

#include <QMetaObject>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

/// A step loop on an empty network, with its signals counted as they are emitted.
struct Loop
{
    SimulationData data{QTime(23, 59, 59, 500)};
    SimulationControl control{&data};
    std::unique_ptr<SimulationThread> thread = std::make_unique<SimulationThread>(&control);
    std::atomic<int> updates{0};
    std::vector<std::pair<uint, int>> sizes; ///< written in the step thread, read after waiting

    Loop()
    {
        QObject::connect(
            thread.get(), &SimulationThread::updateVehicles, thread.get(), [this] { ++updates; }, Qt::DirectConnection);
        QObject::connect(
            thread.get(), &SimulationThread::newStepSize, thread.get(),
            [this](uint size, int pos) { sizes.emplace_back(size, pos); }, Qt::DirectConnection);
    }
    /// Invokes a slot in the step thread and waits until it has run.
    void call(const char *slot) { QMetaObject::invokeMethod(thread.get(), slot, Qt::BlockingQueuedConnection); }
};

} // namespace

TEST(SimulationThread, StepSizeHalvesDownToOneAndDoublesUpToOneSecond)
{
    Loop loop;
    for (int i = 0; i < 8; ++i)
        loop.call("decSimStep");
    for (int i = 0; i < 11; ++i)
        loop.call("incSimStep");
    // (size, position): at the fastest end the faster button is off, at the slowest the slower one.
    const std::vector<std::pair<uint, int>> expected = {
        {125, 1}, {62, 1}, {31, 1}, {15, 1}, {7, 1},   {3, 1},   {1, 2},   {1, 2},    {2, 1},   {4, 1},
        {8, 1},   {16, 1}, {32, 1}, {64, 1}, {128, 1}, {256, 1}, {512, 1}, {1000, 0}, {1000, 0}};
    EXPECT_EQ(loop.sizes, expected);
    // Halving rounds down; the cap of one second leads back to the default: 1000, 500, 250.
    loop.call("decSimStep");
    loop.call("decSimStep");
    EXPECT_EQ(loop.thread->stepSize(), SimulationThread::DEFAULT_STEP_SIZE);
}

TEST(SimulationThread, SingleStepsAdvanceTheClockAQuarterSecondOverMidnightWhileTheLoopStands)
{
    Loop loop;
    for (int i = 0; i < 6; ++i)
        loop.call("stepSim");
    EXPECT_EQ(loop.updates, 6);
    EXPECT_EQ(loop.data.step, 6);
    EXPECT_EQ(loop.data.time, QTime(0, 0, 1, 0));
    EXPECT_FALSE(loop.thread->isRunning());
}

TEST(SimulationThread, TheLoopDoesNotStartWhileTheSimulationIsTornDown)
{
    Loop loop;
    SimulationLocks::lockSimulation();
    loop.call("startSim");
    EXPECT_FALSE(loop.thread->isRunning());
    SimulationLocks::unlockSimulation();
    QThread::msleep(300);
    EXPECT_EQ(loop.updates, 0);
}
