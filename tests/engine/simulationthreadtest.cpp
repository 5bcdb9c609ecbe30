#include "engine/simulationthread.h"
#include "engine/simulationcontrol.h"
#include "engine/stepframe.h"
#include "model/simulationdata.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <vector>

namespace {

/// A step loop on an empty network, with its signals counted in the test's thread (as the window
/// receives them).
struct Loop
{
    SimulationData data{QTime(23, 59, 59, 500)};
    SimulationControl control{&data};
    std::unique_ptr<SimulationThread> thread = std::make_unique<SimulationThread>(&control);
    QObject receiver;
    int updates = 0;
    std::vector<std::pair<uint, int>> sizes;

    Loop()
    {
        QObject::connect(thread.get(), &SimulationThread::updateVehicles, &receiver, [this] { ++updates; });
        QObject::connect(thread.get(), &SimulationThread::newStepSize, &receiver,
                         [this](uint size, int pos) { sizes.emplace_back(size, pos); });
    }
    /// Invokes a slot in the step thread, waits until it has run and takes its signals.
    void call(const char *slot)
    {
        QMetaObject::invokeMethod(thread.get(), slot, Qt::BlockingQueuedConnection);
        QCoreApplication::processEvents();
    }
    int32_t step() const { return thread->latestFrame()->step; }
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
    // A step size carried over from another run starts the loop, within the bounds.
    SimulationControl control(&loop.data);
    EXPECT_EQ(SimulationThread(&control, 8).stepSize(), 8u);
    EXPECT_EQ(SimulationThread(&control, 0).stepSize(), SimulationThread::MIN_STEP_SIZE);
}

TEST(SimulationThread, EveryStepPublishesAFrameThatNoLaterStepChanges)
{
    Loop loop;
    const std::shared_ptr<const StepFrame> start = loop.thread->latestFrame();
    ASSERT_NE(start, nullptr);
    EXPECT_EQ(start->step, 0);
    EXPECT_EQ(start->time, QTime(23, 59, 59, 500));
    loop.call("stepSim");
    const std::shared_ptr<const StepFrame> first = loop.thread->latestFrame();
    for (int i = 0; i < 5; ++i)
        loop.call("stepSim");
    EXPECT_EQ(loop.updates, 6);
    EXPECT_EQ(loop.step(), 6);
    EXPECT_EQ(loop.thread->latestFrame()->time, QTime(0, 0, 1, 0)); // a quarter second a step, over midnight
    EXPECT_FALSE(loop.thread->isRunning());
    // Frames held by a reader stay as they were while the loop recycles the others.
    EXPECT_EQ(start->step, 0);
    EXPECT_EQ(first->step, 1);
    EXPECT_EQ(first->time, QTime(23, 59, 59, 750));
}

TEST(SimulationThread, TheLoopDoesNotStartOnceItIsEnded)
{
    Loop loop;
    loop.thread->endLoop();
    loop.call("startSim");
    EXPECT_FALSE(loop.thread->isRunning());
    QThread::msleep(300);
    EXPECT_EQ(loop.updates, 0);
}

TEST(SimulationThread, TwoRunsInOneProcessStepAtOnceAndNeitherHoldsUpTheOther)
{
    Loop a, b;
    for (Loop *loop : {&a, &b}) {
        for (int i = 0; i < 8; ++i)
            loop->call("decSimStep"); // 1 ms a step
        loop->call("startSim");
    }
    // The loops publish their frames without the help of this thread's event loop.
    const auto advances = [](Loop &loop, int steps) {
        const int32_t from = loop.step();
        QElapsedTimer clock;
        clock.start();
        while (loop.step() < from + steps && clock.elapsed() < 20000)
            QThread::msleep(1);
        return loop.step() >= from + steps;
    };
    EXPECT_TRUE(advances(a, 20) && advances(b, 20));
    {
        // A run whose own lock is held stands; the other one goes on.
        std::lock_guard<std::mutex> hold(a.control.vehiclesMutex());
        QThread::msleep(50);
        const int32_t held = a.step();
        EXPECT_TRUE(advances(b, 20));
        EXPECT_EQ(a.step(), held);
    }
    EXPECT_TRUE(advances(a, 20));
    // Tearing one run down while both step leaves the other stepping.
    a.thread.reset();
    EXPECT_TRUE(advances(b, 20));
}
