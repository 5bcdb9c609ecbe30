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
        if (cells[i]->hasTurn())
            EXPECT_EQ(cells[i]->turn(), turnAngle(geo::bearing(p->location, cells[i]->location),
                                                  geo::bearing(cells[i]->location, cells[i]->next->location)));
        else
            EXPECT_TRUE(!p || p->next != cells[i] || !cells[i]->next) << "cell " << i;
    }
}

} // namespace

TEST(CellCache, SameAnswersOnACrossroadRingsAndChainsAndAfterLinksChange)
{
    FourArmCrossroad x(50);
    expectSameAfterPrecompute(x.data.cells);

    SimulationData data;
    const auto ring = makeChain(data, 9);
    link(ring.back(), ring.front());
    const auto a = makeChain(data, 10, Location(50.1, 14.0), 45.0);
    const auto b = makeChain(data, 10, Location(50.2, 14.0));
    expectSameAfterPrecompute(data.cells);
    EXPECT_EQ(ring[4]->chainEnd(), nullptr);
    EXPECT_EQ(a[0]->cellsToEnd(), 9);
    link(a.back(), b.front());
    precomputeCells(data.cells);
    EXPECT_EQ(a[0]->cellsToEnd(), 19);
    EXPECT_EQ(a[0]->chainEnd(), b.back());
    // A chain running into a ring: the walk without cache would never end; the cache answers as for a ring.
    b.back()->next = ring[2];
    precomputeCells(data.cells);
    EXPECT_EQ(a[0]->cellsToEnd(), 0);
    EXPECT_EQ(a[0]->chainEnd(), nullptr);
    EXPECT_EQ(distanceToCrossroad(a[0]), -1);
}
