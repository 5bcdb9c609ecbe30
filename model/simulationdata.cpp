#include "simulationdata.h"

#include "bus.h"
#include "car.h"
#include "cell.h"
#include "crossroad.h"
#include "generator.h"
#include "semaphore.h"
#include "tram.h"

#include <algorithm>

SimulationData::~SimulationData()
{
    for (Generator *generator : generators)
        delete generator;
    for (Car *car : cars)
        delete car;
    for (Tram *tram : trams)
        delete tram;
    for (Bus *bus : buses)
        delete bus;
    cars.clear();
    trams.clear();
    buses.clear();
    for (Crossroad *crossroad : crossroads)
        delete crossroad;
    for (Semaphore *semaphore : semaphores)
        delete semaphore;
}

void SimulationData::feedGenerators(int64_t factor)
{
    if (factor <= 1)
        return;
    for (Generator *generator : generators)
        generator->period = int32_t(std::max<int64_t>(1, generator->period / factor));
}

namespace {

void mix(uint64_t &h, int64_t value)
{
    for (int i = 0; i < 8; ++i) {
        h ^= uint64_t(value >> (8 * i)) & 0xFF;
        h *= 1099511628211ULL;
    }
}

void mixGuided(uint64_t &, const Car *) {}

/// What a bus or tram does and where it is on its line.
void mixGuided(uint64_t &h, const VehicleGuided *v)
{
    mix(h, int64_t(v->state()));
    mix(h, v->stopIndex());
    mix(h, v->maxSpeed());
}

template <typename V> void hashVehicles(uint64_t &h, const std::vector<V *> &list)
{
    for (const V *v : list) {
        mix(h, v->id());
        mix(h, v->speed());
        mixGuided(h, v);
        for (const Cell *cell : v->cells())
            mix(h, cell->id);
    }
}

} // namespace

uint64_t SimulationData::stateHash() const
{
    uint64_t h = 14695981039346656037ULL;
    hashVehicles(h, trams);
    hashVehicles(h, buses);
    hashVehicles(h, cars);
    return h;
}

void SimulationData::listVehicles(std::vector<Vehicle *> &out) const
{
    out.clear();
    out.insert(out.end(), trams.begin(), trams.end());
    out.insert(out.end(), buses.begin(), buses.end());
    out.insert(out.end(), cars.begin(), cars.end());
}
