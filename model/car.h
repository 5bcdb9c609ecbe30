#ifndef KOLVEX_MODEL_CAR_H
#define KOLVEX_MODEL_CAR_H

#include "vehicle.h"

/// A private car: 3, 4 or 5 m long, turning at random at every crossroad.
class Car : public Vehicle
{
public:
    Car();
    ~Car() override = default;

    /// One decision per step, run in parallel with the other cars: looks ahead, plans the route,
    /// asks the crossroad ahead for right of way and leaves the chosen speed in `nextSpeed`.
    void decide();
};

#endif
