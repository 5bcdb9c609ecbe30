#include "rightofway.h"

#include "cell.h"
#include "cellwalk.h"
#include "chain.h"
#include "semaphore.h"
#include "units.h"
#include "vehicle.h"

#include <algorithm>
#include <cmath>

namespace {

/// How far the exit lane and its occupants are looked at by the room test, in cells.
constexpr int32_t EXIT_HORIZON = units::cells(25.0);
/// The gap counted behind every vehicle on the exit lane, in cells.
constexpr int32_t EXIT_GAP = units::cells(1.5);
/// Exit lanes shorter than a vehicle followed along its route, at most: bounds the walk on a map
/// whose short lanes close a ring.
constexpr int32_t MAX_SHORT_LANES = 4;

/// Links from the path cell `from` to `to`; 0 if the walk leaves the crossroad without arriving
/// (a path leads straight into its exit lane, so this bounds the walk without changing the answer).
int32_t linksThroughCrossroad(const Cell *from, const Cell *to)
{
    if (!from)
        return 0;
    int32_t links = 0;
    for (const Cell *c = from; c != to;) {
        if (!c->inCrossroad)
            return 0;
        c = c->next();
        ++links;
        if (!c || c == from)
            return 0;
    }
    return links;
}

/// The taken cells of the crossroad path from `path` when it leads into the lane starting at
/// `first`; 0 when it does not.
int32_t takenOnPathInto(const Cell *path, const Cell *first)
{
    int32_t taken = 0;
    const Cell *last = nullptr;
    forEachTakenCellOnPath(path, last, [&taken](const Cell *, const Vehicle *, int32_t) { return ++taken > 0; });
    return last && last->nextIs(first) ? taken : 0;
}

/// The cells and the vehicles on the paths into the lane starting at `first` other than `own`:
/// vehicles already in the crossroad on their way into that lane, whose room it has to keep.
void mergingOccupancy(const Cell *first, const Cell *own, int32_t &cells, int32_t &vehicles)
{
    cells = 0;
    vehicles = 0;
    const LaneBinding *lane = first->wayLink();
    if (!lane)
        return;
    for (const Cell *start : lane->pathsInto) {
        if (start == own)
            continue;
        const Vehicle *last = nullptr;
        forEachTakenCellOnPath(start, [&](const Cell *, const Vehicle *v, int32_t) {
            ++cells;
            vehicles += v != last;
            last = v;
            return true;
        });
    }
}

/// Whether another vehicle, as other decisions may see it, has room after the crossroad ahead: its
/// last decision did not wait for room (that one looked on through short lanes along its route),
/// and the lane after its planned path has room now.
bool hasRoomAsShown(const Vehicle *v)
{
    return v->shownWaitCause() != WaitCause::ExitRoom &&
           exitHasRoom(v->length(), v->plannedExitLane(), v->plannedPathCell());
}

Vehicle *releaseLongestQueue(const Crossroad *crossroad, const std::vector<Cell *> &stopLines)
{
    const size_t n = stopLines.size();
    std::vector<int32_t> queue(n);
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i) {
        queue[i] = stopLines[i] ? standingQueue(stopLines[i]) : 0;
        order[i] = i;
    }
    // Pairwise exchange: every later position with a strictly longer queue is swapped forward.
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            if (queue[order[j]] > queue[order[i]])
                std::swap(order[i], order[j]);
    for (size_t i : order) {
        if (queue[i] == 0)
            continue;
        Vehicle *v = stopLines[i]->vehicle();
        // Not before a longer waiter for the same room: a bus that needs more room than a car
        // would otherwise see every gap on its exit go to the cars released here.
        if (v && exitHasRoom(v) && crossroad->isTurnForRoom(v) && !v->isLoading() && !v->isWaiting()) {
            v->accelerate1();
            v->commitSpeed();
            return v;
        }
    }
    return nullptr;
}

/// Whether no vehicle on the crossroad's paths is still crossing it. A vehicle whose front has
/// left the crossroad and stands is waiting further on (for a crossroad beyond a lane shorter than
/// it, typically), so its tail is not counted: were it counted, two such crossroads could each
/// wait for the other's waiting vehicle for good.
bool noneCrossing(const Crossroad *crossroad)
{
    const auto crossing = [](const Vehicle *v) {
        return v && (v->speed() != 0 || !v->frontCell() || v->frontCell()->inCrossroad);
    };
    for (const auto &entry : crossroad->paths)
        for (const PathPair &pair : entry.second) {
            bool found = false;
            forEachTakenCellOnPath(pair.pathCell,
                                   [&](const Cell *, const Vehicle *v, int32_t) { return !(found = crossing(v)); });
            if (found)
                return false;
        }
    return true;
}

} // namespace

