#ifndef KOLVEX_MODEL_CELLDETAILS_H
#define KOLVEX_MODEL_CELLDETAILS_H

#include "geo/geodesy.h"

#include <cstdint>
#include <unordered_map>
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
        return int32_t(locations.size() - 1);
    }
    /// The rare links of the cell at `slot`; the cell must have marked one of them.
    const Rare &rare(int32_t slot) const { return rareBySlot.find(slot)->second; }
    Rare &rare(int32_t slot) { return rareBySlot[slot]; }

    std::vector<Location> locations;
    std::vector<LaneBinding *> wayLinks;

private:
    std::unordered_map<int32_t, Rare> rareBySlot;
};

#endif
