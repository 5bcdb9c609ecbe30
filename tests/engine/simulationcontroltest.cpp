#include "tests/model/testnetwork.h"

#include "engine/simulationcontrol.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/simulationdata.h"

#include <gtest/gtest.h>

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
