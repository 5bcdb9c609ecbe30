#include "car.h"

#include "cell.h"
#include "chain.h"
#include "crossroad.h"
#include "rightofway.h"
#include "simulationdata.h"
#include "units.h"

#include <algorithm>
#include <cmath>

Car::Car(SimulationData &run) : Vehicle(run.newVehicleId(), run.random)
{
    m_length = int32_t(std::lround(units::CELLS_PER_M * (run.random.draw() % 3 + 3)));
}

void Car::decide()
{
    // E: everything ahead; B (m_active): without stops, side traffic only when it pulls out into
    // this lane; V: vehicles and route ends; X: crossroads and route ends.
    scanAhead(m_events);
    m_events.copyWithout(eventBit(EventBusStopEnd) | eventBit(EventBayEnd) | eventBit(EventTramStopEnd), m_stops);
    m_stops.copyPullingOutOnly(m_active);
    const EventList &B = m_active;
    EventList &V = m_vehicles;
    EventList &X = m_stops;
    B.copyWithout(eventBit(EventCrossroad), V);
    B.copyWithout(eventBit(EventVehicle) | eventBit(EventSideVehicle), X);

    planRoute();

    int32_t mode = ModeStop;
    int32_t d = 0;
    const Vehicle *leader = nullptr;
    Crossroad *x = nullptr;
    int32_t mayGo = -1; // not asked yet; the answer does not change within a decision
    bool heldForRoom = false;
    auto letsGo = [&]() {
        if (mayGo < 0)
            mayGo = x->mayGo(this) ? 1 : 0;
        return mayGo == 1;
    };
    enum State { Start, Vehicles, RouteEnd, AtCrossroad, Pass, Yield, Standing, Approach, Done };
    State state = Start;
    while (state != Done) {
        switch (state) {
        case Start:
            d = X.firstDistance();
            state = X.firstType() == EventRouteEnd    ? RouteEnd
                    : X.firstType() == EventCrossroad ? AtCrossroad
                                                      : Vehicles;
            break;
        case Vehicles:
            d = B.firstDistance();
            leader = B.leader();
            mode = ModeFollow;
            state = Done;
            break;
        case RouteEnd: {
            d = B.firstDistance();
            const int32_t t = B.firstType();
            if (t == EventRouteEnd && d <= 1) {
                setFinished();
                mode = ModeStop;
            } else if (t == EventVehicle) {
                leader = B.leader();
                mode = ModeFollow;
            } else {
                mode = ModeApproach;
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
            d = V.firstDistance();
            leader = V.leader();
            mode = ModeFollow;
            state = Done;
            break;
        case Yield:
            state = d > 1 || speed() != 0 ? Approach : Standing;
            break;
        case Standing:
            if (letsGo()) {
                state = Pass;
            } else {
                mode = ModeStop;
                state = Done;
                // A ring of full lanes, each head waiting for room on the next, never clears by
                // itself; a driver who has waited long enough takes another way that has room.
                if (!exitHasRoom(this)) {
                    heldForRoom = true;
                    if (++m_stepsWithoutRoom >= PATIENCE && chooseAnotherExit(x))
                        m_stepsWithoutRoom = 0;
                }
            }
            break;
        case Approach: {
            const int32_t c = X.firstDistance();
            const int32_t v = B.firstDistance();
            if (c <= v) {
                d = c;
                mode = ModeApproach;
            } else {
                d = v;
                leader = B.leader();
                mode = ModeFollow;
            }
            state = Done;
            break;
        }
        case Done:
            break;
        }
    }

    if (!heldForRoom)
        m_stepsWithoutRoom = 0;
    updateSpeedLimit();
    applyMode(mode, d, leader);
}

bool Car::chooseAnotherExit(const Crossroad *crossroad)
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
