#ifndef KOLVEX_MODEL_VEHICLE_H
#define KOLVEX_MODEL_VEHICLE_H

#include "event.h"
#include "lanechange.h"
#include "random.h"
#include "units.h"
#include "waitcause.h"

#include <cstdint>
#include <vector>

class Cell;
class Crossroad;
class LaneBinding;
class WaitCycles;
struct PathPair;

/// A crossroad ahead of a vehicle and the path chosen through it.
struct RouteEntry
{
    Crossroad *crossroad = nullptr;
    Cell *pathCell = nullptr;        ///< first cell of the chosen path through the crossroad
    LaneBinding *entryKey = nullptr; ///< the incoming lane: `wayLink` of the last cell before the crossroad
    LaneBinding *exitLane = nullptr; ///< the outgoing lane taken after the crossroad
    /// The bearing of the link from `bearingFrom`, the cell before the crossroad, to `bearingTo`,
    /// the first cell of the path planned then, worked out once rather than at every step a bend
    /// ahead is looked for. Another path taken later has another first cell.
    const Cell *bearingFrom = nullptr;
    const Cell *bearingTo = nullptr;
    double bearing = 0.0;
};

/// A bend ahead of a vehicle, found by the speed-limit computation.
struct Curve
{
    int32_t distance; ///< links from the tail cell to the cell after the bend
    double angle;     ///< signed turn in degrees, positive to the right
};

/// What one decision works on: the events the look-ahead found, the lists made of them, and the
/// bends ahead. None of it outlives the decision, so the thread deciding lends its own lists to
/// every vehicle it decides for: they stay in its cache from one decision to the next, where lists
/// of each vehicle's own would be read from all over memory, a few cache lines each, every step.
struct DecisionLists
{
    EventList found;     ///< everything the look-ahead found
    EventList heeded;    ///< what this kind of vehicle reacts to of `found`
    EventList obstacles; ///< `heeded` without crossroads: what it follows once it may cross
    EventList places;    ///< `heeded` without vehicles: crossroads, route ends and stops
    std::vector<Curve> curves;
};

/// How a decision treats what lies ahead; see `Vehicle::applyMode`.
enum class DriveMode : int32_t {
    Stop = 0,     ///< stand still
    Approach = 1, ///< approach an obstacle and stop before it
    Follow = 2    ///< follow at a safety margin
};

/// What a speed decision chose: the mode, and the distance and the vehicle ahead it applies to.
struct Reaction
{
    DriveMode mode = DriveMode::Stop;
    int32_t distance = 0;
    const Vehicle *leader = nullptr;
};

/// Base of everything that drives: occupies a run of cells (front first), plans its way through
/// the crossroads ahead, chooses a speed and is shifted forward by it.
///
/// A decision (run in parallel with other vehicles' decisions) reads cells, crossroads, signals
/// and other vehicles' committed `speed`, `id` and `laneChange`, and writes only this vehicle:
/// its route, speed limit, next speed, finished flag, and the lists lent to its decision.
/// A vehicle starts a cache line, so that what other vehicles read of it lies in one.
class alignas(64) Vehicle
{
public:
    /// A vehicle with the run's id `id`; its decisions draw from its own stream, derived from the
    /// run's seed and the id.
    Vehicle(int32_t id, const RunRandom &random);
    Vehicle(const Vehicle &) = delete;
    Vehicle &operator=(const Vehicle &) = delete;
    virtual ~Vehicle();

    /// Standing at a stop to load passengers (buses and trams only).
    virtual bool isLoading() const { return false; }
    /// Waiting for the scheduled departure (buses and trams only).
    virtual bool isWaiting() const { return false; }
    /// Chooses paths through the crossroads within the look-ahead; the base version picks at random.
    virtual void planRoute();
    /// Steps needed to cover `distance` cells from the current speed, gaining 2 per step up to
    /// `maxSpeed`; STEPS_NEVER when the vehicle cannot get there at all.
    virtual int32_t stepsToCover(int32_t distance) const;

