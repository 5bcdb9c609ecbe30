#include "crossroad.h"

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
    return hasRightOfWay(vehicle) && exitHasRoom(vehicle);
}

bool Crossroad::hasRightOfWay(const Vehicle *vehicle) const
{
    if (!vehicle)
        return false;
    // None of the parts has side effects, so stopping at the first failing one gives the same answer.
    if (semaphore) {
        const LaneBinding *entry = vehicle->entryKey();
        return semaphore->isGreen(entry ? entry->wayBinding() : nullptr) && conflictsAreClear(vehicle, signalConflicts);
    }
    return conflictsAreClear(vehicle, conflicts, true) && crossingPathsAreClear(this, vehicle) &&
           !letsLongWaiterGo(this, vehicle);
}

bool Crossroad::isAreaFree() const
{
    for (const auto &entry : paths)
        for (const PathPair &pair : entry.second)
            if (!pathIsClear(pair.pathCell))
                return false;
    return true;
}
