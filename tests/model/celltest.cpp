// Walks along cell chains and rings, the queries built on them, the cached network data of cells,
// which gives exactly what the walks give without it, the details kept outside the cells, and the
// cells of a run found by id.

#include "testnetwork.h"

#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/cellblocks.h"
#include "model/cellwalk.h"
#include "model/chain.h"
#include "model/crossroad.h"
#include "model/simulationdata.h"
#include "osm/osmstop.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

TEST(ChainQueries, CountsQueuesPlacementAndUpstreamVehiclesOnChainsAndRings)
{
    SimulationData data;
    const auto c = makeChain(data, 40);
    const auto ring = makeChain(data, 6);
    link(ring.back(), ring.front());
    TestVehicle a, b, moving, inRing, car;
    putAt(c[30], a.setLength(3));
    putAt(c[25], b.setLength(3));
    putAt(c[18], moving.setLength(3).setSpeed(4));
    putAt(ring[3], inRing.setLength(2));
    EXPECT_EQ(standingQueue(c[30]), 2); // a and b stand, the third moves
    EXPECT_EQ(standingQueue(c[35]), 2);
    for (const bool cached : {false, true}) { // the cache lets runs of cells be read without their links
        SCOPED_TRACE(cached ? "with the cell cache" : "along the links");
        if (cached)
            precomputeCells(data.allCells());
        EXPECT_EQ(occupancyAhead(c[20], 20).vehicles, 2);
        EXPECT_EQ(occupancyAhead(c[16], 3).vehicles, 1);
        EXPECT_EQ(occupancyAhead(c[0], 0).vehicles, 0);
        EXPECT_EQ(occupancyAhead(c[30], 1).vehicles, 1); // one cell: the vehicle on it
        EXPECT_EQ(occupancyAhead(nullptr, 10).vehicles, 0);
        EXPECT_EQ(occupancyAhead(c[20], 20).cells, 6);
        EXPECT_EQ(occupancyAhead(c[20], 0).cells, 0);
        EXPECT_EQ(occupancyAhead(ring[0], 6).vehicles, 1); // six cells do not loop back to the start
        EXPECT_EQ(occupancyAhead(ring[3], 7).vehicles, 0); // seven do, in the middle of a run
        EXPECT_EQ(occupancyAhead(ring[3], 7).cells, 0);
        EXPECT_EQ(occupancyAhead(ring[3], 6).cells, 2);

        // The look-ahead's walk visits only the occupied cells and the ones that are not plain
        // (the chain's end), counted from its start, and stops before coming round to its start.
        std::vector<std::pair<const Cell *, int32_t>> seen;
        const auto note = [&seen](const Cell *cell, const Vehicle *, bool, int32_t index) {
            seen.emplace_back(cell, index);
        };
        const Cell *last = nullptr;
        EXPECT_EQ(forEachNotableCellAhead<const Cell *>(c[20], 30, last, note), 20);
        EXPECT_EQ(last, c[39]);
        EXPECT_EQ(seen, (decltype(seen){
                            {c[23], 3}, {c[24], 4}, {c[25], 5}, {c[28], 8}, {c[29], 9}, {c[30], 10}, {c[39], 19}}));
        seen.clear();
        EXPECT_EQ(forEachNotableCellAhead<const Cell *>(ring[3], 10, last, note), 6);
        EXPECT_EQ(last, ring[2]);
        EXPECT_EQ(seen, (decltype(seen){{ring[3], 0}, {ring[2], 5}}));
        seen.clear();
        EXPECT_EQ(forEachNotableCellAhead<const Cell *>(ring[0], 2, last, note), 2);
        EXPECT_EQ(last, ring[1]);
        EXPECT_TRUE(seen.empty());
    }
    EXPECT_EQ(c[20]->vehicleUpstream(3), &moving);
    EXPECT_EQ(c[20]->vehicleUpstream(2), nullptr);
    EXPECT_EQ(c[20]->vehicleUpstream(0), nullptr);
    EXPECT_EQ(c[18]->vehicleUpstream(1), &moving);
    EXPECT_EQ(occupiedInLoop(ring[0]), 2);
    EXPECT_EQ(occupiedInLoop(c[0]), 0);
    EXPECT_EQ(ring[0]->vehicleUpstream(100), &inRing); // walking back, wrapping once

    EXPECT_FALSE(canPlace(c[10], &car)); // 11 cells including itself, the first free
    EXPECT_FALSE(canPlace(c[20], &car)); // cells 16 to 18 are taken
    EXPECT_TRUE(canPlace(c[10], &car.setLength(10)));
    EXPECT_FALSE(canPlace(nullptr, &car));
    EXPECT_FALSE(canPlace(c[11], nullptr));
}

