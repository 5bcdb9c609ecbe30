// The cached network data of cells gives exactly what the walks give without it.

#include "testnetwork.h"

#include "model/cell.h"
#include "model/chain.h"
#include "model/crossroad.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using Walked = std::tuple<int32_t, Cell *, int32_t, Crossroad *, double>;

std::vector<Walked> walkAll(const std::vector<Cell *> &cells)
{
    std::vector<Walked> out;
    for (Cell *c : cells)
        out.emplace_back(c->cellsToEnd(), c->chainEnd(), distanceToCrossroad(c), crossroadAhead(c),
                         c->next ? c->bearingToNext() : 0.0);
    return out;
}

void expectSameAfterPrecompute(const std::vector<Cell *> &cells)
{
    const std::vector<Walked> before = walkAll(cells);
    precomputeCells(cells);
    const std::vector<Walked> after = walkAll(cells);
    for (size_t i = 0; i < cells.size(); ++i) {
        ASSERT_TRUE(cells[i]->hasCache());
        EXPECT_EQ(before[i], after[i]) << "cell " << i; // bearings bit for bit, not just close
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

TEST(CellCache, SameAnswersOnAFourArmCrossroadLoopsAndPlainChains)
{
    FourArmCrossroad x(50);
    expectSameAfterPrecompute(x.data.cells);

    SimulationData data;
    const auto ring = makeChain(data, 9);
    link(ring.back(), ring.front());
    makeChain(data, 30, Location(50.1, 14.0), 45.0);
    expectSameAfterPrecompute(data.cells);
    EXPECT_EQ(ring[4]->cellsToEnd(), 0);
    EXPECT_EQ(ring[4]->chainEnd(), nullptr);
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
    std::vector<std::tuple<int32_t, double>> curves[2];
    std::vector<std::tuple<int32_t, int32_t>> events[2];
    int32_t limit[2];
    for (int cached = 0; cached < 2; ++cached) {
        if (cached)
            precomputeCells(x.data.cells);
        std::vector<Curve> c;
        EventList e;
        v.curvesAhead(c);
        v.scanAhead(e);
        v.updateSpeedLimit();
        for (const Curve &k : c)
            curves[cached].emplace_back(k.distance, k.angle);
        for (size_t i = 0; i < e.size(); ++i)
            events[cached].emplace_back(e[i].type, e[i].distance);
        limit[cached] = v.speedLimit();
    }
    EXPECT_FALSE(curves[0].empty());
    EXPECT_EQ(curves[0], curves[1]);
    EXPECT_EQ(events[0], events[1]);
    EXPECT_EQ(limit[0], limit[1]);
    EXPECT_LT(limit[1], 14);
}
