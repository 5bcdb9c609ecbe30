#include "crossroad.h"

#include "random.h"

void Crossroad::addPath(LaneBinding *entryKey, LaneBinding *exitLane, Cell *pathCell)
{
    paths[entryKey].push_back(PathPair{exitLane, pathCell});
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
