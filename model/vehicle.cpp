#include "vehicle.h"

#include <atomic>

namespace {
std::atomic<int32_t> nextVehicleId{0};
}

Vehicle::Vehicle() : m_id(nextVehicleId++), m_random(Random::vehicleSeed(m_id)) {}

Vehicle::~Vehicle() = default;

void Vehicle::planRoute() {}

int32_t Vehicle::stepsToCover(int32_t distance) const
{
    if (distance < 1)
        return 0;
    int32_t steps = 0;
    int32_t covered = 0;
    int32_t v = m_speed;
    while (covered < distance) {
        covered += v;
        v = v + 2 > m_maxSpeed ? m_maxSpeed : v + 2;
        ++steps;
    }
    return steps;
}

void Vehicle::accelerate1()
{
    m_nextSpeed = m_nextSpeed + 1 > m_speedLimit ? m_speedLimit : m_nextSpeed + 1;
}
