#ifndef KOLVEX_MODEL_RIGHTOFWAY_H
#define KOLVEX_MODEL_RIGHTOFWAY_H

#include "crossroad.h"

#include <cstdint>
#include <functional>
#include <vector>

class Cell;
class LaneBinding;
class Vehicle;

/// Right-of-way tests used while vehicles decide (read only, called concurrently) and the
/// deadlock breaking run by the step in its own thread.

/// Whether the lane after the crossroad ahead of `vehicle` has room for it, counting every vehicle
/// already there with a gap of 6 cells. An exit lane shorter than the vehicle never blocks it.
bool exitHasRoom(const Vehicle *vehicle);
/// Whether no vehicle stands on the crossroad cells from `cell` on (true for a null cell).
bool pathIsClear(const Cell *cell);
/// Whether the traffic on the incoming `lane` heading for one of `exits` lets a vehicle that needs
/// `steps` steps to clear the crossroad go first.
bool conflictingLaneIsClear(const LaneBinding *lane, const std::vector<LaneBinding *> &exits, int32_t steps);
/// Whether `vehicle` may go before every path that the rule of `records` makes it yield to.
bool conflictsAreClear(const Vehicle *vehicle, const std::vector<ConflictRecord> &records);
/// Whether no vehicle is inside `crossroad` on a path that `vehicle` has to let pass.
bool crossingPathsAreClear(const Crossroad *crossroad, const Vehicle *vehicle);
/// Releases one vehicle at a crossroad without signals whose approaches are all empty or blocked
/// by each other while its area is free: the one at the head of the longest standing queue gets
/// one more cell per step (trams first). Runs in the step thread while no decision runs.
void resolveDeadlock(Crossroad *crossroad);
/// The same with the first vehicle upstream of each stop line (within 100 cells) supplied by the
/// caller, who may know it without walking the approaches.
void resolveDeadlock(Crossroad *crossroad, const std::function<const Vehicle *(const Cell *)> &upstream);

#endif
