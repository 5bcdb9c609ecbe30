#ifndef KOLVEX_MODEL_BUS_H
#define KOLVEX_MODEL_BUS_H

#include "vehicleguided.h"

/// A bus or trolleybus of a public-transport line, 8 m long: pulls into the bay beside its lane at
/// its stops and out again, and treats vehicles in bays beside its lane as obstacles.
class Bus : public VehicleGuided
{
public:
    static constexpr int32_t LENGTH = 32;

    Bus(SimulationData &run, const PublicTransportLine *line, int32_t departure);
    ~Bus() override = default;

    /// Plans nothing while the bus stands wholly in a bay or on a platform.
    void planRoute() override;
    void drive() override;

protected:
    /// At its terminus the trip ends; in a bay the bus pulls out onto the lane when it may.
    int32_t modeAtRouteEnd() override;
};

#endif
