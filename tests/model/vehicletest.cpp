// The shared driving rules of every vehicle: look-ahead, braking distances, car following,
// curves, dawdling, route planning and look-ups, placement and movement.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/event.h"
#include "osm/osmstop.h"

#include <gtest/gtest.h>

#include <set>

namespace {

/// Cells along straight pieces: each pair is (links, heading); the links of a piece share its heading.
std::vector<Cell *> bentChain(SimulationData &data, const std::vector<std::pair<int, double>> &pieces)
{
    std::vector<Cell *> chain;
    Location at(50.0, 14.0);
    Cell *first = data.createCell();
    first->location = at;
    chain.push_back(first);
    for (const auto &piece : pieces) {
        for (int i = 0; i < piece.first; ++i) {
            at = geo::moveLocation(at, piece.second, 0.25);
            Cell *cell = data.createCell();
            cell->location = at;
            link(chain.back(), cell);
            chain.push_back(cell);
        }
    }
    return chain;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Look-ahead

TEST(LookAhead, NothingAheadGivesTypeNoneAndFarDistance)
{
    SimulationData data;
    const auto chain = makeChain(data, 300);
    TestVehicle car;
    putAt(chain[100], car);
    EventList events;
    car.scanAhead(events);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(events.firstType(), EventNone);
    EXPECT_EQ(events.firstDistance(), NO_EVENT_DISTANCE);
    EXPECT_EQ(events.leader(), nullptr);
}

TEST(LookAhead, VehiclesAtTheirCellIndexOtherEventsOneFarther)
{
    SimulationData data;
    const auto chain = makeChain(data, 130); // ends at a network exit
    TestVehicle car, other;
    putAt(chain[100], car);
    putAt(chain[125], other.setLength(6)); // tail on chain[120]
    EventList events;
    car.scanAhead(events);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, EventVehicle);
    EXPECT_EQ(events[0].distance, 20); // cell index 20 from the front, which is index 0
    EXPECT_EQ(events[0].cell, chain[120]);
    EXPECT_EQ(events.leader(), &other);
    EXPECT_EQ(events[1].type, EventRouteEnd);
    EXPECT_EQ(events[1].distance, 30); // chain[129]: index 29, plus 1
    EXPECT_EQ(events[1].cell, chain[129]);
}

TEST(LookAhead, VehicleCountedOnceHoweverManyCellsItCovers)
{
    SimulationData data;
    const auto chain = makeChain(data, 300);
    TestVehicle car, a, b;
    putAt(chain[100], car);
    putAt(chain[120], a);
    putAt(chain[132], b); // directly behind a's tail? a covers 109..120, b covers 121..132
    EventList events;
    car.scanAhead(events);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].distance, 9);
    EXPECT_EQ(events[1].distance, 21);
}

TEST(LookAhead, StopsAtTheLookAheadDistance)
{
    SimulationData data;
    const auto chain = makeChain(data, 300);
    TestVehicle car, edge, beyond;
    putAt(chain[100], car);                // speed 0: look-ahead 40 cells
    putAt(chain[151], edge.setLength(11)); // covers 141..151: first cell at index 41
    EventList events;
    car.scanAhead(events);
    EXPECT_TRUE(events.empty());
    release(&edge);
    putAt(chain[140], beyond.setLength(1)); // index 40: the last cell looked at
    car.scanAhead(events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].distance, 40);
    // At speed 10 the look-ahead is 140 cells.
    car.setSpeed(10);
    release(&beyond);
    putAt(chain[251], edge); // first cell at index 141
    car.scanAhead(events);
    EXPECT_TRUE(events.empty());
    release(&edge);
    putAt(chain[240], beyond);
    car.scanAhead(events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].distance, 140);
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
    EXPECT_EQ(events[0].type, EventCrossroad);
    EXPECT_EQ(events[1].type, EventVehicle);
    const int32_t pathLength = x.pathCell(A::W, A::E)->cellsToEnd() - x.exitCell(A::E, 0)->cellsToEnd();
    EXPECT_EQ(events[1].distance, 10 + pathLength + 4); // tail of `beyond` on exit cell 4
    EXPECT_EQ(events[1].cell->vehicle, &beyond);
    EXPECT_EQ(events.leader(), nullptr); // the crossroad comes first
}