namespace {

using Walked = std::tuple<int32_t, Cell *, int32_t, Crossroad *, double>;

std::vector<Walked> walkAll(const std::vector<Cell *> &cells)
{
    std::vector<Walked> out;
    for (Cell *c : cells)
        out.emplace_back(c->cellsToEnd(), c->chainEnd(), distanceToCrossroad(c), crossroadAhead(c),
                         c->next() ? c->bearingToNext() : 0.0);
    return out;
}

/// The cells of `data` in id order.
std::vector<Cell *> cellsOf(const SimulationData &data)
{
    return std::vector<Cell *>(data.allCells().begin(), data.allCells().end());
}

/// Checks the cache that `precompute` fills for `cells` against the walks without it.
template <typename Precompute> void expectSameAfterPrecompute(const std::vector<Cell *> &cells, Precompute precompute)
{
    const std::vector<Walked> before = walkAll(cells);
    precompute();
    const std::vector<Walked> after = walkAll(cells);
    for (size_t i = 0; i < cells.size(); ++i) {
        ASSERT_TRUE(cells[i]->hasCache());
        EXPECT_EQ(before[i], after[i]) << "cell " << i; // bearings bit for bit, not just close
        const Cell *p = cells[i]->previous();
        // Each bearing is kept to a 2^32nd of a full turn.
        if (cells[i]->hasTurn())
            EXPECT_NEAR(cells[i]->turn(),
                        turnAngle(geo::bearing(p->location(), cells[i]->location()),
                                  geo::bearing(cells[i]->location(), cells[i]->next()->location())),
                        2 * 360.0 / 4294967296.0);
        else
            EXPECT_TRUE(!p || p->next() != cells[i] || !cells[i]->next()) << "cell " << i;
    }
}

void expectSameAfterPrecompute(const std::vector<Cell *> &cells)
{
    expectSameAfterPrecompute(cells, [&cells] { precomputeCells(cells); });
}

} // namespace

TEST(ChainQueries, ABodySplitsIntoPiecesAlongPlainRunsWithTheOccupantsSideBySide)
{
    SimulationData data;
    const auto c = makeChain(data, 12);
    const auto after = makeChain(data, 4); // right after c[11] in memory, but not linked to it
    TestVehicle v;
    putAt(c[10], v.setLength(7));
    using Piece = std::tuple<size_t, size_t, const Vehicle *>; // rear index, cells, first occupant
    const auto pieces = [](const std::vector<Cell *> &body) {
        std::vector<Piece> found;
        forEachPieceOfBody(body, [&found](size_t rear, size_t count, const OccupantRun &occupants) {
            found.emplace_back(rear, count, occupants[count - 1]);
            return true;
        });
        return found;
    };
    const std::vector<Cell *> across{after[1], after[0], c[11], c[10]};
    EXPECT_EQ(pieces(across), (std::vector<Piece>{{3, 1, &v}, {2, 1, nullptr}, {1, 1, nullptr}, {0, 1, nullptr}}));
    precomputeCells(data.allCells());
    // c[4] .. c[10] lie along one run; c[11], the chain's end, is no plain cell, so the run does not
    // reach `after` although it follows in memory.
    EXPECT_EQ(pieces(v.cells()), (std::vector<Piece>{{6, 7, &v}}));
    EXPECT_EQ(pieces(across), (std::vector<Piece>{{3, 1, &v}, {2, 1, nullptr}, {1, 2, nullptr}}));
    size_t visits = 0;
    forEachPieceOfBody(across, [&visits](size_t, size_t, const OccupantRun &) { return ++visits < 2; });
    EXPECT_EQ(visits, 2u);
}

