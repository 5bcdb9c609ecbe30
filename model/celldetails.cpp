#include "celldetails.h"

#include <limits>

void CellDetails::place(int32_t slot, const CellStretch &stretch, int32_t index)
{
    // The cells of a stretch are laid one after another, so a cell most often joins the stretch
    // the cell before it started.
    const Placement placement{stretch, slot - index};
    if (!(placements.back() == placement)) {
        if (placements.size() > std::numeric_limits<uint16_t>::max())
            dropUnused();
        placements.push_back(placement);
    }
    entries()[slot].placement = uint16_t(placements.size() - 1);
}

void CellDetails::setLane(int32_t slot, LaneBinding *lane)
{
    const Placement &placement = placements[entries()[slot].placement];
    CellStretch stretch = placement.stretch;
    stretch.lane = lane;
    place(slot, stretch, slot - placement.firstSlot);
}

void CellDetails::dropUnused()
{
    std::vector<uint16_t> renumbered(placements.size(), 0);
    std::vector<Placement> kept{placements.front()}; // where new cells lie
    for (int32_t slot = 0; slot < CELLS_PER_BLOCK; ++slot) {
        uint16_t &number = entries()[slot].placement;
        if (number != 0 && renumbered[number] == 0) {
            renumbered[number] = uint16_t(kept.size());
            kept.push_back(placements[number]);
        }
        number = renumbered[number];
    }
    placements = std::move(kept);
}
