#ifndef KOLVEX_MODEL_BUS_H
#define KOLVEX_MODEL_BUS_H

#include "vehicleguided.h"

/// A bus or trolleybus of a public-transport line, 8 m long: pulls into the bay beside its lane at
/// its stops and out again. It queues behind a vehicle in the bay of its next stop and gives way
/// to one pulling out of a bay; other vehicles in bays it passes.
class Bus : public VehicleGuided
{
public:
    static constexpr int32_t LENGTH = units::cells(8.0);

    Bus(SimulationData &run, const PublicTransportLine *line, int32_t departure);
    ~Bus() override = default;

    /// Plans nothing while the bus stands wholly in a bay or on a platform.
    void planRoute() override;
    void drive() override;

protected:
    /// At its terminus the trip ends; in a bay the bus pulls out onto the lane when it may.
    DriveMode modeAtRouteEnd() override;
    /// Whether the bus waits behind the vehicle in the bay beside the lane at event `beside`.
    bool heedsBeside(const Event &beside) const override;
};

#endif
