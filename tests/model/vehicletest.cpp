// The shared driving rules of every vehicle: look-ahead, braking distances, car following,
// curves, dawdling, route planning and look-ups, placement and movement.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/event.h"
#include "osm/osmstop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

/// Cells along straight pieces: each pair is (links, heading); the links of a piece share its heading.
std::vector<Cell *> bentChain(SimulationData &data, const std::vector<std::pair<int, double>> &pieces)
{
    std::vector<Cell *> chain = makeChain(data, 1);
    Location at = chain.front()->location;
    for (const auto &piece : pieces)
        for (int i = 0; i < piece.first; ++i) {
            at = geo::moveLocation(at, piece.second, 0.25);
            Cell *cell = data.createCell();
            cell->location = at;
            link(chain.back(), cell);
            chain.push_back(cell);
        }
    return chain;
}

/// A lane of 300 cells with a side lane of `bayCells` beside it from lane cell `from` on.
struct LaneWithBay
{
    SimulationData data;
    std::vector<Cell *> lane = makeChain(data, 300);
    std::vector<Cell *> bay;
    LaneWithBay(int from, int bayCells) : bay(makeChain(data, bayCells))
    {
        for (int i = 0; i < bayCells; ++i)
            linkSide(lane[size_t(from + i)], bay[size_t(i)]);
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// Look-ahead

TEST(LookAhead, VehiclesOnceAtTheirCellIndexOtherEventsOneFarther)
{
    SimulationData data;
    const auto chain = makeChain(data, 135); // ends at a network exit
    TestVehicle car, a, b;
    putAt(chain[100], car);
    putAt(chain[120], a); // covers 109..120
    putAt(chain[132], b); // covers 121..132
    EventList events;
    car.scanAhead(events);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].type, EventVehicle);
    EXPECT_EQ(events[0].distance, 9); // cell index from the front, which is index 0
    EXPECT_EQ(events[0].cell, chain[109]);
    EXPECT_EQ(events.leader(), &a);
    EXPECT_EQ(events[1].distance, 21);
    EXPECT_EQ(events[2].type, EventRouteEnd);
    EXPECT_EQ(events[2].distance, 35); // chain[134]: index 34, plus 1
    EXPECT_EQ(events[2].cell, chain[134]);
}

TEST(LookAhead, StopsAtTheLookAheadDistance)
{
    // The look-ahead is 40 + speed² cells.
    for (const auto &row : {std::pair<int, int>{0, 40}, {10, 140}}) {
        SCOPED_TRACE(testing::Message() << "speed " << row.first);
        SimulationData data;
        const auto chain = makeChain(data, 300);
        TestVehicle car, edge, last;
        putAt(chain[100], car.setSpeed(row.first));
        putAt(chain[size_t(100 + row.second + 11)], edge.setLength(11)); // first cell one beyond
        EventList events;
        car.scanAhead(events);
        EXPECT_TRUE(events.empty());
        release(&edge);
        putAt(chain[size_t(100 + row.second)], last.setLength(1));
        car.scanAhead(events);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].distance, row.second);
    }
}

TEST(LookAhead, CrossroadEventAndWalkThroughThePlannedPath)
{
    FourArmCrossroad x(60);
    using A = FourArmCrossroad;
    TestVehicle car, beyond;
    putAt(x.approach(A::W, 9), car.setSpeed(8)); // the stop line is 9 cells ahead; look-ahead 104
    putAt(x.exitCell(A::E, 15), beyond);
    EventList events;
    car.scanAhead(events);
    // Without a planned path the walk ends at the stop line.
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, EventCrossroad);
    EXPECT_EQ(events[0].distance, 10);
    EXPECT_EQ(events[0].cell, x.stopLine(A::W));

    car.addRouteEntry(x.entry(A::W, A::E));
    car.scanAhead(events);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].type, EventVehicle);
    const int32_t pathLength = x.pathCell(A::W, A::E)->cellsToEnd() - x.exitCell(A::E, 0)->cellsToEnd();
    EXPECT_EQ(events[1].distance, 10 + pathLength + 4); // tail of `beyond` on exit cell 4
    EXPECT_EQ(events[1].cell->vehicle, &beyond);
    EXPECT_EQ(events.leader(), nullptr); // the crossroad comes first
}

