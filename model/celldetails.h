#ifndef KOLVEX_MODEL_CELLDETAILS_H
#define KOLVEX_MODEL_CELLDETAILS_H

#include "geo/geodesy.h"

#include <cstdint>
#include <vector>

class Cell;
class Crossroad;
class LaneBinding;
class OSMStop;

/// Cells per block of a run's cells (see `CellBlocks`). A block keeps its cells, their occupants
/// and their details apart from the other blocks, each sized for the whole block, so that no array
/// of a network grows by doubling. Blocks may lie one after another in memory, but a cell's runs
/// (`Cell::plainRun`) never cross from one into the next, so they fit the 16 bits the cell keeps them
/// in, and so does an index among the details of one block.
constexpr int32_t CELLS_PER_BLOCK = 4096;
static_assert(CELLS_PER_BLOCK <= INT16_MAX, "a run of cells within one block fits 16 bits");
static_assert(2 * CELLS_PER_BLOCK + 1 <= UINT16_MAX, "the place of a lane in a block's list fits 16 bits");

/// What the cells of one block of a network (or one free-standing cell) keep outside themselves,
/// by cell slot: where each lies and its lane, which a step rarely reads, and the links that only a
/// few cells have (a stop bay or platform beside, a stop, the crossroad after the last cell of a
/// chain). Keeping them here leaves the cell with the fields a step reads.
///
/// The cells of a lane are made one after another, so a block holds the cells of a few dozen
/// lanes: each cell keeps the place of its lane in the block's short list of lanes (2 bytes)
/// instead of a pointer (8 bytes).
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

    /// Room for `slots` cells (at most `CELLS_PER_BLOCK`), without locations, lanes or rare links.
    explicit CellDetails(int32_t slots)
        : locations(size_t(slots)), laneIndex(size_t(slots), NO_LANE), rareIndex(size_t(slots), NO_RARE)
    {}

    /// The lane of the cell at `slot`; null if none.
    LaneBinding *wayLink(int32_t slot) const { return lanes[laneIndex[size_t(slot)]]; }
    /// Makes `lane` (or none, for null) the lane of the cell at `slot`.
    void setWayLink(int32_t slot, LaneBinding *lane);

    /// The rare links of the cell at `slot`; the cell must have marked one of them.
    const Rare &rareOf(int32_t slot) const { return rares[size_t(rareIndex[size_t(slot)])]; }
    /// The rare links of the cell at `slot`, made empty on first use.
    Rare &rareToSet(int32_t slot)
    {
        int16_t &index = rareIndex[size_t(slot)];
        if (index == NO_RARE) {
            index = int16_t(rares.size());
            rares.emplace_back();
        }
        return rares[size_t(index)];
    }

    std::vector<Location> locations;

private:
    static constexpr uint16_t NO_LANE = 0;
    /// The lanes given to the cells of this block, each once, the first none (for cells without);
    /// at most twice as many as the cells (see `setWayLink`).
    std::vector<LaneBinding *> lanes{nullptr};
    /// By slot: the place of the cell's lane in `lanes`.
    std::vector<uint16_t> laneIndex;

    static constexpr int16_t NO_RARE = -1;
    // An index by slot rather than a hash map: a step asks for the crossroad after a chain or the
    // stop of a platform on every decision, and two array reads cost less than a hash look-up.
    std::vector<int16_t> rareIndex;
    std::vector<Rare> rares;
};

#endif
