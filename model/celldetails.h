#ifndef KOLVEX_MODEL_CELLDETAILS_H
#define KOLVEX_MODEL_CELLDETAILS_H

#include "geo/geodesy.h"

#include <algorithm>
#include <cstdint>
#include <memory>
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

/// What the cells of one block of a network keep outside themselves, by cell slot: their occupants
/// side by side, where each lies and its lane, which a step reads less often, and the links that
/// only a few cells have (a stop bay or platform beside, a stop, the crossroad after the last cell
/// of a chain). Keeping them here leaves the cell with the fields a step reads. The arrays, of
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

    /// The arrays where a block's cells keep their occupants, locations and lanes, each of
    /// `CELLS_PER_BLOCK` entries, and room for the index of their rare links.
    struct Arrays
    {
        Vehicle **occupants;
        Location *locations;
        LaneBinding **wayLinks;
        int16_t *rareIndex;
    };

    /// Details kept in `arrays`: no occupants, locations, lanes or rare links yet.
    explicit CellDetails(const Arrays &arrays)
        : occupants(arrays.occupants), locations(arrays.locations), wayLinks(arrays.wayLinks),
          rareIndex(arrays.rareIndex)
    {
        std::fill_n(occupants, CELLS_PER_BLOCK, nullptr);
        std::uninitialized_fill_n(locations, CELLS_PER_BLOCK, Location());
        std::fill_n(wayLinks, CELLS_PER_BLOCK, nullptr);
        std::fill_n(rareIndex, CELLS_PER_BLOCK, NO_RARE);
    }

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
    /// cells reads them there.
    Vehicle **const occupants;
    Location *const locations;
    LaneBinding **const wayLinks;

private:
    static constexpr int16_t NO_RARE = -1;
    // An index by slot rather than a hash map: a step asks for the crossroad after a chain or the
    // stop of a platform on every decision, and two array reads cost less than a hash look-up.
    int16_t *const rareIndex;
    std::vector<Rare> rares;
};

#endif