TEST(LookAhead, StopsSideTrafficAndDebugPrint)
{
    SimulationData data;
    const auto lane = makeChain(data, 300);
    const auto bay = makeChain(data, 10);
    for (int i = 0; i < 10; ++i)
        linkSide(lane[130 + i], bay[i]);
    OSMStop busStop("bus", BusStop, nullptr);
    OSMStop tramStop("tram", TramStop, nullptr);
    for (int i = 110; i <= 114; ++i)
        lane[i]->stop = &busStop;
    for (int i = 115; i <= 117; ++i)
        lane[i]->stop = &tramStop;
    for (int i = 120; i <= 122; ++i)
        lane[i]->stop = &busStop;
    for (Cell *c : bay)
        c->stop = &busStop;
    TestVehicle car, inBay;
    putAt(lane[100], car.setSpeed(3)); // look-ahead 49
    putAt(bay[5], inBay.setLength(4));
    EventList events;
    car.scanAhead(events);
    ASSERT_EQ(events.size(), 4u);
    // The first bus platform runs on into the tram platform, so only the tram platform's end counts.
    EXPECT_EQ(events[0].type, EventTramStopEnd);
    EXPECT_EQ(events[0].distance, 18);
    EXPECT_EQ(events[1].type, EventBusStopEnd);
    EXPECT_EQ(events[1].distance, 23);
    EXPECT_EQ(events[2].type, EventSideVehicle); // once, although it is beside four cells
    EXPECT_EQ(events[2].distance, 132 - 100);
    EXPECT_EQ(events[3].type, EventBayEnd);
    EXPECT_EQ(events[3].distance, 40);

    testing::internal::CaptureStderr();
    events.debugPrint();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "TSE,18_BSE,23_DEFAULT,32_BSES,40_\n");
}

TEST(LookAhead, FiltersKeepOrderAndPullingOutSideTraffic)
{
    SimulationData data;
    const auto lane = makeChain(data, 300);
    const auto bay = makeChain(data, 20);
    for (int i = 0; i < 20; ++i)
        linkSide(lane[120 + i], bay[i]);
    TestVehicle car, parked, pullingOut, ahead;
    putAt(lane[100], car.setSpeed(5)); // look-ahead 65
    putAt(bay[5], parked.setLength(4));
    putAt(bay[15], pullingOut.setLength(4).setLaneChange(1));
    putAt(lane[160], ahead.setLength(4));
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
    EXPECT_EQ(noVehicles.firstType(), EventNone);
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
    std::vector<Cell *> body;
    for (int i = 4; i >= 0; --i)
        body.push_back(row.laneCells[1][size_t(i)]);
    for (int i = 7; i >= 0; --i)
        body.push_back(row.pathCells[0][size_t(i)]);
    body.push_back(row.laneCells[0][29]);
    body.push_back(row.laneCells[0][28]);
    body.push_back(row.laneCells[0][27]);
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
    EXPECT_EQ(v.setSpeed(0).brakingDistance(), 0);
    EXPECT_EQ(v.setSpeed(1).brakingDistance(), 1);
    EXPECT_EQ(v.setSpeed(5).brakingDistance(), 9);
    EXPECT_EQ(v.setSpeed(14).brakingDistance(), 56);
    EXPECT_EQ(v.setMaxSpeed(14).brakingDistanceFromMax(), 56);
    EXPECT_EQ(v.setMaxSpeed(11).brakingDistanceFromMax(), 36);
    v.setMaxSpeed(14);
    EXPECT_EQ(v.slowdownDistance(4), 95); // 14 + 13 + … + 5
    EXPECT_EQ(v.slowdownDistance(13), 14);
    EXPECT_EQ(v.slowdownDistance(14), 0);
    EXPECT_EQ(v.slowdownDistance(20), 0);
}

TEST(Braking, StepsToCoverGainTwoPerStep)
{
    TestVehicle v;
    EXPECT_EQ(v.stepsToCover(0), 0);
    EXPECT_EQ(v.stepsToCover(-3), 0);
    EXPECT_EQ(v.stepsToCover(1), 2); // 0, then 2
    EXPECT_EQ(v.stepsToCover(2), 2);
    EXPECT_EQ(v.stepsToCover(3), 3);
    EXPECT_EQ(v.stepsToCover(70), 9); // 0 2 4 6 8 10 12 14 14
    EXPECT_EQ(v.stepsToCover(71), 10);
    v.setSpeed(13);
    EXPECT_EQ(v.stepsToCover(13), 1);
    EXPECT_EQ(v.stepsToCover(28), 3); // 13, 14, 14
}

