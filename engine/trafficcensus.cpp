#include "trafficcensus.h"

#include "model/bus.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "model/tram.h"

namespace {

template <typename V> int64_t cellsTakenOver(const std::vector<V *> &list)
{
    int64_t count = 0;
    for (const V *v : list)
        for (const Cell *cell : v->cells())
            if (cell->vehicle != v)
                ++count;
    return count;
}

} // namespace

void TrafficCensus::observe(const SimulationData &data)
{
    m_scratch.clear();
    m_standing = 0;
    m_longest = 0;
    m_longestId = -1;
    for (const Car *car : data.cars) {
        int32_t stood = 0;
        if (car->speed() == 0) {
            ++m_standing;
            const auto it = m_stood.find(car->id());
            stood = (it == m_stood.end() ? 0 : it->second) + 1;
            // The first car in list order wins a tie, so the report does not depend on hashing.
            if (stood > m_longest) {
                m_longest = stood;
                m_longestId = car->id();
                m_longestAt = car->frontCell() ? car->frontCell()->location : Location();
            }
        }
        m_scratch.emplace(car->id(), stood);
    }
    m_stood.swap(m_scratch);
    m_shared = cellsTakenOver(data.trams) + cellsTakenOver(data.buses) + cellsTakenOver(data.cars);
    m_sharedTotal += m_shared;
}

int32_t TrafficCensus::standstillOf(int32_t id) const
{
    const auto it = m_stood.find(id);
    return it == m_stood.end() ? 0 : it->second;
}
