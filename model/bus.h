#ifndef KOLVEX_MODEL_BUS_H
#define KOLVEX_MODEL_BUS_H

#include "vehicle.h"

/// A bus or trolleybus of a public-transport line.
class Bus : public Vehicle
{
public:
    ~Bus() override = default;

    /// One decision per step; `second` is the simulation time as seconds of the day.
    void decide(int second) { (void)second; }
};

#endif