const Vehicle *firstOnPath(const Cell *cell)
{
    const Vehicle *first = nullptr;
    forEachTakenCellOnPath(cell, [&first](const Cell *, const Vehicle *v, int32_t) {
        first = v;
        return false;
    });
    return first;
}

bool pathIsClear(const Cell *cell)
{
    return firstOnPath(cell) == nullptr;
}

const RouteEntry *entryWithoutRoom(const Vehicle *vehicle, int32_t *length, const Vehicle **beyond)
{
    // A vehicle on an exit lane shorter than itself stands with its front at the next crossroad and
    // its tail in this one: it may go only when the lane after that next crossroad, along its
    // route, has room for the rest of it, or it would hold both crossroads while it waits.
    const RouteEntry *entry = vehicle->nextRouteEntry();
    int32_t need = vehicle->length();
    // A ring of short lanes smaller than the vehicle leads back under its own body, which leaves
    // those cells as it moves: such a lane always has room. Asked only where the answer would
    // otherwise be no room, since it reads every cell of the body.
    const auto liesUnderBody = [vehicle](const LaneBinding *lane) {
        return lane && std::any_of(vehicle->cells().begin(), vehicle->cells().end(),
                                   [lane](const Cell *c) { return c->wayLink() == lane; });
    };
    for (int32_t hops = 0; entry; ++hops) {
        if (!exitHasRoom(need, entry->exitLane, entry->pathCell)) {
            if (liesUnderBody(entry->exitLane))
                return nullptr;
            if (length)
                *length = need;
            return entry;
        }
        const Cell *first = entry->exitLane->firstCell;
        const Cell *last = entry->exitLane->lastCell;
        const int32_t laneCells = first ? first->cellsToEnd() + 1 : 0;
        const RouteEntry *next =
            last && last->crossroad() ? vehicle->routeEntry(last->crossroad(), entry->exitLane) : nullptr;
        // The vehicle comes to stand wholly on this lane, unless a vehicle stands on the path beyond
        // it: then it keeps its gap from that one, and the gap must fit on the lane too.
        const Vehicle *onNextPath = need <= laneCells && next ? firstOnPath(next->pathCell) : nullptr;
        if (onNextPath && !exitHasRoom(need + EXIT_GAP, entry->exitLane, entry->pathCell)) {
            if (liesUnderBody(entry->exitLane))
                return nullptr;
            if (length)
                *length = need;
            if (beyond)
                *beyond = onNextPath;
            return entry;
        }
        if (need <= laneCells || !next || hops == MAX_SHORT_LANES || liesUnderBody(entry->exitLane))
            return nullptr;
        need -= laneCells;
        entry = next;
    }
    return nullptr;
}

namespace {

bool waitedLonger(const Vehicle *a, int32_t waitedA, const Vehicle *b, int32_t waitedB)
{
    return waitedA > waitedB || (waitedA == waitedB && b && a->id() < b->id());
}

/// Whether `lane` is shorter than EXIT_HORIZON and holds no vehicle: one waiting before it may wait
/// for room beyond it.
bool isEmptyShortLane(const LaneBinding *lane)
{
    // A lane whose last cell lies EXIT_HORIZON cells or more on is not short, whatever it holds:
    // the cached distances tell so without walking it, which many waiters would do every step.
    const Cell *first = lane->firstCell;
    if (first && lane->lastCell && first->hasCache() && lane->lastCell->hasCache() &&
        first->cellsToEnd() - lane->lastCell->cellsToEnd() >= EXIT_HORIZON)
        return false;
    int32_t cells = 0;
    for (const Cell *c = lane->firstCell; c; c = c->next(), ++cells) {
        if (c->vehicle() || cells == EXIT_HORIZON)
            return false;
        if (c == lane->lastCell)
            return true;
    }
    return true;
}

void findUpstreamWaiter(const LaneBinding *lane, const LaneBinding *room, const Vehicle *self, int32_t waited,
                        int32_t hops, const Vehicle *&longest)
{
    for (const Cell *path : lane->pathsInto) {
        const Cell *stopLine = path->previous();
        if (!stopLine)
            continue;
        if (const Vehicle *v = stopLine->vehicle()) {
            const int32_t stood = v->stoodAtStopLine();
            if (v != self && v->frontCell() == stopLine && v->plannedPathCell() == path && v->shownRoomLane() == room &&
                waitedLonger(v, stood, self, waited) &&
                (!longest || waitedLonger(v, stood, longest, longest->stoodAtStopLine())))
                longest = v;
            continue;
        }
        // Nobody waits there, but one may wait further back for room that lies beyond both lanes.
        if (hops < MAX_SHORT_LANES && stopLine->wayLink() && isEmptyShortLane(stopLine->wayLink()))
            findUpstreamWaiter(stopLine->wayLink(), room, self, waited, hops + 1, longest);
    }
}

} // namespace

