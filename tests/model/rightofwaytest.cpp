// Right of way on a hand-built four-arm crossroad: yielding, room behind the crossroad, signals
// and the breaking of deadlocks.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/rightofway.h"
#include "model/semaphore.h"

#include <gtest/gtest.h>

#include <tuple>

using A = FourArmCrossroad;

TEST(Yielding, PriorityToTheRightOncomingTrafficVehiclesInsideAndRoomBehindTheCrossroad)
{
    enum Where { Approaching, Inside, OnExit };
    struct Other
    {
        A::Arm from, to;
        int at, speed = 0; ///< cells before the stop line, into the path or along the exit
        Where where = Approaching;
    };
    struct Row
    {
        A::Arm from, to;
        std::vector<Other> others;
        bool mayGo;
        const char *why;
        bool signal = false; ///< W starts green
    };
    const Row rows[] = {
        {A::W, A::S, {}, true, "empty conflicting lanes never block (right turn)"},
        {A::W, A::N, {}, true, "empty conflicting lanes never block (left turn)"},
        {A::W, A::E, {{A::S, A::N, 5, 5}}, false, "traffic from the right"},
        {A::S, A::N, {{A::W, A::E, 0, 0}}, true, "traffic from the left"},
        {A::W, A::E, {{A::S, A::N, 180, 0}}, true, "far from the right: 16 steps against 11"},
        {A::W, A::N, {{A::E, A::W, 10, 6}}, false, "left turn yields to oncoming traffic"},
        {A::W, A::E, {{A::E, A::W, 10, 6}}, true, "straight on ignores oncoming traffic"},
        // The oncoming one turns away; the one hidden behind it is not seen: the scan ends first.
        {A::W, A::N, {{A::E, A::S, 10, 6}, {A::E, A::W, 30, 6}}, true, "oncoming traffic turning away"},
        {A::W, A::E, {{A::S, A::N, 30, 0, Inside}}, false, "inside a crossing path"},
        {A::W, A::E, {{A::E, A::N, 20, 0, Inside}}, true, "inside a path that does not cross"},
        {A::W, A::E, {{A::W, A::E, 11, 0, OnExit}}, true, "room behind: 40 − 12 − 6 = 22 ≥ 12"},
        {A::W, A::E, {{A::W, A::E, 11, 0, OnExit}}, true, "green with room behind", true},
        {A::S, A::N, {}, false, "red", true},
        {A::W, A::E, {{A::W, A::E, 11, 0, OnExit}, {A::W, A::E, 23, 0, OnExit}}, false, "40 − 24 − 12 = 4 < 12"},
        {A::W, A::E, {{A::W, A::E, 11, 0, OnExit}, {A::W, A::E, 23, 0, OnExit}}, false, "green, no room", true},
    };
    for (const Row &r : rows) {
        FourArmCrossroad x(200, 40);
        if (r.signal)
            x.addSemaphore();
        TestVehicle me;
        std::vector<TestVehicle> others(r.others.size());
        x.arrive(me, r.from, r.to);
        for (size_t i = 0; i < others.size(); ++i) {
            const Other &o = r.others[i];
            if (o.where == Inside)
                putAt(x.pathCell(o.from, o.to)->cellAhead(o.at), others[i]);
            else if (o.where == OnExit)
                putAt(x.exitCell(o.to, o.at), others[i]);
            else
                x.arrive(others[i].setSpeed(o.speed), o.from, o.to, o.at);
        }
        EXPECT_EQ(x.crossroad->mayGo(&me), r.mayGo) << r.why;
    }
}

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
                x.arrive(*vehicles.back(), A::Arm(a), A::next(A::next(A::Arm(a))), 12 * i);
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

TEST(Deadlock, OneVehicleOfTheLongestQueueIsReleasedOnlyFromATrueGridlock)
{
    Gridlock g({3, 1, 2, 1});
    for (TestVehicle *h : g.head)
        ASSERT_FALSE(g.x.crossroad->mayGo(h));
    EXPECT_EQ(g.released(), g.head[A::W]);

    Gridlock open({2, 0, 2, 0}); // W and E wait for nobody
    EXPECT_EQ(open.released(), nullptr);
    Gridlock busy({2, 1, 1, 1});
    TestVehicle stuck;
    putAt(busy.x.pathCell(A::N, A::E)->cellAhead(15), stuck); // N's left turn, stuck inside
    EXPECT_EQ(busy.released(), nullptr);
    Gridlock signals({2, 1, 1, 1});
    signals.x.addSemaphore();
    EXPECT_EQ(signals.released(), nullptr);

    // W's way out to E is full (100 − 5 · 12 − 5 · 6 < 12): W cannot take its turn, so N, which
    // yields to W, goes by itself and there is no deadlock to break.
    Gridlock fullExit({3, 1, 2, 1});
    TestVehicle full[5];
    for (int i = 0; i < 5; ++i)
        putAt(fullExit.x.exitCell(A::E, 11 + 12 * i), full[i]);
    EXPECT_TRUE(fullExit.x.crossroad->mayGo(fullExit.head[A::N]));
    EXPECT_EQ(fullExit.released(), nullptr);
}

// The signal cycle: 20 s green, 3 s amber, then the next group's 3 s amber and 20 s green.
TEST(SemaphoreCycle, GroupsTakeTurnsThroughAmberAndALoneGroupComesBackToGreen)
{
    FourArmCrossroad x(10);
    Semaphore *four = x.addSemaphore(); // groups W, S, E, N
    Semaphore alone, none;
    alone.addGroup(x.end(A::W));
    const auto G = Semaphore::Green, Y = Semaphore::Amber, R = Semaphore::Red;
    struct Row
    {
        int step;
        Semaphore::Light w, s, e, alone;
    };
    // Steps of 250 ms: 80 = 20 s, 92 = 23 s, 104 = 26 s. A lone group is amber as the old and
    // the new group at once.
    const Row rows[] = {{0, G, R, R, G},   {79, G, R, R, G},  {80, Y, R, R, Y},  {92, R, Y, R, Y}, {103, R, Y, R, Y},
                        {104, R, G, R, G}, {196, R, R, Y, Y}, {208, R, R, G, G}, {416, G, R, R, G}};
    int steps = 0;
    for (const Row &r : rows) {
        for (; steps < r.step; ++steps) {
            four->update();
            alone.update();
            none.update();
        }
        // Amber is not green.
        EXPECT_EQ(std::make_tuple(four->light(x.end(A::W)), four->light(x.end(A::S)), four->light(x.end(A::E)),
                                  alone.light(x.end(A::W)), four->isGreen(x.way(A::W))),
                  std::make_tuple(r.w, r.s, r.e, r.alone, r.w == G))
            << "step " << r.step;
    }
    EXPECT_TRUE(alone.isGreen(x.way(A::S))); // no group for that way
    EXPECT_TRUE(none.lights().empty());
    EXPECT_TRUE(none.isGreen(nullptr));
}
