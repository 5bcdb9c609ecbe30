#ifndef KOLVEX_MODEL_CELLWALK_H
#define KOLVEX_MODEL_CELLWALK_H

#include "cell.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

class Vehicle;

/// Calls visit(cell, occupant, plain) for the cells along `next` from `start` (counted), at most
/// `limit` of them, until the chain ends or `visit` returns false. `plain` tells whether the cell is
/// plain (see `Cell::isPlain`), so that a walk need not look at it for more than its occupant. The
/// occupants of a run of plain cells are read side by side, without following the links.
/// False, after some visits, when the chain loops back to `start` within the limit: the walk never
/// visits a cell twice.
template <typename CellPointer, typename Visit> bool forEachCellAhead(CellPointer start, int32_t limit, Visit visit)
{
    CellPointer c = start;
    for (int32_t i = 0; i < limit && c;) {
        if (i > 0 && c == start)
            return false;
        const int32_t run = std::min(c->plainRun(), limit - i);
        if (run > 1) {
            const OccupantRun occupants = c->occupants();
            for (int32_t k = 0; k < run; ++k) {
                if (i + k > 0 && c + k == start)
                    return false;
                if (!visit(c + k, occupants[k], true))
                    return true;
            }
            i += run;
            c = c[run - 1].next();
        } else {
            if (!visit(c, c->vehicle(), c->isPlain()))
                return true;
            ++i;
            c = c->next();
        }
    }
    return true;
}

/// Walks like `forEachCellAhead` from `start`, at most `limit` cells, and stops before the chain
/// comes back to `start`; but calls visit(cell, occupant, plain, index) only for the cells that
/// hold a vehicle or are not plain, `index` counting the cells walked before it. A run of plain
/// cells costs a read of the bits that tell which of them are taken (see `OccupantRun`) and of
/// their occupants, which is what a look-ahead over empty road mostly meets. Returns the number of
/// cells walked; `last` is the last of them.
template <typename CellPointer, typename Visit>
int32_t forEachNotableCellAhead(CellPointer start, int32_t limit, CellPointer &last, Visit visit)
{
    CellPointer c = start;
    int32_t i = 0;
    while (i < limit && c) {
        if (i > 0 && c == start)
            break;
        const int32_t run = std::min(c->plainRun(), limit - i);
        if (run > 1) {
            // A run lies in one block, so `start` is one of its cells exactly when its address is
            // among theirs; past the first cell walked, the walk ends before it.
            int32_t end = run;
            if (i > 0 && !std::less<>()(start, c) && std::less<>()(start, c + run))
                end = int32_t(start - c);
            c->occupants().forEachTaken(size_t(end),
                                        [&](size_t k, Vehicle *v) { visit(c + k, v, true, i + int32_t(k)); });
            i += end;
            last = c + (end - 1);
            if (end < run)
                break;
            c = last->next();
        } else {
            Vehicle *v = c->vehicle();
            const bool plain = c->isPlain();
            if (v || !plain)
                visit(c, v, plain, i);
            last = c;
            ++i;
            c = c->next();
        }
    }
    return i;
}

/// Walks like `forEachCellAhead` from `start`, at most `limit` cells, but calls visit(cell, occupant)
/// only for the taken cells: a run of plain cells finds them from its bits (see `OccupantRun`). False
/// when the chain loops back to `start` within the limit, after visiting the cells before it.
template <typename CellPointer, typename Visit>
bool forEachTakenCellAhead(CellPointer start, int32_t limit, Visit visit)
{
    CellPointer last = start;
    const int32_t walked =
        forEachNotableCellAhead(start, limit, last, [&visit](CellPointer cell, Vehicle *v, bool, int32_t) {
            if (v)
                visit(cell, v);
        });
    // The walk stopped short of the limit where the chain ends or comes back to `start`; either way
    // it read the link after its last cell.
    return walked == 0 || walked >= limit || last->next() != start;
}

/// Splits `body`, `count` cells of a vehicle from the front back, into pieces from the rearmost
/// forward, and calls visit(rearIndex, cells, occupants) for each until `visit` returns false. A
/// piece is the body cells rearIndex, rearIndex − 1, … , rearIndex − cells + 1 where they lie along
/// one plain run (see `Cell::plainRun`), so that each is the `next` of the one before and
/// `occupants[j]` is the occupant of the j-th; else the single cell at rearIndex. Only the
/// rearmost cell of a piece is read, where a walk over the body would read every cell.
template <typename Visit> void forEachPieceOfBody(Cell *const *body, size_t count, Visit visit)
{
    for (size_t rear = count; rear-- > 0;) {
        Cell *c = body[rear];
        const size_t run = size_t(std::max<int32_t>(c->plainRun(), 1));
        size_t cells = 1;
        while (cells < run && cells <= rear && body[rear - cells] == c + cells)
            ++cells;
        if (!visit(rear, cells, c->occupants()))
            return;
        rear -= cells - 1;
    }
}

template <typename Visit> void forEachPieceOfBody(const std::vector<Cell *> &body, Visit visit)
{
    forEachPieceOfBody(body.data(), body.size(), visit);
}

/// Calls visit(cell, occupant) for the cells of the crossroad path from `start` on, up to the last
/// one before the lane it leads into, until `visit` returns false; nothing when `start` is null or
/// not in a crossroad. A path that loops back to `start` is walked once.
template <typename CellPointer, typename Visit> void forEachCellOnPath(CellPointer start, Visit visit)
{
    if (!start || !start->inCrossroad)
        return;
    forEachCellAhead(start, std::numeric_limits<int32_t>::max(), [&visit](CellPointer c, Vehicle *v, bool plain) {
        // A plain cell inside a crossroad leads to another one, so the path goes on after it.
        if (!visit(c, v))
            return false;
        if (plain)
            return true;
        const Cell *next = c->next();
        return next && next->inCrossroad;
    });
}

#endif