    /// The highest speed of any vehicle, in cells per step (so metres per second: 50.4 km/h).
    static constexpr int32_t TOP_SPEED = 14;
    /// speed + (speed − 2) + (speed − 4) + … over the positive terms: the cells a vehicle covers
    /// while it brakes from `speed` to a stand.
    static constexpr int32_t brakingDistanceAt(int32_t speed)
    {
        int32_t sum = 0;
        for (; speed > 0; speed -= 2)
            sum += speed;
        return sum;
    }
    /// What `stepsToCover` reports for a distance a vehicle that cannot move never covers.
    static constexpr int32_t STEPS_NEVER = 1000000000;
    /// Steps a vehicle stands at a stop line waiting for room on its planned exit before it
    /// chooses another exit that has room. Cars drive no fixed route, so turning elsewhere costs
    /// them nothing; a longer wait lets the queues of a busy cluster of crossroads grow into rings
    /// of full lanes faster than those rings are broken.
    static constexpr int32_t PATIENCE = units::steps(10.0);
    /// Steps after which a vehicle still waiting for room moves into the crossroad when it may and
    /// the crossroad holds it.
    static constexpr int32_t BOX_PATIENCE = units::steps(120.0);

    int32_t id() const { return m_id; }
    int32_t length() const { return m_length; }
    int32_t speed() const { return m_speed; }
    int32_t maxSpeed() const { return m_maxSpeed; }
    int32_t speedLimit() const { return m_speedLimit; }
    int32_t nextSpeed() const { return m_nextSpeed; }
    LaneChange laneChange() const { return m_laneChange; }
    /// Whether the vehicle stands in a bay with its indicator on, waiting for a gap to pull out;
    /// traffic on the lane beside lets it out.
    bool signalsPullOut() const { return m_signalsPullOut; }
    Cell *frontCell() const { return m_front; }
    Cell *tailCell() const { return m_cells.empty() ? nullptr : m_cells.back(); }
    const std::vector<Cell *> &cells() const { return m_cells; }
    const std::vector<RouteEntry> &route() const { return m_route; }
    int32_t lookAheadDistance() const { return m_speed * m_speed + units::cells(10.0); }
    void setFinished() { m_finished = true; }
    bool isFinished() const { return m_finished; }
    /// speed = nextSpeed; also publishes the planned exit (see `plannedExitLane`) and the wait
    /// cause, and counts the steps stood at a stop line.
    void commitSpeed();
    /// Consecutive commits at which the vehicle stood with its front on the last cell before a
    /// crossroad; read by other vehicles' decisions, changed only by `commitSpeed` (and set back when
    /// the vehicle leaves the run).
    int32_t stoodAtStopLine() const { return m_stoodAtStopLine; }
    /// Whether the front is on a lane and some of the body still lies on a crossroad behind it.
    bool standsAcrossCrossroad() const;
    void setCells(const std::vector<Cell *> &cells)
    {
        m_cells = cells;
        noteBodyEnds(NOT_ALONG_CHAIN);
        publishPlan();
    }
    /// What the vehicle waits for when its last decision chose to stand; `WaitCause::None` when
    /// it chose to move.
    WaitCause waitCause() const { return m_waitCause; }
    /// Id of the vehicle it waits for when the cause is a vehicle; −1 otherwise.
    int32_t waitingForId() const { return m_waitingFor; }
    /// `waitCause()` as it was at the last commit; other vehicles' decisions read this one.
    WaitCause shownWaitCause() const { return m_shownWaitCause; }
    /// When the shown cause is `WaitCause::ExitRoom`: the lane whose room it waits for, which lies
    /// beyond the next crossroad when its exit there is shorter than the vehicle; else null.
    const LaneBinding *shownRoomLane() const { return m_shownRoomLane; }
    /// Stops showing a wait for room and a long stand at a stop line, as a vehicle leaving the run
    /// must: the lane and the crossroad count those that show them.
    void withdrawShownWaits()
    {
        showRoomLane(nullptr);
        setStoodAtStopLine(0);
        showWaitCause(WaitCause::None);
    }
    /// Lifts the wait of this standing vehicle, a member of a cycle of waits, where the rules allow:
    /// at a stop line it takes its turn (one cell into its path, when that cell is free and its
    /// exit has room) or turns towards another exit that has room. False when its wait is one
    /// that no rule can lift (the vehicle ahead). Only in the step thread, after the commit.
    /// `cycles` tells which vehicles stand locked in cycles, so that a driver turning elsewhere
    /// turns where the queue moves on.
    virtual bool breakWait(const WaitCycles &cycles);
    /// Gives the vehicle the speed 1 for the coming move when the next cell of its way is free or
    /// held by the vehicle it waits for, which then creeps on too. Only in the step thread, after
    /// the commit.
    bool creepOn();
    /// nextSpeed + 1, capped at the speed limit (used to release a deadlock).
    void accelerate1();
    /// The vehicle's own random stream, for draws made during its decision.
    RandomStream &random() { return m_random; }

