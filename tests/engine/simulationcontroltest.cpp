#include "tests/model/testnetwork.h"

#include "engine/simulationcontrol.h"
#include "model/approachindex.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/generator.h"
#include "model/simulationdata.h"

#include <gtest/gtest.h>

namespace {

/// Adds `n` cars to the list without placing them: they only count towards the cap.
void fillCarList(SimulationData &data, size_t n)
{
    while (data.cars.size() < n)
        data.cars.push_back(new Car(data));
}

} // namespace

TEST(StepGenerators, TheCarCapFreezesEveryCountdown)
{
    SimulationData data(QTime(8, 0));
    std::vector<Cell *> a = makeChain(data, 200);
    std::vector<Cell *> b = makeChain(data, 200, Location(50.001, 14.0));
    data.generators.push_back(new Generator(data.newGeneratorId(), a.front(), &data.cars, 100));
    data.generators.push_back(new Generator(data.newGeneratorId(), b.front(), &data.cars, 100));
    data.generators[1]->countdown = 5;
    fillCarList(data, 667);
    SimulationControl control(&data);
    control.runGenerators();
    EXPECT_EQ(data.cars.size(), 667u);
    EXPECT_EQ(data.generators[0]->countdown, 0);
    EXPECT_EQ(data.generators[1]->countdown, 5);

    delete data.cars.back();
    data.cars.pop_back(); // 666: the first generator fills the cap, the second then stays frozen
    control.runGenerators();
    EXPECT_EQ(data.cars.size(), 667u);
    EXPECT_EQ(data.generators[1]->countdown, 5);
}

TEST(StepGenerators, ABlockedEntryIsRetriedEveryStepUntilTheCarFits)
{
    SimulationData data(QTime(8, 0), 3);
    std::vector<Cell *> lane = makeChain(data, 200);
    data.generators.push_back(new Generator(data.newGeneratorId(), lane.front(), &data.cars, 100));
    TestVehicle blocker;
    blocker.setLength(1);
    putAt(lane[3], blocker);
    SimulationControl control(&data);
    for (int i = 0; i < 3; ++i) {
        control.runGenerators();
        EXPECT_TRUE(data.cars.empty());
        EXPECT_EQ(data.generators[0]->countdown, 0); // tries again next step
    }
    release(&blocker);
    control.runGenerators();
    ASSERT_EQ(data.cars.size(), 1u);
    const Car *car = data.cars.front();
    EXPECT_EQ(car->tailCell(), lane.front());
    EXPECT_EQ(car->frontCell(), lane[size_t(car->length() - 1)]);
    EXPECT_GE(data.generators[0]->countdown, 0);
    EXPECT_LT(data.generators[0]->countdown, 100);
}

TEST(StepRemoval, AVehicleFinishedInItsDecisionLeavesBeforeSpeedsAreCommitted)
{
    SimulationData data(QTime(8, 0));
    std::vector<Cell *> exitLane = makeChain(data, 40);
    precomputeCells(data.cells);
    Car *leaving = new Car(data);
    ASSERT_TRUE(place(exitLane.back(), leaving)); // front on the last cell of a network exit
    data.cars.push_back(leaving);
    SimulationControl control(&data);
    control.advanceClock();
    control.decideVehicles();
    ASSERT_TRUE(data.cars.front()->isFinished());
    control.removeFinishedVehicles();
    EXPECT_TRUE(data.cars.empty());
    for (const Cell *cell : exitLane)
        EXPECT_EQ(cell->vehicle, nullptr);
    control.commitSpeeds();
    control.moveVehicles(); // nothing left to move
    EXPECT_EQ(exitLane.back()->vehicle, nullptr);
}

TEST(StepRemoval, ReleasingAFinishedVehicleKeepsCellsAnotherVehicleTookOver)
{
    SimulationData data(QTime(8, 0));
    std::vector<Cell *> lane = makeChain(data, 40);
    Car *first = new Car(data);
    Car *second = new Car(data);
    ASSERT_TRUE(place(lane[30], first));
    // The second car was moved later onto two of the first car's cells.
    std::vector<Cell *> overlap = {lane[30 - first->length() + 2], lane[30 - first->length() + 1]};
    second->setCells(overlap);
    occupy(overlap, second);
    first->setFinished();
    data.cars = {first, second};
    SimulationControl control(&data);
    control.removeFinishedVehicles();
    ASSERT_EQ(data.cars.size(), 1u);
    EXPECT_EQ(overlap[0]->vehicle, second);
    EXPECT_EQ(overlap[1]->vehicle, second);
    EXPECT_EQ(lane[30]->vehicle, nullptr);
}

TEST(ApproachIndex, FindsTheSameVehiclesAsWalkingBackFromEveryStopLine)
{
    FourArmCrossroad x(150);
    precomputeCells(x.data.cells);
    std::vector<std::unique_ptr<TestCar>> vehicles;
    auto put = [&](Cell *front, int length) {
        vehicles.push_back(std::make_unique<TestCar>());
        vehicles.back()->setLength(length);
        putAt(front, *vehicles.back());
    };
    put(x.approach(FourArmCrossroad::W, 0), 12);   // on the stop line
    put(x.approach(FourArmCrossroad::S, 99), 12);  // just within reach
    put(x.approach(FourArmCrossroad::E, 100), 12); // its front is just out of reach
    put(x.approach(FourArmCrossroad::N, 120), 12); // out of reach
    put(x.approach(FourArmCrossroad::N, 40), 16);
    put(x.exitCell(FourArmCrossroad::W, 30), 12); // leaving: never before a stop line

    ApproachIndex index;
    index.build({x.crossroad});
    SimulationData &data = x.data;
    for (auto &v : vehicles)
        data.cars.push_back(v.get());
    index.update(data);
    data.cars.clear(); // the test owns them
    for (Cell *stopLine : x.crossroad->stopLines())
        EXPECT_EQ(index.upstream(stopLine), stopLine->vehicleUpstream(ApproachIndex::REACH)) << stopLine->id;
    EXPECT_EQ(index.upstream(x.stopLine(FourArmCrossroad::W)), vehicles[0].get());
    EXPECT_EQ(index.upstream(x.stopLine(FourArmCrossroad::S)), vehicles[1].get());
    EXPECT_EQ(index.upstream(x.stopLine(FourArmCrossroad::E)), nullptr);
    EXPECT_EQ(index.upstream(x.stopLine(FourArmCrossroad::N)), vehicles[4].get());
}