TEST(LookAhead, StopsAndSideTraffic)
{
    LaneWithBay n(130, 10);
    OSMStop busStop(0, "bus", BusStop, nullptr);
    OSMStop tramStop(1, "tram", TramStop, nullptr);
    for (int i = 110; i <= 122; ++i)
        n.lane[size_t(i)]->stop = i < 115 || i > 119 ? &busStop : i <= 117 ? &tramStop : nullptr;
    for (Cell *c : n.bay)
        c->stop = &busStop;
    TestVehicle car, inBay;
    putAt(n.lane[100], car.setSpeed(3)); // look-ahead 49
    putAt(n.bay[5], inBay.setLength(4));
    EventList events;
    car.scanAhead(events);
    // The first bus platform runs on into the tram platform, so only the tram platform's end counts;
    // the side vehicle counts once although it is beside four cells.
    const std::vector<std::pair<int32_t, int32_t>> expected = {
        {EventTramStopEnd, 18}, {EventBusStopEnd, 23}, {EventSideVehicle, 32}, {EventBayEnd, 40}};
    std::vector<std::pair<int32_t, int32_t>> seen;
    for (size_t i = 0; i < events.size(); ++i)
        seen.emplace_back(events[i].type, events[i].distance);
    EXPECT_EQ(seen, expected);
}

TEST(LookAhead, FiltersKeepOrderAndPullingOutSideTraffic)
{
    LaneWithBay n(120, 20);
    TestVehicle car, parked, pullingOut, ahead;
    putAt(n.lane[100], car.setSpeed(5)); // look-ahead 65
    putAt(n.bay[5], parked.setLength(4));
    putAt(n.bay[15], pullingOut.setLength(4).setLaneChange(1));
    putAt(n.lane[160], ahead.setLength(4));
    EventList all, pulling, noVehicles;
    car.scanAhead(all);
    ASSERT_EQ(all.size(), 3u);
    all.copyPullingOutOnly(pulling);
    ASSERT_EQ(pulling.size(), 2u);
    EXPECT_EQ(pulling[0].type, EventSideVehicle);
    EXPECT_EQ(pulling[0].distance, 132 - 100);
    EXPECT_EQ(pulling.leader(), nullptr); // the first event is not on the path
    all.copyWithout(eventBit(EventVehicle) | eventBit(EventSideVehicle), noVehicles);
    EXPECT_TRUE(noVehicles.empty());
}

TEST(LookAhead, ContinuesPastTheCrossroadTheFrontHasPassed)
{
    // The tail is still before crossroad 0 while the front sees crossroad 1: the walk must go on
    // through crossroad 1's path, not again through crossroad 0's, although that one comes first
    // in the route.
    CrossroadsInARow row(30, 8);
    TestVehicle car, beyond;
    car.setSpeed(8).setLength(16); // look-ahead 104
    car.addRouteEntry(row.entry(0));
    car.addRouteEntry(row.entry(1));
    // Front 4 cells into lane 1, body back through the path into lane 0.
    std::vector<Cell *> body(row.laneCells[1].rend() - 5, row.laneCells[1].rend());
    body.insert(body.end(), row.pathCells[0].rbegin(), row.pathCells[0].rend());
    body.insert(body.end(), row.laneCells[0].rbegin(), row.laneCells[0].rbegin() + 3);
    car.setCells(body);
    occupy(body, &car);
    putAt(row.laneCells[2][10], beyond.setLength(4));
    EventList events;
    car.scanAhead(events);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].type, EventCrossroad);
    EXPECT_EQ(events[0].distance, 26);
    EXPECT_EQ(events[1].type, EventVehicle);
    EXPECT_EQ(events[1].distance, 26 + 8 + 7);
    EXPECT_EQ(events[1].cell, row.laneCells[2][7]);
    EXPECT_EQ(events[2].type, EventRouteEnd);
    EXPECT_EQ(events[2].distance, 26 + 8 + 30);
}

// ---------------------------------------------------------------------------------------------
// Braking distances and steps

TEST(Braking, SeriesOverPositiveTerms)
{
    TestVehicle v;
    EXPECT_EQ(v.setSpeed(5).brakingDistance(), 9);
    EXPECT_EQ(v.setSpeed(0).brakingDistance(), 0);
    EXPECT_EQ(v.setMaxSpeed(11).brakingDistanceFromMax(), 36);
    v.setMaxSpeed(14);
    EXPECT_EQ(v.slowdownDistance(4), 95); // 14 + 13 + … + 5
    EXPECT_EQ(v.slowdownDistance(13), 14);
    EXPECT_EQ(v.slowdownDistance(20), 0);
}

