#ifndef KOLVEX_MODEL_TRAM_H
#define KOLVEX_MODEL_TRAM_H

#include "vehicle.h"

/// A tram of a public-transport line.
class Tram : public Vehicle
{
public:
    ~Tram() override = default;

    /// One decision per step; `second` is the simulation time as seconds of the day.
    void decide(int second) { (void)second; }
};

#endif
