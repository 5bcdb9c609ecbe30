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
    SimulationData data{QTime(10, 0, 0)};
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
    for (int i = 0; i < 9; ++i)
        loop.call("decSimStep");
    const std::vector<std::pair<uint, int>> down = {{125, 1}, {62, 1}, {31, 1}, {15, 1}, {7, 1},
                                                    {3, 1},   {1, 2},  {1, 2},  {1, 2}};
    EXPECT_EQ(loop.sizes, down);
    loop.sizes.clear();
    for (int i = 0; i < 11; ++i)
        loop.call("incSimStep");
    const std::vector<std::pair<uint, int>> up = {{2, 1},   {4, 1},   {8, 1},   {16, 1},   {32, 1},  {64, 1},
                                                  {128, 1}, {256, 1}, {512, 1}, {1000, 0}, {1000, 0}};
    EXPECT_EQ(loop.sizes, up);
    // Halving rounds down, so once below 125 ms doubling never meets 250 ms again; the cap of one
    // second leads back to it: 1000, 500, 250.
    loop.call("decSimStep");
    loop.call("decSimStep");
    EXPECT_EQ(loop.thread->stepSize(), SimulationThread::DEFAULT_STEP_SIZE);
}

TEST(SimulationThread, SingleStepsRunWhetherOrNotTheLoopRuns)
{
    Loop loop;
    loop.call("stepSim");
    loop.call("stepSim");
    EXPECT_EQ(loop.updates, 2);
    EXPECT_EQ(loop.data.step, 2);
    EXPECT_EQ(loop.data.time, QTime(10, 0, 0, 500));
    EXPECT_FALSE(loop.thread->isRunning());
}

TEST(SimulationThread, ADoubleStartNeverDoublesTheStepRate)
{
    Loop loop;
    for (int i = 0; i < 3; ++i)
        loop.call("decSimStep"); // 31 ms
    loop.call("startSim");
    loop.call("startSim");
    loop.call("stopSim");
    loop.call("startSim"); // while the timer armed before the stop is pending
    QThread::msleep(620);
    loop.call("stopSim");
    const int steps = loop.updates;
    // About 20 steps at 31 ms; two chained timers would give about 40.
    EXPECT_GE(steps, 5);
    EXPECT_LE(steps, 30);
    QThread::msleep(100);
    EXPECT_LE(loop.updates, steps + 1); // at most the armed step runs after stopping
}

TEST(SimulationThread, TheLoopDoesNotStartWhileTheSimulationIsTornDown)
{
    Loop loop;
    SimulationLocks::lockSimulation();
    loop.call("startSim");
    EXPECT_FALSE(loop.thread->isRunning());
    SimulationLocks::unlockSimulation();
    EXPECT_FALSE(SimulationLocks::isSimulationLocked());
    QThread::msleep(300);
    EXPECT_EQ(loop.updates, 0);
}

TEST(SimulationControl, ClockAdvancesAQuarterSecondPerStepAndWrapsAtMidnight)
{
    SimulationData data(QTime(23, 59, 59, 500));
    SimulationControl control(&data);
    control.step();
    EXPECT_EQ(data.step, 1);
    EXPECT_EQ(data.time, QTime(23, 59, 59, 750));
    control.step();
    EXPECT_EQ(data.time, QTime(0, 0, 0, 0));
    for (int i = 0; i < 4; ++i)
        control.step();
    EXPECT_EQ(data.time, QTime(0, 0, 1, 0));
    EXPECT_EQ(data.step, 6);
}