const Vehicle *upstreamWaiterForRoom(const LaneBinding *lane, const LaneBinding *room, const Vehicle *self,
                                     int32_t waited)
{
    const Vehicle *longest = nullptr;
    if (lane && room)
        findUpstreamWaiter(lane, room, self, waited, 1, longest);
    return longest;
}

bool exitHasRoom(const Vehicle *vehicle)
{
    return vehicle && vehicle->nextExitLane() && !entryWithoutRoom(vehicle);
}

namespace {

/// What a driver sees of the lane after a crossroad, up to EXIT_HORIZON cells.
struct LaneView
{
    int32_t cells = 0;
    int32_t occupied = 0;
    int32_t vehicles = 0;
};

/// The lane from `first` on, and on through the crossroads where it has one way only and nothing
/// else joins that way: such a crossroad (a tram track crossing the road, the node where two pieces
/// of one way meet) only continues the lane, and a queue reaches back through it as along a lane.
LaneView viewAhead(const Cell *first)
{
    LaneView view;
    for (const Cell *c = first; c && view.cells < EXIT_HORIZON;) {
        const int32_t toEnd = c->cellsToEnd() + 1;
        const int32_t n = std::min(toEnd, EXIT_HORIZON - view.cells);
        view.cells += n;
        const Occupancy o = occupancyAhead(c, n);
        view.occupied += o.cells;
        view.vehicles += o.vehicles;
        const Cell *end = n == toEnd ? c->chainEnd() : nullptr;
        const Crossroad *x = end ? end->crossroad() : nullptr;
        const std::vector<PathPair> *pairs = x ? x->pathsFrom(end->wayLink()) : nullptr;
        if (!pairs || pairs->size() != 1 || pairs->front().exitLane->pathsInto.size() != 1 || c == first->previous())
            break;
        c = pairs->front().pathCell;
    }
    return view;
}

} // namespace

bool exitHasRoom(int32_t length, const LaneBinding *exit, const Cell *p)
{
    if (!exit)
        return false;
    const Cell *f = exit->firstCell;
    if (!f) // a lane without cells cannot be judged, like one shorter than the vehicle
        return true;
    const LaneView view = viewAhead(f);
    const int32_t visible = view.cells;
    const int32_t o = view.occupied;
    int32_t merging = 0, mergingVehicles = 0;
    mergingOccupancy(f, p, merging, mergingVehicles);
    const int32_t q = takenOnPathInto(p, f) + merging;
    // A lane shorter than the vehicle cannot hold it whatever the count says; it takes the vehicle
    // when it is empty, so that no second vehicle waits on the crossroad for it.
    if (length > visible)
        return o == 0 && q == 0;
    const int32_t w = view.vehicles + mergingVehicles;
    return visible - o - q - EXIT_GAP * w >= length;
}

const Vehicle *roomHolder(const Vehicle *vehicle, const LaneBinding **lane)
{
    const Vehicle *beyond = nullptr;
    const RouteEntry *full = vehicle ? entryWithoutRoom(vehicle, nullptr, &beyond) : nullptr;
    if (lane)
        *lane = full ? full->exitLane : nullptr;
    const Vehicle *holder = full ? roomHolder(full->pathCell, full->exitLane, vehicle) : nullptr;
    return holder ? holder : beyond;
}

