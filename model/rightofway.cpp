#include "rightofway.h"

#include "cell.h"
#include "chain.h"
#include "semaphore.h"
#include "vehicle.h"

#include <algorithm>
#include <cmath>

namespace {

/// How far the exit lane and its occupants are looked at by the room test, in cells.
constexpr int32_t EXIT_HORIZON = 100;
/// The gap counted behind every vehicle on the exit lane, in cells.
constexpr int32_t EXIT_GAP = 6;
/// The highest speed any vehicle reaches (cells per step); bounds how far upstream a vehicle can
/// still reach a crossroad within a given number of steps.
constexpr int32_t TOP_SPEED = 14;

/// Cells of the crossroad path from `cell` on.
int32_t crossroadCells(const Cell *cell)
{
    int32_t count = 0;
    for (const Cell *c = cell; c && c->inCrossroad; c = c->next) {
        ++count;
        if (c->next == cell)
            break;
    }
    return count;
}

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
        c = c->next;
        ++links;
        if (!c || c == from)
            return 0;
    }
    return links;
}

bool releaseLongestQueue(const std::vector<Cell *> &stopLines)
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
        if (v && exitHasRoom(v) && !v->isLoading() && !v->isWaiting()) {
            v->accelerate1();
            v->commitSpeed();
            return true;
        }
    }
    return false;
}

/// Whether no vehicle on the crossroad's paths is still crossing it. A vehicle whose front has
/// left the crossroad and stands is waiting further on (for a crossroad beyond a lane shorter than
/// it, typically), so its tail is not counted: were it counted, two such crossroads could each
/// wait for the other's waiting vehicle for good.
bool noneCrossing(const Crossroad *crossroad)
{
    for (const auto &entry : crossroad->paths)
        for (const PathPair &pair : entry.second)
            for (const Cell *c = pair.pathCell; c && c->inCrossroad; c = c->next) {
                const Vehicle *v = c->vehicle();
                if (v && (v->speed() != 0 || !v->frontCell() || v->frontCell()->inCrossroad))
                    return false;
                if (c->next == pair.pathCell)
                    break;
            }
    return true;
}

} // namespace

bool pathIsClear(const Cell *cell)
{
    for (const Cell *c = cell; c && c->inCrossroad; c = c->next) {
        if (c->vehicle())
            return false;
        if (c->next == cell)
            break;
    }
    return true;
}

bool exitHasRoom(const Vehicle *vehicle)
{
    return vehicle && exitHasRoom(vehicle->length(), vehicle->nextExitLane(), vehicle->nextPathCell());
}

bool exitHasRoom(int32_t length, const LaneBinding *exit, const Cell *p)
{
    if (!exit)
        return false;
    const Cell *f = exit->firstCell;
    if (!f) // a lane without cells cannot be judged, like one shorter than the vehicle
        return true;
    const int32_t visible = std::min(f->cellsToEnd() + 1, EXIT_HORIZON);
    const int32_t a = linksThroughCrossroad(p, f);
    const int32_t o = occupiedAhead(f, EXIT_HORIZON);
    const int32_t q = occupiedAhead(p, a);
    // A lane shorter than the vehicle cannot hold it whatever the count says; it takes the vehicle
    // when it is empty, so that no second vehicle waits on the crossroad for it.
    if (length > visible)
        return o == 0 && q == 0;
    const int32_t w = vehiclesAhead(f, EXIT_HORIZON);
    return visible - o - q - EXIT_GAP * w >= length;
}

bool mayWaitInCrossroad(const Crossroad *crossroad, const Vehicle *vehicle)
{
    const Cell *path = vehicle->nextPathCell();
    if (!crossroad || !path || !pathIsClear(path))
        return false;
    // The empty path and the empty start of the exit lane must hold the whole vehicle, so that it
    // leaves its own lane wholly and makes room there.
    int32_t free = crossroadCells(path);
    const LaneBinding *exit = vehicle->nextExitLane();
    for (const Cell *c = exit ? exit->firstCell : nullptr; c && !c->vehicle() && free < vehicle->length(); c = c->next)
        ++free;
    return free >= vehicle->length() && crossroad->hasRightOfWay(vehicle);
}

