// Right of way on a hand-built four-arm crossroad: yielding, room behind the crossroad, signals
// and the breaking of deadlocks.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/rightofway.h"
#include "model/semaphore.h"

#include <gtest/gtest.h>

using A = FourArmCrossroad;

namespace {

/// Puts a vehicle with its front `back` cells before the stop line of `from`, heading for `to`.
void arrive(FourArmCrossroad &x, TestVehicle &v, A::Arm from, A::Arm to, int back = 0, int speed = 0)
{
    v.addRouteEntry(x.entry(from, to));
    v.setSpeed(speed);
    putAt(x.approach(from, back), v);
}

/// Puts a vehicle inside the path from `from` to `to`, its front `into` cells from the path start.
void inside(FourArmCrossroad &x, TestVehicle &v, A::Arm from, A::Arm to, int into)
{
    putAt(x.pathCell(from, to)->cellAhead(into), v);
    ASSERT_TRUE(v.tailCell()->inCrossroad);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Path tests of the crossroad

TEST(CrossroadRunTime, UncontestedOnlyWithOneWayInAndNoOtherWayOut)
{
    Crossroad x;
    x.setKind(Crossroad::RoadOnly);
    LaneBinding a, b, c, outA, outB;
    SimulationData data;
    Cell *p1 = data.createCell(), *p2 = data.createCell(), *p3 = data.createCell(), *p4 = data.createCell();
    x.addPath(&a, &outA, p1);
    x.addPath(&b, &outB, p2);
    x.addPath(&b, &outA, p3);
    EXPECT_FALSE(x.isUncontested(&a, &outA)); // b leads there too
    EXPECT_FALSE(x.isUncontested(&b, &outB)); // b has two ways out
    EXPECT_FALSE(x.isUncontested(&c, &outA)); // no such entry
    x.addPath(&c, &outB, p4);
    EXPECT_FALSE(x.isUncontested(&c, &outB));

    Crossroad single;
    single.setKind(Crossroad::RoadOnly);
    single.addPath(&a, &outA, p1);
    single.addPath(&b, &outB, p2);
    EXPECT_TRUE(single.isUncontested(&a, &outA));
    EXPECT_FALSE(single.isUncontested(&a, &outB)); // not this entry's way
    EXPECT_FALSE(single.isUncontested(&a, nullptr));
    single.setKind(Crossroad::Mixed);
    EXPECT_FALSE(single.isUncontested(&a, &outA));
}

TEST(CrossroadRunTime, FourArmsAreContestedAndRightTurnsHaveNoConflicts)
{
    FourArmCrossroad x(60);
    TestVehicle right, straight, left;
    arrive(x, right, A::W, A::S);
    arrive(x, straight, A::S, A::E); // S's right turn is towards E
    arrive(x, left, A::E, A::S);
    EXPECT_FALSE(x.crossroad->isUncontested(x.in(A::W), x.out(A::S)));
    EXPECT_FALSE(x.crossroad->hasConflicts(&right));
    EXPECT_FALSE(x.crossroad->hasConflicts(&straight));
    EXPECT_TRUE(x.crossroad->hasConflicts(&left));
}

TEST(CrossroadRunTime, PathClearAndAreaFree)
{
    FourArmCrossroad x(60);
    EXPECT_TRUE(pathIsClear(x.pathCell(A::S, A::N)));
    EXPECT_TRUE(pathIsClear(nullptr));
    EXPECT_TRUE(x.crossroad->isAreaFree());
    TestVehicle v;
    inside(x, v, A::S, A::N, 20);
    EXPECT_FALSE(pathIsClear(x.pathCell(A::S, A::N)));
    EXPECT_TRUE(pathIsClear(x.pathCell(A::S, A::W)));
    EXPECT_FALSE(x.crossroad->isAreaFree());
    // Only crossroad cells count: a vehicle on the exit lane does not make the path busy.
    release(&v);
    TestVehicle out;
    putAt(x.exitCell(A::N, 20), out);
    EXPECT_TRUE(pathIsClear(x.pathCell(A::S, A::N)));
}

// ---------------------------------------------------------------------------------------------
// Yielding without a signal

TEST(Yielding, ToTrafficFromTheRight)
{
    FourArmCrossroad x(200);
    TestVehicle me, fromRight;
    arrive(x, me, A::W, A::E);
    EXPECT_TRUE(x.crossroad->mayGo(&me)); // nobody else around
    arrive(x, fromRight, A::S, A::N, 5, 5);
    EXPECT_FALSE(x.crossroad->mayGo(&me));
    // The one from the right does not wait for me: I come from its left.
    EXPECT_TRUE(x.crossroad->mayGo(&fromRight));
}

TEST(Yielding, FarTrafficFromTheRightDoesNotBlock)
{
    FourArmCrossroad x(200);
    TestVehicle me, far;
    arrive(x, me, A::W, A::E);
    arrive(x, far, A::S, A::N, 180, 0); // needs 16 steps, I clear the crossroad in 11
    EXPECT_TRUE(x.crossroad->mayGo(&me));
}

TEST(Yielding, AnEmptyConflictingLaneNeverBlocks)
{
    FourArmCrossroad x(60);
    for (A::Arm to : {A::S, A::E, A::N}) {
        TestVehicle me;
        arrive(x, me, A::W, to);
        EXPECT_TRUE(x.crossroad->mayGo(&me)) << "towards arm " << to;
        release(&me);
    }
}

TEST(Yielding, LeftTurnYieldsToOncomingTraffic)
{
    FourArmCrossroad x(200);
    TestVehicle me, oncoming;
    arrive(x, me, A::W, A::N);
    arrive(x, oncoming, A::E, A::W, 10, 6);
    EXPECT_FALSE(x.crossroad->mayGo(&me));
    // Going straight on, the same oncoming car is no obstacle.
    TestVehicle straight;
    release(&me);
    arrive(x, straight, A::W, A::E);
    EXPECT_TRUE(x.crossroad->mayGo(&straight));
}

TEST(Yielding, OncomingTrafficTurningAwayDoesNotBlockTheLeftTurn)
{
    FourArmCrossroad x(200);
    TestVehicle me, oncoming, behind;
    arrive(x, me, A::W, A::N);
    arrive(x, oncoming, A::E, A::S, 10, 6); // its own left turn, to an arm I do not cross into
    arrive(x, behind, A::E, A::W, 30, 6);   // hidden behind it: the scan of that lane ends first
    EXPECT_TRUE(x.crossroad->mayGo(&me));
}

TEST(Yielding, VehicleReachingIntoTheCrossroadBlocks)
{
    FourArmCrossroad x(200);
    TestVehicle me, entering;
    arrive(x, me, A::W, A::E);
    // Its front is 3 cells into the path towards W, its body still on S's lane.
    entering.addRouteEntry(x.entry(A::S, A::W));
    std::vector<Cell *> body;
    for (int i = 2; i >= 0; --i)
        body.push_back(x.pathCell(A::S, A::W)->cellAhead(i));
    for (int i = 0; i < 9; ++i)
        body.push_back(x.approach(A::S, i));
    entering.setCells(body);
    occupy(body, &entering);
    EXPECT_FALSE(conflictingLaneIsClear(x.in(A::S), {x.out(A::N), x.out(A::W), x.out(A::E)}, 1));
    EXPECT_FALSE(x.crossroad->mayGo(&me));
}

TEST(Yielding, ArrivalTimeAgainstTheClearingTime)
{
    FourArmCrossroad x(200);
    TestVehicle other;
    arrive(x, other, A::S, A::N, 20, 0); // 20 cells from speed 0: 0 2 4 6 8, 5 steps
    const std::vector<LaneBinding *> exits{x.out(A::N)};
    EXPECT_TRUE(conflictingLaneIsClear(x.in(A::S), exits, 5));
    EXPECT_FALSE(conflictingLaneIsClear(x.in(A::S), exits, 6));
    EXPECT_TRUE(conflictingLaneIsClear(x.in(A::S), {x.out(A::E)}, 60)); // heading elsewhere
    EXPECT_TRUE(conflictingLaneIsClear(nullptr, exits, 60));
}

TEST(Yielding, OtherVehiclesAreJudgedByTheirPublishedPlan)
{
    // A plan made in the current decision phase is not seen by other decisions until the commit:
    // its route may still be growing in its own thread.
    FourArmCrossroad x(200);
    TestVehicle other;
    putAt(x.approach(A::S, 4), other.setSpeed(4));
    other.addRouteEntry(x.entry(A::S, A::N));
    const std::vector<LaneBinding *> exits{x.out(A::N)};
    EXPECT_EQ(other.nextExitLane(), x.out(A::N));
    EXPECT_EQ(other.plannedExitLane(), nullptr);
    EXPECT_TRUE(conflictingLaneIsClear(x.in(A::S), exits, 20));
    other.commitSpeed();
    EXPECT_EQ(other.plannedExitLane(), x.out(A::N));
    EXPECT_FALSE(conflictingLaneIsClear(x.in(A::S), exits, 20));
}

TEST(Yielding, VehicleInsideACrossingPathBlocks)
{
    FourArmCrossroad x(60);
    TestVehicle me, crossing, turning;
    arrive(x, me, A::W, A::E);
    inside(x, crossing, A::S, A::N, 30);
    EXPECT_FALSE(crossingPathsAreClear(x.crossroad, &me));
    EXPECT_FALSE(x.crossroad->mayGo(&me));
    release(&crossing);
    inside(x, turning, A::E, A::N, 20); // E's right turn does not cross W → E
    EXPECT_TRUE(crossingPathsAreClear(x.crossroad, &me));
    EXPECT_TRUE(x.crossroad->mayGo(&me));
}

// ---------------------------------------------------------------------------------------------
// Room behind the crossroad

TEST(ExitRoom, EveryVehicleOnTheExitCountsWithAGap)
{
    FourArmCrossroad x(60, true, 40);
    TestVehicle me, first, second;
    arrive(x, me, A::W, A::E);
    EXPECT_TRUE(exitHasRoom(&me));
    putAt(x.exitCell(A::E, 11), first); // 40 − 12 − 6 = 22 ≥ 12
    EXPECT_TRUE(exitHasRoom(&me));
    putAt(x.exitCell(A::E, 23), second); // 40 − 24 − 12 = 4 < 12
    EXPECT_FALSE(exitHasRoom(&me));
    EXPECT_FALSE(x.crossroad->mayGo(&me));
}

TEST(ExitRoom, VehiclesOnThePathCountToo)
{
    FourArmCrossroad x(60, true, 40);
    TestVehicle me, onExit, onPath;
    arrive(x, me, A::W, A::E);
    putAt(x.exitCell(A::E, 11), onExit);
    inside(x, onPath, A::W, A::E, 30); // 40 − 12 − 12 − 6 = 10 < 12
    EXPECT_FALSE(exitHasRoom(&me));
}

TEST(ExitRoom, AnExitShorterThanTheVehicleNeverBlocks)
{
    FourArmCrossroad x(60, true, 10);
    TestVehicle me, filling;
    arrive(x, me, A::W, A::E);
    putAt(x.exitCell(A::E, 9), filling.setLength(10));
    EXPECT_TRUE(exitHasRoom(&me));
}

TEST(ExitRoom, NoPlannedExitNoRoom)
{
    FourArmCrossroad x(60);
    TestVehicle me;
    putAt(x.stopLine(A::W), me);
    EXPECT_FALSE(exitHasRoom(&me));
    EXPECT_FALSE(exitHasRoom(nullptr));
}

// ---------------------------------------------------------------------------------------------
// Signals

TEST(Signals, RedStopsGreenGoes)
{
    FourArmCrossroad x(200);
    Semaphore *lights = x.addSemaphore(); // W starts green
    TestVehicle west, south;
    arrive(x, west, A::W, A::E);
    arrive(x, south, A::S, A::N);
    // On green the rules of priority to the right are off.
    EXPECT_TRUE(x.crossroad->mayGo(&west));
    EXPECT_FALSE(x.crossroad->mayGo(&south));
    for (int step = 1; step <= 92; ++step)
        lights->update();
    EXPECT_FALSE(x.crossroad->mayGo(&west));  // red
    EXPECT_FALSE(x.crossroad->mayGo(&south)); // amber
    for (int step = 93; step <= 104; ++step)
        lights->update();
    EXPECT_TRUE(x.crossroad->mayGo(&south));
}

TEST(Signals, GreenStillNeedsRoomBehindTheCrossroad)
{
    FourArmCrossroad x(60, true, 30);
    x.addSemaphore();
    TestVehicle west, a, b;
    arrive(x, west, A::W, A::E);
    putAt(x.exitCell(A::E, 11), a);
    putAt(x.exitCell(A::E, 23), b);
    EXPECT_FALSE(x.crossroad->mayGo(&west));
}

TEST(Signals, SignalConflictsApplyOnGreen)
{
    FourArmCrossroad x(200, false);
    x.addSemaphore();
    x.crossroad->addSignalConflict(x.in(A::W), x.out(A::E), x.in(A::S), x.out(A::N));
    TestVehicle west, south;
    arrive(x, west, A::W, A::E);
    EXPECT_TRUE(x.crossroad->mayGo(&west));
    arrive(x, south, A::S, A::N, 4, 4);
    EXPECT_FALSE(x.crossroad->mayGo(&west));
}

// ---------------------------------------------------------------------------------------------
// Deadlock breaking

namespace {

/// Every arm has a queue heading straight on, each waiting for the arm on its right.
struct Gridlock
{
    FourArmCrossroad x{120};
    std::vector<std::unique_ptr<TestVehicle>> vehicles;
    TestVehicle *head[4] = {};

    explicit Gridlock(const int queue[4])
    {
        for (int a = 0; a < 4; ++a) {
            const A::Arm from = A::Arm(a);
            const A::Arm to = A::next(A::next(from));
            for (int i = 0; i < queue[a]; ++i) {
                vehicles.push_back(std::make_unique<TestVehicle>());
                arrive(x, *vehicles.back(), from, to, 12 * i);
                if (i == 0)
                    head[a] = vehicles.back().get();
            }
        }
    }
    int moving() const
    {
        int count = 0;
        for (const auto &v : vehicles)
            count += v->speed() != 0 ? 1 : 0;
        return count;
    }
};

} // namespace

TEST(Deadlock, ReleasesOneVehicleFromTheLongestQueue)
{
    const int queue[4] = {3, 1, 2, 1};
    Gridlock g(queue);
    for (TestVehicle *h : g.head)
        ASSERT_FALSE(g.x.crossroad->mayGo(h));
    resolveDeadlock(g.x.crossroad);
    EXPECT_EQ(g.moving(), 1);
    EXPECT_EQ(g.head[A::W]->speed(), 1);
    EXPECT_EQ(g.head[A::W]->nextSpeed(), 1);
}

TEST(Deadlock, SkipsAQueueWhoseExitIsFull)
{
    const int queue[4] = {3, 1, 2, 1};
    Gridlock g(queue);
    // W's way out to E is full (100 − 5 · 12 − 5 · 6 < 12): E's queue, the next longest, goes.
    TestVehicle full[5];
    for (int i = 0; i < 5; ++i)
        putAt(g.x.exitCell(A::E, 11 + 12 * i), full[i]);
    ASSERT_FALSE(exitHasRoom(g.head[A::W]));
    resolveDeadlock(g.x.crossroad);
    EXPECT_EQ(g.moving(), 1);
    EXPECT_EQ(g.head[A::E]->speed(), 1);
}

TEST(Deadlock, NothingHappensWhileSomeoneMayGo)
{
    const int queue[4] = {2, 0, 2, 0};
    Gridlock g(queue); // W and E wait for nobody
    resolveDeadlock(g.x.crossroad);
    EXPECT_EQ(g.moving(), 0);
}

TEST(Deadlock, NothingHappensWhileTheAreaIsBusyOrWithSignals)
{
    const int queue[4] = {2, 1, 1, 1};
    Gridlock g(queue);
    TestVehicle inside;
    putAt(g.x.pathCell(A::N, A::E)->cellAhead(15), inside); // N's left turn, stuck inside
    resolveDeadlock(g.x.crossroad);
    EXPECT_EQ(g.moving(), 0);

    Gridlock s(queue);
    s.x.addSemaphore();
    resolveDeadlock(s.x.crossroad);
    EXPECT_EQ(s.moving(), 0);
}
