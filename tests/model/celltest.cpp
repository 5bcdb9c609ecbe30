// Walks along cell chains, chain queries, crossroad look-ups and event lists.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/event.h"
#include "osm/osmstop.h"

#include <gtest/gtest.h>

namespace {

/// A chain of `n` cells, closed into a ring if asked.
std::vector<Cell *> chainOf(SimulationData &data, int n, bool loop = false)
{
    std::vector<Cell *> chain = makeChain(data, n);
    if (loop)
        link(chain.back(), chain.front());
    return chain;
}

} // namespace

TEST(CellWalks, AheadAndBehindReturnNullOffTheChain)
{
    SimulationData data;
    const auto c = chainOf(data, 5);
    EXPECT_EQ(c[2]->cellAhead(0), c[2]);
    EXPECT_EQ(c[2]->cellBehind(0), c[2]);
    EXPECT_EQ(c[1]->cellAhead(3), c[4]);
    EXPECT_EQ(c[1]->cellAhead(4), nullptr); // not the last cell reached
    EXPECT_EQ(c[3]->cellBehind(3), c[0]);
    EXPECT_EQ(c[3]->cellBehind(4), nullptr);
    EXPECT_EQ(c[3]->cellAhead(-2), c[1]);
    EXPECT_EQ(c[1]->cellBehind(-2), c[3]);
    EXPECT_EQ(c[0]->cellsToEnd(), 4);
    EXPECT_EQ(c[4]->cellsFromStart(), 4);
    EXPECT_EQ(c[1]->chainEnd(), c[4]);
}

TEST(CellWalks, LoopsNeverWalkForever)
{
    SimulationData data;
    const auto ring = chainOf(data, 6, true);
    EXPECT_EQ(ring[2]->cellsToEnd(), 0);
    EXPECT_EQ(ring[2]->cellsFromStart(), 0);
    EXPECT_EQ(ring[2]->chainEnd(), nullptr);
    EXPECT_EQ(crossroadAhead(ring[2]), nullptr);
    EXPECT_EQ(distanceToCrossroad(ring[2]), -1);
    EXPECT_EQ(vehiclesAhead(ring[0], 10), 0);
    EXPECT_EQ(occupiedAhead(ring[0], 7), 0);
    EXPECT_EQ(ring[0]->cellAhead(6), ring[0]); // a counted walk just goes round
    TestVehicle v;
    putAt(ring[3], v.setLength(2));
    EXPECT_EQ(vehiclesAhead(ring[0], 6), 1); // six cells do not loop back to the start
    EXPECT_EQ(occupiedInLoop(ring[0]), 2);
    EXPECT_EQ(ring[0]->vehicleUpstream(100), &v); // walking back, wrapping once
    EXPECT_EQ(occupiedInLoop(chainOf(data, 4)[0]), 0);
    // Stop runs around a ring end where they began.
    OSMStop stop(0, "stop", BusStop, nullptr);
    for (Cell *c : ring)
        c->stop = &stop;
    EXPECT_EQ(ring[2]->platformEnd(), ring[1]);
    EXPECT_EQ(ring[2]->platformStart(), ring[3]);
}

TEST(CellWalks, PlatformEndsAndUpstreamVehicles)
{
    SimulationData data;
    const auto c = chainOf(data, 10);
    OSMStop stop(0, "stop", BusStop, nullptr);
    for (int i = 3; i <= 6; ++i)
        c[size_t(i)]->stop = &stop;
    EXPECT_EQ(c[4]->platformEnd(), c[6]);
    EXPECT_EQ(c[4]->platformStart(), c[3]);
    EXPECT_EQ(c[0]->platformEnd(), c[0]); // a cell without a stop is its own run
    TestVehicle v;
    putAt(c[2], v.setLength(2));
    EXPECT_EQ(c[8]->vehicleUpstream(7), &v);
    EXPECT_EQ(c[8]->vehicleUpstream(6), nullptr);
    EXPECT_EQ(c[8]->vehicleUpstream(0), nullptr);
    EXPECT_EQ(c[2]->vehicleUpstream(1), &v);
}

TEST(ChainQueries, DistanceAndCrossroadAhead)
{
    SimulationData data;
    const auto c = chainOf(data, 5);
    Crossroad crossroad;
    EXPECT_EQ(distanceToCrossroad(c[0]), -1);
    EXPECT_EQ(distanceToCrossroad(nullptr), -1);
    c[4]->crossroad = &crossroad;
    EXPECT_EQ(distanceToCrossroad(c[4]), 1);
    EXPECT_EQ(distanceToCrossroad(c[0]), 5);
    EXPECT_EQ(crossroadAhead(c[1]), &crossroad);
    EXPECT_EQ(crossroadAhead(nullptr), nullptr);
}

