#include "vehicle.h"

#include "cell.h"
#include "chain.h"
#include "crossroad.h"
#include "rightofway.h"
#include "waitcycles.h"

#include <algorithm>

/// The speed decision, step by step: each step returns how the vehicle treats what lies ahead.
/// The answers about the crossroad ahead are asked at most once each, for they do not change
/// within a decision.
class Vehicle::SpeedDecision
{
public:
    explicit SpeedDecision(Vehicle &vehicle) : v(vehicle) {}

    /// The reaction to the first of the places ahead (a crossroad, a route end or a stop), or to
    /// the traffic ahead when there is none; stops the vehicle passes are dropped on the way.
    Reaction choose();
    /// Records what the vehicle waits for when the reaction applied left it standing.
    void explainStanding();
    /// Whether the vehicle stood at its stop line for want of room on its exit.
    bool heldForRoom() const { return m_heldForRoom; }

private:
    Reaction atRouteEnd();
    Reaction atCrossroad(int32_t distance);
    /// Standing at the stop line without the right of way: waits, or takes its turn or another way.
    Reaction atStopLine(int32_t distance);
    /// Approaches the first place when it comes before the traffic ahead, else follows that.
    Reaction nearerOfPlaceAndTraffic();
    /// Follows the first event of `list` at the safety margin.
    Reaction follow(const EventList &list);
    /// Records what the vehicle waits for should it stand before the first event of `list`: the
    /// vehicle, the route end or the stop, or the crossroad, whose reason is found only when it does.
    void noteObstacle(const EventList &list);
    bool hasRoom();
    bool mayGo();
    /// The vehicle that takes the right of way from this one at the crossroad, if any.
    const Vehicle *rightOfWayBlocker();
    /// A vehicle that waited longer for the room this one needs, if any.
    const Vehicle *longerWaiterForRoom();
    /// Forgets the two answers above, which depend on the exit planned, once another is chosen.
    void routeChanged();

    Vehicle &v;
    Crossroad *m_crossroad = nullptr;
    int8_t m_room = -1;  ///< −1 not asked yet
    int8_t m_mayGo = -1; ///< −1 not asked yet
    // Asked for the decision, and again for the reason the vehicle stands: asked once.
    const Vehicle *m_blocker = nullptr;
    const Vehicle *m_longerWaiter = nullptr;
    bool m_blockerKnown = false;
    bool m_longerWaiterKnown = false;
    bool m_waitsAtCrossroad = false;
    bool m_heldForRoom = false;
};

Reaction Vehicle::SpeedDecision::choose()
{
    for (;;) {
        switch (v.m_lists->places.firstType()) {
        case EventType::RouteEnd:
            return atRouteEnd();
        case EventType::Crossroad:
            return atCrossroad(v.m_lists->places.firstDistance());
        case EventType::BusStopEnd:
        case EventType::BayEnd:
        case EventType::TramStopEnd: {
            const StopDecision stop = v.atStopAhead();
            if (stop.action == StopAction::Approach)
                return nearerOfPlaceAndTraffic();
            if (stop.action == StopAction::Decided)
                return stop.reaction;
            v.m_lists->heeded.removeFirstOf(STOP_EVENTS);
            v.m_lists->obstacles.removeFirstOf(STOP_EVENTS);
            v.m_lists->places.removeFirstOf(STOP_EVENTS);
            break;
        }
        default: // no place ahead
            return follow(v.m_lists->heeded);
        }
    }
}

Reaction Vehicle::SpeedDecision::atRouteEnd()
{
    const EventList &heeded = v.m_lists->heeded;
    const int32_t distance = heeded.firstDistance();
    if (heeded.firstType() == EventType::RouteEnd && distance <= 1) {
        v.waitFor(WaitCause::RouteEnd);
        return Reaction{v.modeAtRouteEnd(), distance, nullptr};
    }
    if (heeded.firstType() == EventType::Vehicle)
        return follow(heeded);
    noteObstacle(heeded);
    return Reaction{DriveMode::Approach, distance, nullptr};
}

Reaction Vehicle::SpeedDecision::atCrossroad(int32_t distance)
{
    // A vehicle following another one before the crossroad follows it whatever the crossroad would
    // allow, unless it stands at the stop line, where its waiting counts: the rules of the
    // crossroad, the costliest questions of a decision, need not be asked.
    if (v.m_lists->heeded.firstDistance() < distance && (distance > 1 || v.speed() != 0))
        return follow(v.m_lists->heeded);
    m_crossroad = v.m_crossroadAhead;
    if (!m_crossroad) // the crossroad event lies beyond the front's chain: treat it as an obstacle
        return nearerOfPlaceAndTraffic();
    const bool passes = m_crossroad->isUncontested(v.entryKey(), v.nextExitLane()) ||
                        (m_crossroad->hasSemaphore() && mayGo()) || (!m_crossroad->hasConflicts(&v) && mayGo());
    if (passes)
        return follow(v.m_lists->obstacles);
    if (distance > 1 || v.speed() != 0)
        return nearerOfPlaceAndTraffic();
    return atStopLine(distance);
}

