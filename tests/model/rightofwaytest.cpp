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
    LaneBinding a(0), b(1), c(2), outA(3), outB(4);
    Cell p1, p2, p3, p4;
    Crossroad x, single;
    for (Crossroad *k : {&x, &single}) {
        k->setKind(Crossroad::RoadOnly);
        k->addPath(&a, &outA, &p1);
        k->addPath(&b, &outB, &p2);
    }
    x.addPath(&b, &outA, &p3);
    x.addPath(&c, &outB, &p4);
    single.addPath(&c, &outB, &p4);           // paths to other exits do not contest a→outA
    EXPECT_FALSE(x.isUncontested(&a, &outA)); // b leads there too
    EXPECT_FALSE(x.isUncontested(&b, &outB)); // b has two ways out
    EXPECT_FALSE(x.isUncontested(&c, &outB));
    EXPECT_TRUE(single.isUncontested(&a, &outA));
    EXPECT_FALSE(single.isUncontested(&a, &outB)); // not this entry's way
    EXPECT_FALSE(single.isUncontested(&c, &outA)); // not c's way
    EXPECT_FALSE(single.isUncontested(&a, nullptr));
    single.setKind(Crossroad::Mixed);
    EXPECT_FALSE(single.isUncontested(&a, &outA));
}

TEST(CrossroadRunTime, PathClearAndAreaFree)
{
    FourArmCrossroad x(60);
    EXPECT_TRUE(pathIsClear(x.pathCell(A::S, A::N)));
    EXPECT_TRUE(pathIsClear(nullptr));
    EXPECT_TRUE(x.crossroad->isAreaFree());
    TestVehicle v, out;
    inside(x, v, A::S, A::N, 20);
    EXPECT_FALSE(pathIsClear(x.pathCell(A::S, A::N)));
    EXPECT_TRUE(pathIsClear(x.pathCell(A::S, A::W)));
    EXPECT_FALSE(x.crossroad->isAreaFree());
    // Only crossroad cells count: a vehicle on the exit lane does not make the path busy.
    release(&v);
    putAt(x.exitCell(A::N, 20), out);
    EXPECT_TRUE(pathIsClear(x.pathCell(A::S, A::N)));
}

// ---------------------------------------------------------------------------------------------
// Yielding without a signal

