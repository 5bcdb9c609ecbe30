#include "approachindex.h"

#include "bus.h"
#include "car.h"
#include "cell.h"
#include "chain.h"
#include "crossroad.h"
#include "simulationdata.h"
#include "tram.h"

#include <limits>

void ApproachIndex::build(const std::vector<Crossroad *> &crossroads)
{
    nearest.clear();
    firstSlot.assign(1, 0);
    crossroadSlots.clear();
    for (const Crossroad *crossroad : crossroads) {
        if (!crossroad->hasSemaphore()) {
            for (Cell *stopLine : crossroad->stopLines()) {
                if (!stopLine)
                    continue;
                if (stopLine->approachSlot < 0) {
                    stopLine->approachSlot = int32_t(nearest.size());
                    nearest.push_back(Nearest{0, nullptr});
                }
                crossroadSlots.push_back(stopLine->approachSlot);
            }
        }
        firstSlot.push_back(crossroadSlots.size());
    }
    built = true;
}

void ApproachIndex::update(const SimulationData &data)
{
    for (Nearest &n : nearest)
        n = Nearest{std::numeric_limits<int32_t>::max(), nullptr};
    addVehicles(data.trams);
    addVehicles(data.buses);
    addVehicles(data.cars);
}

template <typename V> void ApproachIndex::addVehicles(const std::vector<V *> &vehicles)
{
    for (const V *vehicle : vehicles) {
        // Only the front counts: it is the body cell nearest the stop line, and a vehicle whose
        // front has passed the stop line is leaving. Walking back from a stop line reaches exactly
        // the lane cells whose chain ends there: crossroad paths leading to the lane are not linked
        // back to it.
        const Cell *cell = vehicle->frontCell();
        if (!cell || cell->vehicle() != vehicle || cell->inCrossroad)
            continue;
        const Cell *end = cell->chainEnd();
        if (!end || end->approachSlot < 0)
            continue;
        const int32_t distance = cell->cellsToEnd();
        Nearest &n = nearest[size_t(end->approachSlot)];
        if (distance < REACH && distance < n.distance)
            n = Nearest{distance, cell};
    }
}

const Vehicle *ApproachIndex::upstream(const Cell *stopLine) const
{
    if (!stopLine)
        return nullptr;
    if (stopLine->approachSlot < 0 || size_t(stopLine->approachSlot) >= nearest.size())
        return approachingVehicle(stopLine, REACH);
    const Cell *cell = nearest[size_t(stopLine->approachSlot)].cell;
    return cell ? cell->vehicle() : nullptr;
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