TEST(ChainQueries, WalksFindTheTakenCellsFromTheirBitsAcrossWordsAsFreeingAndTakingChangeThem)
{
    SimulationData data;
    const auto c = makeChain(data, 300); // its runs span several words of bits
    precomputeCells(data.allCells());
    TestVehicle a, b, d;
    std::vector<Vehicle *> holder(c.size(), nullptr);
    const auto hold = [&](size_t from, size_t count, Vehicle *v) {
        c[from]->occupants().claim(count, v, false, [](size_t) {});
        std::fill(holder.begin() + std::ptrdiff_t(from), holder.begin() + std::ptrdiff_t(from + count), v);
    };
    const auto expectWalksAgree = [&] {
        for (size_t start : {0, 1, 60, 63, 64, 100, 127, 250})
            for (int32_t limit : {1, 2, 5, 64, 65, 130, 400}) {
                SCOPED_TRACE(testing::Message() << "from " << start << ", " << limit << " cells");
                std::vector<std::pair<const Cell *, const Vehicle *>> expected, notable, taken;
                for (size_t k = start; k < c.size() && k < start + size_t(limit); ++k)
                    if (holder[k] || k + 1 == c.size()) // the chain's end is no plain cell
                        expected.emplace_back(c[k], holder[k]);
                const Cell *last = nullptr;
                forEachNotableCellAhead<const Cell *>(
                    c[start], limit, last,
                    [&](const Cell *cell, const Vehicle *v, bool, int32_t) { notable.emplace_back(cell, v); });
                EXPECT_EQ(notable, expected);
                EXPECT_TRUE(forEachTakenCellAhead(
                    c[start], limit, [&](const Cell *cell, const Vehicle *v) { taken.emplace_back(cell, v); }));
                expected.erase(
                    std::remove_if(expected.begin(), expected.end(), [](const auto &e) { return !e.second; }),
                    expected.end());
                EXPECT_EQ(taken, expected);
            }
    };
    hold(60, 10, &a);   // across the first word's end
    hold(120, 140, &b); // over a whole word and into the next
    expectWalksAgree();
    // Freeing only frees what the vehicle holds; a claim tells which cells were taken already,
    // and leaves them to their occupants.
    c[58]->occupants().release(200, &a, false);
    std::fill(holder.begin() + 60, holder.begin() + 70, nullptr);
    std::vector<size_t> found;
    c[100]->occupants().claim(21, &d, true, [&found](size_t k) { found.push_back(k); });
    EXPECT_EQ(found, std::vector<size_t>{20}); // its last cell is b's
    std::fill(holder.begin() + 100, holder.begin() + 120, &d);
    c[0]->occupants().claim(64, &a, true, [&found](size_t k) { found.push_back(k); });
    EXPECT_EQ(found.size(), 1u);
    std::fill(holder.begin(), holder.begin() + 64, &a);
    expectWalksAgree();
    EXPECT_EQ(occupancyAhead(c[0], 300).cells, 64 + 21 + 139);
    EXPECT_EQ(occupancyAhead(c[0], 300).vehicles, 3);
}

TEST(ChainQueries, APathWalkVisitsTheTakenCellsOfItsCrossroadPathAndEndsBeforeTheLane)
{
    SimulationData data;
    const auto path = makeChain(data, 150); // its run spans words of bits
    const auto lane = makeChain(data, 20);
    link(path.back(), lane.front());
    for (Cell *c : path)
        c->inCrossroad = true;
    TestVehicle leaving, inside, entering;
    putAt(lane[2], leaving.setLength(6)); // its tail on the path's last three cells
    putAt(path[100], inside.setLength(40));
    putAt(path[3], entering.setLength(4));
    using Visit = std::tuple<const Cell *, const Vehicle *, int32_t>;
    std::vector<Visit> expected;
    for (int32_t k : {0, 1, 2, 3})
        expected.emplace_back(path[size_t(k)], &entering, k);
    for (int32_t k = 61; k <= 100; ++k)
        expected.emplace_back(path[size_t(k)], &inside, k);
    for (int32_t k : {147, 148, 149})
        expected.emplace_back(path[size_t(k)], &leaving, k);
    for (const bool cached : {false, true}) {
        SCOPED_TRACE(cached ? "with the cell cache" : "along the links");
        if (cached)
            precomputeCells(data.allCells());
        std::vector<Visit> seen;
        const Cell *last = nullptr;
        EXPECT_EQ(forEachTakenCellOnPath<const Cell *>(path[0], last,
                                                       [&seen](const Cell *c, const Vehicle *v, int32_t k) {
                                                           seen.emplace_back(c, v, k);
                                                           return true;
                                                       }),
                  150);
        EXPECT_EQ(last, path.back());
        EXPECT_EQ(seen, expected);
        // Stopped at the first taken cell, or at the first of the vehicle inside: the cells walked
        // up to it.
        EXPECT_EQ(forEachTakenCellOnPath<const Cell *>(path[0], last,
                                                       [](const Cell *, const Vehicle *, int32_t) { return false; }),
                  1);
        EXPECT_EQ(forEachTakenCellOnPath<const Cell *>(
                      path[4], last, [&inside](const Cell *, const Vehicle *v, int32_t) { return v != &inside; }),
                  58);
        EXPECT_EQ(last, path[61]);
        EXPECT_EQ(cellsOnPath(path[140]), 10);
        EXPECT_EQ(cellsOnPath(lane[0]), 0); // not in a crossroad
        EXPECT_EQ(cellsOnPath<const Cell *>(nullptr), 0);
    }
}

