#include "tests/model/testnetwork.h"

#include "engine/simulationcontrol.h"
#include "model/approachindex.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/generator.h"
#include "model/simulationdata.h"

#include <gtest/gtest.h>

using A = FourArmCrossroad;

TEST(StepGenerators, TheCarCapFreezesEveryCountdownAndABlockedEntryIsRetriedEveryStep)
{
    SimulationData data(QTime(8, 0), 3);
    std::vector<Cell *> a = makeChain(data, 200);
    std::vector<Cell *> b = makeChain(data, 200, Location(50.001, 14.0));
    data.generators.push_back(new Generator(data.newGeneratorId(), a.front(), &data.cars, 100));
    data.generators.push_back(new Generator(data.newGeneratorId(), b.front(), &data.cars, 100));
    data.generators[1]->countdown = 5;
    while (data.cars.size() < 666) // not placed: they only count towards the cap of 667
        data.cars.push_back(new Car(data));
    TestVehicle blocker;
    putAt(b[3], blocker.setLength(1));
    SimulationControl control(&data);
    control.runGenerators(); // the first generator fills the cap, the second then stays frozen
    EXPECT_EQ(data.cars.size(), 667u);
    EXPECT_EQ(data.generators[1]->countdown, 5);
    const int32_t first = data.generators[0]->countdown;
    control.runGenerators();
    EXPECT_EQ(data.generators[0]->countdown, first);
    EXPECT_EQ(data.generators[1]->countdown, 5);

    for (Car *car : data.cars) {
        release(car);
        delete car;
    }
    data.cars.clear();
    data.generators[0]->countdown = 1000;
    data.generators[1]->countdown = 0;
    for (int i = 0; i < 3; ++i) {
        control.runGenerators();
        EXPECT_EQ(data.generators[1]->countdown, 0); // blocked: tries again next step
    }
    EXPECT_TRUE(data.cars.empty());
    release(&blocker);
    control.runGenerators();
    ASSERT_EQ(data.cars.size(), 1u);
    const Car *car = data.cars.back();
    EXPECT_EQ(car->tailCell(), b.front());
    EXPECT_EQ(car->frontCell(), b[size_t(car->length() - 1)]);
    EXPECT_GE(data.generators[1]->countdown, 0);
    EXPECT_LT(data.generators[1]->countdown, 100);
}

TEST(StepRemoval, AFinishedVehicleLeavesBeforeTheCommitKeepingCellsAnotherVehicleTookOver)
{
    SimulationData data(QTime(8, 0));
    std::vector<Cell *> lane = makeChain(data, 40);
    precomputeCells(data.cells);
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

TEST(ApproachIndex, FindsTheSameVehiclesAsWalkingBackFromEveryStopLine)
{
    FourArmCrossroad x(150);
    precomputeCells(x.data.cells);
    std::vector<std::unique_ptr<TestCar>> vehicles;
    auto put = [&](Cell *front, int length) {
        vehicles.push_back(std::make_unique<TestCar>());
        putAt(front, vehicles.back()->setLength(length));
        x.data.cars.push_back(vehicles.back().get());
    };
    put(x.approach(A::W, 0), 12);   // on the stop line
    put(x.approach(A::S, 99), 12);  // just within reach
    put(x.approach(A::E, 100), 12); // its front is just out of reach
    put(x.approach(A::N, 120), 12); // out of reach
    put(x.approach(A::N, 40), 16);
    put(x.exitCell(A::W, 30), 12); // leaving: never before a stop line
    ApproachIndex index;
    index.build({x.crossroad});
    index.update(x.data);
    x.data.cars.clear(); // the test owns them
    for (Cell *stopLine : x.crossroad->stopLines())
        EXPECT_EQ(index.upstream(stopLine), stopLine->vehicleUpstream(ApproachIndex::REACH)) << stopLine->id;
    EXPECT_EQ(index.upstream(x.stopLine(A::W)), vehicles[0].get());
    EXPECT_EQ(index.upstream(x.stopLine(A::S)), vehicles[1].get());
    EXPECT_EQ(index.upstream(x.stopLine(A::E)), nullptr);
    EXPECT_EQ(index.upstream(x.stopLine(A::N)), vehicles[4].get());
    EXPECT_EQ(index.occupiedApproaches(0), 3); // too many to skip the crossroad's deadlock test
}