TEST(Braking, StepsToCoverEndsForAVehicleThatCannotMove)
{
    TestVehicle v;
    v.setMaxSpeed(0);
    EXPECT_EQ(v.stepsToCover(5), Vehicle::STEPS_NEVER);
    v.setSpeed(3);
    EXPECT_EQ(v.stepsToCover(3), 1);
    EXPECT_EQ(v.stepsToCover(4), Vehicle::STEPS_NEVER);
    v.setMaxSpeed(-2).setSpeed(0);
    EXPECT_EQ(v.stepsToCover(1), Vehicle::STEPS_NEVER);
}

// ---------------------------------------------------------------------------------------------
// Car following

TEST(CarFollowing, SlowsByOneAboveTheSpeedLimit)
{
    TestVehicle v;
    v.setSpeed(10).setSpeedLimit(8);
    v.followSpeed(NO_EVENT_DISTANCE, nullptr, 6);
    EXPECT_EQ(v.nextSpeed(), 9);
    v.setSpeed(0).setSpeedLimit(1);
    v.followSpeed(NO_EVENT_DISTANCE, nullptr, 6); // not above the limit
    EXPECT_EQ(v.nextSpeed(), 1);
}

TEST(CarFollowing, BrakesHardWhenTheGapIsShorterThanTheBrakingDistance)
{
    TestVehicle v;
    v.setSpeed(10);                // braking distance 30
    v.followSpeed(36, nullptr, 6); // free 29
    EXPECT_EQ(v.nextSpeed(), 8);
    v.setSpeed(1);
    v.followSpeed(1, nullptr, 0); // free 0 < 1
    EXPECT_EQ(v.nextSpeed(), 0);
    v.setSpeed(1).setNextSpeed(1);
    v.followSpeed(0, nullptr, 6); // not below 0
    EXPECT_EQ(v.nextSpeed(), 0);
}

TEST(CarFollowing, SlowsGraduallyBetweenOneAndTwoBrakingDistances)
{
    TestVehicle v;
    v.setSpeed(1); // b = 1, free 1: nothing changes
    v.followSpeed(8, nullptr, 6);
    EXPECT_EQ(v.nextSpeed(), 1);
    v.setSpeed(2); // b = 2, free 2
    v.followSpeed(9, nullptr, 6);
    EXPECT_EQ(v.nextSpeed(), 1);
    v.setSpeed(10); // b = 30, free 45: ceil(2 · 15 / 30) = 1
    v.followSpeed(52, nullptr, 6);
    EXPECT_EQ(v.nextSpeed(), 9);
    v.setSpeed(10); // free 31: ceil(2 · 29 / 30) = 2
    v.followSpeed(38, nullptr, 6);
    EXPECT_EQ(v.nextSpeed(), 8);
}

TEST(CarFollowing, KeepsSpeedUpToThreeBrakingDistances)
{
    TestVehicle v;
    v.setSpeed(10);
    v.followSpeed(67, nullptr, 6); // free 60 = 2b
    EXPECT_EQ(v.nextSpeed(), 10);
    v.followSpeed(97, nullptr, 6); // free 90 = 3b
    EXPECT_EQ(v.nextSpeed(), 10);
}

TEST(CarFollowing, AcceleratesBeyondThreeBrakingDistancesUpToTheLimit)
{
    TestVehicle v;
    v.setSpeed(10);
    v.followSpeed(107, nullptr, 6); // free 100: ceil(2 · 10 / 30) = 1
    EXPECT_EQ(v.nextSpeed(), 11);
    v.setSpeed(10);
    v.followSpeed(127, nullptr, 6); // free 120 = 4b: ceil(2 · 30 / 30) = 2
    EXPECT_EQ(v.nextSpeed(), 12);
    v.setSpeed(10);
    v.followSpeed(128, nullptr, 6); // free 121 > 4b
    EXPECT_EQ(v.nextSpeed(), 12);
    v.setSpeed(10).setSpeedLimit(11);
    v.followSpeed(128, nullptr, 6);
    EXPECT_EQ(v.nextSpeed(), 11);
    v.setSpeed(0).setSpeedLimit(14); // b = 0: any free cell ahead is room to speed up
    v.followSpeed(8, nullptr, 6);
    EXPECT_EQ(v.nextSpeed(), 2);
    v.setSpeed(0);
    v.followSpeed(7, nullptr, 6); // free 0
    EXPECT_EQ(v.nextSpeed(), 0);
}