TEST(ChainQueries, PlacementIsRefusedWithoutRoomBehind)
{
    SimulationData data;
    const auto c = chainOf(data, 20);
    TestVehicle car, other;
    EXPECT_FALSE(canPlace(c[10], &car)); // 11 cells including itself
    EXPECT_TRUE(canPlace(c[11], &car));
    EXPECT_FALSE(canPlace(nullptr, &car));
    EXPECT_FALSE(canPlace(c[11], nullptr));
    putAt(c[5], other.setLength(2));
    EXPECT_FALSE(canPlace(c[15], &car)); // cell 4 is occupied
    EXPECT_TRUE(canPlace(c[19], &car));
}

TEST(ChainQueries, QueuesAndCountsTellVehiclesApart)
{
    SimulationData data;
    const auto c = chainOf(data, 40);
    TestVehicle a, b, moving;
    putAt(c[30], a.setLength(3));
    putAt(c[25], b.setLength(3));
    putAt(c[18], moving.setLength(3).setSpeed(4));
    EXPECT_EQ(standingQueue(c[30]), 2); // a and b stand, the third moves
    EXPECT_EQ(standingQueue(c[35]), 2);
    EXPECT_EQ(vehiclesAhead(c[20], 20), 2);
    EXPECT_EQ(vehiclesAhead(c[16], 3), 1);
    EXPECT_EQ(vehiclesAhead(c[0], 0), 0);
    EXPECT_EQ(vehiclesAhead(c[30], 1), 1); // one cell: the vehicle on it
    EXPECT_EQ(occupiedAhead(c[30], 1), 1);
    EXPECT_EQ(vehiclesAhead(nullptr, 10), 0);
    EXPECT_EQ(occupiedAhead(c[20], 20), 6);
    EXPECT_EQ(occupiedAhead(c[20], 0), 0);
}

TEST(ChainQueries, RouteIndexFindsTheEntryOfAPair)
{
    Crossroad x, y;
    LaneBinding k1(0), k2(1);
    TestVehicle v;
    v.addRouteEntry({&x, nullptr, &k1, nullptr});
    v.addRouteEntry({&y, nullptr, &k2, nullptr});
    EXPECT_EQ(routeIndexOf(&v, &y, &k2), 1);
    EXPECT_EQ(routeIndexOf(&v, &x, &k2), -1);
}

TEST(CrossroadPaths, LookupsByWayAndRandomChoice)
{
    Way w1, w2;
    w1.setId(101);
    w2.setId(202);
    WayBinding b1(&w1), b2(&w2);
    LaneBinding in(0), out1(1), out2(2);
    out1.direction = &b1.forward;
    out2.direction = &b2.forward;
    Cell p1, p2;
    Crossroad x;
    x.addPath(&in, &out1, &p1);
    x.addPath(&in, &out2, &p2);
    ASSERT_NE(x.findPath(&in, 202), nullptr);
    EXPECT_EQ(x.findPath(&in, 202)->pathCell, &p2);
    EXPECT_EQ(x.findPath(&in, 303), nullptr);
    EXPECT_EQ(x.findPath(&out1, 101), nullptr); // absent entry
    EXPECT_EQ(x.findPath(nullptr, 101), nullptr);

    RandomStream random(7);
    int first = 0;
    for (int i = 0; i < 2000; ++i)
        first += x.randomPath(&in, random)->pathCell == &p1 ? 1 : 0;
    EXPECT_NEAR(first, 1000, 150);
    EXPECT_EQ(x.randomPath(&out1, random), nullptr);
}

TEST(CrossroadConflicts, RecordsAreFoundByPairAndExtended)
{
    LaneBinding in(0), out(1), other(2), otherExit1(3), otherExit2(4);
    Crossroad x;
    x.addConflict(&in, &out, &other, &otherExit1);
    x.addConflict(&in, &out, &other, &otherExit2);
    x.addSignalConflict(&in, &out, &other, &otherExit1);
    ASSERT_EQ(x.conflicts.size(), 1u);
    const ConflictRecord *record = Crossroad::findRecord(x.conflicts, &in, &out);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->lanes.size(), 1u);
    EXPECT_EQ(record->lanes.at(&other), (std::vector<LaneBinding *>{&otherExit1, &otherExit2}));
    EXPECT_EQ(Crossroad::findRecord(x.conflicts, &out, &in), nullptr);
    EXPECT_EQ(x.signalConflicts.size(), 1u);
}

TEST(EventLists, EmptyListReportsNoneFarAway)
{
    EventList events;
    EXPECT_EQ(events.firstType(), EventNone);
    EXPECT_EQ(events.firstDistance(), 99999);
    EXPECT_EQ(events.leader(), nullptr);
    Cell c;
    TestVehicle v;
    c.vehicle = &v;
    events.add(EventCrossroad, &c, 4);
    events.add(EventVehicle, &c, 6);
    EXPECT_EQ(events.leader(), nullptr); // the first event is not a vehicle
    EventList vehiclesOnly;
    events.copyWithout(eventBit(EventCrossroad), vehiclesOnly);
    EXPECT_EQ(vehiclesOnly.firstDistance(), 6);
    EXPECT_EQ(vehiclesOnly.leader(), &v);
}
