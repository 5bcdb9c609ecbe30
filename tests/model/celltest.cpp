#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/event.h"
#include "model/vehicle.h"
#include "osm/way.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

/// A chain of cells owned by the test.
struct Chain
{
    std::vector<std::unique_ptr<Cell>> cells;

    explicit Chain(int n, bool loop = false)
    {
        for (int i = 0; i < n; ++i)
            cells.push_back(std::make_unique<Cell>());
        for (int i = 0; i + 1 < n; ++i) {
            cells[i]->next = cells[i + 1].get();
            cells[i + 1]->previous = cells[i].get();
        }
        if (loop && n > 0) {
            cells.back()->next = cells.front().get();
            cells.front()->previous = cells.back().get();
        }
    }
    Cell *operator[](int i) const { return cells[size_t(i)].get(); }
};

/// A vehicle with a chosen length and speed.
class TestVehicle : public Vehicle
{
public:
    explicit TestVehicle(int length, int speed = 0)
    {
        m_length = length;
        m_speed = speed;
    }
};

/// Puts the vehicle with its front on chain[front] and its body behind.
void put(TestVehicle &v, const Chain &chain, int front)
{
    std::vector<Cell *> body;
    for (int i = 0; i < v.length(); ++i)
        body.push_back(chain[front - i]);
    v.setCells(body);
    occupy(body, &v);
}

} // namespace

TEST(CellWalks, AheadAndBehindReturnNullOffTheChain)
{
    Chain chain(5);
    EXPECT_EQ(chain[2]->cellAhead(0), chain[2]);
    EXPECT_EQ(chain[2]->cellBehind(0), chain[2]);
    EXPECT_EQ(chain[1]->cellAhead(3), chain[4]);
    EXPECT_EQ(chain[1]->cellAhead(4), nullptr); // not the last cell reached
    EXPECT_EQ(chain[3]->cellBehind(3), chain[0]);
    EXPECT_EQ(chain[3]->cellBehind(4), nullptr);
    EXPECT_EQ(chain[3]->cellAhead(-2), chain[1]);
    EXPECT_EQ(chain[1]->cellBehind(-2), chain[3]);
    EXPECT_EQ(chain[0]->cellsToEnd(), 4);
    EXPECT_EQ(chain[4]->cellsFromStart(), 4);
    EXPECT_EQ(chain[1]->chainEnd(), chain[4]);
}

TEST(CellWalks, LoopsNeverWalkForever)
{
    Chain ring(6, true);
    EXPECT_EQ(ring[2]->cellsToEnd(), 0);
    EXPECT_EQ(ring[2]->cellsFromStart(), 0);
    EXPECT_EQ(ring[2]->chainEnd(), nullptr);
    EXPECT_EQ(crossroadAhead(ring[2]), nullptr);
    EXPECT_EQ(distanceToCrossroad(ring[2]), -1);
    EXPECT_EQ(vehiclesAhead(ring[0], 10), 0);
    EXPECT_EQ(occupiedAhead(ring[0], 7), 0);
    EXPECT_EQ(ring[0]->cellAhead(6), ring[0]); // a counted walk just goes round
    TestVehicle v(2);
    put(v, ring, 3);
    EXPECT_EQ(vehiclesAhead(ring[0], 6), 1); // six cells do not loop back to the start
    EXPECT_EQ(occupiedInLoop(ring[0]), 2);
    EXPECT_EQ(ring[0]->vehicleUpstream(100), &v); // walking back, wrapping once
    Chain line(4);
    EXPECT_EQ(occupiedInLoop(line[0]), 0);
    // Stop runs around a ring end where they began.
    for (int i = 0; i < 6; ++i)
        ring[i]->stop = reinterpret_cast<OSMStop *>(&ring);
    EXPECT_EQ(ring[2]->platformEnd(), ring[1]);
    EXPECT_EQ(ring[2]->platformStart(), ring[3]);
}

TEST(CellWalks, PlatformEndsAndUpstreamVehicles)
{
    Chain chain(10);
    OSMStop *stop = reinterpret_cast<OSMStop *>(&chain); // only compared with null
    for (int i = 3; i <= 6; ++i)
        chain[i]->stop = stop;
    EXPECT_EQ(chain[4]->platformEnd(), chain[6]);
    EXPECT_EQ(chain[4]->platformStart(), chain[3]);
    EXPECT_EQ(chain[0]->platformEnd(), chain[0]); // a cell without a stop is its own run

    TestVehicle v(2);
    put(v, chain, 2);
    EXPECT_EQ(chain[8]->vehicleUpstream(7), &v);
    EXPECT_EQ(chain[8]->vehicleUpstream(6), nullptr);
    EXPECT_EQ(chain[8]->vehicleUpstream(0), nullptr);
    EXPECT_EQ(chain[2]->vehicleUpstream(1), &v);
}

