// The driving rules of every vehicle: look-ahead, curves and movement through crossroad paths.
// Car following and the whole decision of many cars at once are checked on the bundled city, whose
// recorded run pins every step.

#include "testguided.h"

#include "geo/geodesy.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/event.h"

#include <gtest/gtest.h>

#include <algorithm>

using A = FourArmCrossroad;
using P = std::pair<EventType, int32_t>;

namespace {

/// Cells along straight pieces: each pair is (links, heading); the links of a piece share its heading.
std::vector<Cell *> bentChain(SimulationData &data, const std::vector<std::pair<int, double>> &pieces)
{
    std::vector<Cell *> chain = makeChain(data, 1);
    for (const auto &piece : pieces) {
        const auto more =
            makeChain(data, piece.first, geo::moveLocation(chain.back()->location(), piece.second, 0.25), piece.second);
        link(chain.back(), more.front());
        chain.insert(chain.end(), more.begin(), more.end());
    }
    return chain;
}

/// The (type, distance) pairs of the vehicle's look-ahead.
std::vector<P> scan(const Vehicle &v)
{
    EventList events;
    v.scanAhead(events);
    std::vector<P> seen;
    for (size_t i = 0; i < events.size(); ++i)
        seen.emplace_back(events[i].type, events[i].distance);
    return seen;
}

} // namespace

TEST(LookAhead, VehiclesRouteEndsStopsAndSideTrafficWithAndWithoutTheCellCache)
{
    SimulationData data;
    const auto chain = makeChain(data, 135); // ends at a network exit
    const auto open = makeChain(data, 100);
    const auto toExit = makeChain(data, 100);
    TestVehicle car, a, b, looking, atReach, pastReach, nearExit;
    putAt(chain[100], car);
    putAt(chain[120], a);     // covers 109..120
    putAt(chain[132], b);     // covers 121..132
    putAt(open[11], looking); // look-ahead 40
    putAt(open[51], atReach.setLength(1));
    putAt(open[52], pastReach.setLength(1));
    putAt(toExit[59], nearExit); // the last cell in reach is the network exit

    StopStreet n(300);
    n.addBay(130, 10);
    OSMStop busStop(0, "bus", BusStop, nullptr);
    OSMStop tramStop(1, "tram", TramStop, nullptr);
    for (int i = 110; i <= 122; ++i)
        n.lane[size_t(i)]->setStop(i < 115 || i > 119 ? &busStop : i <= 117 ? &tramStop : nullptr);
    TestVehicle bus, inBay;
    putAt(n.lane[100], bus.setSpeed(3)); // look-ahead 49
    putAt(n.bayCells[5], inBay.setLength(4));

    // The cache lets the walk read runs of plain cells without following their links: it must see
    // exactly what the walk along the links sees, up to the last cell in reach.
    for (const bool cached : {false, true}) {
        SCOPED_TRACE(cached ? "with the cell cache" : "along the links");
        if (cached) {
            precomputeCells(data.allCells());
            precomputeCells(n.data.allCells());
        }
        // Vehicles once at their cell index from the front, which is index 0; other events one farther.
        EXPECT_EQ(scan(car),
                  (std::vector<P>{{EventType::Vehicle, 9}, {EventType::Vehicle, 21}, {EventType::RouteEnd, 35}}));
        EventList events;
        car.scanAhead(events);
        EXPECT_EQ(events.leader(), &a); // the vehicle it follows
        EXPECT_EQ(scan(looking), (std::vector<P>{{EventType::Vehicle, 40}}));
        EXPECT_EQ(scan(nearExit), (std::vector<P>{{EventType::RouteEnd, 41}}));
        // The first bus platform runs on into the tram platform, so only the tram platform's end
        // counts; the side vehicle counts once although it is beside four cells.
        EXPECT_EQ(scan(bus), (std::vector<P>{{EventType::TramStopEnd, 18},
                                             {EventType::BusStopEnd, 23},
                                             {EventType::SideVehicle, 32},
                                             {EventType::BayEnd, 40}}));
    }
}