TEST(CarFollowing, LeaderBrakingDistanceShortensTheNeed)
{
    TestVehicle v, leader;
    v.setSpeed(10);                // b = 30
    leader.setSpeed(10);           // b = 30 − 15 = 15
    v.followSpeed(52, &leader, 6); // free 45 ≤ 3b = 45: keep
    EXPECT_EQ(v.nextSpeed(), 10);
    v.followSpeed(58, nullptr, 6); // free 51 < 2 · 30 without the leader: slow down
    EXPECT_LT(v.nextSpeed(), 10);
    // A much faster leader: the difference would be negative, the margin is used instead.
    v.setSpeed(2);
    leader.setSpeed(10);
    v.followSpeed(20, &leader, 6); // b = 6, free 13 ∈ [2b, 3b]
    EXPECT_EQ(v.nextSpeed(), 2);
    v.followSpeed(35, &leader, 6); // free 28 > 4b
    EXPECT_EQ(v.nextSpeed(), 4);
}

TEST(CarFollowing, ModesStopApproachAndFollow)
{
    Random::setSeed(7);
    TestVehicle v;
    v.setSpeed(6);
    v.applyMode(ModeStop, NO_EVENT_DISTANCE, nullptr);
    EXPECT_EQ(v.nextSpeed(), 0);
    // b = 12: approaching with no margin keeps speed where following with 6 cells brakes.
    v.setSpeed(6);
    v.applyMode(ModeApproach, 26, nullptr); // free 25 ∈ [2b, 3b]
    EXPECT_TRUE(v.nextSpeed() == 6 || v.nextSpeed() == 5);
    v.setSpeed(6);
    v.applyMode(ModeFollow, 26, nullptr); // free 19 < 2b: ceil(2 · 5 / 12) = 1
    EXPECT_TRUE(v.nextSpeed() == 5 || v.nextSpeed() == 4);
    v.setSpeed(6);
    v.applyMode(9, 1, nullptr); // unknown mode: only dawdling
    EXPECT_TRUE(v.nextSpeed() == 6 || v.nextSpeed() == 5);
}

// ---------------------------------------------------------------------------------------------
// Curves and the speed limit

TEST(Curves, CurveSpeedByAngle)
{
    TestVehicle v;
    EXPECT_EQ(v.curveSpeed(0), 14);
    EXPECT_EQ(v.curveSpeed(9), 14);
    EXPECT_EQ(v.curveSpeed(-9), 14);
    EXPECT_EQ(v.curveSpeed(10), 13); // ceil(110 / 120 · 14) = ceil(12.83)
    EXPECT_EQ(v.curveSpeed(90), 4);  // ceil(3.5)
    EXPECT_EQ(v.curveSpeed(-90), 4);
    EXPECT_EQ(v.curveSpeed(120), 0);
    EXPECT_EQ(v.curveSpeed(121), 1);
    EXPECT_EQ(v.curveSpeed(180), 1);
    v.setMaxSpeed(11);
    EXPECT_EQ(v.curveSpeed(60), 6); // ceil(5.5)
}

struct CurveCase
{
    double turn;     ///< degrees, positive to the right
    int32_t records; ///< curve records expected
    int32_t limit;   ///< speed limit expected
};

class CurveLimit : public testing::TestWithParam<CurveCase>
{};

TEST_P(CurveLimit, OneBendAheadOfTheVehicle)
{
    const CurveCase c = GetParam();
    SimulationData data;
    const auto chain = bentChain(data, {{20, 90.0}, {60, geo::addToBearing(90.0, c.turn)}});
    TestVehicle v;
    putAt(chain[11], v); // tail on chain[0]
    std::vector<Curve> curves;
    v.curvesAhead(curves);
    ASSERT_EQ(int32_t(curves.size()), c.records);
    if (c.records > 0) {
        EXPECT_EQ(curves[0].distance, 21); // the cell after the bend, counted from the tail
        EXPECT_NEAR(curves[0].angle, c.turn, 0.01);
    }
    v.updateSpeedLimit();
    EXPECT_EQ(v.speedLimit(), c.limit);
}