Reaction Vehicle::SpeedDecision::atStopLine(int32_t distance)
{
    m_waitsAtCrossroad = true;
    if (mayGo())
        return follow(v.m_lists->obstacles);
    if (!hasRoom()) {
        m_heldForRoom = true;
        ++v.m_stepsWithoutRoom;
        // A driver who has waited long enough takes another way that has room. A bus, bound to its
        // line, that has waited longer still moves into the crossroad when it may and the crossroad
        // holds it, and so leaves room on the lane behind it. A car never does: waiting in the
        // crossroad it could no longer turn elsewhere, and a ring of full lanes whose heads have all
        // moved in can never be broken.
        if (v.m_stepsWithoutRoom >= PATIENCE && v.mayLeaveRoute() && v.chooseAnotherExit(true)) {
            v.m_stepsWithoutRoom = 0;
            routeChanged();
        } else if (v.m_stepsWithoutRoom >= BOX_PATIENCE && !v.mayLeaveRoute() && mayWaitInCrossroad(m_crossroad, &v))
            return follow(v.m_lists->obstacles);
    }
    return Reaction{DriveMode::Stop, distance, nullptr};
}

Reaction Vehicle::SpeedDecision::nearerOfPlaceAndTraffic()
{
    const EventList &places = v.m_lists->places;
    if (places.firstDistance() <= v.m_lists->heeded.firstDistance()) {
        noteObstacle(places);
        return Reaction{DriveMode::Approach, places.firstDistance(), nullptr};
    }
    return follow(v.m_lists->heeded);
}

Reaction Vehicle::SpeedDecision::follow(const EventList &list)
{
    noteObstacle(list);
    return Reaction{DriveMode::Follow, list.firstDistance(), list.leader()};
}

void Vehicle::SpeedDecision::noteObstacle(const EventList &list)
{
    switch (list.firstType()) {
    case EventType::Vehicle:
        v.waitFor(WaitCause::VehicleAhead, list.leader());
        break;
    case EventType::SideVehicle:
        v.waitFor(WaitCause::VehicleBeside,
                  list.firstCell() && list.firstCell()->side() ? list.firstCell()->side()->vehicle() : nullptr);
        break;
    case EventType::Crossroad:
        m_waitsAtCrossroad = true;
        break;
    case EventType::RouteEnd:
        v.waitFor(WaitCause::RouteEnd);
        break;
    default:
        v.waitFor(WaitCause::StopRoom);
        break;
    }
}

bool Vehicle::SpeedDecision::hasRoom()
{
    if (m_room < 0)
        m_room = exitHasRoom(&v) ? 1 : 0;
    return m_room == 1;
}

bool Vehicle::SpeedDecision::mayGo()
{
    if (m_mayGo < 0)
        m_mayGo = m_crossroad->showsGreenTo(&v) && !rightOfWayBlocker() && hasRoom() && !longerWaiterForRoom() ? 1 : 0;
    return m_mayGo == 1;
}

const Vehicle *Vehicle::SpeedDecision::rightOfWayBlocker()
{
    if (!m_blockerKnown) {
        m_blocker = m_crossroad->rightOfWayBlocker(&v);
        m_blockerKnown = true;
    }
    return m_blocker;
}

const Vehicle *Vehicle::SpeedDecision::longerWaiterForRoom()
{
    if (!m_longerWaiterKnown) {
        m_longerWaiter = m_crossroad->longerWaiterForRoom(&v);
        m_longerWaiterKnown = true;
    }
    return m_longerWaiter;
}

void Vehicle::SpeedDecision::routeChanged()
{
    m_blockerKnown = m_longerWaiterKnown = false;
}

void Vehicle::SpeedDecision::explainStanding()
{
    if (v.m_nextSpeed != 0) {
        v.waitFor(WaitCause::None);
        return;
    }
    if (!m_waitsAtCrossroad)
        return;
    if (!m_crossroad) {
        v.waitFor(WaitCause::RightOfWay);
    } else if (!hasRoom()) {
        const LaneBinding *lane = nullptr;
        v.waitFor(WaitCause::ExitRoom, roomHolder(&v, &lane));
        v.m_roomLane = lane;
    } else if (!m_crossroad->showsGreenTo(&v)) {
        v.waitFor(WaitCause::Signal);
    } else {
        const Vehicle *blocker = rightOfWayBlocker();
        v.waitFor(WaitCause::RightOfWay, blocker ? blocker : longerWaiterForRoom());
    }
}

void Vehicle::chooseSpeed()
{
    planRoute();
    waitFor(WaitCause::None);
    SpeedDecision decision(*this);
    const Reaction reaction = decision.choose();
    if (!decision.heldForRoom())
        m_stepsWithoutRoom = 0;
    updateSpeedLimit(m_lists->curves);
    applyMode(reaction);
    decision.explainStanding();
}

