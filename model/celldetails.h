#ifndef KOLVEX_MODEL_CELLDETAILS_H
#define KOLVEX_MODEL_CELLDETAILS_H

#include "geo/geodesy.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

class Cell;
class CellBlocks;
class Crossroad;
class LaneBinding;
class OSMStop;
class Vehicle;

/// Cells per block of a run's cells (see `CellBlocks`). A block keeps its cells, their occupants
/// and their details apart from the other blocks, each sized for the whole block, so that no array
/// of a network grows by doubling. Blocks may lie one after another in memory, but a cell's runs
/// (`Cell::plainRun`) never cross from one into the next, so they fit the 16 bits the cell keeps them
/// in, and so does an index among the details of one block.
constexpr int32_t CELLS_PER_BLOCK = 4096;
static_assert(CELLS_PER_BLOCK <= INT16_MAX, "a run of cells within one block fits 16 bits");

/// Where a straight stretch of evenly spaced cells lies, all on one lane (null inside crossroads
/// and on bay cells): the cell at index k of the stretch lies `k` steps of (`latStep`, `lonStep`)
/// degrees from `origin`. A lone cell is a stretch of one with no step.
struct CellStretch
{
    Location origin;
    double latStep = 0.0;
    double lonStep = 0.0;
    LaneBinding *lane = nullptr;

    /// Where the cell at `index` lies, its longitude folded back into (−180, 180] for a stretch
    /// across the antimeridian.
    Location at(int32_t index) const
    {
        const double k = double(index);
        double lon = origin.lon + k * lonStep;
        if (lon > 180.0)
            lon -= 360.0;
        else if (lon <= -180.0)
            lon += 360.0;
        return Location(origin.lat + k * latStep, lon);
    }
    bool operator==(const CellStretch &o) const
    {
        return origin == o.origin && latStep == o.latStep && lonStep == o.lonStep && lane == o.lane;
    }
};

/// What the cells of one block of a network keep outside themselves, by cell slot: their occupants
/// side by side; where each lies and its lane, which a step reads less often; and the links that
/// only a few cells have (a stop bay or platform beside, a stop, the crossroad after the last cell
/// of a chain). Keeping them here leaves the cell with the fields a step reads. A cell's place and
/// lane are not kept cell by cell: the cells of a lane are laid in straight stretches, and a cell
/// keeps the number of its stretch among the block's, from which its place follows. The arrays, of
/// `CELLS_PER_BLOCK` entries each, are the run's data's (see `CellBlocks`), which hands them over
/// empty.
class CellDetails
{
public:
    /// The links of a cell that most cells lack; a cell marks which of them it has.
    struct Rare
    {
        Cell *side = nullptr;
        Cell *sideOf = nullptr;
        OSMStop *stop = nullptr;
        Crossroad *crossroad = nullptr;
    };

    /// What a cell keeps here besides its occupant: its stretch and its rare links, by number.
    struct SlotEntry
    {
        uint16_t placement;
        int16_t rare;
    };

    /// Bytes of the piece of memory that holds a block's arrays: the occupants of its cells, then
    /// their entries, `CELLS_PER_BLOCK` of each.
    static constexpr size_t ARRAY_BYTES = CELLS_PER_BLOCK * (sizeof(Vehicle *) + sizeof(SlotEntry));

    /// Details of a block of `owner`, kept in `arrays` of `ARRAY_BYTES`: no occupants, rare links
    /// or lanes yet, every cell at `Location()`.
    CellDetails(void *arrays, const CellBlocks *owner) : occupants(static_cast<Vehicle **>(arrays)), owner(owner)
    {
        std::fill_n(occupants, CELLS_PER_BLOCK, nullptr);
        std::fill_n(entries(), CELLS_PER_BLOCK, SlotEntry{0, NO_RARE});
        placements.push_back(Placement{});
    }

    /// Where the cell at `slot` lies.
    Location location(int32_t slot) const
    {
        const Placement &p = placements[entries()[slot].placement];
        return p.stretch.at(slot - p.firstSlot);
    }
    /// The lane of the cell at `slot`.
    LaneBinding *lane(int32_t slot) const { return placements[entries()[slot].placement].stretch.lane; }
    /// Lays the cell at `slot` as the cell at `index` of `stretch`.
    void place(int32_t slot, const CellStretch &stretch, int32_t index);
    /// Moves the cell at `slot` to `location`, on the lane it had.
    void setLocation(int32_t slot, const Location &location) { place(slot, {location, 0.0, 0.0, lane(slot)}, 0); }
    /// Puts the cell at `slot` on `lane`, where it lay.
    void setLane(int32_t slot, LaneBinding *lane);

    /// Gives back the room kept for more stretches and rare links.
    void trim()
    {
        rares.shrink_to_fit();
        placements.shrink_to_fit();
    }

    /// The rare links of the cell at `slot`; the cell must have marked one of them.
    const Rare &rareOf(int32_t slot) const { return rares[size_t(entries()[slot].rare)]; }
    /// The rare links of the cell at `slot`, made empty on first use.
    Rare &rareToSet(int32_t slot)
    {
        int16_t &index = entries()[slot].rare;
        if (index == NO_RARE) {
            index = int16_t(rares.size());
            rares.emplace_back();
        }
        return rares[size_t(index)];
    }

    /// The occupants of the block's cells side by side, apart from the cells: a walk over a run of
    /// cells reads them there.
    Vehicle **const occupants;
    /// The run's data the block belongs to, through which a cell finds a cell of another block.
    const CellBlocks *const owner;

private:
    /// A stretch as the block's cells lie on it: its cell at index k is the block's cell at slot
    /// `firstSlot` + k. `firstSlot` is below 0 for a stretch begun in an earlier block.
    struct Placement
    {
        CellStretch stretch;
        int32_t firstSlot = 0;
        bool operator==(const Placement &o) const { return stretch == o.stretch && firstSlot == o.firstSlot; }
    };

    /// Keeps only the placements some cell lies on, once their numbers run out.
    void dropUnused();

    static constexpr int16_t NO_RARE = -1;
    // Numbers by slot rather than hash maps: a step asks for the crossroad after a chain or the
    // stop of a platform on every decision, and two array reads cost less than a hash look-up.
    SlotEntry *entries() const { return reinterpret_cast<SlotEntry *>(occupants + CELLS_PER_BLOCK); }
    std::vector<Rare> rares;
    std::vector<Placement> placements;
};

#endif
