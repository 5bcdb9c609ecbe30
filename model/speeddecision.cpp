#include "vehicle.h"

#include "cell.h"
#include "chain.h"
#include "crossroad.h"
#include "rightofway.h"
#include "waitcycles.h"

#include <algorithm>

void Vehicle::chooseSpeed()
{
    const EventList &B = m_active;
    EventList &V = m_vehicles;
    EventList &X = m_stops;
    constexpr uint32_t stopEvents = eventBit(EventBusStopEnd) | eventBit(EventBayEnd) | eventBit(EventTramStopEnd);

    planRoute();

    int32_t mode = ModeStop;
    int32_t d = 0;
    const Vehicle *leader = nullptr;
    Crossroad *x = nullptr;
    // Asked at most once each: the answers do not change within a decision.
    int32_t room = -1;
    int32_t mayGo = -1;
    auto hasRoom = [&]() {
        if (room < 0)
            room = exitHasRoom(this) ? 1 : 0;
        return room == 1;
    };
    auto letsGo = [&]() {
        if (mayGo < 0)
            mayGo = x->hasRightOfWay(this) && hasRoom() && x->isTurnForRoom(this) ? 1 : 0;
        return mayGo == 1;
    };
    // What the vehicle waits for should it stand: the first obstacle it reacts to, or the
    // crossroad ahead, whose reason is looked up only when the vehicle does stand.
    bool waitsAtCrossroad = false;
    auto obstacle = [&](const EventList &list) {
        switch (list.firstType()) {
        case EventVehicle:
            waitFor(WaitCause::VehicleAhead, list.leader());
            break;
        case EventSideVehicle:
            waitFor(WaitCause::VehicleBeside,
                    list.firstCell() && list.firstCell()->side ? list.firstCell()->side->vehicle() : nullptr);
            break;
        case EventCrossroad:
            waitsAtCrossroad = true;
            break;
        case EventRouteEnd:
            waitFor(WaitCause::RouteEnd);
            break;
        default:
            waitFor(WaitCause::StopRoom);
            break;
        }
    };
    auto follow = [&](const EventList &list) {
        d = list.firstDistance();
        leader = list.leader();
        mode = ModeFollow;
        obstacle(list);
    };
    waitFor(WaitCause::None);
    bool heldForRoom = false;
    enum State { Start, Vehicles, RouteEnd, AtCrossroad, Pass, Yield, Standing, Approach, StopAhead, Done };
    State state = Start;
    while (state != Done) {
        switch (state) {
        case Start:
            d = X.firstDistance();
            switch (X.firstType()) {
            case EventRouteEnd:
                state = RouteEnd;
                break;
            case EventCrossroad:
                state = AtCrossroad;
                break;
            case EventBusStopEnd:
            case EventBayEnd:
            case EventTramStopEnd:
                state = StopAhead;
                break;
            default:
                state = Vehicles;
                break;
            }
            break;
        case Vehicles:
            follow(B);
            state = Done;
            break;
        case RouteEnd: {
            d = B.firstDistance();
            const int32_t t = B.firstType();
            if (t == EventRouteEnd && d <= 1) {
                waitFor(WaitCause::RouteEnd);
                mode = modeAtRouteEnd();
            } else if (t == EventVehicle) {
                follow(B);
            } else {
                mode = ModeApproach;
                obstacle(B);
            }
            state = Done;
            break;
        }
        case AtCrossroad: {
            const Cell *end = frontCell()->chainEnd();
            x = end ? end->crossroad : nullptr;
            if (!x) { // the crossroad event lies beyond the front's chain: treat it as an obstacle
                state = Approach;
                break;
            }
            if (x->isUncontested(entryKey(), nextExitLane()))
                state = Pass;
            else if (x->hasSemaphore() && letsGo())
                state = Pass;
            else if (!x->hasConflicts(this) && letsGo())
                state = Pass;
            else
                state = Yield;
            break;
        }
        case Pass:
            follow(V);
            state = Done;
            break;
        case Yield:
            state = d > 1 || speed() != 0 ? Approach : Standing;
            break;
        case Standing:
            mode = ModeStop;
            waitsAtCrossroad = true;
            state = Done;
            if (letsGo()) {
                state = Pass;
            } else if (!hasRoom()) {
                heldForRoom = true;
                ++m_stepsWithoutRoom;
                // A driver who has waited long enough takes another way that has room. A bus,
                // bound to its line, that has waited longer still moves into the crossroad when it
                // may and the crossroad holds it, and so leaves room on the lane behind it. A car
                // never does: waiting in the crossroad it could no longer turn elsewhere, and a
                // ring of full lanes whose heads have all moved in can never be broken.
                if (m_stepsWithoutRoom >= PATIENCE && mayLeaveRoute() && chooseAnotherExit(true))
                    m_stepsWithoutRoom = 0;
                else if (m_stepsWithoutRoom >= BOX_PATIENCE && !mayLeaveRoute() && mayWaitInCrossroad(x, this))
                    state = Pass;
            }
            break;
        case Approach: {
            const int32_t c = X.firstDistance();
            const int32_t v = B.firstDistance();
            if (c <= v) {
                d = c;
                mode = ModeApproach;
                obstacle(X);
            } else {
                follow(B);
            }
            state = Done;
            break;
        }
        case StopAhead:
            switch (atStopAhead(mode, d)) {
            case StopAction::Approach:
                state = Approach;
                break;
            case StopAction::Decided:
                state = Done;
                break;
            case StopAction::Pass:
                m_active.removeFirstOf(stopEvents);
                V.removeFirstOf(stopEvents);
                X.removeFirstOf(stopEvents);
                state = Start;
                break;
            }
            break;
        case Done:
            break;
        }
    }

    if (!heldForRoom)
        m_stepsWithoutRoom = 0;
    updateSpeedLimit();
    applyMode(mode, d, leader);
    if (m_nextSpeed != 0)
        waitFor(WaitCause::None);
    else if (waitsAtCrossroad && x && !hasRoom()) {
        const LaneBinding *lane = nullptr;
        waitFor(WaitCause::ExitRoom, roomHolder(this, &lane));
        m_roomLane = lane;
    } else if (waitsAtCrossroad && x && !x->showsGreenTo(this))
        waitFor(WaitCause::Signal);
    else if (waitsAtCrossroad && x) {
        const Vehicle *blocker = x->rightOfWayBlocker(this);
        waitFor(WaitCause::RightOfWay, blocker ? blocker : x->longerWaiterForRoom(this));
    } else if (waitsAtCrossroad)
        waitFor(WaitCause::RightOfWay);
}

bool Vehicle::breakWait(const WaitCycles &cycles)
{
    const Cell *front = frontCell();
    if (m_speed != 0 || !front)
        return false;
    if (m_waitCause == WaitCause::VehicleAhead && !waitsBehindOnItsWay())
        return creepOn();
    const Cell *end = !front->inCrossroad ? front->chainEnd() : nullptr;
    Crossroad *x = end ? end->crossroad : nullptr;
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
        for (const Cell *c = front->next; c; c = c->next) {
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
    if (front->crossroad && !front->crossroad->isTurnForRoom(this))
        return false;
    m_nextSpeed = std::min(1, m_speedLimit);
    commitSpeed();
    return true;
}

int32_t Vehicle::modeAtRouteEnd()
{
    setFinished();
    return ModeStop;
}

Vehicle::StopAction Vehicle::atStopAhead(int32_t &, int32_t &)
{
    return StopAction::Pass;
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
