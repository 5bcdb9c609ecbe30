// The rules that keep crossroads from locking for good: who counts as approaching, who is not
// waited for, merging traffic seen along the path, and a car that takes another way out.

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
    void SetUp() override { precomputeCells(x.data.cells); }
    FourArmCrossroad x{120};
};

} // namespace

TEST_F(RingBreaking, AVehicleThatHasPassedTheStopLineIsNotTheOneApproaching)
{
    TestVehicle leaving, next;
    leaving.addRouteEntry(x.entry(A::W, A::E));
    putAt(x.pathCell(A::W, A::E)->cellAhead(3), leaving); // its tail is still on the lane
    x.arrive(next, A::W, A::E, 30);
    ASSERT_EQ(x.stopLine(A::W)->vehicle(), &leaving);
    EXPECT_EQ(approachingVehicle(x.stopLine(A::W), 100), &next);
    EXPECT_EQ(approachingVehicle(x.stopLine(A::W), 30), nullptr); // its front is 30 cells back: out of reach
    EXPECT_EQ(approachingVehicle(x.stopLine(A::S), 100), nullptr);
}

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

TEST_F(RingBreaking, AVehicleOnAnotherPathIntoTheSameLaneIsSeenWhenItIsNearerTheMerge)
{
    TestVehicle me, merging;
    me.setSpeed(6); // the look-ahead reaches beyond the merge
    x.arrive(me, A::W, A::N);
    merging.addRouteEntry(x.entry(A::E, A::N));
    putAt(x.pathCell(A::E, A::N)->cellAhead(x.pathLength(A::E, A::N) - 2), merging);
    auto sees = [](const Vehicle &v, const Vehicle &other) {
        EventList events;
        v.scanAhead(events);
        for (size_t i = 0; i < events.size(); ++i)
            if (events[i].type == EventVehicle && events[i].cell->vehicle() == &other)
                return true;
        return false;
    };
    EXPECT_TRUE(sees(me, merging));
    EXPECT_FALSE(sees(merging, me)); // the one nearer the merge does not wait for the other
}

TEST_F(RingBreaking, ACarWithoutRoomTakesAnotherExitOnceItsPatienceIsOut)
{
    std::vector<TestVehicle> full(5);
    x.fillExit(A::E, full);
    TestCar car;
    car.setLength(12);
    x.arrive(car, A::W, A::E);
    for (int step = 0; step < Car::PATIENCE; ++step) {
        car.decide();
        car.commitSpeed();
        ASSERT_EQ(car.speed(), 0) << "step " << step;
    }
    ASSERT_FALSE(car.route().empty());
    EXPECT_NE(car.route().front().exitLane, x.out(A::E));
    EXPECT_EQ(car.route().front().crossroad, x.crossroad);
}

TEST_F(RingBreaking, AVehicleThatHasWaitedLongerStillMovesIntoTheCrossroadToWaitForRoom)
{
    std::vector<TestVehicle> east(5), south(5), north(5); // every way out is full
    x.fillExit(A::E, east);
    x.fillExit(A::S, south);
    x.fillExit(A::N, north);
    TestCar car;
    car.setLength(12);
    x.arrive(car, A::W, A::E);
    ASSERT_GE(x.pathLength(A::W, A::E), 12) << "the crossroad must hold the car";
    for (int step = 0; step < Vehicle::BOX_PATIENCE - 1; ++step) {
        car.decide();
        car.commitSpeed();
        ASSERT_EQ(car.speed(), 0) << "step " << step;
    }
    car.decide();
    EXPECT_GT(car.nextSpeed(), 0);
    EXPECT_EQ(car.nextExitLane(), x.out(A::E));
}

TEST_F(RingBreaking, ALongWaiterWithoutRoomIsNotLetGoFirst)
{
    std::vector<TestVehicle> full(5);
    x.fillExit(A::N, full);
    TestVehicle waiter, me;
    x.arrive(waiter, A::S, A::N); // crosses the path of W to E
    for (int step = 0; step <= LONG_WAIT; ++step)
        waiter.commitSpeed();
    x.arrive(me, A::W, A::E);
    EXPECT_TRUE(x.crossroad->mayGo(&me)) << "the waiter cannot take its turn";
    for (TestVehicle &v : full)
        release(&v);
    EXPECT_FALSE(x.crossroad->mayGo(&me)) << "with room the long waiter goes first";
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
