#include "car.h"

#include "simulationdata.h"
#include "units.h"

#include <algorithm>
#include <cmath>

Car::Car(SimulationData &run) : Vehicle(run.newVehicleId(), run.random)
{
    m_length = drawLength(run.random);
}

int32_t Car::drawLength(RunRandom &random)
{
    return int32_t(std::lround(units::CELLS_PER_M * (random.draw() % (LONGEST_M - SHORTEST_M + 1) + SHORTEST_M)));
}

void Car::decide()
{
    // E: everything ahead; B (m_active): without stops, side traffic only when it pulls out into
    // this lane; V: vehicles and route ends; X: crossroads and route ends.
    scanAhead(m_events);
    m_events.copyWithout(eventBit(EventBusStopEnd) | eventBit(EventBayEnd) | eventBit(EventTramStopEnd), m_stops);
    // A car lets out a bus indicating in a bay ahead when it can stop short of it; one already
    // beside it, or too close to stop, drives on and so leaves the gap the bus waits for.
    m_stops.copyPullingOutOnly(m_active, std::max(1, brakingDistance()));
    m_active.copyWithout(eventBit(EventCrossroad), m_vehicles);
    m_active.copyWithout(eventBit(EventVehicle) | eventBit(EventSideVehicle), m_stops);

    chooseSpeed();
}
