#include "bus.h"

#include "cell.h"
#include "lanechange.h"

#include <algorithm>

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

DriveMode Bus::modeAtRouteEnd()
{
    if (isAtTerminus()) {
        setFinished();
        return DriveMode::Stop;
    }
    if (canChangeLane(this, LaneChange::ToSideOf)) {
        setLaneChange(LaneChange::ToSideOf); // leave the bay
        return DriveMode::Stop;
    }
    // Standing in a bay, the bus waits for a gap on the lane; at the end of a lane (a network exit
    // reached after its ways ran out) it leaves the network like any vehicle instead of standing
    // there for good.
    const Cell *front = frontCell();
    if (front && !front->sideOf()) {
        setFinished();
    } else {
        // In dense traffic a gap as long as the braking distance of the traffic behind may never
        // come by itself: the bus indicates, and traffic on the lane lets it out.
        setSignalsPullOut(true);
        waitFor(WaitCause::PullOutRoom, laneChangeBlocker(this, LaneChange::ToSideOf));
    }
    return DriveMode::Stop;
}

void Bus::drive()
{
    setLaneChange(LaneChange::None);
    setSignalsPullOut(false);
    lookAhead(eventBit(EventType::TramStopEnd));
    chooseSpeed();
}

bool Bus::heedsBeside(const Event &beside) const
{
    const Cell *bay = beside.cell ? beside.cell->side() : nullptr;
    const Vehicle *occupant = bay ? bay->vehicle() : nullptr;
    if (!occupant)
        return false;
    if (occupant->laneChange() == LaneChange::ToSideOf)
        return true; // it pulls out into this lane
    // It waits to pull out: let it, unless this bus is beside it already or too close to stop.
    if (occupant->signalsPullOut() && beside.distance >= std::max(1, brakingDistance()))
        return true;
    // Queue behind the bus in the bay of the next stop, but never beside it: from there this bus
    // could not get into the bay, and the one in the bay could not pull out past it.
    return beside.distance > 0 && isNextStop(bay->stop());
}
