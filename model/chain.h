#ifndef KOLVEX_MODEL_CHAIN_H
#define KOLVEX_MODEL_CHAIN_H

#include <cstdint>
#include <vector>

class Cell;
class Crossroad;
class LaneBinding;
class Vehicle;

/// Queries on chains of cells. All walk `next` links unless said otherwise, stop at a missing
/// link, and never walk a loop forever.

/// Cells from `cell` (counted) to the end of its chain if that end enters a crossroad; −1 otherwise.
int32_t distanceToCrossroad(const Cell *cell);
/// The crossroad entered at the end of the chain of `cell`; null at a plain chain end or a loop.
Crossroad *crossroadAhead(const Cell *cell);
/// Whether `cell` and the cells behind it, as many as the vehicle is long, exist and are free.
bool canPlace(const Cell *cell, const Vehicle *vehicle);
/// Whether `cell` and the cells behind it, `length` in all, exist and are free.
bool canPlace(const Cell *cell, int32_t length);
void occupy(const std::vector<Cell *> &cells, Vehicle *vehicle);
/// Frees every cell the vehicle occupies (cells taken over by another vehicle stay its); safe while
/// other vehicles free or take their cells at once (see `Cell::releaseFrom`).
void release(Vehicle *vehicle);
/// The vehicle that enters the crossroad next from the lane ending at `stopLine`: the first one met
/// walking `previous` over at most n cells whose front lies on those cells. A vehicle whose front has
/// already passed the stop line is leaving with its tail still on the lane, and is skipped.
Vehicle *approachingVehicle(const Cell *stopLine, int32_t n);
/// Distinct standing vehicles met walking `previous` from `cell`, up to the first moving one.
int32_t standingQueue(const Cell *cell);
/// What stands on the n cells from `cell`: the cells occupied and the distinct vehicles on them,
/// found in one walk; both 0 if the chain loops back within them.
struct Occupancy
{
    int32_t cells = 0;
    int32_t vehicles = 0;
};
Occupancy occupancyAhead(const Cell *cell, int32_t n);
/// Occupied cells of a chain that loops back to `cell`; 0 if it does not loop.
int32_t occupiedInLoop(const Cell *cell);
/// Index of the vehicle's first route entry for (crossroad, key); −1 if none.
int32_t routeIndexOf(const Vehicle *vehicle, const Crossroad *crossroad, const LaneBinding *key);

#endif
