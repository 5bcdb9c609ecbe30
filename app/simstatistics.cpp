#include "simstatistics.h"

#include "engine/simulationthread.h"
#include "model/bus.h"
#include "model/car.h"
#include "model/simulationdata.h"
#include "model/simulationlocks.h"
#include "model/tram.h"
#include "model/units.h"

#include <vector>

namespace {

template <typename V> int64_t speedSum(const std::vector<V *> &list)
{
    int64_t sum = 0;
    for (const V *v : list)
        sum += v->speed();
    return sum;
}

} // namespace

SimStatistics SimStatistics::read(const SimulationData *data, const SimulationThread *thread)
{
    SimStatistics s;
    if (data) {
        s.time = data->time;
        s.step = data->step;
        int64_t sum = 0;
        {
            VehiclesLocker lock;
            s.cars = data->cars.size();
            s.buses = data->buses.size();
            s.trams = data->trams.size();
            sum = speedSum(data->cars) + speedSum(data->buses) + speedSum(data->trams);
        }
        if (s.vehicles() > 0)
            s.meanSpeedKmh = double(sum) / double(s.vehicles()) * units::KMH_PER_CELL_PER_STEP;
    }
    if (thread) {
        s.idlePercent = thread->pacer().idlePercent();
        s.overtime = thread->pacer().overtime();
    }
    return s;
}