    /// speed + (speed − 2) + … over the positive terms.
    int32_t brakingDistance() const;
    /// The braking distance from `maxSpeed`.
    int32_t brakingDistanceFromMax() const;
    /// Cells covered slowing by 1 per step from `maxSpeed` down to v (exclusive).
    int32_t slowdownDistance(int32_t v) const;

    /// Fills `events` (cleared first) with what lies ahead of the front along the cells and the
    /// planned crossroad paths, up to the look-ahead distance, ordered by distance.
    void scanAhead(EventList &events) const;
    /// Fills `curves` (cleared first) with the merged bends from the tail cell over the look-ahead.
    void curvesAhead(std::vector<Curve> &curves) const;
    /// Sets `speedLimit` from the bends ahead, found into `curves`.
    void updateSpeedLimit(std::vector<Curve> &curves);
    /// The speed at which a bend of `angle` degrees (either sign) can be taken.
    int32_t curveSpeed(int32_t angle) const;
    /// Car following: changes `nextSpeed` for an obstacle `distance` cells ahead.
    void followSpeed(int32_t distance, const Vehicle *leader, int32_t margin);
    /// Random slowdown by 1, more likely at higher speed.
    void dawdle();
    /// Applies the reaction's `DriveMode`, then dawdles.
    void applyMode(const Reaction &reaction);
    /// The cells the body would hold after advancing `advance` cells along its cells and route, with
    /// its lane change; false (and `out` unusable) when the walk runs out of cells or route.
    bool cellsAfterMove(int32_t advance, std::vector<Cell *> &out) const;
    /// Makes `cells` (as given by `cellsAfterMove` for `advance`, swapped out) the body and drops
    /// the crossroads passed; the caller occupies the cells.
    void takeCells(std::vector<Cell *> &cells, int32_t advance);
    /// Lowers the speed (and the next speed) to the cells a move could take.
    void limitSpeed(int32_t speed);

    /// The incoming lane at the end of the front cell's chain (the key of the crossroad there); null if none.
    LaneBinding *entryKey() const;
    /// The last cell of the front cell's chain; null when the chain loops or there is no front.
    Cell *frontChainEnd() const { return m_chainEnd; }
    /// The exit lane planned at the crossroad at the end of the front cell's chain (see `nextRouteEntry`).
    LaneBinding *nextExitLane() const;
    /// The path cell planned at the crossroad at the end of the front cell's chain.
    Cell *nextPathCell() const;
    /// `nextExitLane()` as it was at the last commit, move or placement. Other vehicles' decisions
    /// read this one: the live route may be growing in this vehicle's own concurrent decision.
    LaneBinding *plannedExitLane() const { return m_plannedExit; }
    /// `nextPathCell()` as it was at the last commit, move or placement; see `plannedExitLane`.
    Cell *plannedPathCell() const { return m_plannedPath; }
    /// The route entry for the crossroad at the end of the front cell's chain, or the first entry when
    /// there is no such crossroad or entry; null for an empty route.
    const RouteEntry *nextRouteEntry() const;
    /// The entry for the crossroad after the chain end `end`; null if none.
    const RouteEntry *routeEntryAfter(const Cell *end) const;
    /// The entry for (crossroad, key); null if none.
    const RouteEntry *routeEntry(const Crossroad *crossroad, const LaneBinding *key) const;
    /// Appends the entry unless the route already has one for its (crossroad, entry key).
    void addRouteEntry(const RouteEntry &entry);

protected:
    /// What a decision does about the stop whose event comes first in `m_places`.
    enum class StopAction {
        Approach, ///< approach the stop and stop at its end (or follow what is before it)
        Pass,     ///< drive past: the event is dropped and the decision taken again
        Decided   ///< the reaction is chosen
    };
    /// A decision about a stop ahead; `reaction` holds for `StopAction::Decided` only.
    struct StopDecision
    {
        StopAction action;
        Reaction reaction;
    };