INSTANTIATE_TEST_SUITE_P(Angles, CurveLimit,
                         testing::Values(CurveCase{90.0, 1, 4}, CurveCase{-90.0, 1, 4}, CurveCase{150.0, 1, 1},
                                         CurveCase{-130.0, 1, 1}, CurveCase{9.5, 1, 14}, CurveCase{1.9, 0, 14},
                                         CurveCase{-1.9, 0, 14}, CurveCase{30.0, 1, 11}));

TEST(Curves, NeighbouringRecordsMergeInPairs)
{
    SimulationData data;
    // Bends of 20° at the cells 4, 5, 6 and 7 give records at 5, 6, 7 and 8.
    const auto chain = bentChain(data, {{4, 90.0}, {1, 110.0}, {1, 130.0}, {1, 150.0}, {1, 170.0}, {40, 170.0}});
    TestVehicle v;
    putAt(chain[11], v);
    std::vector<Curve> curves;
    v.curvesAhead(curves);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].distance, 5);
    EXPECT_NEAR(curves[0].angle, 40.0, 0.01);
    EXPECT_EQ(curves[1].distance, 7);
    EXPECT_NEAR(curves[1].angle, 40.0, 0.01);
}

TEST(Curves, ThreeNeighboursLeaveTheThirdAlone)
{
    SimulationData data;
    const auto chain = bentChain(data, {{4, 90.0}, {1, 110.0}, {1, 130.0}, {40, 150.0}});
    TestVehicle v;
    putAt(chain[11], v);
    std::vector<Curve> curves;
    v.curvesAhead(curves);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].distance, 5);
    EXPECT_NEAR(curves[0].angle, 40.0, 0.01);
    EXPECT_EQ(curves[1].distance, 7);
    EXPECT_NEAR(curves[1].angle, 20.0, 0.01);
}

TEST(Curves, OnlyBendsWithinReachAndNeedLimit)
{
    SimulationData data;
    // A 30° bend limits to 11 when it is within 1.5 · slowdown(11) + length = 59 + 12 = 71 cells.
    TestVehicle near, far;
    const auto a = bentChain(data, {{69, 90.0}, {200, 120.0}});
    putAt(a[11], near.setSpeed(14)); // record at 70
    near.updateSpeedLimit();
    EXPECT_EQ(near.speedLimit(), 11);
    const auto b = bentChain(data, {{79, 90.0}, {200, 120.0}});
    putAt(b[11], far.setSpeed(14)); // record at 80: within reach (112) but farther than needed
    far.updateSpeedLimit();
    EXPECT_EQ(far.speedLimit(), 14);
    // A sharp bend beyond reach does not count.
    TestVehicle beyond;
    const auto c = bentChain(data, {{119, 90.0}, {200, 240.0}});
    putAt(c[11], beyond.setSpeed(14));
    beyond.updateSpeedLimit();
    EXPECT_EQ(beyond.speedLimit(), 14);
    std::vector<Curve> curves;
    beyond.curvesAhead(curves);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].distance, 120);
}

TEST(Curves, SharpestBendWithinNeedWins)
{
    SimulationData data;
    const auto chain = bentChain(data, {{30, 90.0}, {30, 120.0}, {100, 210.0}});
    TestVehicle v;
    putAt(chain[11], v.setSpeed(8));
    v.updateSpeedLimit();
    EXPECT_EQ(v.speedLimit(), 4); // 90° at 61 beats 30° at 31
}

// ---------------------------------------------------------------------------------------------
// Dawdling

namespace {

double dawdleShare(int32_t nextSpeed, int draws)
{
    TestVehicle v;
    int slowed = 0;
    for (int i = 0; i < draws; ++i) {
        v.setNextSpeed(nextSpeed);
        v.dawdle();
        EXPECT_GE(v.nextSpeed(), nextSpeed - 1);
        if (v.nextSpeed() < nextSpeed)
            ++slowed;
    }
    return double(slowed) / draws;
}

} // namespace

