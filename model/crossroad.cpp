#include "crossroad.h"

#include "cell.h"

#include "random.h"
#include "rightofway.h"
#include "semaphore.h"
#include "vehicle.h"

void Crossroad::addPath(LaneBinding *entryKey, LaneBinding *exitLane, Cell *pathCell)
{
    paths[entryKey].push_back(PathPair{exitLane, pathCell});
    if (exitLane)
        exitLane->pathsInto.push_back(pathCell);
}

void Crossroad::addConflict(LaneBinding *entryKey, LaneBinding *exitLane, LaneBinding *lane, LaneBinding *laneExit)
{
    addTo(conflicts, entryKey, exitLane, lane, laneExit);
}

void Crossroad::addSignalConflict(LaneBinding *entryKey, LaneBinding *exitLane, LaneBinding *lane,
                                  LaneBinding *laneExit)
{
    addTo(signalConflicts, entryKey, exitLane, lane, laneExit);
}

const ConflictRecord *Crossroad::findRecord(const std::vector<ConflictRecord> &records, const LaneBinding *entryKey,
                                            const LaneBinding *exitLane)
{
    for (const ConflictRecord &record : records)
        if (record.entryKey == entryKey && record.exitLane == exitLane)
            return &record;
    return nullptr;
}

void Crossroad::addTo(std::vector<ConflictRecord> &records, LaneBinding *entryKey, LaneBinding *exitLane,
                      LaneBinding *lane, LaneBinding *laneExit)
{
    ConflictRecord *record = const_cast<ConflictRecord *>(findRecord(records, entryKey, exitLane));
    if (!record) {
        records.push_back(ConflictRecord{entryKey, exitLane, {}});
        record = &records.back();
    }
    record->lanes[lane].push_back(laneExit);
}

std::vector<Cell *> Crossroad::tramStopLines() const
{
    std::vector<Cell *> cells;
    if (!junction)
        return cells;
    for (const WayEnd *end : junction->wayEnds)
        if (LaneBinding *track = end->incomingTramTrack())
            cells.push_back(track->lastCell);
    return cells;
}

std::vector<Cell *> Crossroad::roadStopLines() const
{
    std::vector<Cell *> cells;
    if (!junction)
        return cells;
    for (const WayEnd *end : junction->wayEnds)
        if (LaneBinding *lane = end->firstIncomingLane())
            cells.push_back(lane->lastCell);
    return cells;
}

std::vector<Cell *> Crossroad::stopLines() const
{
    std::vector<Cell *> cells;
    if (!junction)
        return cells;
    for (const WayEnd *end : junction->wayEnds) {
        if (LaneBinding *lane = end->firstIncomingLane())
            cells.push_back(lane->lastCell);
        if (LaneBinding *track = end->incomingTramTrack())
            cells.push_back(track->lastCell);
    }
    return cells;
}

const std::vector<PathPair> *Crossroad::pathsFrom(const LaneBinding *entryKey) const
{
    auto it = paths.find(const_cast<LaneBinding *>(entryKey));
    return it == paths.end() ? nullptr : &it->second;
}

const PathPair *Crossroad::findPath(const LaneBinding *entryKey, int64_t wayId) const
{
    const std::vector<PathPair> *pairs = pathsFrom(entryKey);
    if (!pairs)
        return nullptr;
    for (const PathPair &pair : *pairs)
        if (pair.exitLane && pair.exitLane->wayId() == wayId)
            return &pair;
    return nullptr;
}

const PathPair *Crossroad::randomPath(const LaneBinding *entryKey, RandomStream &random) const
{
    const std::vector<PathPair> *pairs = pathsFrom(entryKey);
    if (!pairs || pairs->empty())
        return nullptr;
    return &(*pairs)[size_t(random.next()) % pairs->size()];
}

bool Crossroad::isUncontested(const LaneBinding *entryKey, const LaneBinding *exitLane) const
{
    if (kind == Mixed)
        return false;
    // The entry's only path must be the one asked about, not merely some path.
    const std::vector<PathPair> *own = pathsFrom(entryKey);
    if (!own || own->size() != 1 || own->front().exitLane != exitLane)
        return false;
    int32_t leadingThere = 0;
    for (const auto &entry : paths)
        for (const PathPair &pair : entry.second)
            if (pair.exitLane == exitLane && ++leadingThere > 1)
                return false;
    return leadingThere == 1;
}

bool Crossroad::hasConflicts(const Vehicle *vehicle) const
{
    const ConflictRecord *record = findRecord(conflicts, vehicle->entryKey(), vehicle->nextExitLane());
    return record && !record->lanes.empty();
}

bool Crossroad::mayGo(const Vehicle *vehicle) const
{
    return hasRightOfWay(vehicle) && exitHasRoom(vehicle) && isTurnForRoom(vehicle);
}

