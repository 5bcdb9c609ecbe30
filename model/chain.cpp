#include "chain.h"

#include "cell.h"
#include "cellwalk.h"
#include "vehicle.h"

int32_t distanceToCrossroad(const Cell *cell)
{
    if (!cell)
        return -1;
    if (cell->hasCache()) {
        return cell->chainEndsAtCrossroad() ? cell->cellsToEnd() + 1 : -1;
    }
    int32_t count = 1;
    const Cell *c = cell;
    while (c->next()) {
        c = c->next();
        if (c == cell)
            return -1;
        ++count;
    }
    return c->crossroad() ? count : -1;
}

Crossroad *crossroadAhead(const Cell *cell)
{
    // Only the last cell of a chain carries a crossroad.
    if (cell && cell->hasCache()) {
        return cell->chainEndsAtCrossroad() ? cell->chainEnd()->crossroad() : nullptr;
    }
    for (const Cell *c = cell; c;) {
        if (c->crossroad())
            return c->crossroad();
        c = c->next();
        if (c == cell)
            return nullptr;
    }
    return nullptr;
}

bool canPlace(const Cell *cell, const Vehicle *vehicle)
{
    return vehicle && canPlace(cell, vehicle->length());
}

bool canPlace(const Cell *cell, int32_t length)
{
    if (!cell)
        return false;
    const Cell *c = cell;
    for (int32_t i = 0; i < length; ++i) {
        // A loop shorter than the vehicle would give it the same cell twice.
        if (!c || c->isOccupied() || (i > 0 && c == cell))
            return false;
        c = c->previous();
    }
    return true;
}

void occupy(const std::vector<Cell *> &cells, Vehicle *vehicle)
{
    for (Cell *cell : cells)
        cell->setVehicle(vehicle);
}

void release(Vehicle *vehicle)
{
    // A cell that a vehicle moved later took over belongs to that vehicle now.
    for (Cell *cell : vehicle->cells())
        cell->releaseFrom(vehicle);
}

Vehicle *approachingVehicle(const Cell *stopLine, int32_t n)
{
    const Cell *c = stopLine;
    for (int32_t i = 0; i < n && c; ++i, c = c->previous()) {
        if (c->vehicle() && c->vehicle()->frontCell() == c)
            return c->vehicle();
        if (c->previousIs(stopLine))
            break;
    }
    return nullptr;
}

int32_t standingQueue(const Cell *cell)
{
    int32_t count = 0;
    const Vehicle *last = nullptr;
    for (const Cell *c = cell; c;) {
        if (c->vehicle() && c->vehicle() != last) {
            if (c->vehicle()->speed() != 0)
                break;
            last = c->vehicle();
            ++count;
        }
        c = c->previous();
        if (c == cell)
            break;
    }
    return count;
}

Occupancy occupancyAhead(const Cell *cell, int32_t n)
{
    Occupancy found;
    const Vehicle *last = nullptr;
    const bool ends = forEachTakenCellAhead(cell, n, [&](const Cell *, const Vehicle *v) {
        ++found.cells;
        found.vehicles += v != last;
        last = v;
    });
    return ends ? found : Occupancy();
}

int32_t occupiedInLoop(const Cell *cell)
{
    if (!cell)
        return 0;
    int32_t count = cell->vehicle() ? 1 : 0;
    for (const Cell *c = cell->next(); c; c = c->next()) {
        if (c == cell)
            return count;
        if (c->vehicle())
            ++count;
    }
    return 0;
}

int32_t routeIndexOf(const Vehicle *vehicle, const Crossroad *crossroad, const LaneBinding *key)
{
    const auto &route = vehicle->route();
    for (size_t i = 0; i < route.size(); ++i)
        if (route[i].crossroad == crossroad && route[i].entryKey == key)
            return int32_t(i);
    return -1;
}
