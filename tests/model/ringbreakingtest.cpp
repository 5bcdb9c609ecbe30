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

void arrive(FourArmCrossroad &x, Vehicle &v, A::Arm from, A::Arm to, int back = 0)
{
    v.addRouteEntry(x.entry(from, to));
    putAt(x.approach(from, back), v);
}

/// Fills the first cells of the exit lane of `arm` with standing cars, so nothing has room there.
void fillExit(FourArmCrossroad &x, A::Arm arm, std::vector<TestVehicle> &cars)
{
    for (size_t i = 0; i < cars.size(); ++i)
        putAt(x.exitCell(arm, 11 + 12 * int(i)), cars[i]);
}

} // namespace

TEST(RingBreaking, AVehicleThatHasPassedTheStopLineIsNotTheOneApproaching)
{
    FourArmCrossroad x(120);
    TestVehicle leaving, next;
    leaving.addRouteEntry(x.entry(A::W, A::E));
    putAt(x.pathCell(A::W, A::E)->cellAhead(3), leaving); // its tail is still on the lane
    arrive(x, next, A::W, A::E, 30);
    ASSERT_EQ(x.stopLine(A::W)->vehicle, &leaving);
    EXPECT_EQ(approachingVehicle(x.stopLine(A::W), 100), &next);
    EXPECT_EQ(approachingVehicle(x.stopLine(A::S), 100), nullptr);
}

TEST(RingBreaking, AHeadWithoutRoomAndTheQueueBehindItAreNotWaitedFor)
{
    FourArmCrossroad x(120);
    std::vector<TestVehicle> full(5);
    fillExit(x, A::E, full);
    TestVehicle head, second, me;
    arrive(x, head, A::W, A::E);
    arrive(x, second, A::W, A::E, 14);
    arrive(x, me, A::N, A::S); // N yields to W, on its right
    const std::vector<LaneBinding *> exits = {x.out(A::E)};
    EXPECT_TRUE(conflictingLaneIsClear(x.in(A::W), exits, 10));
    EXPECT_TRUE(x.crossroad->mayGo(&me));
    // With room on the exit the head takes its turn and N waits.
    for (TestVehicle &v : full)
        release(&v);
    EXPECT_FALSE(conflictingLaneIsClear(x.in(A::W), exits, 10));
    EXPECT_FALSE(x.crossroad->mayGo(&me));
}

TEST(RingBreaking, AVehicleOnAnotherPathIntoTheSameLaneIsSeenWhenItIsNearerTheMerge)
{
    FourArmCrossroad x(120);
    TestVehicle me, merging;
    me.setSpeed(6); // the look-ahead reaches beyond the merge
    arrive(x, me, A::W, A::N);
    merging.addRouteEntry(x.entry(A::E, A::N));
    Cell *path = x.pathCell(A::E, A::N);
    int cells = 0;
    for (const Cell *c = path; c->inCrossroad; c = c->next)
        ++cells;
    putAt(path->cellAhead(cells - 2), merging);
    auto sees = [](const Vehicle &v, const Vehicle &other) {
        EventList events;
        v.scanAhead(events);
        for (size_t i = 0; i < events.size(); ++i)
            if (events[i].type == EventVehicle && events[i].cell->vehicle == &other)
                return true;
        return false;
    };
    EXPECT_TRUE(sees(me, merging));
    EXPECT_FALSE(sees(merging, me)); // the one nearer the merge does not wait for the other
}

TEST(RingBreaking, ACarWithoutRoomTakesAnotherExitOnceItsPatienceIsOut)
{
    FourArmCrossroad x(120);
    precomputeCells(x.data.cells);
    std::vector<TestVehicle> full(5);
    fillExit(x, A::E, full);
    TestCar car;
    car.setLength(12);
    arrive(x, car, A::W, A::E);
    for (int step = 0; step < Car::PATIENCE; ++step) {
        car.decide();
        car.commitSpeed();
        ASSERT_EQ(car.speed(), 0) << "step " << step;
    }
    ASSERT_FALSE(car.route().empty());
    EXPECT_NE(car.route().front().exitLane, x.out(A::E));
    EXPECT_EQ(car.route().front().crossroad, x.crossroad);
}

TEST(RingBreaking, AVehicleThatHasWaitedTwiceAsLongMovesIntoTheCrossroadToWaitForRoom)
{
    FourArmCrossroad x(120);
    precomputeCells(x.data.cells);
    std::vector<TestVehicle> east(5), south(5), north(5); // every way out is full
    fillExit(x, A::E, east);
    fillExit(x, A::S, south);
    fillExit(x, A::N, north);
    TestCar car;
    car.setLength(12);
    arrive(x, car, A::W, A::E);
    int pathCells = 0;
    for (const Cell *c = x.pathCell(A::W, A::E); c->inCrossroad; c = c->next)
        ++pathCells;
    ASSERT_GE(pathCells, 12) << "the crossroad must hold the car";
    for (int step = 0; step < Vehicle::BOX_PATIENCE - 1; ++step) {
        car.decide();
        car.commitSpeed();
        ASSERT_EQ(car.speed(), 0) << "step " << step;
    }
    car.decide();
    EXPECT_GT(car.nextSpeed(), 0);
    EXPECT_EQ(car.nextExitLane(), x.out(A::E));
}

TEST(RingBreaking, ALongWaiterWithoutRoomIsNotLetGoFirst)
{
    FourArmCrossroad x(120);
    precomputeCells(x.data.cells);
    std::vector<TestVehicle> full(5);
    fillExit(x, A::N, full);
    TestVehicle waiter, me;
    arrive(x, waiter, A::S, A::N); // crosses the path of W to E
    for (int step = 0; step <= LONG_WAIT; ++step)
        waiter.commitSpeed();
    arrive(x, me, A::W, A::E);
    EXPECT_TRUE(x.crossroad->mayGo(&me)) << "the waiter cannot take its turn";
    for (TestVehicle &v : full)
        release(&v);
    EXPECT_FALSE(x.crossroad->mayGo(&me)) << "with room the long waiter goes first";
}

TEST(RingBreaking, ABusBesideABusStandingInABayDrivesOn)
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