TEST(Braking, StepsToCoverGainTwoPerStepAndEndForAVehicleThatCannotMove)
{
    // speed, maxSpeed, cells, steps
    const int32_t rows[][4] = {{0, 14, 0, 0},
                               {0, 14, -3, 0},
                               {0, 14, 1, 2},
                               {0, 14, 3, 3},
                               {0, 14, 70, 9} /* 0 2 4 … 14 14 */,
                               {0, 14, 71, 10},
                               {13, 14, 28, 3},
                               // Without these the count would never end.
                               {0, 0, 5, Vehicle::STEPS_NEVER},
                               {3, 0, 3, 1},
                               {3, 0, 4, Vehicle::STEPS_NEVER},
                               {0, -2, 1, Vehicle::STEPS_NEVER}};
    for (const auto &r : rows) {
        TestVehicle v;
        EXPECT_EQ(v.setMaxSpeed(r[1]).setSpeed(r[0]).stepsToCover(r[2]), r[3])
            << "speed " << r[0] << " max " << r[1] << " cells " << r[2];
    }
}

// ---------------------------------------------------------------------------------------------
// Car following

TEST(CarFollowing, SpeedByGapAgainstBrakingDistances)
{
    // speed, limit, leader's speed (-1: none), distance, margin, next speed; b is the braking distance.
    const int32_t rows[][6] = {
        {10, 8, -1, NO_EVENT_DISTANCE, 6, 9}, // above the limit: one slower
        {10, 14, -1, 36, 6, 8},               // free 29 < b = 30: hard braking
        {1, 14, -1, 0, 6, 0},                 // never below 0
        {2, 14, -1, 9, 6, 1},                 // b = 2, free 2
        {10, 14, -1, 52, 6, 9},               // free 45: ceil(2 · 15 / 30)
        {10, 14, -1, 38, 6, 8},               // free 31: ceil(2 · 29 / 30)
        {10, 14, -1, 97, 6, 10},              // free 90 = 3b: keep
        {10, 14, -1, 107, 6, 11},             // free 100: ceil(2 · 10 / 30)
        {10, 14, -1, 128, 6, 12},             // free 121 > 4b
        {10, 11, -1, 128, 6, 11},             // up to the limit
        {0, 14, -1, 8, 6, 2},                 // b = 0: any free cell is room to speed up
        {0, 14, -1, 7, 6, 0},                 // b = 0, free 0
        {10, 14, 10, 52, 6, 10},              // the leader's braking shortens b to 15: free 45 = 3b
        {2, 14, 10, 20, 6, 2},                // much faster leader: margin used, free 13 in [2b, 3b]
        {2, 14, 10, 35, 6, 4},                // much faster leader, free 28 > 4b
    };
    for (const auto &r : rows) {
        TestVehicle v, leader;
        leader.setSpeed(std::max(r[2], 0));
        v.setSpeed(r[0]).setSpeedLimit(r[1]).followSpeed(r[3], r[2] < 0 ? nullptr : &leader, r[4]);
        EXPECT_EQ(v.nextSpeed(), r[5]) << "speed " << r[0] << " distance " << r[3];
    }
}

TEST(CarFollowing, ModesStopApproachAndFollow)
{
    testRun().random.setSeed(7);
    // b = 12: approaching with no margin keeps speed where following with 6 cells brakes.
    const int32_t rows[][3] = {{ModeStop, NO_EVENT_DISTANCE, 0},
                               {ModeApproach, 26, 6}, // free 25 in [2b, 3b]
                               {ModeFollow, 26, 5},   // free 19 < 2b: ceil(2 · 5 / 12) = 1
                               {9, 1, 6}};            // unknown mode: only dawdling
    for (const auto &r : rows) {
        TestVehicle v;
        v.setSpeed(6);
        v.applyMode(r[0], r[1], nullptr);
        EXPECT_TRUE(v.nextSpeed() == r[2] || v.nextSpeed() == std::max(r[2] - 1, 0))
            << "mode " << r[0] << " gave " << v.nextSpeed();
    }
}

// ---------------------------------------------------------------------------------------------
// Curves and the speed limit

