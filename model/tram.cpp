#include "tram.h"

Tram::Tram(SimulationData &run, const PublicTransportLine *line, int32_t departure)
    : VehicleGuided(run, line, departure)
{
    m_length = LENGTH;
}

void Tram::drive()
{
    // A tram keeps to its track: bus stops, bays and traffic beside the track are none of its business.
    lookAhead(eventBit(EventType::BusStopEnd) | eventBit(EventType::BayEnd) | eventBit(EventType::SideVehicle));
    chooseSpeed();
}
