#include "cell.h"

#include "cellblocks.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <system_error>
#include <type_traits>

Cell::Cell(int32_t id) : id(id) {} // free: its block's details start with no occupants

Cell *Cell::cellInAnotherBlock(int32_t other) const
{
    return details()->owner->at(other);
}

void Cell::setStop(OSMStop *stop)
{
    if (stop || marks.stop)
        details()->rareToSet(slot()).stop = stop;
    marks.stop = stop != nullptr;
}

void Cell::setCrossroad(Crossroad *crossroad)
{
    if (crossroad || marks.crossroad)
        details()->rareToSet(slot()).crossroad = crossroad;
    marks.crossroad = crossroad != nullptr;
}

Cell *Cell::cellAhead(int32_t n) const
{
    if (n < 0)
        return cellBehind(-n);
    const Cell *c = this;
    for (int32_t i = 0; i < n && c; ++i)
        c = c->next();
    return const_cast<Cell *>(c);
}

Cell *Cell::cellBehind(int32_t n) const
{
    if (n < 0)
        return cellAhead(-n);
    const Cell *c = this;
    for (int32_t i = 0; i < n && c; ++i)
        c = c->previous();
    return const_cast<Cell *>(c);
}

Vehicle *Cell::vehicleUpstream(int32_t n) const
{
    const Cell *c = this;
    for (int32_t i = 0; i < n && c; ++i, c = c->previous()) {
        if (c->vehicle())
            return c->vehicle();
        if (c->previousIs(this))
            break;
    }
    return nullptr;
}

int32_t Cell::cellsToEnd() const
{
    if (cacheValid)
        return cachedCellsToEnd;
    int32_t count = 0;
    for (const Cell *c = next(); c; c = c->next()) {
        if (c == this)
            return 0;
        ++count;
    }
    return count;
}

int32_t Cell::cellsFromStart() const
{
    int32_t count = 0;
    for (const Cell *c = previous(); c; c = c->previous()) {
        if (c == this)
            return 0;
        ++count;
    }
    return count;
}

Cell *Cell::chainEnd() const
{
    if (cacheValid)
        return cellWithId(cachedChainEndId);
    const Cell *c = this;
    while (c->next()) {
        c = c->next();
        if (c == this)
            return nullptr;
    }
    return const_cast<Cell *>(c);
}

bool Cell::chainEndsAtCrossroad() const
{
    if (cacheValid)
        return marks.crossroadAtEnd;
    const Cell *end = chainEnd();
    return end && end->marks.crossroad;
}

Cell *Cell::platformEnd() const
{
    const Cell *c = this;
    for (const Cell *n = c->next(); n && n->stop() && n != this; n = c->next())
        c = n;
    return const_cast<Cell *>(c);
}

Cell *Cell::platformStart() const
{
    const Cell *c = this;
    for (const Cell *p = c->previous(); p && p->stop() && p != this; p = c->previous())
        c = p;
    return const_cast<Cell *>(c);
}

namespace {

/// Calls `visitRange(from, to)` for the cells of `cells` with ids from `from` up to `to`: once for
/// the lower half of the blocks and once, on a thread of its own, for the upper half; once for
/// all of them when there are few or no thread can be started.
template <typename VisitRange> void splitOverTwoThreads(const CellBlocks &cells, const VisitRange &visitRange)
{
    const int32_t count = int32_t(cells.size());
    const int32_t half = count / 2 / CELLS_PER_BLOCK * CELLS_PER_BLOCK;
    if (half == 0) { // a thread costs more than it would save
        visitRange(0, count);
        return;
    }
    std::future<void> upper;
    try {
        upper = std::async(std::launch::async, visitRange, half, count);
    } catch (const std::system_error &) {
        visitRange(half, count);
    }
    visitRange(0, half);
    if (upper.valid())
        upper.get();
}

} // namespace

void linkSide(Cell *a, Cell *b)
{
    if (a) {
        if (b || a->marks.side)
            a->details()->rareToSet(a->slot()).side = b;
        a->marks.side = b != nullptr;
    }
    if (b) {
        if (a || b->marks.sideOf)
            b->details()->rareToSet(b->slot()).sideOf = a;
        b->marks.sideOf = a != nullptr;
    }
}