    /// Scans ahead and fills the lists a decision reads: `found`, then `heeded`, keeping the
    /// events whose types are not in the mask `ignored` (see `eventBit`) and the vehicles beside
    /// the way this kind of vehicle heeds, then `obstacles` and `places` from it.
    void lookAhead(uint32_t ignored);
    /// Whether the decision reacts to the vehicle beside the way at the side-vehicle event
    /// `beside`; the base version reacts to every one.
    virtual bool heedsBeside(const Event &beside) const;
    /// The speed decision on the lists `lookAhead` filled: plans the route, chooses how to treat
    /// what lies ahead, and leaves the speed in `nextSpeed`.
    void chooseSpeed();
    /// The mode at a route end within one cell of the front; the base version ends the trip there.
    virtual DriveMode modeAtRouteEnd();
    /// How a vehicle treats the stop first in `m_places`; the base version passes every stop.
    virtual StopDecision atStopAhead();
    /// Whether the vehicle may leave its planned way for another exit that has room.
    virtual bool mayLeaveRoute() const { return true; }
    /// Replaces the planned path through the crossroad whose exit has no room (see
    /// `entryWithoutRoom`), or failing that through the next crossroad, by one chosen at random among
    /// the others (whose exits have room, when `withRoom`; else whose queues are not locked in one of
    /// `cycles`), and forgets the plan beyond it; false if there is none.
    bool chooseAnotherExit(bool withRoom, const WaitCycles *cycles = nullptr);
    /// Replaces the path planned at the crossroad of `planned`, a route entry, by another whose exit
    /// has room for `length` cells (for 0: any other whose queue is not locked in one of `cycles`),
    /// and forgets the plan beyond it; false if there is none.
    bool turnElsewhere(const RouteEntry &planned, int32_t length, const WaitCycles *cycles = nullptr);

    /// Records what the decision waits for (the vehicle, if any).
    void waitFor(WaitCause cause, const Vehicle *vehicle = nullptr)
    {
        m_waitCause = cause;
        m_waitingFor = vehicle ? vehicle->id() : -1;
        m_roomLane = nullptr;
    }

    /// Whether the vehicle waited for stands on the cells of this vehicle's way within its look-ahead
    /// (and not on another path merging ahead of it).
    bool waitsBehindOnItsWay() const;

    /// Random route planning: a uniform choice at each crossroad within the look-ahead.
    void planRandomRoute();
    /// Chooses the path through crossroad `x` for a vehicle entering by lane `key`; null for none.
    using PathChooser = const PathPair *(*)(Vehicle &vehicle, Crossroad *x, LaneBinding *key);
    /// Plans the crossroads within the look-ahead that have no route entry yet, asking `choose`
    /// at each; true when it stopped because `choose` found no path.
    bool extendRoute(PathChooser choose);
    /// The cell a walk continues with after `cell`: `next`, or at a chain end entering a crossroad
    /// the path planned there; null when the walk ends.
    Cell *cellAfter(const Cell *cell) const;
    /// Drops the crossroads the whole body has passed.
    void trimRoute();
    /// Shows `lane` as the room the vehicle waits for (null: none), counted on the lane.
    void showRoomLane(const LaneBinding *lane);
    /// Set `stoodAtStopLine` and `shownWaitCause`. A vehicle that has stood `LONG_WAIT` steps or
    /// more, or shows it waits for room, is counted at the crossroad ahead (`Crossroad::longStanders`,
    /// `Crossroad::roomWaiters`); these and noting a new crossroad ahead keep the counts.
    void setStoodAtStopLine(int32_t steps);
    void showWaitCause(WaitCause cause);
    /// Copies the live planned exit to the one other vehicles read; only outside the decision phase.
    void publishPlan()
    {
        const RouteEntry *entry = nextRouteEntry();
        m_plannedExit = entry ? entry->exitLane : nullptr;
        m_plannedPath = entry ? entry->pathCell : nullptr;
    }
    /// Adds to `events` what the look-ahead finds at the cell `c`, `d` cells ahead, that is not plain:
    /// traffic merging after it, a vehicle beside it, the end of a stop or bay, a chain end. The ids
    /// last seen beside and of the last tram stop keep one event per vehicle and per stop;
    /// `pathExit` is the lane the route's last crossroad path walked leads into (null if none).
    void scanCell(Cell *c, int32_t d, int32_t &lastSideId, int64_t &lastTramStop, const LaneBinding *pathExit,
                  EventList &events) const;
    /// Adds to `events` the vehicles on other crossroad paths into the lane starting at `laneStart`
    /// that reach it first; `pathEnd`, the last cell of this vehicle's path, is `d` − 1 cells ahead.
    /// `pathExit`, if it is that lane, is taken for it.
    void seeMergingTraffic(const Cell *pathEnd, Cell *laneStart, const LaneBinding *pathExit, int32_t d,
                           EventList &events) const;
    /// `curvesAhead` walking at most `limit` links from the tail.
    void curvesWithin(std::vector<Curve> &curves, int32_t limit) const;
    /// Bearing of a walk's link from `a` to `b`: cached along a chain, and from the route where the
    /// walk jumps from a chain's end into a crossroad path.
    double linkBearing(const Cell *a, const Cell *b) const;

