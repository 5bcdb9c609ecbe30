#ifndef KOLVEX_MODEL_CROSSROAD_H
#define KOLVEX_MODEL_CROSSROAD_H

#include "bindingrecords.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <vector>

class Cell;
class RandomStream;
class Semaphore;
class Vehicle;

/// One way through a crossroad from an entry: the exit lane and the first cell of the path.
struct PathPair
{
    LaneBinding *exitLane = nullptr;
    Cell *pathCell = nullptr;
};

/// Lanes (with their exits) whose traffic crosses one (entry, exit) path.
using ConflictMap = std::map<LaneBinding *, std::vector<LaneBinding *>, LaneOrder>;

/// The paths that the (entryKey, exitLane) path has to let pass.
struct ConflictRecord
{
    LaneBinding *entryKey = nullptr;
    LaneBinding *exitLane = nullptr;
    ConflictMap lanes;
};

/// A junction of three or more way ends: its paths, right-of-way rules and optional signal.
class Crossroad
{
public:
    enum Kind : int32_t { RoadOnly = 0, TramOnly = 1, Mixed = 2 };

    Crossroad() = default;
    Crossroad(const Crossroad &) = delete;
    Crossroad &operator=(const Crossroad &) = delete;

    int32_t kind = TramOnly;
    NodeBinding *junction = nullptr;
    /// Ways out for each incoming lane (the `wayLink` of the lane's cells).
    std::map<LaneBinding *, std::vector<PathPair>, LaneOrder> paths;
    /// Yield rules without a signal.
    std::vector<ConflictRecord> conflicts;
    /// Yield rules that hold even on green.
    std::vector<ConflictRecord> signalConflicts;
    Semaphore *semaphore = nullptr;
    /// The vehicles ahead of which this crossroad lies that have stood at its stop lines for
    /// `LONG_WAIT` steps or more, and those that show they wait for room, counted by them as they
    /// commit, on many threads at once: the rules look for such a vehicle at the stop lines only
    /// where there is one, mostly nowhere.
    mutable std::atomic<int32_t> longStanders{0};
    mutable std::atomic<int32_t> roomWaiters{0};

    void setJunction(NodeBinding *node) { junction = node; }
    void setKind(int32_t k) { kind = k; }
    void setSemaphore(Semaphore *s) { semaphore = s; }
    bool hasSemaphore() const { return semaphore != nullptr; }

    void addPath(LaneBinding *entryKey, LaneBinding *exitLane, Cell *pathCell);
    /// Records that the (entryKey, exitLane) path yields to traffic from `lane` heading for `laneExit`.
    void addConflict(LaneBinding *entryKey, LaneBinding *exitLane, LaneBinding *lane, LaneBinding *laneExit);
    void addSignalConflict(LaneBinding *entryKey, LaneBinding *exitLane, LaneBinding *lane, LaneBinding *laneExit);
    /// The first record for (entryKey, exitLane), null if none.
    static const ConflictRecord *findRecord(const std::vector<ConflictRecord> &records, const LaneBinding *entryKey,
                                            const LaneBinding *exitLane);

    /// Last cell of each incoming tram track, in way-end order.
    std::vector<Cell *> tramStopLines() const;
    /// Last cell of each first incoming road lane, in way-end order.
    std::vector<Cell *> roadStopLines() const;
    /// Per way end: the road stop line, then the tram stop line (those that exist).
    std::vector<Cell *> stopLines() const;

    /// The first path from `entryKey` whose exit lane belongs to the way with this id; null if none.
    const PathPair *findPath(const LaneBinding *entryKey, int64_t wayId) const;
    /// A path from `entryKey` chosen uniformly by one draw of `random`; null if the entry has none.
    const PathPair *randomPath(const LaneBinding *entryKey, RandomStream &random) const;
    /// The paths from `entryKey`, null for an absent entry.
    const std::vector<PathPair> *pathsFrom(const LaneBinding *entryKey) const;

    // Run-time tests, called concurrently from the vehicle decisions; they only read.

    /// Whether no other way leads to `exitLane` and `entryKey` leads only there (never at a crossroad
    /// of road lanes and tram tracks).
    bool isUncontested(const LaneBinding *entryKey, const LaneBinding *exitLane) const;
    /// Whether the planned path of `vehicle` has to let other paths pass when there is no signal.
    bool hasConflicts(const Vehicle *vehicle) const;
    /// Whether `vehicle`, at the end of a chain entering this crossroad, may enter it now: it has
    /// the right of way and room on its exit.
    bool mayGo(const Vehicle *vehicle) const;
    /// Whether the signal or the priority rules let `vehicle` go now, room on its exit aside.
    bool hasRightOfWay(const Vehicle *vehicle) const;
    /// Whether the crossroad has no signal or shows green to the way `vehicle` comes from.
    bool showsGreenTo(const Vehicle *vehicle) const;
    /// The vehicle that the priority rules (or, on green, the rules that hold even then) make
    /// `vehicle` let go first; null if none.
    const Vehicle *rightOfWayBlocker(const Vehicle *vehicle) const;
    /// Whether room on the exit `vehicle` plans is its to take: no vehicle standing at another stop
    /// line of this crossroad has waited longer for room on that exit.
    bool isTurnForRoom(const Vehicle *vehicle) const;
    /// The vehicle standing at a stop line of this crossroad that waits longer than `vehicle` for
    /// room on the same exit; null if none.
    const Vehicle *longerWaiterForRoom(const Vehicle *vehicle) const;
    /// The same for another vehicle, by the exit it showed at its last commit: while decisions run,
    /// its live route may be changing.
    const Vehicle *longerWaiterForRoomAsShown(const Vehicle *other) const;
    /// The same for `vehicle` heading for `exit`.
    const Vehicle *longerWaiterForRoom(const Vehicle *vehicle, const LaneBinding *exit) const;
    /// Whether no vehicle is on any path through the crossroad.
    bool isAreaFree() const;

private:
    static void addTo(std::vector<ConflictRecord> &records, LaneBinding *entryKey, LaneBinding *exitLane,
                      LaneBinding *lane, LaneBinding *laneExit);
};

#endif
