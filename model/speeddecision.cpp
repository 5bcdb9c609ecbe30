#include "vehicle.h"

#include "cell.h"
#include "chain.h"
#include "crossroad.h"
#include "rightofway.h"
#include "semaphore.h"

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
            mayGo = x->hasRightOfWay(this) && hasRoom() ? 1 : 0;
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
                // A ring of full lanes, each head waiting for room on the next, never clears by
                // itself. A driver who has waited long enough takes another way that has room;
                // failing that, one who has waited longer still moves into the crossroad when it
                // may and the crossroad holds it, and so leaves room on the lane behind it.
                if (m_stepsWithoutRoom >= PATIENCE && mayLeaveRoute() && chooseAnotherExit(x))
                    m_stepsWithoutRoom = 0;
                else if (m_stepsWithoutRoom >= BOX_PATIENCE && mayWaitInCrossroad(x, this))
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
    else if (waitsAtCrossroad && x && !hasRoom())
        waitFor(WaitCause::ExitRoom);
    else if (waitsAtCrossroad && x && x->semaphore &&
             !x->semaphore->isGreen(entryKey() ? entryKey()->wayBinding() : nullptr))
        waitFor(WaitCause::Signal);
    else if (waitsAtCrossroad)
        waitFor(WaitCause::RightOfWay);
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

bool Vehicle::chooseAnotherExit(const Crossroad *crossroad)
{
    const LaneBinding *key = entryKey();
    const std::vector<PathPair> *pairs = crossroad->pathsFrom(key);
    const int32_t index = routeIndexOf(this, crossroad, key);
    if (!pairs || index < 0)
        return false;
    RouteEntry &entry = m_route[size_t(index)];
    auto open = [&](const PathPair &pair) {
        return pair.exitLane != entry.exitLane && exitHasRoom(m_length, pair.exitLane, pair.pathCell);
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