TEST(Dawdling, FasterVehiclesDawdleMoreOften)
{
    Random::setSeed(2024);
    const int draws = 20000;
    EXPECT_NEAR(dawdleShare(14, draws), 0.5, 0.02);
    EXPECT_NEAR(dawdleShare(8, draws), 0.5, 0.02);
    EXPECT_NEAR(dawdleShare(7, draws), 0.25, 0.02);
    EXPECT_NEAR(dawdleShare(2, draws), 0.25, 0.02);
    EXPECT_EQ(dawdleShare(1, draws), 0.0);
    EXPECT_EQ(dawdleShare(0, draws), 0.0);
}

TEST(Dawdling, SameSeedSameDraws)
{
    // A vehicle draws from its own stream, fixed by the run seed and its id.
    Random::setSeed(99);
    TestVehicle a;
    const uint64_t seedA = Random::vehicleSeed(a.id());
    RandomStream copy(seedA);
    for (int i = 0; i < 50; ++i) {
        a.setNextSpeed(10);
        a.dawdle();
        const bool slowed = copy.next() < 0.5 * 32767.0;
        EXPECT_EQ(a.nextSpeed(), slowed ? 9 : 10);
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
        ASSERT_EQ(v.route().size(), 1u);
        const RouteEntry &e = v.route().front();
        EXPECT_EQ(e.crossroad, x.crossroad);
        EXPECT_EQ(e.entryKey, x.in(A::W));
        EXPECT_NE(e.exitLane, x.out(A::W)); // no U-turn path
        EXPECT_EQ(e.pathCell, x.pathCell(A::W, FourArmCrossroad::Arm(e.exitLane->wayId() - 1)));
        // Planning again keeps the choice.
        v.planRoute();
        EXPECT_EQ(v.route().size(), 1u);
        exits.insert(e.exitLane);
        release(&v);
    }
    EXPECT_EQ(exits.size(), 3u);
}

TEST(Route, PlanningStopsAtTheHorizonOrANetworkExit)
{
    CrossroadsInARow row(30, 8);
    TestVehicle v;
    putAt(row.laneCells[0][20], v); // speed 0: horizon 40
    v.planRoute();
    // After crossroad 0, the next 30 + 8 cells reach crossroad 1 within the horizon; the lane after
    // it leads nowhere.
    ASSERT_EQ(v.route().size(), 2u);
    EXPECT_EQ(v.route()[0].crossroad, row.crossroad[0]);
    EXPECT_EQ(v.route()[1].crossroad, row.crossroad[1]);
    EXPECT_EQ(v.route()[1].exitLane, row.lane[2].get());

    CrossroadsInARow longer(60, 8);
    TestVehicle w;
    putAt(longer.laneCells[0][20], w);
    w.planRoute();
    ASSERT_EQ(w.route().size(), 1u); // 68 cells to crossroad 1 are beyond the horizon of 40

    TestVehicle onExit;
    putAt(row.laneCells[2][20], onExit);
    onExit.planRoute();
    EXPECT_TRUE(onExit.route().empty());
}