bool Crossroad::isTurnForRoom(const Vehicle *vehicle) const
{
    return longerWaiterForRoom(vehicle) == nullptr;
}

const Vehicle *Crossroad::longerWaiterForRoom(const Vehicle *vehicle) const
{
    return vehicle ? longerWaiterForRoom(vehicle, vehicle->nextExitLane()) : nullptr;
}

const Vehicle *Crossroad::longerWaiterForRoomAsShown(const Vehicle *other) const
{
    return other ? longerWaiterForRoom(other, other->plannedExitLane()) : nullptr;
}

const Vehicle *Crossroad::longerWaiterForRoom(const Vehicle *vehicle, const LaneBinding *exit) const
{
    // Room on a lane comes a little at a time, and a short car takes a gap a bus could not use:
    // without an order the longer vehicle, or the one from the slower approach, would wait for
    // good. So room goes to the vehicles waiting for it in the order they began to wait, whatever
    // the priority between their approaches: where the exit is full, the traffic that has priority
    // would otherwise take all of it. One that stands at the stop line out of its turn lets the
    // others pass (see conflictingLaneBlocker).
    if (!exit || !junction)
        return nullptr;
    const int32_t waited = vehicle->frontCell() && vehicle->frontCell()->crossroad() ? vehicle->stoodAtStopLine() : 0;
    // Only one that shows it waits for room, or has stood past LONG_WAIT, is looked for at the
    // stop lines; every such one is counted here, and mostly there is none.
    const bool anyAtStopLines =
        longStanders.load(std::memory_order_relaxed) > 0 || roomWaiters.load(std::memory_order_relaxed) > 0;
    if (anyAtStopLines) {
        for (const WayEnd *end : junction->wayEnds)
            for (const LaneBinding *lane : end->incoming().lanes) {
                const Vehicle *other = lane->lastCell ? lane->lastCell->vehicle() : nullptr;
                if (!other || other == vehicle || other->frontCell() != lane->lastCell ||
                    other->plannedExitLane() != exit)
                    continue;
                // One standing at a red light after a long wait keeps its place too: at a signal
                // whose green falls while the exit is full, the room would go to the other
                // approaches for good.
                const WaitCause cause = other->shownWaitCause();
                if (cause != WaitCause::ExitRoom &&
                    !(cause == WaitCause::Signal && other->stoodAtStopLine() >= LONG_WAIT))
                    continue;
                // One whose tail still stands in the crossroad behind it (it came through a lane
                // shorter than itself) holds that crossroad too while it waits: it goes first,
                // unless the other has waited past LONG_WAIT, or a stream of such vehicles would hold
                // the other for good.
                const bool holdsCrossroadBehind = other->standsAcrossCrossroad();
                if (holdsCrossroadBehind != vehicle->standsAcrossCrossroad()) {
                    if (holdsCrossroadBehind && !waitsLonger(vehicle, other))
                        return other;
                    if (!holdsCrossroadBehind && !waitsLonger(other, vehicle))
                        continue;
                }
                const int32_t otherWaited = other->stoodAtStopLine();
                if (otherWaited > waited || (otherWaited == waited && other->id() < vehicle->id()))
                    return other;
            }
    }
    // A vehicle before a lane shorter than itself waits for room on a lane after this crossroad:
    // the cars that come to this stop line meanwhile would take every gap it needs. It shows that
    // it waits for this room, and the lane counts those that do: mostly none.
    if (exit->waitersForRoom.load(std::memory_order_relaxed) == 0)
        return nullptr;
    for (const WayEnd *end : junction->wayEnds)
        for (const LaneBinding *lane : end->incoming().lanes) {
            if (const Vehicle *other = upstreamWaiterForRoom(lane, exit, vehicle, waited))
                return other;
        }
    return nullptr;
}

bool Crossroad::hasRightOfWay(const Vehicle *vehicle) const
{
    return vehicle && showsGreenTo(vehicle) && rightOfWayBlocker(vehicle) == nullptr;
}

bool Crossroad::showsGreenTo(const Vehicle *vehicle) const
{
    const LaneBinding *entry = vehicle->entryKey();
    return !semaphore || semaphore->isGreen(entry ? entry->wayBinding() : nullptr);
}

const Vehicle *Crossroad::rightOfWayBlocker(const Vehicle *vehicle) const
{
    // None of the parts has side effects, so stopping at the first failing one gives the same answer.
    if (semaphore)
        return conflictBlocker(vehicle, signalConflicts);
    if (const Vehicle *v = conflictBlocker(vehicle, conflicts, true))
        return v;
    if (const Vehicle *v = crossingPathBlocker(this, vehicle))
        return v;
    return longWaiterToLetGo(this, vehicle);
}

bool Crossroad::isAreaFree() const
{
    for (const auto &entry : paths)
        for (const PathPair &pair : entry.second)
            if (!pathIsClear(pair.pathCell))
                return false;
    return true;
}