bool Vehicle::breakWait(const WaitCycles &cycles)
{
    const Cell *front = frontCell();
    if (m_speed != 0 || !front)
        return false;
    if (m_waitCause == WaitCause::VehicleAhead && !waitsBehindOnItsWay())
        return creepOn();
    const Cell *end = !front->inCrossroad ? frontChainEnd() : nullptr;
    Crossroad *x = end ? m_crossroadAhead : nullptr;
    const Cell *path = nextPathCell();
    if (!x || !path)
        return false;
    if (m_waitCause == WaitCause::RightOfWay)
        // Priority rules can lock: every member yields to the next. One takes its turn.
        return front == end && exitHasRoom(this) && x->isTurnForRoom(this) && creepOn();
    // Whatever else holds a driver before a crossroad (no room after it, or the vehicle ahead beyond
    // it, in a ring of full lanes) holds the way it planned, not the driver: it takes another way,
    // one that has room if there is one, else one whose queue is not part of the ring and so moves
    // on some time. One queued behind another before the crossroad gains nothing by it.
    if (mayLeaveRoute()) {
        for (const Cell *c = front->next(); c; c = c->next()) {
            if (c->vehicle())
                return false;
            if (c == end)
                break;
        }
        if (!chooseAnotherExit(true) && !chooseAnotherExit(false, &cycles))
            return false;
        publishPlan();
        return true;
    }
    // A bus bound to its line, where its path and the start of its exit hold it whole, moves up and
    // so leaves room on its own lane.
    return front == end && m_waitCause == WaitCause::ExitRoom && mayWaitInCrossroad(x, this) && creepOn();
}

bool Vehicle::waitsBehindOnItsWay() const
{
    // The look-ahead puts a vehicle on another path into the same lane ahead when it comes first
    // there; only a vehicle found on the cells of this vehicle's own way stands in its way.
    int32_t walked = 0;
    for (const Cell *c = cellAfter(frontCell()); c && walked <= lookAheadDistance(); c = cellAfter(c), ++walked)
        if (const Vehicle *v = c->vehicle(); v && v->id() == m_waitingFor)
            return true;
    return false;
}

bool Vehicle::creepOn()
{
    const Cell *front = frontCell();
    const Cell *ahead = cellAfter(front);
    const Vehicle *there = ahead ? ahead->vehicle() : nullptr;
    if (!ahead || (there && there->id() != m_waitingFor))
        return false;
    // Into a crossroad only in its turn for the room after it, which may be a longer waiter's.
    if (front->crossroad() && !front->crossroad()->isTurnForRoom(this))
        return false;
    m_nextSpeed = std::min(1, m_speedLimit);
    commitSpeed();
    return true;
}

DriveMode Vehicle::modeAtRouteEnd()
{
    setFinished();
    return DriveMode::Stop;
}

Vehicle::StopDecision Vehicle::atStopAhead()
{
    return {StopAction::Pass, {}};
}

bool Vehicle::chooseAnotherExit(bool withRoom, const WaitCycles *cycles)
{
    // Turn elsewhere at the crossroad whose exit is full: the next one, or one after an exit lane
    // shorter than the vehicle, whose room it needs before it may go. Failing that, at the next
    // crossroad, towards a lane that has room for the whole vehicle.
    int32_t length = m_length;
    const RouteEntry *full = entryWithoutRoom(this, &length);
    if (full && turnElsewhere(*full, withRoom ? length : 0, cycles))
        return true;
    const RouteEntry *first = nextRouteEntry();
    return first && first != full && turnElsewhere(*first, withRoom ? m_length : 0, cycles);
}

bool Vehicle::turnElsewhere(const RouteEntry &planned, int32_t length, const WaitCycles *cycles)
{
    const std::vector<PathPair> *pairs = planned.crossroad ? planned.crossroad->pathsFrom(planned.entryKey) : nullptr;
    const int32_t index = pairs ? routeIndexOf(this, planned.crossroad, planned.entryKey) : -1;
    if (index < 0)
        return false;
    RouteEntry &entry = m_route[size_t(index)];
    auto open = [&](const PathPair &pair) {
        if (pair.exitLane == entry.exitLane)
            return false;
        if (length > 0)
            return exitHasRoom(length, pair.exitLane, pair.pathCell);
        return !cycles || !cycles->isLocked(roomHolder(pair.pathCell, pair.exitLane, this));
    };
    const auto count = std::count_if(pairs->begin(), pairs->end(), open);
    if (count == 0)
        return false;
    auto pick = m_random.next() % count;
    for (const PathPair &pair : *pairs) {
        if (!open(pair) || pick-- > 0)
            continue;
        entry.exitLane = pair.exitLane;
        entry.pathCell = pair.pathCell;
        m_route.erase(m_route.begin() + index + 1, m_route.end());
        return true;
    }
    return false;
}