template <typename Cells> void precomputeCells(const Cells &cells)
{
    // A network's cells are all among `cells`, which lets the passes that treat each cell, or
    // each block of cells, on its own spread over two threads: the bearings first, whose
    // trigonometry is much of a city's preparation, and the runs last (see below). Other cells
    // reachable from `cells` get their bearings on their walk.
    constexpr bool wholeNetwork = std::is_same_v<Cells, CellBlocks>;
    const auto reset = [](Cell *cell) {
        cell->cacheValid = false;
        cell->turnValid = false;
        cell->cachedPlainRun = 0;
        cell->cachedStraightRun = 0;
        if (wholeNetwork)
            cell->cachedBearing = cell->measuredBearingToNext();
    };
    if constexpr (wholeNetwork)
        splitOverTwoThreads(cells, [&cells, &reset](int32_t from, int32_t to) {
            std::for_each(CellBlocks::Iterator(&cells, from), CellBlocks::Iterator(&cells, to), reset);
        });
    else
        std::for_each(cells.begin(), cells.end(), reset);
    // Each cell is walked once: a walk stops at a cell already done, at the chain end, or at a
    // cell of its own walk (a loop). Cells on or leading into a loop never reach an end.
    constexpr int32_t ON_WALK = -1;
    std::vector<Cell *> walk;
    for (Cell *start : cells) {
        walk.clear();
        Cell *c = start;
        while (c && !c->cacheValid && c->cachedCellsToEnd != ON_WALK) {
            c->cachedCellsToEnd = ON_WALK;
            walk.push_back(c);
            c = c->next();
        }
        Cell *end = nullptr;
        int32_t toEnd = -1;
        if (!c && !walk.empty()) {
            end = walk.back();
        } else if (c && c->cacheValid && c->cachedChainEndId != Cell::NO_CELL) {
            end = c->cellWithId(c->cachedChainEndId);
            toEnd = c->cachedCellsToEnd;
        }
        for (auto it = walk.rbegin(); it != walk.rend(); ++it) {
            Cell *cell = *it;
            cell->cachedChainEndId = Cell::idOf(end);
            cell->marks.crossroadAtEnd = end && end->marks.crossroad;
            cell->cachedCellsToEnd = end ? ++toEnd : 0;
            if (!wholeNetwork)
                cell->cachedBearing = cell->measuredBearingToNext();
            cell->cachedPlainRun = 0;
            cell->cachedStraightRun = 0;
            cell->cacheValid = true;
        }
    }
    // Cells are created lane by lane into contiguous blocks, so most lane cells sit right before
    // their `next`, with their occupants side by side in the run's data. A run only ever
    // continues to a higher address, so the walks below end, and never into another block, so
    // the runs of one block are measured apart from the others.
    const auto measureRuns = [](auto begin, auto end, std::vector<Cell *> &walk, int16_t Cell::*runLength, auto inRun,
                                auto linksTo) {
        for (auto at = begin; at != end; ++at) {
            Cell *start = *at;
            if (!start->cacheValid || start->*runLength > 0 || !inRun(start))
                continue;
            walk.clear();
            Cell *c = start;
            while (inRun(c) && c->*runLength == 0) {
                walk.push_back(c);
                Cell *n = c->next();
                // The next cell lies right after this one in the same block, and so does its occupant.
                const bool adjacent = reinterpret_cast<uintptr_t>(n) == reinterpret_cast<uintptr_t>(c) + sizeof(Cell) &&
                                      n->id % CELLS_PER_BLOCK != 0;
                if (!adjacent || !n->cacheValid || !linksTo(c, n))
                    break;
                c = n;
            }
            int32_t run = walk.back() == c ? 0 : c->*runLength; // the run measured from where this walk stopped
            for (auto it = walk.rbegin(); it != walk.rend(); ++it)
                (*it)->*runLength = int16_t(++run);
        }
    };
    const auto finish = [&measureRuns](auto begin, auto end, std::vector<Cell *> &walk) {
        for (auto at = begin; at != end; ++at) {
            Cell *cell = *at;
            const Cell *p = cell->previous();
            cell->turnValid = p && p->nextIs(cell) && cell->next() && p->cacheValid;
        }
        measureRuns(
            begin, end, walk, &Cell::cachedPlainRun, [](const Cell *c) { return c->isPlain(); },
            [](const Cell *, const Cell *) { return true; });
        measureRuns(
            begin, end, walk, &Cell::cachedStraightRun,
            [](const Cell *c) { return c->turnValid && int32_t(std::fabs(c->turn())) < 2; },
            [](const Cell *c, const Cell *n) { return n->previousIs(c); });
    };
    if constexpr (wholeNetwork)
        splitOverTwoThreads(cells, [&cells, &finish, &walk](int32_t from, int32_t to) {
            std::vector<Cell *> upperWalk;
            finish(CellBlocks::Iterator(&cells, from), CellBlocks::Iterator(&cells, to), from == 0 ? walk : upperWalk);
        });
    else
        finish(cells.begin(), cells.end(), walk);
}

template void precomputeCells(const std::vector<Cell *> &cells);
template void precomputeCells(const CellBlocks &cells);
