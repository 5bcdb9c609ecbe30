#ifndef KOLVEX_MODEL_CELLDETAILS_H
#define KOLVEX_MODEL_CELLDETAILS_H

#include "geo/geodesy.h"

#include <cstdint>
#include <vector>

class Cell;
class Crossroad;
class LaneBinding;
class OSMStop;

/// What the cells of one network keep outside themselves, by cell slot: where each lies and its
/// lane, which a step rarely reads, and the links that only a few cells have (a stop bay or
/// platform beside, a stop, the crossroad after the last cell of a chain). Keeping them here
/// leaves the cell with the fields a step reads.
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

    /// Makes room for one more cell and returns its slot.
    int32_t addSlot()
    {
        locations.emplace_back();
        wayLinks.push_back(nullptr);
        rareIndex.push_back(NO_RARE);
        return int32_t(locations.size() - 1);
    }
    /// The rare links of the cell at `slot`; the cell must have marked one of them.
    const Rare &rareOf(int32_t slot) const { return rares[size_t(rareIndex[size_t(slot)])]; }
    /// The rare links of the cell at `slot`, made empty on first use.
    Rare &rareToSet(int32_t slot)
    {
        int32_t &index = rareIndex[size_t(slot)];
        if (index == NO_RARE) {
            index = int32_t(rares.size());
            rares.emplace_back();
        }
        return rares[size_t(index)];
    }

    std::vector<Location> locations;
    std::vector<LaneBinding *> wayLinks;

private:
    static constexpr int32_t NO_RARE = -1;
    // An index by slot rather than a hash map: a step asks for the crossroad after a chain or the
    // stop of a platform on every decision, and two array reads cost less than a hash look-up.
    std::vector<int32_t> rareIndex;
    std::vector<Rare> rares;
};

#endif
