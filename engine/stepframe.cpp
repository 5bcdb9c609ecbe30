#include "stepframe.h"

#include "model/bus.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "model/units.h"

#include <type_traits>

namespace {

template <typename V> int64_t speedSum(const std::vector<V *> &list)
{
    int64_t sum = 0;
    for (const V *v : list)
        sum += v->speed();
    return sum;
}

} // namespace

TrafficCounts TrafficCounts::of(const SimulationData &data)
{
    TrafficCounts c;
    c.cars = data.cars.size();
    c.buses = data.buses.size();
    c.trams = data.trams.size();
    const int64_t sum = speedSum(data.trams) + speedSum(data.buses) + speedSum(data.cars);
    if (c.vehicles() > 0)
        c.meanSpeedKmh = double(sum) / double(c.vehicles()) * units::KMH_PER_CELL_PER_STEP;
    return c;
}

template <typename V> void StepFrame::captureKind(const std::vector<V *> &list, VehicleKind kind)
{
    kindStart[size_t(kind)] = vehicles.size();
    for (const V *v : list) {
        Vehicle &out = vehicles.emplace_back();
        out.kind = kind;
        out.id = v->id();
        out.speed = v->speed();
        out.firstCell = cells.size();
        const std::vector<Cell *> &body = v->cells();
        out.cellCount = body.size();
        for (const Cell *cell : body)
            cells.push_back(cell->location());
        if (body.size() == 1 && body[0]->next()) {
            out.hasNext = true;
            out.next = body[0]->next()->location();
        }
        if constexpr (std::is_base_of_v<VehicleGuided, V>) {
            // What other threads may read of a bus or tram: its published stop state.
            out.line = QString::fromStdString(v->lineName());
            if (v->isLoading()) {
                out.stopState = GuidedState::Loading;
                out.stopSteps = v->shownLoadCount();
            } else if (v->isWaiting()) {
                out.stopState = GuidedState::Waiting;
                out.stopSteps = v->shownWaitCount();
            }
        }
    }
}

void StepFrame::capture(const SimulationData &data)
{
    time = data.time;
    step = data.step;
    vehicles.clear();
    cells.clear();
    captureKind(data.cars, VehicleKind::Car);
    captureKind(data.buses, VehicleKind::Bus);
    captureKind(data.trams, VehicleKind::Tram);
    kindStart[3] = vehicles.size();
    lights.clear();
    forEachSignalLight(data.semaphores, [this](const Semaphore &, const WayEnd *, int32_t light) {
        lights.push_back(Semaphore::Light(light));
    });
    counts = TrafficCounts::of(data);
}
