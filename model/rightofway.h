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
/// The same for a vehicle of `length` cells taking the path from `pathCell` to `exitLane`.
bool exitHasRoom(int32_t length, const LaneBinding *exitLane, const Cell *pathCell);
/// Whether `vehicle` may move into `crossroad` to wait there for room on its exit: it has the right
/// of way, and its empty path and the empty start of its exit lane hold the whole vehicle.
bool mayWaitInCrossroad(const Crossroad *crossroad, const Vehicle *vehicle);
/// Whether no vehicle stands on the crossroad cells from `cell` on (true for a null cell).
bool pathIsClear(const Cell *cell);
/// Whether the traffic on the incoming `lane` heading for one of `exits` lets a vehicle that needs
/// `steps` steps to clear the crossroad go first.
/// With `asker` set, vehicles standing at the stop line that `asker` waits longer than let it go.
bool conflictingLaneIsClear(const LaneBinding *lane, const std::vector<LaneBinding *> &exits, int32_t steps,
                            const Vehicle *asker = nullptr);
/// Whether `vehicle` may go before every path that the rule of `records` makes it yield to. With
/// `byWaiting`, vehicles standing at their stop lines that have waited less than a vehicle waiting
/// past `LONG_WAIT` let it go first (see `waitsLonger`).
bool conflictsAreClear(const Vehicle *vehicle, const std::vector<ConflictRecord> &records, bool byWaiting = false);
/// Steps at a stop line after which a waiting vehicle is let go first by those it would yield to
/// (60 s): at a merge into a full lane the traffic that has priority takes every gap, and the
/// traffic that yields would wait for good.
constexpr int32_t LONG_WAIT = 240;
/// Whether `a` has waited at its stop line past LONG_WAIT and longer than `b` (the lower id first on
/// a tie). Vehicles on tram tracks keep their priority and are never let wait for a car.
bool waitsLonger(const Vehicle *a, const Vehicle *b);
/// Whether a vehicle standing at another stop line of `crossroad` waits longer than `vehicle`,
/// has room after the crossroad and crosses or merges with its path, so that `vehicle` lets it go first.
bool letsLongWaiterGo(const Crossroad *crossroad, const Vehicle *vehicle);
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
