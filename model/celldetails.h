#ifndef KOLVEX_MODEL_CELLDETAILS_H
#define KOLVEX_MODEL_CELLDETAILS_H

#include "geo/geodesy.h"

#include <cstdint>
#include <vector>

class Cell;
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

/// What the cells of one block of a network (or one free-standing cell) keep outside themselves,
/// by cell slot: where each lies and its lane, which a step rarely reads, and the links that only a
/// few cells have (a stop bay or platform beside, a stop, the crossroad after the last cell of a
/// chain). Keeping them here leaves the cell with the fields a step reads.
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
        : locations(size_t(slots)), wayLinks(size_t(slots), nullptr), rareIndex(size_t(slots), NO_RARE)
    {}

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

    /// The occupants of the block's cells side by side, apart from the cells: a walk over a run of
    /// cells reads them there, and the run's data sets this once.
    Vehicle **occupants = nullptr;
    std::vector<Location> locations;
    std::vector<LaneBinding *> wayLinks;

private:
    static constexpr int16_t NO_RARE = -1;
    // An index by slot rather than a hash map: a step asks for the crossroad after a chain or the
    // stop of a platform on every decision, and two array reads cost less than a hash look-up.
    std::vector<int16_t> rareIndex;
    std::vector<Rare> rares;
};

#endif