TEST(Curves, CurveSpeedByAngle)
{
    TestVehicle v;
    EXPECT_EQ(v.curveSpeed(-9), 14);
    EXPECT_EQ(v.curveSpeed(10), 13); // ceil(110 / 120 · 14) = ceil(12.83)
    EXPECT_EQ(v.curveSpeed(120), 0);
    EXPECT_EQ(v.curveSpeed(121), 1);
    EXPECT_EQ(v.setMaxSpeed(11).curveSpeed(60), 6); // ceil(5.5)
}

TEST(Curves, OneBendAheadOfTheVehicle)
{
    struct Row
    {
        double turn;    ///< degrees, positive to the right
        size_t records; ///< curve records expected
        int32_t limit;  ///< speed limit expected
    };
    const Row rows[] = {{90.0, 1, 4}, {-90.0, 1, 4}, {150.0, 1, 1}, {-130.0, 1, 1},
                        {9.5, 1, 14}, {1.9, 0, 14},  {-1.9, 0, 14}, {30.0, 1, 11}};
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.turn << "°");
        SimulationData data;
        const auto chain = bentChain(data, {{20, 90.0}, {60, geo::addToBearing(90.0, r.turn)}});
        TestVehicle v;
        putAt(chain[11], v); // tail on chain[0]
        std::vector<Curve> curves;
        v.curvesAhead(curves);
        ASSERT_EQ(curves.size(), r.records);
        if (r.records > 0) {
            EXPECT_EQ(curves[0].distance, 21); // the cell after the bend, counted from the tail
            EXPECT_NEAR(curves[0].angle, r.turn, 0.01);
        }
        v.updateSpeedLimit();
        EXPECT_EQ(v.speedLimit(), r.limit);
    }
}

TEST(Curves, NeighbouringRecordsMergeInPairs)
{
    // Bends of 20° at consecutive cells from cell 4 on give records from 5 on: four merge into
    // two pairs, three into a pair and a single one.
    for (int bends : {4, 3}) {
        SCOPED_TRACE(testing::Message() << bends << " bends");
        SimulationData data;
        std::vector<std::pair<int, double>> pieces{{4, 90.0}};
        for (int i = 1; i <= bends; ++i)
            pieces.push_back({i == bends ? 40 : 1, 90.0 + 20.0 * i});
        const auto chain = bentChain(data, pieces);
        TestVehicle v;
        putAt(chain[11], v);
        std::vector<Curve> curves;
        v.curvesAhead(curves);
        ASSERT_EQ(curves.size(), 2u);
        EXPECT_EQ(curves[0].distance, 5);
        EXPECT_NEAR(curves[0].angle, 40.0, 0.01);
        EXPECT_EQ(curves[1].distance, 7);
        EXPECT_NEAR(curves[1].angle, bends == 4 ? 40.0 : 20.0, 0.01);
    }
}

TEST(Curves, OnlyBendsWithinReachAndNeedLimitAndTheSharpestWins)
{
    struct Row
    {
        std::vector<std::pair<int, double>> pieces;
        int32_t speed, limit;
        const char *why;
    };
    // A 30° bend limits to 11 when it is within 1.5 · slowdown(11) + length = 59 + 12 = 71 cells.
    const Row rows[] = {{{{69, 90.0}, {200, 120.0}}, 14, 11, "30° at 70: needed"},
                        {{{79, 90.0}, {200, 120.0}}, 14, 14, "30° at 80: within reach, farther than needed"},
                        {{{119, 90.0}, {200, 240.0}}, 14, 14, "sharp bend beyond reach"},
                        {{{30, 90.0}, {30, 120.0}, {100, 210.0}}, 8, 4, "90° at 61 beats 30° at 31"}};
    for (const Row &r : rows) {
        SimulationData data;
        const auto chain = bentChain(data, r.pieces);
        TestVehicle v;
        putAt(chain[11], v.setSpeed(r.speed));
        v.updateSpeedLimit();
        EXPECT_EQ(v.speedLimit(), r.limit) << r.why;
    }
}

// ---------------------------------------------------------------------------------------------
// Dawdling

