#include "bus.h"

#include "cell.h"
#include "lanechange.h"

Bus::Bus(SimulationData &run, const PublicTransportLine *line, int32_t departure) : VehicleGuided(run, line, departure)
{
    m_length = LENGTH;
    m_maxSpeed = FAST_SPEED;
}

void Bus::planRoute()
{
    if (!allCellsOnStop())
        VehicleGuided::planRoute();
}

int32_t Bus::modeAtRouteEnd()
{
    if (isAtTerminus()) {
        setFinished();
        return ModeStop;
    }
    if (canChangeLane(this, int32_t(LaneChange::ToSideOf))) {
        setLaneChange(int32_t(LaneChange::ToSideOf)); // leave the bay
        return ModeStop;
    }
    // Standing in a bay, the bus waits for a gap on the lane; at the end of a lane (a network exit
    // reached after its ways ran out) it leaves the network like any vehicle instead of standing
    // there for good.
    const Cell *front = frontCell();
    if (front && !front->sideOf)
        setFinished();
    return ModeStop;
}

void Bus::drive()
{
    setLaneChange(int32_t(LaneChange::None));
    // E: everything ahead; B: without tram stops (a bus keeps the vehicles beside it and its bus
    // stops); V: without crossroads; X: without vehicles.
    scanAhead(m_events);
    m_events.copyWithout(eventBit(EventTramStopEnd), m_active);
    m_active.copyWithout(eventBit(EventCrossroad), m_vehicles);
    m_active.copyWithout(eventBit(EventVehicle) | eventBit(EventSideVehicle), m_stops);
    chooseSpeed();
}
