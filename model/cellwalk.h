#ifndef KOLVEX_MODEL_CELLWALK_H
#define KOLVEX_MODEL_CELLWALK_H

#include "cell.h"

#include <algorithm>
#include <cstdint>
#include <functional>
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

/// Calls visit(cell, occupant, index) for the taken cells of the crossroad path from `start` on, up
/// to the last one before the lane it leads into, `index` counting the path's cells before the one
/// visited, until `visit` returns false. A run of plain cells costs a read of the bits that tell
/// which of them are taken (see `OccupantRun`): most paths are empty. Returns the number of cells
/// walked, all those of the path unless `visit` stopped the walk; `last` is the last of them (null
/// with none). Nothing when `start` is null or not in a crossroad. A path that loops back to
/// `start` is walked once.
template <typename CellPointer, typename Visit>
int32_t forEachTakenCellOnPath(CellPointer start, CellPointer &last, Visit visit)
{
    last = nullptr;
    if (!start || !start->inCrossroad)
        return 0;
    bool going = true;
    int32_t i = 0;
    for (CellPointer c = start; c && going && !(i > 0 && c == start);) {
        const int32_t run = c->plainRun();
        if (run > 1) {
            // As in `forEachNotableCellAhead`: the walk ends before it comes back to `start`.
            int32_t end = run;
            if (i > 0 && !std::less<>()(start, c) && std::less<>()(start, c + run))
                end = int32_t(start - c);
            c->occupants().forEachTaken(size_t(end), [&](size_t k, Vehicle *v) {
                if (going && !visit(c + k, v, i + int32_t(k))) {
                    going = false;
                    end = int32_t(k) + 1;
                }
            });
            i += end;
            last = c + (end - 1);
            if (end < run)
                break;
            // A plain cell inside a crossroad leads to another one, so the path goes on after it.
            c = last->next();
            continue;
        }
        if (Vehicle *v = c->vehicle())
            going = visit(c, v, i);
        last = c;
        ++i;
        const CellPointer next = c->next();
        c = next && next->inCrossroad ? next : nullptr;
    }
    return i;
}

template <typename CellPointer, typename Visit> int32_t forEachTakenCellOnPath(CellPointer start, Visit visit)
{
    CellPointer last = nullptr;
    return forEachTakenCellOnPath(start, last, visit);
}

/// The number of cells of the crossroad path from `start` on, as `forEachTakenCellOnPath` walks it.
template <typename CellPointer> int32_t cellsOnPath(CellPointer start)
{
    return forEachTakenCellOnPath(start, [](CellPointer, Vehicle *, int32_t) { return true; });
}

#endif
