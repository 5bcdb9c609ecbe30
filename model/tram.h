#ifndef KOLVEX_MODEL_TRAM_H
#define KOLVEX_MODEL_TRAM_H

#include "vehicleguided.h"

/// A tram of a public-transport line, 20 m long: stops on the platform cells of its track and
/// ignores bus stops and traffic beside the track.
class Tram : public VehicleGuided
{
public:
    static constexpr int32_t LENGTH = units::cells(20.0);

    Tram(SimulationData &run, const PublicTransportLine *line, int32_t departure);
    ~Tram() override = default;

    void drive() override;
};

#endif