TEST(Dawdling, FasterVehiclesDawdleMoreOften)
{
    testRun().random.setSeed(2024);
    const int draws = 20000;
    const std::pair<int32_t, double> rows[] = {{14, 0.5}, {8, 0.5}, {7, 0.25}, {2, 0.25}, {1, 0.0}, {0, 0.0}};
    for (const auto &r : rows) {
        TestVehicle v;
        int slowed = 0;
        for (int i = 0; i < draws; ++i) {
            v.setNextSpeed(r.first);
            v.dawdle();
            ASSERT_GE(v.nextSpeed(), r.first - 1);
            slowed += v.nextSpeed() < r.first ? 1 : 0;
        }
        EXPECT_NEAR(double(slowed) / draws, r.second, r.second > 0 ? 0.02 : 0.0) << "next speed " << r.first;
    }
}

// ---------------------------------------------------------------------------------------------
// Route planning and look-ups

TEST(Route, PlanningChoosesAmongThePathsOfTheEntry)
{
    FourArmCrossroad x(60);
    using A = FourArmCrossroad;
    std::set<LaneBinding *> exits;
    for (int i = 0; i < 60; ++i) {
        TestVehicle v;
        putAt(x.approach(A::W, 20), v);
        v.planRoute();
        v.planRoute(); // planning again keeps the choice
        ASSERT_EQ(v.route().size(), 1u);
        const RouteEntry &e = v.route().front();
        EXPECT_EQ(e.crossroad, x.crossroad);
        EXPECT_EQ(e.entryKey, x.in(A::W));
        EXPECT_NE(e.exitLane, x.out(A::W)); // no U-turn path
        EXPECT_EQ(e.pathCell, x.pathCell(A::W, FourArmCrossroad::Arm(e.exitLane->wayId() - 1)));
        exits.insert(e.exitLane);
        release(&v);
    }
    EXPECT_EQ(exits.size(), 3u);
}

TEST(Route, PlanningStopsAtTheHorizonOrANetworkExit)
{
    // Speed 0: horizon 40. After crossroad 0, 30 + 8 cells reach crossroad 1 within it, but 60 + 8
    // do not; the lane after crossroad 1 leads nowhere.
    const std::pair<int, size_t> rows[] = {{30, 2}, {60, 1}};
    for (const auto &r : rows) {
        CrossroadsInARow row(r.first, 8);
        TestVehicle v, onExit;
        putAt(row.laneCells[0][20], v);
        v.planRoute();
        ASSERT_EQ(v.route().size(), r.second) << "lanes of " << r.first;
        EXPECT_EQ(v.route()[0].crossroad, row.crossroad[0]);
        EXPECT_EQ(v.route().back().exitLane, row.lane[r.second].get());
        putAt(row.laneCells[2][20], onExit);
        onExit.planRoute();
        EXPECT_TRUE(onExit.route().empty());
    }
}