TEST(ChainQueries, DistanceAndCrossroadAhead)
{
    Chain chain(5);
    Crossroad crossroad;
    EXPECT_EQ(distanceToCrossroad(chain[0]), -1);
    EXPECT_EQ(distanceToCrossroad(nullptr), -1);
    chain[4]->crossroad = &crossroad;
    EXPECT_EQ(distanceToCrossroad(chain[4]), 1);
    EXPECT_EQ(distanceToCrossroad(chain[0]), 5);
    EXPECT_EQ(crossroadAhead(chain[1]), &crossroad);
    EXPECT_EQ(crossroadAhead(nullptr), nullptr);
}

TEST(ChainQueries, PlacementIsRefusedWithoutRoomBehind)
{
    Chain chain(20);
    TestVehicle car(12);
    EXPECT_FALSE(canPlace(chain[10], &car)); // 11 cells including itself
    EXPECT_TRUE(canPlace(chain[11], &car));
    EXPECT_FALSE(canPlace(nullptr, &car));
    EXPECT_FALSE(canPlace(chain[11], nullptr));
    TestVehicle other(2);
    put(other, chain, 5);
    EXPECT_FALSE(canPlace(chain[15], &car)); // cell 4 is occupied
    EXPECT_TRUE(canPlace(chain[19], &car));
    release(&other);
    EXPECT_TRUE(canPlace(chain[15], &car));
}

TEST(ChainQueries, QueuesAndCountsTellVehiclesApart)
{
    Chain chain(40);
    TestVehicle a(3, 0), b(3, 0), c(3, 4);
    put(a, chain, 30);
    put(b, chain, 25);
    put(c, chain, 18);
    EXPECT_EQ(standingQueue(chain[30]), 2); // a and b stand, c moves
    EXPECT_EQ(standingQueue(chain[35]), 2);
    EXPECT_EQ(vehiclesAhead(chain[20], 20), 2);
    EXPECT_EQ(vehiclesAhead(chain[16], 3), 1);
    EXPECT_EQ(vehiclesAhead(chain[0], 0), 0);
    EXPECT_EQ(vehiclesAhead(nullptr, 10), 0);
    EXPECT_EQ(occupiedAhead(chain[20], 20), 6);
    EXPECT_EQ(occupiedAhead(chain[20], 0), 0);
}

TEST(ChainQueries, RouteIndexFindsTheFirstEntryOfAPair)
{
    Crossroad x, y;
    LaneBinding k1, k2;
    class RoutedVehicle : public Vehicle
    {
    public:
        void push(const RouteEntry &e) { m_route.push_back(e); }
    } v;
    v.push({&x, nullptr, &k1, nullptr});
    v.push({&y, nullptr, &k2, nullptr});
    EXPECT_EQ(routeIndexOf(&v, &y, &k2), 1);
    EXPECT_EQ(routeIndexOf(&v, &x, &k2), -1);
}

TEST(CrossroadPaths, LookupsByWayAndRandomChoice)
{
    Way w1, w2;
    w1.setId(101);
    w2.setId(202);
    WayBinding b1(&w1), b2(&w2);
    LaneBinding in, out1, out2;
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
    int counts[2] = {0, 0};
    for (int i = 0; i < 2000; ++i)
        ++counts[x.randomPath(&in, random)->pathCell == &p1 ? 0 : 1];
    EXPECT_GT(counts[0], 850);
    EXPECT_GT(counts[1], 850);
    EXPECT_EQ(x.randomPath(&out1, random), nullptr);
}

TEST(CrossroadConflicts, RecordsAreFoundByPairAndExtended)
{
    LaneBinding in, out, other, otherExit1, otherExit2;
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
    TestVehicle v(1);
    c.vehicle = &v;
    events.add(EventCrossroad, &c, 4);
    events.add(EventVehicle, &c, 6);
    EXPECT_EQ(events.leader(), nullptr); // the first event is not a vehicle
    EventList vehiclesOnly;
    events.copyWithout(eventBit(EventCrossroad), vehiclesOnly);
    EXPECT_EQ(vehiclesOnly.firstDistance(), 6);
    EXPECT_EQ(vehiclesOnly.leader(), &v);
}