TEST(CellCache, SameAnswersOnACrossroadRingsAndChainsAndAfterLinksChange)
{
    FourArmCrossroad x(50);
    expectSameAfterPrecompute(cellsOf(x.data));

    SimulationData data;
    const auto ring = makeChain(data, 9);
    link(ring.back(), ring.front());
    const auto a = makeChain(data, 10, Location(50.1, 14.0), 45.0);
    const auto b = makeChain(data, 10, Location(50.2, 14.0));
    expectSameAfterPrecompute(cellsOf(data));
    // Cells made one after another are walked as one run: all but the last of a chain are plain,
    // and all but the two ends bend by nothing.
    EXPECT_EQ(a[0]->plainRun(), 9);
    EXPECT_EQ(a[1]->straightRun(), 8);
    EXPECT_EQ(ring[4]->chainEnd(), nullptr);
    EXPECT_EQ(a[0]->cellsToEnd(), 9);
    link(a.back(), b.front());
    precomputeCells(data.allCells());
    EXPECT_EQ(a[0]->cellsToEnd(), 19);
    EXPECT_EQ(a[0]->chainEnd(), b.back());
    // A chain running into a ring: the walk without cache would never end; the cache answers as for a ring.
    b.back()->setNext(ring[2]);
    precomputeCells(data.allCells());
    EXPECT_EQ(a[0]->cellsToEnd(), 0);
    EXPECT_EQ(a[0]->chainEnd(), nullptr);
    EXPECT_EQ(distanceToCrossroad(a[0]), -1);
}

TEST(CellCache, AWholeNetworkFilledOnTwoThreadsGivesTheSameAnswers)
{
    // Chains at all bearings over five blocks, some linked with a bend, some across the blocks'
    // edges and the middle one, where the network's cells are split between the threads; and a
    // ring.
    SimulationData data;
    std::vector<std::vector<Cell *>> chains;
    for (int i = 0; data.cellCount() < size_t(5 * CELLS_PER_BLOCK); ++i)
        chains.push_back(makeChain(data, 500 + 37 * (i % 11), Location(50.0 + 0.01 * i, 14.0), 17.0 * i));
    for (size_t i = 0; i + 1 < chains.size(); i += 3)
        link(chains[i].back(), chains[i + 1].front());
    const auto ring = makeChain(data, 40);
    link(ring.back(), ring.front());
    const std::vector<Cell *> cells = cellsOf(data);
    expectSameAfterPrecompute(cells, [&data] { precomputeCells(data.allCells()); });
    // The runs, which the walks above do not read, are those that one thread measures.
    using Runs = std::tuple<int32_t, int32_t, bool>;
    std::vector<Runs> onTwoThreads;
    for (const Cell *c : cells)
        onTwoThreads.emplace_back(c->plainRun(), c->straightRun(), c->hasTurn());
    precomputeCells(cells);
    for (size_t i = 0; i < cells.size(); ++i)
        ASSERT_EQ(onTwoThreads[i], Runs(cells[i]->plainRun(), cells[i]->straightRun(), cells[i]->hasTurn()))
            << "cell " << i;
}