const Vehicle *roomHolder(const Cell *path, const LaneBinding *exit, const Vehicle *self)
{
    if (!exit || !exit->firstCell)
        return nullptr;
    // The vehicle nearest the start of the exit: the room grows when it moves on.
    const int32_t links = linksThroughCrossroad(path, exit->firstCell);
    const Cell *c = links > 0 ? path : exit->firstCell;
    for (int32_t i = 0; c && i < links + EXIT_HORIZON; ++i, c = c->next())
        if (const Vehicle *v = c->vehicle(); v && v != self)
            return v;
    // Nothing on its own way: the room is kept for vehicles on other paths into the lane.
    for (const Cell *start : exit->pathsInto)
        if (start != path)
            if (const Vehicle *v = firstOnPath(start); v && v != self)
                return v;
    return nullptr;
}

bool mayWaitInCrossroad(const Crossroad *crossroad, const Vehicle *vehicle)
{
    const Cell *path = vehicle->nextPathCell();
    if (!crossroad || !path || !pathIsClear(path))
        return false;
    // The empty path and the empty start of the exit lane must hold the whole vehicle, so that it
    // leaves its own lane wholly and makes room there.
    int32_t free = cellsOnPath(path);
    const LaneBinding *exit = vehicle->nextExitLane();
    for (const Cell *c = exit ? exit->firstCell : nullptr; c && !c->vehicle() && free < vehicle->length();
         c = c->next())
        ++free;
    return free >= vehicle->length() && crossroad->hasRightOfWay(vehicle);
}

const Vehicle *conflictingLaneBlocker(const LaneBinding *lane, const std::vector<LaneBinding *> &exits, int32_t steps,
                                      const Vehicle *asker)
{
    const Cell *last = lane ? lane->lastCell : nullptr;
    if (!last)
        return nullptr;
    // No vehicle farther upstream than this can reach the crossroad within `steps` steps.
    const int64_t reach = int64_t(std::max(steps, 1)) * Vehicle::TOP_SPEED;
    const Vehicle *examined = nullptr;
    int64_t walked = 0;
    for (const Cell *c = last; c && walked <= reach; c = c->previous(), ++walked) {
        const Vehicle *v = c->vehicle();
        if (v && v != examined) {
            examined = v;
            if (c != v->frontCell())
                return v; // its body reaches into the crossroad
            if (std::find(exits.begin(), exits.end(), v->plannedExitLane()) == exits.end())
                return nullptr;
            // A vehicle standing at the stop line whose exit has no room cannot take its turn, nor
            // can anyone queued behind it: waiting for them could wait for good when that room is
            // held by traffic that in turn waits for this vehicle (two crossroads joined by a short lane).
            // Nor does one whose room is a longer waiter's: it lets that one pass first.
            if (c == last && v->speed() == 0 &&
                ((asker && !lane->isTram && waitsLonger(asker, v)) || !hasRoomAsShown(v) ||
                 (!lane->isTram && last->crossroad() && last->crossroad()->longerWaiterForRoomAsShown(v))))
                return nullptr;
            // In a stream that never leaves a gap the traffic that yields would wait for good: one
            // that has waited past LONG_WAIT goes as soon as the next of the stream can still stop
            // before the crossroad, and that one lets it go (see longWaiterToLetGo).
            if (asker && !lane->isTram && waitsLonger(asker, v) && v->brakingDistance() < c->cellsToEnd())
                return nullptr;
            if (v->stepsToCover(c->cellsToEnd()) < steps)
                return v; // it arrives before this vehicle has cleared the crossroad
        }
        if (c->previousIs(last))
            break;
    }
    return nullptr;
}

const Vehicle *conflictBlocker(const Vehicle *vehicle, const std::vector<ConflictRecord> &records, bool byWaiting)
{
    const ConflictRecord *record = Crossroad::findRecord(records, vehicle->entryKey(), vehicle->nextExitLane());
    if (!record)
        return nullptr;
    const int32_t c = cellsOnPath(vehicle->nextPathCell());
    const int32_t steps = int32_t(std::lround(1.25 * vehicle->stepsToCover(c + vehicle->length())));
    for (const auto &entry : record->lanes)
        if (const Vehicle *v = conflictingLaneBlocker(entry.first, entry.second, steps, byWaiting ? vehicle : nullptr))
            return v;
    return nullptr;
}

bool waitsLonger(const Vehicle *a, const Vehicle *b)
{
    const int32_t wa = a->stoodAtStopLine();
    const int32_t wb = b->stoodAtStopLine();
    const LaneBinding *entry = a->entryKey();
    return wa >= LONG_WAIT && (wa > wb || (wa == wb && a->id() < b->id())) && entry && !entry->isTram;
}

