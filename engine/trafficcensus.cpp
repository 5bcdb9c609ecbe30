#include "trafficcensus.h"

#include "model/bus.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "model/tram.h"

#include <iterator>

namespace {

template <typename V> int64_t cellsTakenOver(const std::vector<V *> &list)
{
    int64_t count = 0;
    for (const V *v : list)
        for (const Cell *cell : v->cells())
            if (cell->vehicle() != v)
                ++count;
    return count;
}

} // namespace

void TrafficCensus::observe(const SimulationData &data)
{
    const int64_t now = ++m_observations;
    m_standing = 0;
    m_longest = 0;
    m_longestId = -1;
    for (const Car *car : data.cars) {
        if (car->speed() != 0)
            continue;
        ++m_standing;
        Standstill &standstill = m_stood.try_emplace(car->id(), Standstill{0, 0}).first->second;
        standstill.steps = standstill.seenAt == now - 1 ? standstill.steps + 1 : 1;
        standstill.seenAt = now;
        // The first car in list order wins a tie, so the report does not depend on hashing.
        if (standstill.steps > m_longest) {
            m_longest = standstill.steps;
            m_longestId = car->id();
            m_longestAt = car->frontCell() ? car->frontCell()->location : Location();
        }
    }
    // Forget the cars that moved or left.
    for (auto it = m_stood.begin(); it != m_stood.end();)
        it = it->second.seenAt == now ? std::next(it) : m_stood.erase(it);
    m_shared = cellsTakenOver(data.trams) + cellsTakenOver(data.buses) + cellsTakenOver(data.cars);
    m_sharedTotal += m_shared;
}

int32_t TrafficCensus::standstillOf(int32_t id) const
{
    const auto it = m_stood.find(id);
    return it == m_stood.end() ? 0 : it->second.steps;
}