TEST(CellCache, ARunEndsAtTheEndOfItsBlockOfCellsEvenWhereTheNextBlockFollowsInMemory)
{
    // Blocks are carved one after another from the same memory, so only the block's end stops
    // the run, which keeps it within the 16 bits it is kept in.
    constexpr int BLOCK = CELLS_PER_BLOCK;
    SimulationData data;
    const auto lane = makeChain(data, 2 * BLOCK + 10);
    precomputeCells(data.allCells());
    EXPECT_EQ(lane[0]->plainRun(), BLOCK);
    EXPECT_EQ(lane[BLOCK - 1]->plainRun(), 1);
    EXPECT_EQ(lane[BLOCK]->plainRun(), BLOCK);
    EXPECT_EQ(lane[2 * BLOCK]->plainRun(), 9); // the chain's last cell is not plain
    EXPECT_EQ(lane[1]->straightRun(), BLOCK - 1);
}

TEST(CellDetails, RareLinksAndLocationsOfCellsInAndAcrossBlocks)
{
    SimulationData data;
    const auto lane = makeChain(data, 6);
    while (data.cellCount() <= size_t(CELLS_PER_BLOCK))
        data.createCell();
    Cell &bay = *data.createCell(); // in the second block, with details of its own
    OSMStop stop(0, "bus", BusStop, nullptr);
    ASSERT_TRUE(lane[2]->isPlain());
    linkSide(lane[2], &bay);
    bay.setStop(&stop);
    bay.setLocation(Location(50.5, 14.5));
    EXPECT_EQ(lane[2]->side(), &bay);
    EXPECT_EQ(bay.sideOf(), lane[2]);
    EXPECT_EQ(bay.stop(), &stop);
    EXPECT_EQ(bay.location(), Location(50.5, 14.5));
    EXPECT_FALSE(lane[2]->isPlain());
    EXPECT_EQ(lane[3]->side(), nullptr); // the neighbours keep no link of their own
    EXPECT_EQ(lane[1]->sideOf(), nullptr);

    lane[4]->setStop(&stop);
    lane[4]->setStop(nullptr); // cleared links leave the cell plain again
    linkSide(lane[2], nullptr);
    EXPECT_EQ(lane[4]->stop(), nullptr);
    EXPECT_TRUE(lane[4]->isPlain());
    EXPECT_EQ(lane[2]->side(), nullptr);
    EXPECT_TRUE(lane[2]->isPlain());
    EXPECT_EQ(bay.sideOf(), lane[2]); // as before: unlinking one side leaves the other's back link
    EXPECT_NE(lane[0]->location(), lane[5]->location());
}

TEST(CellDetails, CellsOfAStretchKeepTheirPlaceAndLaneAcrossBlocksTheAntimeridianAndChanges)
{
    SimulationData data;
    while (data.cellCount() < size_t(CELLS_PER_BLOCK - 3))
        data.createCell();
    LaneBinding lane, other;
    // Eight cells eastwards over the antimeridian, the last five in the second block.
    const CellStretch stretch{Location(60.0, 179.9995), 1e-6, 2e-4, &lane};
    std::vector<Cell *> cells;
    for (int32_t k = 0; k < 8; ++k) {
        cells.push_back(data.createCell());
        cells.back()->layOn(stretch, k);
    }
    const auto expectPlaces = [&](const char *when) {
        SCOPED_TRACE(when);
        for (int32_t k = 0; k < 8; ++k) {
            if (k == 2 || k == 5)
                continue; // changed below
            const Location at = cells[size_t(k)]->location();
            EXPECT_EQ(at, stretch.at(k)) << "cell " << k;
            EXPECT_EQ(at.lat, 60.0 + k * 1e-6);
            EXPECT_NEAR(at.lon, k < 3 ? 179.9995 + k * 2e-4 : -180.0 + (k - 2.5) * 2e-4, 1e-9);
            EXPECT_EQ(cells[size_t(k)]->wayLink(), &lane);
        }
    };
    expectPlaces("as laid");
    EXPECT_EQ(cells[4]->location(), stretch.at(4)); // the second block goes on where the first left off
    // The antimeridian itself is 180° east, reached from either side.
    EXPECT_EQ((CellStretch{Location(0.0, 179.0), 0.0, 0.5, nullptr}.at(2).lon), 180.0);
    EXPECT_EQ((CellStretch{Location(0.0, -179.0), 0.0, -0.5, nullptr}.at(2).lon), 180.0);

    cells[2]->setWayLink(&other); // the cell keeps its place
    EXPECT_EQ(cells[2]->location(), stretch.at(2));
    EXPECT_EQ(cells[2]->wayLink(), &other);
    // The first cell of the third block, moved once, and a cell of the second moved again and
    // again: each keeps its lane and place, and the cells around them theirs, once the second
    // block has run out of numbers for places and renumbered them.
    while (data.cellCount() < size_t(2 * CELLS_PER_BLOCK))
        data.createCell();
    Cell *third = data.createCell();
    third->setLocation(Location(1.0, 1.0));
    third->setLocation(Location(2.0, 2.0));
    for (int32_t i = 0; i <= 70000; ++i)
        cells[5]->setLocation(Location(10.0, 0.001 * i));
    EXPECT_EQ(cells[5]->location(), Location(10.0, 70.0));
    EXPECT_EQ(cells[5]->wayLink(), &lane);
    EXPECT_EQ(cells[2]->wayLink(), &other);
    expectPlaces("after changes");
    data.networkComplete();
    expectPlaces("once settled");
    EXPECT_EQ(cells[5]->location(), Location(10.0, 70.0));
    EXPECT_EQ(third->location(), Location(2.0, 2.0));
}

