#include "approachindex.h"

#include "cell.h"
#include "chain.h"
#include "crossroad.h"
#include "vehicle.h"

#include <limits>

void ApproachIndex::build(const std::vector<Crossroad *> &crossroads)
{
    nearest.clear();
    slotOf.clear();
    firstSlot.assign(1, 0);
    crossroadSlots.clear();
    for (const Crossroad *crossroad : crossroads) {
        if (!crossroad->hasSemaphore()) {
            for (Cell *stopLine : crossroad->stopLines()) {
                if (!stopLine)
                    continue;
                const auto added = slotOf.emplace(stopLine, int32_t(nearest.size()));
                if (added.second)
                    nearest.push_back(Nearest{0, nullptr});
                crossroadSlots.push_back(added.first->second);
            }
        }
        firstSlot.push_back(crossroadSlots.size());
    }
    built = true;
}

ApproachIndex::Approach ApproachIndex::approachOf(const Vehicle *vehicle) const
{
    // Only the front counts: it is the body cell nearest the stop line, and a vehicle whose front
    // has passed the stop line is leaving. Walking back from a stop line reaches exactly the lane
    // cells whose chain ends there: crossroad paths leading to the lane are not linked back to it.
    const Cell *cell = vehicle->frontCell();
    if (!cell || cell->inCrossroad)
        return Approach();
    const int32_t distance = cell->cellsToEnd();
    // The occupant, kept apart from the cell, is read last: most vehicles are not near a stop line.
    if (distance >= REACH || cell->vehicle() != vehicle)
        return Approach();
    return Approach{slotAt(vehicle->frontChainEnd()), distance, cell};
}

void ApproachIndex::update(const std::vector<Approach> &approaches)
{
    for (Nearest &n : nearest)
        n = Nearest{std::numeric_limits<int32_t>::max(), nullptr};
    for (const Approach &a : approaches) {
        if (a.slot < 0)
            continue;
        Nearest &n = nearest[size_t(a.slot)];
        if (a.distance < n.distance)
            n = Nearest{a.distance, a.front};
    }
}

const Vehicle *ApproachIndex::upstream(const Cell *stopLine) const
{
    if (!stopLine)
        return nullptr;
    const int32_t slot = slotAt(stopLine);
    if (slot < 0)
        return approachingVehicle(stopLine, REACH);
    const Cell *cell = nearest[size_t(slot)].cell;
    return cell ? cell->vehicle() : nullptr;
}

int32_t ApproachIndex::slotAt(const Cell *stopLine) const
{
    const auto it = stopLine ? slotOf.find(stopLine) : slotOf.end();
    return it == slotOf.end() ? -1 : it->second;
}

int32_t ApproachIndex::occupiedApproaches(size_t index) const
{
    if (index + 1 >= firstSlot.size())
        return 0;
    int32_t count = 0;
    for (size_t i = firstSlot[index]; i < firstSlot[index + 1]; ++i)
        count += nearest[size_t(crossroadSlots[i])].cell ? 1 : 0;
    return count;
}