bool conflictingLaneIsClear(const LaneBinding *lane, const std::vector<LaneBinding *> &exits, int32_t steps,
                            const Vehicle *asker)
{
    const Cell *last = lane ? lane->lastCell : nullptr;
    if (!last)
        return true;
    // No vehicle farther upstream than this can reach the crossroad within `steps` steps.
    const int64_t reach = int64_t(std::max(steps, 1)) * TOP_SPEED;
    const Vehicle *examined = nullptr;
    int64_t walked = 0;
    for (const Cell *c = last; c && walked <= reach; c = c->previous, ++walked) {
        const Vehicle *v = c->vehicle();
        if (v && v != examined) {
            examined = v;
            if (c != v->frontCell())
                return false; // its body reaches into the crossroad
            if (std::find(exits.begin(), exits.end(), v->plannedExitLane()) == exits.end())
                return true;
            // A vehicle standing at the stop line whose exit has no room cannot take its turn, nor
            // can anyone queued behind it: waiting for them could wait for good when that room is
            // held by traffic that in turn waits for this vehicle (two crossroads joined by a short lane).
            if (c == last && v->speed() == 0 &&
                ((asker && !lane->isTram && waitsLonger(asker, v)) ||
                 !exitHasRoom(v->length(), v->plannedExitLane(), v->plannedPathCell())))
                return true;
            if (v->stepsToCover(c->cellsToEnd()) < steps)
                return false; // it arrives before this vehicle has cleared the crossroad
        }
        if (c->previous == last)
            break;
    }
    return true;
}

bool conflictsAreClear(const Vehicle *vehicle, const std::vector<ConflictRecord> &records, bool byWaiting)
{
    const ConflictRecord *record = Crossroad::findRecord(records, vehicle->entryKey(), vehicle->nextExitLane());
    if (!record)
        return true;
    const int32_t c = crossroadCells(vehicle->nextPathCell());
    const int32_t steps = int32_t(std::lround(1.25 * vehicle->stepsToCover(c + vehicle->length())));
    for (const auto &entry : record->lanes)
        if (!conflictingLaneIsClear(entry.first, entry.second, steps, byWaiting ? vehicle : nullptr))
            return false;
    return true;
}

bool waitsLonger(const Vehicle *a, const Vehicle *b)
{
    const int32_t wa = a->stoodAtStopLine();
    const int32_t wb = b->stoodAtStopLine();
    const LaneBinding *entry = a->entryKey();
    return wa >= LONG_WAIT && (wa > wb || (wa == wb && a->id() < b->id())) && entry && !entry->isTram;
}

namespace {

/// Whether the rule of `records` makes traffic from `entry` to `exit` yield to traffic from `lane` to `laneExit`.
bool yieldsTo(const std::vector<ConflictRecord> &records, const LaneBinding *entry, const LaneBinding *exit,
              const LaneBinding *lane, const LaneBinding *laneExit)
{
    const ConflictRecord *record = Crossroad::findRecord(records, entry, exit);
    if (!record)
        return false;
    const auto it = record->lanes.find(const_cast<LaneBinding *>(lane));
    return it != record->lanes.end() && std::find(it->second.begin(), it->second.end(), laneExit) != it->second.end();
}

} // namespace

bool letsLongWaiterGo(const Crossroad *crossroad, const Vehicle *vehicle)
{
    if (!crossroad->junction)
        return false;
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
        if (!exitHasRoom(other->length(), otherExit, other->plannedPathCell()))
            continue;
        if (otherExit == exit || yieldsTo(crossroad->conflicts, lane, otherExit, entry, exit) ||
            yieldsTo(crossroad->conflicts, entry, exit, lane, otherExit))
            return true;
    }
    return false;
}

bool crossingPathsAreClear(const Crossroad *crossroad, const Vehicle *vehicle)
{
    const ConflictRecord *record =
        Crossroad::findRecord(crossroad->conflicts, vehicle->entryKey(), vehicle->nextExitLane());
    if (!record)
        return true;
    for (const auto &entry : record->lanes) {
        const std::vector<PathPair> *pairs = crossroad->pathsFrom(entry.first);
        if (!pairs)
            continue;
        for (const LaneBinding *exit : entry.second)
            for (const PathPair &pair : *pairs)
                if (pair.exitLane == exit && !pathIsClear(pair.pathCell))
                    return false;
    }
    return true;
}

void resolveDeadlock(Crossroad *crossroad)
{
    resolveDeadlock(crossroad, [](const Cell *e) -> const Vehicle * { return approachingVehicle(e, 100); });
}

void resolveDeadlock(Crossroad *crossroad, const std::function<const Vehicle *(const Cell *)> &upstream)
{
    if (!crossroad || crossroad->hasSemaphore() || !crossroad->junction)
        return;
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
        return;
    for (const Vehicle *v : approaching)
        if (crossroad->mayGo(v) && !v->isLoading() && !v->isWaiting())
            return;
    if (!noneCrossing(crossroad))
        return;
    if (!releaseLongestQueue(crossroad->tramStopLines()))
        releaseLongestQueue(crossroad->roadStopLines());
}