TEST(Route, LookUpsFollowTheChainOfTheFront)
{
    CrossroadsInARow row(30, 8);
    TestVehicle v;
    v.addRouteEntry(row.entry(0));
    v.addRouteEntry(row.entry(1));
    v.addRouteEntry(row.entry(0)); // a second entry for the same pair is ignored
    EXPECT_EQ(v.route().size(), 2u);
    EXPECT_TRUE(v.routeHas(row.crossroad[1], row.lane[1].get()));
    EXPECT_FALSE(v.routeHas(row.crossroad[1], row.lane[0].get()));
    EXPECT_FALSE(v.routeHas(nullptr, row.lane[0].get()));
    EXPECT_FALSE(v.routeHas(row.crossroad[0], nullptr));
    EXPECT_EQ(v.routePathCell(row.crossroad[1], row.lane[1].get()), row.pathCells[1].front());
    EXPECT_EQ(v.routePathCell(row.crossroad[1], row.lane[0].get()), nullptr);

    putAt(row.laneCells[1][15], v);
    EXPECT_EQ(v.entryKey(), row.lane[1].get());
    EXPECT_EQ(v.nextExitLane(), row.lane[2].get());
    EXPECT_EQ(v.nextPathCell(), row.pathCells[1].front());
    release(&v);
    putAt(row.laneCells[2][15], v); // no crossroad ahead: the first entry
    EXPECT_EQ(v.entryKey(), row.lane[2].get());
    EXPECT_EQ(v.nextExitLane(), row.lane[1].get());
    EXPECT_EQ(v.nextPathCell(), row.pathCells[0].front());

    TestVehicle empty;
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
    EXPECT_FALSE(place(chain[10], &v)); // only 11 cells up to the chain start
    EXPECT_TRUE(v.cells().empty());
    EXPECT_FALSE(chain[10]->isOccupied());
    ASSERT_TRUE(place(chain[11], &v));
    ASSERT_EQ(v.cells().size(), 12u);
    EXPECT_EQ(v.frontCell(), chain[11]);
    EXPECT_EQ(v.tailCell(), chain[0]);
    for (int i = 0; i <= 11; ++i)
        EXPECT_EQ(chain[size_t(i)]->vehicle, &v);
    EXPECT_FALSE(place(chain[25], &blocker.setLength(15))); // would overlap at chain[11]
    EXPECT_FALSE(chain[25]->isOccupied());
    EXPECT_FALSE(place(nullptr, &blocker));
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

TEST(Movement, ShiftsTheBodyAlongTheChain)
{
    SimulationData data;
    const auto chain = makeChain(data, 60);
    TestVehicle v;
    putAt(chain[20], v.setSpeed(5));
    release(&v);
    ASSERT_TRUE(v.move());
    EXPECT_EQ(v.frontCell(), chain[25]);
    EXPECT_EQ(v.tailCell(), chain[14]);
    for (int i = 0; i < 60; ++i)
        EXPECT_EQ(chain[size_t(i)]->vehicle, i >= 14 && i <= 25 ? &v : nullptr) << i;
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
}

TEST(Movement, AcrossTwoCrossroadsInOneStep)
{
    CrossroadsInARow row(4, 3);
    TestVehicle v;
    v.addRouteEntry(row.entry(0));
    v.addRouteEntry(row.entry(1));
    v.setLength(2).setSpeed(14);
    std::vector<Cell *> body{row.laneCells[0][1], row.laneCells[0][0]};
    v.setCells(body);
    ASSERT_TRUE(v.move());
    // From lane 0 cell 1: 2 + 3 + 4 + 3 + 1 = 13 cells to the start of lane 2, then 1 more.
    EXPECT_EQ(v.frontCell(), row.laneCells[2][1]);
    EXPECT_EQ(v.tailCell(), row.laneCells[2][0]);
    EXPECT_TRUE(v.route().empty()); // no crossroad is ahead of the exit lane
}

TEST(Movement, FailedMoveLeavesTheVehicleWhereItWas)
{
    SimulationData data;
    const auto chain = makeChain(data, 30);
    TestVehicle v;
    putAt(chain[26], v.setSpeed(5)); // the exit is 3 cells ahead
    const std::vector<Cell *> before = v.cells();
    release(&v);
    EXPECT_FALSE(v.move());
    EXPECT_EQ(v.cells(), before);
    for (Cell *c : before)
        EXPECT_EQ(c->vehicle, &v);
    EXPECT_FALSE(chain[27]->isOccupied());

    // At a crossroad without a planned path.
    CrossroadsInARow row(30, 8);
    TestVehicle w;
    putAt(row.laneCells[0][27], w.setSpeed(5));
    release(&w);
    EXPECT_FALSE(w.move());
    EXPECT_EQ(w.frontCell(), row.laneCells[0][27]);
    EXPECT_EQ(row.laneCells[0][27]->vehicle, &w);
}

TEST(Movement, LaneChangeShiftsToTheSideCells)
{
    SimulationData data;
    const auto lane = makeChain(data, 60);
    const auto bay = makeChain(data, 30);
    for (int i = 0; i < 30; ++i)
        linkSide(lane[10 + i], bay[i]);
    TestVehicle v;
    putAt(lane[25], v.setLength(4).setSpeed(3).setLaneChange(2));
    release(&v);
    ASSERT_TRUE(v.move());
    EXPECT_EQ(v.frontCell(), bay[18]);
    EXPECT_EQ(v.tailCell(), bay[15]);
    EXPECT_FALSE(lane[25]->isOccupied());
    v.setLaneChange(1);
    release(&v);
    ASSERT_TRUE(v.move());
    EXPECT_EQ(v.frontCell(), lane[31]);
    EXPECT_EQ(v.tailCell(), lane[28]);
}