TEST(Yielding, PriorityToTheRightAndOncomingTraffic)
{
    struct Other
    {
        A::Arm from, to;
        int back, speed;
    };
    struct Row
    {
        A::Arm from, to;
        std::vector<Other> others;
        bool mayGo;
        const char *why;
    };
    const Row rows[] = {
        {A::W, A::S, {}, true, "empty conflicting lanes never block (right turn)"},
        {A::W, A::E, {}, true, "empty conflicting lanes never block (straight on)"},
        {A::W, A::N, {}, true, "empty conflicting lanes never block (left turn)"},
        {A::W, A::E, {{A::S, A::N, 5, 5}}, false, "traffic from the right"},
        {A::S, A::N, {{A::W, A::E, 0, 0}}, true, "traffic from the left"},
        {A::W, A::E, {{A::S, A::N, 180, 0}}, true, "far from the right: 16 steps against 11"},
        {A::W, A::N, {{A::E, A::W, 10, 6}}, false, "left turn yields to oncoming traffic"},
        {A::W, A::E, {{A::E, A::W, 10, 6}}, true, "straight on ignores oncoming traffic"},
        // The oncoming one turns away; the one hidden behind it is not seen: the scan ends first.
        {A::W, A::N, {{A::E, A::S, 10, 6}, {A::E, A::W, 30, 6}}, true, "oncoming traffic turning away"},
    };
    for (const Row &r : rows) {
        FourArmCrossroad x(200);
        TestVehicle me;
        std::vector<TestVehicle> others(r.others.size());
        arrive(x, me, r.from, r.to);
        for (size_t i = 0; i < others.size(); ++i)
            arrive(x, others[i], r.others[i].from, r.others[i].to, r.others[i].back, r.others[i].speed);
        EXPECT_EQ(x.crossroad->mayGo(&me), r.mayGo) << r.why;
    }
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

TEST(ExitRoom, EveryVehicleOnTheExitAndPathCountsWithAGap)
{
    struct Row
    {
        int exitCells;
        std::vector<std::pair<int, int>> onExit; ///< (front cell, length)
        int pathInto;                            ///< front of a vehicle on the path, or -1
        bool room;
        const char *why;
    };
    const Row rows[] = {
        {40, {}, -1, true, "empty"},
        {40, {{11, 12}}, -1, true, "40 − 12 − 6 = 22 ≥ 12"},
        {40, {{11, 12}, {23, 12}}, -1, false, "40 − 24 − 12 = 4 < 12"},
        {40, {{11, 12}}, 30, false, "40 − 12 − 12 − 6 = 10 < 12"},
        {10, {}, -1, true, "an empty exit shorter than the vehicle takes it"},
        {10, {{9, 10}}, -1, false, "an exit shorter than the vehicle takes it only when empty"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.why);
        for (bool signal : {false, true}) { // green still needs room behind the crossroad
            FourArmCrossroad x(60, true, r.exitCells);
            if (signal)
                x.addSemaphore(); // W starts green
            TestVehicle me, onPath;
            std::vector<TestVehicle> onExit(r.onExit.size());
            arrive(x, me, A::W, A::E);
            for (size_t i = 0; i < onExit.size(); ++i)
                putAt(x.exitCell(A::E, r.onExit[i].first), onExit[i].setLength(r.onExit[i].second));
            if (r.pathInto >= 0)
                inside(x, onPath, A::W, A::E, r.pathInto);
            EXPECT_EQ(exitHasRoom(&me), r.room);
            if (r.pathInto < 0) {
                EXPECT_EQ(x.crossroad->mayGo(&me), r.room) << (signal ? "with" : "without") << " signal";
            }
        }
    }
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

    explicit Gridlock(const std::vector<int> &queue)
    {
        for (int a = 0; a < 4; ++a)
            for (int i = 0; i < queue[size_t(a)]; ++i) {
                vehicles.push_back(std::make_unique<TestVehicle>());
                arrive(x, *vehicles.back(), A::Arm(a), A::next(A::next(A::Arm(a))), 12 * i);
                if (i == 0)
                    head[a] = vehicles.back().get();
            }
    }
    /// Runs the deadlock breaking and returns the one vehicle set moving, or null; fails if more move.
    TestVehicle *released()
    {
        resolveDeadlock(x.crossroad);
        TestVehicle *moving = nullptr;
        for (const auto &v : vehicles)
            if (v->speed() != 0) {
                EXPECT_EQ(moving, nullptr) << "more than one vehicle set moving";
                EXPECT_EQ(v->speed(), 1);
                EXPECT_EQ(v->nextSpeed(), 1);
                moving = v.get();
            }
        return moving;
    }
};

} // namespace

TEST(Deadlock, ReleasesOneVehicleFromTheLongestQueue)
{
    Gridlock g({3, 1, 2, 1});
    for (TestVehicle *h : g.head)
        ASSERT_FALSE(g.x.crossroad->mayGo(h));
    EXPECT_EQ(g.released(), g.head[A::W]);
}

TEST(Deadlock, AHeadWhoseExitIsFullHoldsNobodyBack)
{
    Gridlock g({3, 1, 2, 1});
    // W's way out to E is full (100 − 5 · 12 − 5 · 6 < 12): W cannot take its turn, so N, which
    // yields to W, goes by itself and there is no deadlock to break.
    TestVehicle full[5];
    for (int i = 0; i < 5; ++i)
        putAt(g.x.exitCell(A::E, 11 + 12 * i), full[i]);
    ASSERT_FALSE(exitHasRoom(g.head[A::W]));
    EXPECT_TRUE(g.x.crossroad->mayGo(g.head[A::N]));
    EXPECT_EQ(g.released(), nullptr);
}

TEST(Deadlock, NothingHappensWhileSomeoneMayGoTheAreaIsBusyOrWithSignals)
{
    Gridlock open({2, 0, 2, 0}); // W and E wait for nobody
    EXPECT_EQ(open.released(), nullptr);
    Gridlock busy({2, 1, 1, 1});
    TestVehicle stuck;
    putAt(busy.x.pathCell(A::N, A::E)->cellAhead(15), stuck); // N's left turn, stuck inside
    EXPECT_EQ(busy.released(), nullptr);
    Gridlock signals({2, 1, 1, 1});
    signals.x.addSemaphore();
    EXPECT_EQ(signals.released(), nullptr);
}