bool yieldsTo(const std::vector<ConflictRecord> &records, const LaneBinding *entry, const LaneBinding *exit,
              const LaneBinding *lane, const LaneBinding *laneExit)
{
    const ConflictRecord *record = Crossroad::findRecord(records, entry, exit);
    if (!record)
        return false;
    const auto it = record->lanes.find(const_cast<LaneBinding *>(lane));
    return it != record->lanes.end() && std::find(it->second.begin(), it->second.end(), laneExit) != it->second.end();
}

const Vehicle *longWaiterToLetGo(const Crossroad *crossroad, const Vehicle *vehicle)
{
    // Only one that has stood at a stop line here past LONG_WAIT waits longer; every such one is
    // counted, and mostly there is none, which spares reading every stop line.
    if (!crossroad->junction || crossroad->longStanders.load(std::memory_order_relaxed) == 0)
        return nullptr;
    const LaneBinding *entry = vehicle->entryKey();
    const LaneBinding *exit = vehicle->nextExitLane();
    for (const WayEnd *end : crossroad->junction->wayEnds) {
        const LaneBinding *lane = end->firstIncomingLane();
        const Cell *stopLine = lane ? lane->lastCell : nullptr;
        const Vehicle *other = stopLine ? stopLine->vehicle() : nullptr;
        if (!other || other == vehicle || lane == entry || other->frontCell() != stopLine ||
            !waitsLonger(other, vehicle))
            continue;
        const LaneBinding *otherExit = other->plannedExitLane();
        // One whose exit has no room cannot take the turn it is given; waiting for it could wait
        // for good when that room is held by traffic queued behind this vehicle.
        if (!hasRoomAsShown(other))
            continue;
        if (otherExit == exit || yieldsTo(crossroad->conflicts, lane, otherExit, entry, exit) ||
            yieldsTo(crossroad->conflicts, entry, exit, lane, otherExit))
            return other;
    }
    return nullptr;
}

const Vehicle *crossingPathBlocker(const Crossroad *crossroad, const Vehicle *vehicle)
{
    const ConflictRecord *record =
        Crossroad::findRecord(crossroad->conflicts, vehicle->entryKey(), vehicle->nextExitLane());
    if (!record)
        return nullptr;
    for (const auto &entry : record->lanes) {
        const std::vector<PathPair> *pairs = crossroad->pathsFrom(entry.first);
        if (!pairs)
            continue;
        for (const LaneBinding *exit : entry.second)
            for (const PathPair &pair : *pairs)
                if (pair.exitLane == exit)
                    if (const Vehicle *v = firstOnPath(pair.pathCell))
                        return v;
    }
    return nullptr;
}

Vehicle *resolveDeadlock(Crossroad *crossroad)
{
    return resolveDeadlock(crossroad, [](const Cell *e) -> const Vehicle * { return approachingVehicle(e, 100); });
}

Vehicle *resolveDeadlock(Crossroad *crossroad, const std::function<const Vehicle *(const Cell *)> &upstream)
{
    if (!crossroad || crossroad->hasSemaphore() || !crossroad->junction)
        return nullptr;
    // Every approach must be empty or blocked, with more than two blocked. Count the occupied
    // approaches first: with two or fewer nothing can be released whatever the right-of-way tests
    // say, and the first vehicle that may go ends the search. The step thread alone runs this.
    thread_local std::vector<const Vehicle *> approaching;
    approaching.clear();
    for (const WayEnd *end : crossroad->junction->wayEnds)
        for (const LaneBinding *lane : {end->firstIncomingLane(), end->incomingTramTrack()})
            if (lane)
                if (const Vehicle *v = upstream(lane->lastCell))
                    approaching.push_back(v);
    if (approaching.size() <= 2)
        return nullptr;
    // Both tests below only read. A vehicle on the crossroad, found by one walk over its paths, is
    // the cheaper answer by far, and the more common: it is asked first.
    if (!noneCrossing(crossroad))
        return nullptr;
    for (const Vehicle *v : approaching)
        if (crossroad->mayGo(v) && !v->isLoading() && !v->isWaiting())
            return nullptr;
    if (Vehicle *released = releaseLongestQueue(crossroad, crossroad->tramStopLines()))
        return released;
    return releaseLongestQueue(crossroad, crossroad->roadStopLines());
}