    // What other vehicles' rules read of this one comes first, in the object's first cache line
    // (see `alignas` above): a rule that looks at many vehicles then misses the cache once for
    // each of them.
    int32_t m_id;
    int32_t m_length = units::cells(3.0);
    int32_t m_speed = 0;
    int32_t m_stoodAtStopLine = 0;
    LaneChange m_laneChange = LaneChange::None;
    WaitCause m_shownWaitCause = WaitCause::None;
    /// The first of `m_cells`, kept apart so that asking for it costs no read of the list.
    Cell *m_front = nullptr;
    LaneBinding *m_plannedExit = nullptr;
    Cell *m_plannedPath = nullptr;
    // What ends the front cell's chain (with `m_chainEnd` and `m_crossroadAhead` below), noted
    // whenever the body changes: many rules ask for it at every step, this vehicle's and others',
    // and the network does not change during a run.
    LaneBinding *m_chainEndLane = nullptr; ///< the lane of `m_chainEnd`
    // The body and the route, which the move reads, fill the second line.
    std::vector<Cell *> m_cells;
    std::vector<RouteEntry> m_route;
    Cell *m_chainEnd = nullptr;
    Crossroad *m_crossroadAhead = nullptr; ///< the crossroad after `m_chainEnd`
    const LaneBinding *m_shownRoomLane = nullptr;
    const LaneBinding *m_roomLane = nullptr; ///< the lane without room when waiting for room
    int32_t m_waitingFor = -1;
    int32_t m_maxSpeed = TOP_SPEED;
    int32_t m_speedLimit = TOP_SPEED;
    int32_t m_nextSpeed = 0;
    int32_t m_stepsWithoutRoom = 0; ///< consecutive steps stood at the stop line for want of room
    WaitCause m_waitCause = WaitCause::None;
    bool m_signalsPullOut = false;
    /// Whether the tail lies on a crossroad; kept so that a move need not read the cell it leaves.
    bool m_tailInCrossroad = false;
    bool m_finished = false;
    int32_t m_frontToChainEnd = 0; ///< cells from the front to `m_chainEnd`
    RandomStream m_random;

    /// The lists of the decision under way, lent by the thread deciding; null between decisions.
    DecisionLists *m_lists = nullptr;

    /// Makes the decision `decide` on `lists`, which the vehicle holds only meanwhile.
    template <typename Decide> void decideOn(DecisionLists &lists, Decide decide)
    {
        m_lists = &lists;
        decide();
        m_lists = nullptr;
    }

private:
    /// The steps of one `chooseSpeed`.
    class SpeedDecision;

    /// Notes what ends the front cell's chain and where the tail lies; only while no other thread
    /// reads the vehicle. `advance` is how far the front moved along its lane, or NOT_ALONG_CHAIN.
    void noteBodyEnds(int32_t advance);
    /// Adds `delta` to the counts of `crossroad` (null: none) that the vehicle belongs to.
    void countAt(const Crossroad *crossroad, int32_t delta) const;
    static constexpr int32_t NOT_ALONG_CHAIN = -1;
    /// The number of body cells from the tail forward that each follow the one behind along its
    /// link; at least 1 for a body with cells.
    size_t linkedCellsFromTail() const;
};

/// Asks the cache for the object of a vehicle that a pass over many vehicles will soon reach. The
/// reads of one vehicle each wait for the one before, so the processor cannot overlap them with
/// the reads of the next vehicle by itself.
[[gnu::always_inline]] inline void prefetchObject(const Vehicle *v)
{
    const char *object = reinterpret_cast<const char *>(v);
    for (size_t line = 0; line < sizeof(Vehicle); line += 64)
        __builtin_prefetch(object + line);
}

/// Asks the cache for the front cell, cells and route of a vehicle whose object was asked for a
/// while ago (see `prefetchObject`).
[[gnu::always_inline]] inline void prefetchBody(const Vehicle *v)
{
    __builtin_prefetch(v->frontCell());
    __builtin_prefetch(v->cells().data());
    __builtin_prefetch(v->route().data());
}

/// Puts the vehicle with its front on `cell` and its body on the cells behind; false (nothing
/// changed) when those cells do not exist or are not free.
bool place(Cell *cell, Vehicle *vehicle);

#endif