TEST(LookAhead, WalksThroughThePlannedPathAndPastTheCrossroadTheFrontHasPassed)
{
    FourArmCrossroad x(60);
    TestVehicle car, beyond;
    putAt(x.approach(A::W, 9), car.setSpeed(8)); // the stop line is 9 cells ahead; look-ahead 104
    putAt(x.exitCell(A::E, 15), beyond);
    EXPECT_EQ(scan(car), (std::vector<P>{{EventType::Crossroad, 10}})); // without a planned path
    car.addRouteEntry(x.entry(A::W, A::E));
    // The tail of `beyond` is on exit cell 4.
    EXPECT_EQ(scan(car),
              (std::vector<P>{{EventType::Crossroad, 10}, {EventType::Vehicle, 10 + x.pathLength(A::W, A::E) + 4}}));
    // One on another path into the same exit, nearer it, is seen as if already on the car's own
    // path: its tail projected back from its front, on the last cell of that path.
    TestVehicle merging;
    Cell *otherPath = x.pathCell(A::S, A::E);
    putAt(otherPath->cellAhead(x.pathLength(A::S, A::E) - 1), merging.setLength(4));
    EXPECT_EQ(scan(car), (std::vector<P>{{EventType::Crossroad, 10},
                                         {EventType::Vehicle, 10 + x.pathLength(A::W, A::E) - 4},
                                         {EventType::Vehicle, 10 + x.pathLength(A::W, A::E) + 4}}));

    // The tail is still before crossroad 0 while the front sees crossroad 1: the walk must go on
    // through crossroad 1's path, not again through crossroad 0's.
    CrossroadsInARow row(30, 8);
    TestVehicle v, ahead;
    v.setSpeed(8).setLength(16);
    v.addRouteEntry(row.entry(0));
    v.addRouteEntry(row.entry(1));
    std::vector<Cell *> body(row.laneCells[1].rend() - 5, row.laneCells[1].rend());
    body.insert(body.end(), row.pathCells[0].rbegin(), row.pathCells[0].rend());
    body.insert(body.end(), row.laneCells[0].rbegin(), row.laneCells[0].rbegin() + 3);
    v.setCells(body);
    occupy(body, &v);
    putAt(row.laneCells[2][10], ahead.setLength(4));
    EXPECT_EQ(scan(v),
              (std::vector<P>{
                  {EventType::Crossroad, 26}, {EventType::Vehicle, 26 + 8 + 7}, {EventType::RouteEnd, 26 + 8 + 30}}));
}

TEST(Curves, OnlyBendsWithinReachThatNeedALimitSlowTheVehicleAndTheSharpestWins)
{
    struct Row
    {
        std::vector<std::pair<int, double>> pieces;
        int32_t speed, limit;
        const char *why;
    };
    // A 30° bend limits to 11 when it is within 1.5 · slowdown(11) + length = 59 + 12 = 71 cells.
    const Row rows[] = {{{{20, 90.0}, {60, 180.0}}, 0, 4, "90° to the right"},
                        {{{20, 90.0}, {60, 0.0}}, 0, 4, "90° to the left"},
                        {{{20, 90.0}, {60, 240.0}}, 0, 1, "150°"},
                        {{{20, 90.0}, {60, 99.5}}, 0, 14, "9.5°"},
                        {{{69, 90.0}, {200, 120.0}}, 14, 11, "30° at 70: needed"},
                        {{{79, 90.0}, {200, 120.0}}, 14, 14, "30° at 80: within reach, farther than needed"},
                        {{{119, 90.0}, {200, 240.0}}, 14, 14, "sharp bend beyond reach"},
                        {{{30, 90.0}, {30, 120.0}, {100, 210.0}}, 8, 4, "90° at 61 beats 30° at 31"}};
    for (const Row &r : rows) {
        SimulationData data;
        const auto chain = bentChain(data, r.pieces);
        TestVehicle v;
        std::vector<Curve> curves;
        putAt(chain[11], v.setSpeed(r.speed)); // tail on chain[0]
        v.updateSpeedLimit(curves);
        EXPECT_EQ(v.speedLimit(), r.limit) << r.why;
        precomputeCells(data.allCells()); // straight runs are skipped, not walked
        v.updateSpeedLimit(curves);
        EXPECT_EQ(v.speedLimit(), r.limit) << r.why << ", with the cell cache";
    }
}

