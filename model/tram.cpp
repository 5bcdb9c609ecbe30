#include "tram.h"

Tram::Tram(SimulationData &run, const PublicTransportLine *line, int32_t departure)
    : VehicleGuided(run, line, departure)
{
    m_length = LENGTH;
}

void Tram::drive()
{
    // E: everything ahead; B: without bus stops and without traffic beside the track; V: without
    // crossroads; X: without vehicles.
    scanAhead(m_events);
    m_events.copyWithout(eventBit(EventBusStopEnd) | eventBit(EventBayEnd) | eventBit(EventSideVehicle), m_active);
    m_active.copyWithout(eventBit(EventCrossroad), m_vehicles);
    m_active.copyWithout(eventBit(EventVehicle) | eventBit(EventSideVehicle), m_stops);
    chooseSpeed();
}