TEST(Route, LookUpsFollowTheChainOfTheFront)
{
    CrossroadsInARow row(30, 8);
    TestVehicle v, empty;
    v.addRouteEntry(row.entry(0));
    v.addRouteEntry(row.entry(1));
    v.addRouteEntry(row.entry(0)); // a second entry for the same pair is ignored
    EXPECT_EQ(v.route().size(), 2u);
    EXPECT_EQ(v.routePathCell(row.crossroad[1], row.lane[1].get()), row.pathCells[1].front());
    putAt(row.laneCells[1][15], v);
    EXPECT_EQ(v.entryKey(), row.lane[1].get());
    EXPECT_EQ(v.nextExitLane(), row.lane[2].get());
    EXPECT_EQ(v.nextPathCell(), row.pathCells[1].front());
    release(&v);
    putAt(row.laneCells[2][15], v); // no crossroad ahead: the first entry
    EXPECT_EQ(v.nextExitLane(), row.lane[1].get());
    EXPECT_EQ(v.nextPathCell(), row.pathCells[0].front());

    putAt(row.laneCells[0][15], empty);
    EXPECT_EQ(empty.nextExitLane(), nullptr);
    EXPECT_EQ(empty.nextPathCell(), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Placement and movement

TEST(Placement, PlaceOccupiesFrontFirstOrNothing)
{
    SimulationData data;
    const auto chain = makeChain(data, 30);
    TestVehicle v, blocker;
    ASSERT_TRUE(place(chain[11], &v));
    EXPECT_EQ(v.frontCell(), chain[11]);
    EXPECT_EQ(v.tailCell(), chain[0]);
    EXPECT_EQ(chain[6]->vehicle, &v);
    EXPECT_FALSE(place(chain[25], &blocker.setLength(15))); // would overlap at chain[11]
    EXPECT_TRUE(blocker.cells().empty());
    EXPECT_FALSE(chain[25]->isOccupied());
    EXPECT_FALSE(place(chain[25], nullptr));
}

TEST(Placement, ALoopShorterThanTheVehicleIsRefused)
{
    SimulationData data;
    const auto ring = makeChain(data, 8);
    link(ring.back(), ring.front());
    TestVehicle v;
    EXPECT_FALSE(place(ring[3], &v));
    EXPECT_TRUE(place(ring[3], &v.setLength(8)));
}

TEST(Movement, ThroughACrossroadPathIntoTheExitLaneWithTheRouteTrimmed)
{
    CrossroadsInARow row(30, 8);
    TestVehicle v;
    v.addRouteEntry(row.entry(0));
    v.addRouteEntry(row.entry(1));
    putAt(row.laneCells[0][27], v.setSpeed(10)); // 2 cells before the end of lane 0
    release(&v);
    ASSERT_TRUE(v.move());
    // 2 cells to the end of lane 0, then 8 along the path.
    EXPECT_EQ(v.frontCell(), row.pathCells[0][7]);
    EXPECT_EQ(v.tailCell(), row.laneCells[0][26]);
    EXPECT_EQ(v.route().size(), 2u); // the tail is still before crossroad 0
    release(&v);
    ASSERT_TRUE(v.move());
    EXPECT_EQ(v.frontCell(), row.laneCells[1][9]);
    EXPECT_EQ(v.tailCell(), row.pathCells[0][6]);
    for (size_t i = 0; i + 1 < v.cells().size(); ++i) // consecutive along the walk
        EXPECT_TRUE(v.cells()[i + 1]->next == v.cells()[i]);
    ASSERT_EQ(v.route().size(), 1u); // the whole body has passed crossroad 0
    EXPECT_EQ(v.route().front().crossroad, row.crossroad[1]);
    EXPECT_EQ(row.pathCells[0][6]->vehicle, &v);
    EXPECT_EQ(row.laneCells[0][26]->vehicle, nullptr);
}

TEST(Movement, AcrossTwoCrossroadsInOneStep)
{
    CrossroadsInARow row(4, 3);
    TestVehicle v;
    v.addRouteEntry(row.entry(0));
    v.addRouteEntry(row.entry(1));
    v.setLength(2).setSpeed(14);
    v.setCells({row.laneCells[0][1], row.laneCells[0][0]});
    ASSERT_TRUE(v.move());
    // From lane 0 cell 1: 2 + 3 + 4 + 3 + 1 = 13 cells to the start of lane 2, then 1 more.
    EXPECT_EQ(v.frontCell(), row.laneCells[2][1]);
    EXPECT_EQ(v.tailCell(), row.laneCells[2][0]);
    EXPECT_TRUE(v.route().empty()); // no crossroad is ahead of the exit lane
}

TEST(Movement, FailedMoveLeavesTheVehicleWhereItWas)
{
    // Into a network exit 3 cells ahead, and into a crossroad without a planned path.
    CrossroadsInARow row(30, 8);
    for (Cell *front : {row.laneCells[2][26], row.laneCells[0][27]}) {
        TestVehicle v;
        putAt(front, v.setSpeed(5));
        const std::vector<Cell *> before = v.cells();
        release(&v);
        EXPECT_FALSE(v.move());
        EXPECT_EQ(v.cells(), before);
        for (Cell *c : before)
            EXPECT_EQ(c->vehicle, &v);
        EXPECT_FALSE(front->cellAhead(1) && front->cellAhead(1)->isOccupied());
        release(&v);
    }
}

TEST(Movement, LaneChangeShiftsToTheSideCells)
{
    LaneWithBay n(10, 30);
    TestVehicle v;
    putAt(n.lane[25], v.setLength(4).setSpeed(3).setLaneChange(2));
    release(&v);
    ASSERT_TRUE(v.move());
    EXPECT_EQ(v.frontCell(), n.bay[18]);
    EXPECT_EQ(v.tailCell(), n.bay[15]);
    EXPECT_FALSE(n.lane[25]->isOccupied());
    v.setLaneChange(1);
    release(&v);
    ASSERT_TRUE(v.move());
    EXPECT_EQ(v.frontCell(), n.lane[31]);
    EXPECT_EQ(v.tailCell(), n.lane[28]);
}
