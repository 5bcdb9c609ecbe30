#ifndef KOLVEX_MODEL_CELL_H
#define KOLVEX_MODEL_CELL_H

#include "celldetails.h"
#include "geo/geodesy.h"

#include <cmath>
#include <cstdint>
#include <vector>

class CellBlocks;
class Crossroad;
class LaneBinding;
class OSMStop;
class Vehicle;

/// One 0.25 m piece of a lane, track, crossroad path or stop bay. Cells are linked into one-way
/// chains by `next`/`previous`; a chain ends at a crossroad, at a network exit, or loops.
///
/// A city has millions of cells, so a cell holds what a step reads on every cell it walks (links,
/// cached distances and bearing, what makes it plain) in 32 bytes; its occupant, place, lane and
/// rare links live in the details of its block of the run's cells (see `CellDetails`).
/// Cells are made only by the run's data (`CellBlocks`), which lays each block out as
/// `CELL_BLOCK_HEADER_BYTES` tells, so that a cell finds its occupant and details from its own
/// address and id. A cell keeps its links as the ids of the cells linked, half the size of
/// pointers: a link within the cell's block, as most are, is followed by arithmetic on the
/// cell's own address, a link into another block through the run's data. So cells can only be
/// linked to cells of the same run's data.
class Cell
{
public:
    Cell(const Cell &) = delete;
    Cell &operator=(const Cell &) = delete;

    /// The cell after this one along its chain, null at the chain's end.
    Cell *next() const { return cellWithId(nextId); }
    /// The cell before this one along its chain, null at the chain's start.
    Cell *previous() const { return cellWithId(previousId); }
    /// Links this cell to `cell` (null: none), which must belong to the same run's data.
    void setNext(const Cell *cell) { nextId = idOf(cell); }
    void setPrevious(const Cell *cell) { previousId = idOf(cell); }
    /// Whether `next()` (`previous()`) is `cell`, told from the ids without finding the cell.
    bool nextIs(const Cell *cell) const { return nextId == idOf(cell); }
    bool previousIs(const Cell *cell) const { return previousId == idOf(cell); }

private:
    /// The id of `next()`, or `NO_CELL`; first in the cell, as a walk reads it on every cell.
    int32_t nextId = NO_CELL;

public:
    /// The cell's number in its network, in creation order; it also tells the cell its place in its
    /// block, and so where its occupant and details are kept.
    const int32_t id;
    bool inCrossroad = false;

    /// Where the cell lies.
    Location location() const { return details()->location(slot()); }
    void setLocation(const Location &location) { details()->setLocation(slot(), location); }
    /// Lays the cell as the cell at `index` of `stretch`, which gives its place and lane.
    void layOn(const CellStretch &stretch, int32_t index) { details()->place(slot(), stretch, index); }
    /// The lane binding; null inside crossroads and on bay cells.
    LaneBinding *wayLink() const { return details()->lane(slot()); }
    void setWayLink(LaneBinding *binding) { details()->setLane(slot(), binding); }
    /// A stop bay or platform cell beside this one, null if none (set with `linkSide`).
    Cell *side() const { return marks.side ? details()->rareOf(slot()).side : nullptr; }
    /// The cell this one is `side` of, null if none.
    Cell *sideOf() const { return marks.sideOf ? details()->rareOf(slot()).sideOf : nullptr; }
    /// The stop of a platform cell, null elsewhere.
    OSMStop *stop() const { return marks.stop ? details()->rareOf(slot()).stop : nullptr; }
    void setStop(OSMStop *stop);
    /// The crossroad entered after this cell, set on the last cell of a chain entering one.
    Crossroad *crossroad() const { return marks.crossroad ? details()->rareOf(slot()).crossroad : nullptr; }
    void setCrossroad(Crossroad *crossroad);

    /// The occupant, null if free.
    Vehicle *vehicle() const { return *occupantEntry(); }
    /// Makes `v` (or nobody, for null) the occupant.
    void setVehicle(Vehicle *v) { occupants().set(0, v); }
    /// Frees the cell if `v` holds it.
    void releaseFrom(const Vehicle *v) { occupants().release(1, v, false); }
    /// The occupants of this cell and of the cells after it in its block, side by side, as the
    /// run's data keeps them for walks that read many cells, and through which the move frees and
    /// takes many cells at once.
    OccupantRun occupants() const;

