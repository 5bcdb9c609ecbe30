#ifndef KOLVEX_MODEL_TRAM_H
#define KOLVEX_MODEL_TRAM_H

#include "vehicle.h"

/// A tram of a public-transport line.
class Tram : public Vehicle
{
public:
    ~Tram() override = default;
};

#endif
