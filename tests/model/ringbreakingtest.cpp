// The rules that keep crossroads from locking for good: who is not waited for, a car that takes
// another way out and never waits in the crossroad, and a bus passing a bay.

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/rightofway.h"
#include "testguided.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

using A = FourArmCrossroad;

namespace {

/// A four-arm crossroad with arms of 120 cells and its cell cache built.
class RingBreaking : public ::testing::Test
{
protected:
    void SetUp() override { precomputeCells(x.data.allCells()); }
    /// Puts `car`, 12 cells long, at the stop line of W heading for E, whose exit is full.
    void arriveBeforeAFullExit(TestCar &car)
    {
        x.fillExit(A::E, full);
        car.setLength(12);
        x.arrive(car, A::W, A::E);
    }
    FourArmCrossroad x{120};
    std::vector<TestVehicle> full = std::vector<TestVehicle>(5);
};

} // namespace

TEST_F(RingBreaking, AHeadWithoutRoomAndTheQueueBehindItAreNotWaitedFor)
{
    std::vector<TestVehicle> full(5);
    x.fillExit(A::E, full);
    TestVehicle head, second, me;
    x.arrive(head, A::W, A::E);
    x.arrive(second, A::W, A::E, 14);
    x.arrive(me, A::N, A::S); // N yields to W, on its right
    const std::vector<LaneBinding *> exits = {x.out(A::E)};
    EXPECT_TRUE(conflictingLaneIsClear(x.in(A::W), exits, 10));
    EXPECT_TRUE(x.crossroad->mayGo(&me));
    // With room on the exit the head takes its turn and N waits.
    for (TestVehicle &v : full)
        release(&v);
    EXPECT_FALSE(conflictingLaneIsClear(x.in(A::W), exits, 10));
    EXPECT_FALSE(x.crossroad->mayGo(&me));
}

TEST_F(RingBreaking, ACarWithoutRoomTakesAnotherExitOnceItsPatienceIsOut)
{
    TestCar car;
    arriveBeforeAFullExit(car);
    for (int step = 0; step < Car::PATIENCE; ++step) {
        car.decide();
        car.commitSpeed();
        ASSERT_EQ(car.speed(), 0) << "step " << step;
    }
    ASSERT_FALSE(car.route().empty());
    EXPECT_NE(car.route().front().exitLane, x.out(A::E));
    EXPECT_EQ(car.route().front().crossroad, x.crossroad);
}

TEST_F(RingBreaking, AnExitLaneRunningOnUnderTheVehiclesOwnBodyAlwaysHasRoom)
{
    TestCar car;
    arriveBeforeAFullExit(car);
    ASSERT_NE(entryWithoutRoom(&car), nullptr);
    // In a ring of lanes shorter than the car, the lane it leaves by leads round under its tail,
    // which leaves those cells as the car moves.
    car.cells().back()->setWayLink(x.out(A::E));
    EXPECT_EQ(entryWithoutRoom(&car), nullptr);
}

TEST_F(RingBreaking, ACarWithEveryWayOutFullWaitsAtItsStopLineAndNeverInTheCrossroad)
{
    // Waiting in the crossroad it could no longer turn elsewhere, and it would hold up the paths
    // that cross its own.
    std::vector<TestVehicle> east(5), south(5), north(5);
    x.fillExit(A::E, east);
    x.fillExit(A::S, south);
    x.fillExit(A::N, north);
    TestCar car;
    car.setLength(12);
    x.arrive(car, A::W, A::E);
    for (int step = 0; step < Vehicle::BOX_PATIENCE + 10; ++step) {
        car.decide();
        car.commitSpeed();
        ASSERT_EQ(car.speed(), 0) << "step " << step;
    }
    EXPECT_EQ(car.waitCause(), WaitCause::ExitRoom);
    EXPECT_EQ(car.stoodAtStopLine(), Vehicle::BOX_PATIENCE + 10);
}

TEST(RingBreakingAtBays, ABusBesideABusStandingInABayDrivesOn)
{
    // The bus in the bay can only pull out once the lane beside it is free; a bus standing beside
    // it, whether or not the bay is its stop, would keep it there for good.
    for (bool servesTheBay : {false, true}) {
        StopStreet street(300);
        OSMStop *bay = street.addBay(100, 80);
        const PublicTransportLine inBay = makeLine({7}, {bay->getId()}, {0});
        const PublicTransportLine passing = makeLine({7}, {servesTheBay ? bay->getId() : 99}, {0});
        TestBus standing(&inBay, 0), bus(&passing, 0);
        putAt(street.bayCells.back(), standing);
        putAt(street.lane[160], bus);
        bus.decide(0);
        EXPECT_GT(bus.nextSpeed(), 0) << (servesTheBay ? "its own stop" : "another stop");
    }
}
