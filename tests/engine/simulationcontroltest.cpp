#include "tests/model/testnetwork.h"

#include "engine/simulationcontrol.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/generator.h"
#include "model/simulationdata.h"

#include <gtest/gtest.h>

TEST(StepRemoval, AFinishedVehicleLeavesBeforeTheCommitKeepingCellsAnotherVehicleTookOver)
{
    SimulationData data(QTime(8, 0));
    std::vector<Cell *> lane = makeChain(data, 40);
    precomputeCells(data.allCells());
    Car *leaving = new Car(data);
    Car *behind = new Car(data);
    ASSERT_TRUE(place(lane.back(), leaving)); // front on the last cell of a network exit
    // The second car was moved onto two of the first car's cells.
    const size_t tail = size_t(40 - leaving->length());
    std::vector<Cell *> overlap = {lane[tail + 1], lane[tail]};
    behind->setCells(overlap);
    occupy(overlap, behind);
    data.cars = {leaving, behind};
    SimulationControl control(&data);
    control.advanceClock();
    control.decideVehicles();
    ASSERT_TRUE(leaving->isFinished());
    control.removeFinishedVehicles();
    ASSERT_EQ(data.cars.size(), 1u);
    EXPECT_EQ(overlap[0]->vehicle(), behind);
    EXPECT_EQ(overlap[1]->vehicle(), behind);
    EXPECT_EQ(lane.back()->vehicle(), nullptr);
}

TEST(GeneratorCap, TheGeneratorsFillTheNetworkUpToTheRunsCapAndThenStandStill)
{
    for (const size_t cap : {size_t(0), size_t(2), size_t(5)}) {
        SimulationData data(QTime(8, 0));
        data.maxCars = cap;
        for (int lane = 0; lane < 6; ++lane) { // room for one new car each
            const std::vector<Cell *> cells = makeChain(data, 2000, Location(50.0 + 0.001 * lane, 14.0));
            data.generators.push_back(new Generator(data.newGeneratorId(), cells.front(), &data.cars));
        }
        precomputeCells(data.allCells());
        SimulationControl control(&data);
        size_t most = 0;
        for (int step = 0; step < 200; ++step) {
            control.runGenerators();
            most = std::max(most, data.cars.size());
        }
        EXPECT_EQ(most, cap);
        // At the cap no generator counts down or draws: the run goes on as if they were not there.
        const auto countdowns = [&data] {
            std::vector<int32_t> c;
            for (const Generator *g : data.generators)
                c.push_back(g->countdown);
            return c;
        };
        const std::vector<int32_t> before = countdowns();
        control.runGenerators();
        EXPECT_EQ(countdowns(), before);
        EXPECT_EQ(control.carsCreated(), int64_t(cap));
    }
}

TEST(GeneratorCap, ABlockedGeneratorBuildsNoCarUntilItsNextCarFits)
{
    SimulationData data(QTime(8, 0));
    const std::vector<Cell *> cells = makeChain(data, 2000);
    data.generators.push_back(new Generator(data.newGeneratorId(), cells.front(), &data.cars));
    precomputeCells(data.allCells());
    // A car standing with its tail on the last cell the next new car would take.
    Car *blocker = new Car(data);
    RunRandom untouched = data.random;
    RunRandom probe = data.random;
    const int32_t length = Car::drawLength(probe);
    ASSERT_TRUE(place(cells[size_t(length - 1 + blocker->length() - 1)], blocker));
    data.cars.push_back(blocker);
    SimulationControl control(&data);
    for (int step = 0; step < 50; ++step)
        control.runGenerators();
    EXPECT_EQ(data.cars.size(), 1u);
    EXPECT_EQ(RunRandom(data.random).draw(), untouched.draw()) << "no draw used up while blocked";

    release(blocker);
    ASSERT_TRUE(place(cells[size_t(length + blocker->length() - 1)], blocker)); // one cell further on
    control.runGenerators();
    ASSERT_EQ(data.cars.size(), 2u);
    EXPECT_EQ(data.cars.back()->cells().back(), cells.front()) << "its tail on the generator's cell";
    EXPECT_EQ(data.cars.back()->id(), blocker->id() + 1) << "no id used up while blocked";
    EXPECT_EQ(data.cars.back()->length(), length) << "the car that waited";
}