TEST(Curves, TheBearingIntoACrossroadPathIsThatOfThePathTakenEvenAfterTurningElsewhere)
{
    A x;
    TestVehicle v;
    putAt(x.approach(A::W, 5), v.setSpeed(4));
    v.planRoute(); // the bearing into the chosen path is kept with the plan
    ASSERT_FALSE(v.route().empty());
    const RouteEntry planned = v.route().front();
    const Cell *stopLine = x.stopLine(A::W);
    const auto bearingInto = [stopLine](const Cell *path) {
        return geo::bearing(stopLine->location(), path->location());
    };
    EXPECT_EQ(v.linkBearing(stopLine, planned.pathCell), bearingInto(planned.pathCell));
    ASSERT_TRUE(v.turnElsewhere(planned, 0));
    const Cell *taken = v.route().front().pathCell;
    ASSERT_NE(taken, planned.pathCell);
    EXPECT_EQ(v.linkBearing(stopLine, taken), bearingInto(taken));
}

TEST(Movement, ThroughCrossroadPathsWithTheRouteTrimmedOnceTheTailHasPassed)
{
    CrossroadsInARow row(30, 8);
    TestVehicle v;
    v.addRouteEntry(row.entry(0));
    v.addRouteEntry(row.entry(1));
    putAt(row.laneCells[0][27], v.setSpeed(10)); // 2 cells before the end of lane 0
    ASSERT_TRUE(moveAlone(v));
    // 2 cells to the end of lane 0, then 8 along the path.
    EXPECT_EQ(v.frontCell(), row.pathCells[0][7]);
    EXPECT_EQ(v.tailCell(), row.laneCells[0][26]);
    EXPECT_EQ(v.route().size(), 2u); // the tail is still before crossroad 0
    ASSERT_TRUE(moveAlone(v));
    EXPECT_EQ(v.frontCell(), row.laneCells[1][9]);
    EXPECT_EQ(v.tailCell(), row.pathCells[0][6]);
    for (size_t i = 0; i + 1 < v.cells().size(); ++i) // consecutive along the walk
        EXPECT_TRUE(v.cells()[i + 1]->next() == v.cells()[i]);
    ASSERT_EQ(v.route().size(), 1u); // the whole body has passed crossroad 0
    EXPECT_EQ(v.route().front().crossroad, row.crossroad[1]);
    EXPECT_EQ(row.pathCells[0][6]->vehicle(), &v);
    EXPECT_EQ(row.laneCells[0][26]->vehicle(), nullptr);
}

TEST(Movement, TheChainEndNotedFollowsTheFrontAlongLanesAndThroughCrossroadPaths)
{
    // A move along the lane keeps the end it knew; one that lands on the stop line, or leaves the
    // lane, must find the new one.
    for (const int32_t speed : {1, 3, 7}) {
        CrossroadsInARow row(30, 8);
        TestVehicle v;
        v.addRouteEntry(row.entry(0));
        v.addRouteEntry(row.entry(1));
        putAt(row.laneCells[0][12], v.setSpeed(speed));
        int moves = 0;
        while (v.frontCell() != row.laneCells[2].front() && moveAlone(v) && ++moves < 100) {
            const Cell *end = v.frontCell()->chainEnd();
            ASSERT_EQ(v.frontChainEnd(), end) << "speed " << speed << ", move " << moves;
            EXPECT_EQ(v.entryKey(), end ? end->wayLink() : nullptr);
        }
        EXPECT_GT(moves, 60 / speed) << "speed " << speed; // the walk reached the last lane
    }
}
