// The cached network data of cells gives exactly what the walks give without it.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"

#include <gtest/gtest.h>

namespace {

struct Walked
{
    int32_t toEnd;
    Cell *end;
    int32_t toCrossroad;
    Crossroad *crossroad;
};

std::vector<Walked> walkAll(const std::vector<Cell *> &cells)
{
    std::vector<Walked> out;
    for (Cell *c : cells)
        out.push_back(Walked{c->cellsToEnd(), c->chainEnd(), distanceToCrossroad(c), crossroadAhead(c)});
    return out;
}

void expectSameAfterPrecompute(const std::vector<Cell *> &cells)
{
    const std::vector<Walked> before = walkAll(cells);
    std::vector<double> bearings;
    for (Cell *c : cells)
        bearings.push_back(c->next ? c->bearingToNext() : 0.0);
    precomputeCells(cells);
    const std::vector<Walked> after = walkAll(cells);
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < cells.size(); ++i) {
        ASSERT_TRUE(cells[i]->hasCache());
        EXPECT_EQ(before[i].toEnd, after[i].toEnd) << "cell " << i;
        EXPECT_EQ(before[i].end, after[i].end) << "cell " << i;
        EXPECT_EQ(before[i].toCrossroad, after[i].toCrossroad) << "cell " << i;
        EXPECT_EQ(before[i].crossroad, after[i].crossroad) << "cell " << i;
        if (cells[i]->next) { // bit for bit, not just close
            EXPECT_EQ(cells[i]->bearingToNext(), bearings[i]) << "cell " << i;
        }
        const Cell *p = cells[i]->previous;
        if (cells[i]->hasTurn()) {
            EXPECT_EQ(cells[i]->turn(), turnAngle(geo::bearing(p->location, cells[i]->location),
                                                  geo::bearing(cells[i]->location, cells[i]->next->location)));
        } else {
            EXPECT_TRUE(!p || p->next != cells[i] || !cells[i]->next) << "cell " << i;
        }
    }
}

} // namespace

TEST(CellCache, SameAnswersOnAFourArmCrossroad)
{
    FourArmCrossroad x(50);
    expectSameAfterPrecompute(x.data.cells);
}

TEST(CellCache, SameAnswersOnLoopsAndPlainChains)
{
    SimulationData data;
    const auto ring = makeChain(data, 9);
    link(ring.back(), ring.front());
    const auto plain = makeChain(data, 30, Location(50.1, 14.0), 45.0);
    expectSameAfterPrecompute(data.cells);
    EXPECT_EQ(ring[4]->cellsToEnd(), 0);
    EXPECT_EQ(ring[4]->chainEnd(), nullptr);
    EXPECT_EQ(plain[0]->cellsToEnd(), 29);
}

TEST(CellCache, AChainRunningIntoALoopNeverEnds)
{
    // The walk without cache would never end here; the cache answers as for a loop.
    SimulationData data;
    const auto ring = makeChain(data, 6);
    ring.back()->next = ring.front();
    const auto lead = makeChain(data, 4);
    lead.back()->next = ring[2];
    precomputeCells(data.cells);
    EXPECT_EQ(lead[0]->cellsToEnd(), 0);
    EXPECT_EQ(lead[0]->chainEnd(), nullptr);
    EXPECT_EQ(distanceToCrossroad(lead[0]), -1);
    EXPECT_EQ(crossroadAhead(lead[0]), nullptr);
}

TEST(CellCache, PrecomputingAgainFollowsChangedLinks)
{
    SimulationData data;
    const auto a = makeChain(data, 10);
    const auto b = makeChain(data, 10);
    precomputeCells(data.cells);
    EXPECT_EQ(a[0]->cellsToEnd(), 9);
    link(a.back(), b.front());
    precomputeCells(data.cells);
    EXPECT_EQ(a[0]->cellsToEnd(), 19);
    EXPECT_EQ(a[0]->chainEnd(), b.back());
}

TEST(CellCache, DecisionInputsDoNotDependOnTheCache)
{
    // Curves through a crossroad path (where the walk jumps from a chain end into the path) and
    // the look-ahead are identical with and without the cache.
    FourArmCrossroad x(120);
    using A = FourArmCrossroad;
    TestVehicle v, other;
    v.setSpeed(12);
    v.addRouteEntry(x.entry(A::W, A::N));
    putAt(x.approach(A::W, 30), v);
    putAt(x.exitCell(A::N, 30), other);
    std::vector<Curve> uncached, cached;
    EventList eventsUncached, eventsCached;
    v.curvesAhead(uncached);
    v.scanAhead(eventsUncached);
    v.updateSpeedLimit();
    const int32_t limitUncached = v.speedLimit();
    precomputeCells(x.data.cells);
    v.curvesAhead(cached);
    v.scanAhead(eventsCached);
    v.updateSpeedLimit();
    ASSERT_FALSE(uncached.empty());
    ASSERT_EQ(uncached.size(), cached.size());
    for (size_t i = 0; i < cached.size(); ++i) {
        EXPECT_EQ(uncached[i].distance, cached[i].distance);
        EXPECT_EQ(uncached[i].angle, cached[i].angle);
    }
    ASSERT_EQ(eventsUncached.size(), eventsCached.size());
    for (size_t i = 0; i < eventsCached.size(); ++i) {
        EXPECT_EQ(eventsUncached[i].type, eventsCached[i].type);
        EXPECT_EQ(eventsUncached[i].distance, eventsCached[i].distance);
    }
    EXPECT_EQ(v.speedLimit(), limitUncached);
    EXPECT_LT(v.speedLimit(), 14);
}