    /// Follows `next` n times (`previous` for negative n); null as soon as a link is missing.
    Cell *cellAhead(int32_t n) const;
    /// Follows `previous` n times (`next` for negative n); null as soon as a link is missing.
    Cell *cellBehind(int32_t n) const;
    /// The vehicle of the first occupied cell among this one and up to n − 1 cells behind it.
    Vehicle *vehicleUpstream(int32_t n) const;
    /// Links to the end of the chain; 0 if the chain loops back here.
    int32_t cellsToEnd() const;
    /// Links to the start of the chain; 0 if the chain loops back here.
    int32_t cellsFromStart() const;
    /// Last cell along `next`; null if the chain loops.
    Cell *chainEnd() const;
    /// Whether `chainEnd()` exists and leads into a crossroad; with the cache filled, answered
    /// without reading the end cell, which a step asks for every vehicle.
    bool chainEndsAtCrossroad() const;
    /// Last cell of the run of stop cells along `next` starting here.
    Cell *platformEnd() const;
    /// First cell of the run of stop cells along `previous` starting here.
    Cell *platformStart() const;
    bool isOccupied() const { return *occupantEntry() != nullptr; }
    /// `bearing`(location, next->location), kept to a 2^32nd of a full turn (under a ten-millionth of
    /// a degree) whether cached or not, so that a walk finds the same bends either way; `next` must
    /// exist.
    double bearingToNext() const { return degreesOf(cacheValid ? cachedBearing : measuredBearingToNext()); }
    /// Whether the cached network data below is filled (see `precomputeCells`).
    bool hasCache() const { return cacheValid; }
    /// Whether `turn()` holds the bend at this cell between the links previous → this → next.
    bool hasTurn() const { return turnValid; }
    /// Signed turn at this cell in degrees, positive to the right (see `turnAngle`); needs `hasTurn()`.
    double turn() const;
    /// Whether a walk along the lane finds nothing at this cell but its occupant: no stop or bay
    /// beside it, no crossroad or chain end after it, not the last cell of a crossroad path.
    bool isPlain() const
    {
        if (marks.side || marks.stop || marks.crossroad)
            return false;
        const Cell *n = next();
        return n && !(inCrossroad && !n->inCrossroad);
    }
    /// Number of plain cells from this one on that lie one after another in memory, each the
    /// `next` of the one before and with its occupant beside the one before in `occupants()`
    /// (0 when this cell is not plain or the cache is not filled). A walk over them reads their
    /// occupants there, without following the links one by one.
    int32_t plainRun() const { return cachedPlainRun; }
    /// Number of cells from this one on, laid out as for `plainRun` and each the `next` and
    /// `previous` of its neighbours, that each bend by less than the 2° a walk counts as a curve
    /// (0 when the cache is not filled or this cell bends more).
    int32_t straightRun() const { return cachedStraightRun; }

private:
    template <typename Cells> friend void precomputeCells(const Cells &cells);
    friend void linkSide(Cell *a, Cell *b);
    friend class CellBlocks;

    /// A free cell with the id `id`, made by `CellBlocks` in its place in a block.
    explicit Cell(int32_t id);

    /// The cell's place in its block: the cells of a run's data are numbered block after block.
    int32_t slot() const { return int32_t(uint32_t(id) % uint32_t(CELLS_PER_BLOCK)); }
    /// The first cell of this cell's block.
    const Cell *blockStart() const { return this - slot(); }
    /// This cell's entry in its block's array of occupants, which holds the occupants of neighbouring cells side by
    /// side, so that a walk over a run of cells reads a few cache lines there instead of one or two per cell.
    Vehicle **occupantEntry() const;
    /// The details of this cell's block, kept just before its cells.
    CellDetails *details() const;
    static constexpr int32_t NO_CELL = -1;
    static int32_t idOf(const Cell *cell) { return cell ? cell->id : NO_CELL; }
    /// The cell of this cell's run's data with the id `other`, null for `NO_CELL`.
    Cell *cellWithId(int32_t other) const
    {
        // Ids of one block differ only in their low bits, and `NO_CELL` never shares the high ones.
        if (uint32_t(other ^ id) < uint32_t(CELLS_PER_BLOCK))
            return const_cast<Cell *>(this) + (other - id);
        return other == NO_CELL ? nullptr : cellInAnotherBlock(other);
    }
    Cell *cellInAnotherBlock(int32_t other) const;

