#ifndef KOLVEX_MODEL_RIGHTOFWAY_H
#define KOLVEX_MODEL_RIGHTOFWAY_H

#include "crossroad.h"
#include "units.h"

#include <cstdint>
#include <functional>
#include <vector>

class Cell;
class LaneBinding;
class Vehicle;
struct RouteEntry;

/// Right-of-way tests used while vehicles decide (read only, called concurrently) and the
/// deadlock breaking run by the step in its own thread.

/// Whether the lane after the crossroad ahead of `vehicle` has room for it, counting every vehicle
/// already there with a gap of 6 cells. An exit lane shorter than the vehicle never blocks it.
bool exitHasRoom(const Vehicle *vehicle);
/// The same for a vehicle of `length` cells taking the path from `pathCell` to `exitLane`.
bool exitHasRoom(int32_t length, const LaneBinding *exitLane, const Cell *pathCell);
/// The entry of the route of `vehicle` whose exit lane has no room for it: the first along its way
/// out, looking on through exit lanes shorter than the vehicle to the lanes after them; null when
/// it has room. `length`, when given, receives the cells that must find room there; `beyond`, the
/// vehicle on the path after that lane that leaves it too short, if that is what takes the room.
const RouteEntry *entryWithoutRoom(const Vehicle *vehicle, int32_t *length = nullptr, const Vehicle **beyond = nullptr);
/// The vehicle on the path and the exit lane without room (see `entryWithoutRoom`) nearest the
/// start of that lane, whose moving on makes room there; null if none. `lane`, when given,
/// receives that lane.
const Vehicle *roomHolder(const Vehicle *vehicle, const LaneBinding **lane = nullptr);
/// The same for the way out through `path` into `exit`, not counting `self`.
const Vehicle *roomHolder(const Cell *path, const LaneBinding *exit, const Vehicle *self);
/// A vehicle standing at the stop line of a crossroad before `lane`, or before that one back
/// through short empty lanes, that waits for room on `room` (its exit into `lane`
/// is shorter than itself) and has stood there longer than `waited` steps, or as long with a lower
/// id than `self`; the one that has stood longest, null if none.
const Vehicle *upstreamWaiterForRoom(const LaneBinding *lane, const LaneBinding *room, const Vehicle *self,
                                     int32_t waited);
/// Whether `vehicle` may move into `crossroad` to wait there for room on its exit: it has the right
/// of way, and its empty path and the empty start of its exit lane hold the whole vehicle.
bool mayWaitInCrossroad(const Crossroad *crossroad, const Vehicle *vehicle);
/// The first vehicle on the crossroad cells from `cell` on; null if none (also for a null cell).
const Vehicle *firstOnPath(const Cell *cell);
/// Whether no vehicle stands on the crossroad cells from `cell` on (true for a null cell).
bool pathIsClear(const Cell *cell);
/// The vehicle on the incoming `lane`, heading for one of `exits`, that a vehicle needing `steps`
/// steps to clear the crossroad has to let go first; null when there is none.
/// With `asker` set, vehicles standing at the stop line that `asker` waits longer than let it go.
const Vehicle *conflictingLaneBlocker(const LaneBinding *lane, const std::vector<LaneBinding *> &exits, int32_t steps,
                                      const Vehicle *asker = nullptr);
inline bool conflictingLaneIsClear(const LaneBinding *lane, const std::vector<LaneBinding *> &exits, int32_t steps,
                                   const Vehicle *asker = nullptr)
{
    return conflictingLaneBlocker(lane, exits, steps, asker) == nullptr;
}
/// The first vehicle, on a path that the rule of `records` makes `vehicle` yield to, that it has to
/// let go first; null when it may go. With `byWaiting`, vehicles standing at their stop lines that
/// have waited less than a vehicle waiting past `LONG_WAIT` let it go first (see `waitsLonger`).
const Vehicle *conflictBlocker(const Vehicle *vehicle, const std::vector<ConflictRecord> &records,
                               bool byWaiting = false);
inline bool conflictsAreClear(const Vehicle *vehicle, const std::vector<ConflictRecord> &records,
                              bool byWaiting = false)
{
    return conflictBlocker(vehicle, records, byWaiting) == nullptr;
}
/// Steps at a stop line after which a waiting vehicle is let go first by those it would yield to:
/// at a merge into a full lane the traffic that has priority takes every gap, and the traffic that
/// yields would wait for good.
constexpr int32_t LONG_WAIT = units::steps(60.0);
/// Whether the rule of `records` makes traffic from `entry` to `exit` yield to traffic from `lane`
/// to `laneExit`.
bool yieldsTo(const std::vector<ConflictRecord> &records, const LaneBinding *entry, const LaneBinding *exit,
              const LaneBinding *lane, const LaneBinding *laneExit);
/// Whether `a` has waited at its stop line past LONG_WAIT and longer than `b` (the lower id first on
/// a tie). Vehicles on tram tracks keep their priority and are never let wait for a car.
bool waitsLonger(const Vehicle *a, const Vehicle *b);
/// A vehicle standing at another stop line of `crossroad` that waits longer than `vehicle`, has
/// room after the crossroad and crosses or merges with its path, so that `vehicle` lets it go
/// first; null if none.
const Vehicle *longWaiterToLetGo(const Crossroad *crossroad, const Vehicle *vehicle);
/// A vehicle inside `crossroad` on a path that `vehicle` has to let pass; null if none.
const Vehicle *crossingPathBlocker(const Crossroad *crossroad, const Vehicle *vehicle);
/// Releases one vehicle at a crossroad without signals whose approaches are all empty or blocked
/// by each other while its area is free: the one at the head of the longest standing queue gets
/// one more cell per step (trams first). Runs in the step thread while no decision runs. Returns
/// the vehicle released, null if none.
Vehicle *resolveDeadlock(Crossroad *crossroad);
/// The same with the first vehicle upstream of each stop line (within 100 cells) supplied by the
/// caller, who may know it without walking the approaches.
Vehicle *resolveDeadlock(Crossroad *crossroad, const std::function<const Vehicle *(const Cell *)> &upstream);

#endif