TEST(CellBlocks, FindsEachCellByIdAndLinksWithinAndAcrossBlocks)
{
    SimulationData data;
    EXPECT_EQ(data.cellCount(), 0u);
    EXPECT_TRUE(data.allCells().begin() == data.allCells().end());
    const int32_t count = 2 * CELLS_PER_BLOCK + 3; // the last block holds three
    std::vector<Cell *> made;
    for (int32_t i = 0; i < count; ++i)
        made.push_back(data.createCell());
    ASSERT_EQ(data.cellCount(), size_t(count));
    for (const int32_t id : {0, 1, CELLS_PER_BLOCK - 1, CELLS_PER_BLOCK, count - 1}) {
        EXPECT_EQ(data.cellAt(id), made[size_t(id)]) << "cell " << id;
        EXPECT_EQ(data.cellAt(id)->id, id);
    }
    int32_t expected = 0;
    for (const Cell *cell : data.allCells())
        EXPECT_EQ(cell->id, expected++);
    EXPECT_EQ(expected, count);
    EXPECT_EQ(made[1], made[0] + 1); // side by side within a block
    // The first cells of two blocks keep their details apart.
    Cell *first = data.cellAt(0);
    Cell *firstOfSecond = data.cellAt(CELLS_PER_BLOCK);
    OSMStop stop(0, "bus", BusStop, nullptr);
    first->setLocation(Location(51.5, -0.1));
    firstOfSecond->setLocation(Location(51.6, -0.2));
    firstOfSecond->setStop(&stop);
    EXPECT_EQ(first->location(), Location(51.5, -0.1));
    EXPECT_EQ(firstOfSecond->location(), Location(51.6, -0.2));
    EXPECT_EQ(first->stop(), nullptr);
    EXPECT_EQ(firstOfSecond->stop(), &stop);
    EXPECT_EQ(first->wayLink(), nullptr);

    // Links to cells at the edges of their blocks, in the same block and in others either way,
    // and to cells whose ids share the low bits.
    const std::pair<int32_t, int32_t> links[] = {
        {0, CELLS_PER_BLOCK - 1}, {CELLS_PER_BLOCK - 1, CELLS_PER_BLOCK}, {CELLS_PER_BLOCK, CELLS_PER_BLOCK - 1},
        {5, CELLS_PER_BLOCK + 5}, {2 * CELLS_PER_BLOCK + 1, 1},           {count - 1, 0}};
    for (const auto &[from, to] : links) {
        Cell *a = made[size_t(from)];
        Cell *b = made[size_t(to)];
        a->setNext(b);
        b->setPrevious(a);
        EXPECT_EQ(a->next(), b) << from << " → " << to;
        EXPECT_EQ(b->previous(), a) << from << " → " << to;
        EXPECT_TRUE(a->nextIs(b) && b->previousIs(a) && !a->nextIs(made[2]) && !a->nextIs(nullptr));
        a->setNext(nullptr);
        EXPECT_EQ(a->next(), nullptr);
        EXPECT_TRUE(a->nextIs(nullptr));
    }
    EXPECT_EQ(made[2]->previous(), nullptr); // never linked
}