    /// A bearing in degrees as 2^32nds of a full turn, and back.
    static uint32_t turnUnitsOf(double degrees)
    {
        return uint32_t(uint64_t(std::llround(degrees * (4294967296.0 / 360.0))));
    }
    static double degreesOf(uint32_t units) { return double(units) * (360.0 / 4294967296.0); }
    /// `bearingToNext`, worked out, in 2^32nds of a full turn; 0 without a `next`.
    uint32_t measuredBearingToNext() const
    {
        const Cell *n = next();
        return n ? turnUnitsOf(geo::bearing(location(), n->location())) : 0;
    }

    // Network data that never changes during a run, so vehicle decisions need not walk whole
    // chains or repeat trigonometry. Written only by precomputeCells, read concurrently.
    bool cacheValid = false;
    bool turnValid = false; ///< `previous()->next()` is this cell and `next()` exists
    /// Which rare links the details hold for this cell, so that `isPlain` and the accessors
    /// answer without a look-up for the many cells that have none.
    struct Marks
    {
        bool side : 1;
        bool sideOf : 1;
        bool stop : 1;
        bool crossroad : 1;
        bool crossroadAtEnd : 1; ///< cached: `chainEnd()` has a crossroad
    } marks{};

    // After `nextId`, `id` and the flags, which a walk reads on every cell it visits: they make up
    // the first 12 bytes of the cell, which never straddle two cache lines.
    int32_t previousId = NO_CELL;
    int32_t cachedCellsToEnd = 0;
    // A run never leaves a block of cells laid out by the run's data (see `CellBlocks`), so
    // its length fits in 16 bits.
    int16_t cachedPlainRun = 0;
    int16_t cachedStraightRun = 0;
    int32_t cachedChainEndId = NO_CELL; ///< `NO_CELL` when the chain loops
    /// `bearingToNext` in 2^32nds of a full turn. The bend at this cell is not kept: it follows
    /// from the bearings of `previous` and of this cell, which saves a field in every cell.
    uint32_t cachedBearing = 0;
};

static_assert(sizeof(Cell) <= 32, "a city has millions of cells: every byte of one costs megabytes");

/// How `CellBlocks` lays out a block: a header of this size holding the block's details, then its
/// `CELLS_PER_BLOCK` cells. A cell then reaches its occupant through the header, which the cells
/// of a block share and a step keeps in cache, and one array; its place and lane through one more.
constexpr size_t CELL_BLOCK_HEADER_BYTES = 64;
static_assert(sizeof(CellDetails) <= CELL_BLOCK_HEADER_BYTES, "a block's header holds its details");

inline Vehicle **Cell::occupantEntry() const
{
    return details()->occupants + slot();
}

inline OccupantRun Cell::occupants() const
{
    return details()->occupantsFrom(slot());
}

inline CellDetails *Cell::details() const
{
    const auto *header = reinterpret_cast<const unsigned char *>(blockStart()) - CELL_BLOCK_HEADER_BYTES;
    return reinterpret_cast<CellDetails *>(const_cast<unsigned char *>(header));
}

/// Signed turn in degrees from the bearing b1 to the bearing b2, in (−180, 180], positive to the right.
inline double turnAngle(double b1, double b2)
{
    // subtractFromBearing(b2, b1) for a bearing b2 in [0, 360], without its range check.
    if (b2 < 0.0 || b2 > 360.0)
        b2 = geo::subtractFromBearing(b2, 0.0);
    double a = b2 - b1;
    if (a >= 360.0)
        a -= 360.0;
    if (a < 0.0)
        a += 360.0;
    if (a > 180.0)
        a -= 360.0;
    return a;
}

inline double Cell::turn() const
{
    return turnAngle(degreesOf(previous()->cachedBearing), degreesOf(cachedBearing));
}

/// Sets a.side = b and b.sideOf = a; either may be null.
void linkSide(Cell *a, Cell *b);
/// Fills the cached network data (chain ends, distances to them, bearings to `next`) of `cells`
/// (a `std::vector<Cell *>`, or the `CellBlocks` of a network) and of every cell reachable from
/// them. Call it in one thread once the network is complete and again after links or locations
/// change; until then the queries walk the chains themselves, with the same results.
template <typename Cells> void precomputeCells(const Cells &cells);

#endif
