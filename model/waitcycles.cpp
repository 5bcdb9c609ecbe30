#include "waitcycles.h"

#include "simulationdata.h"
#include "vehicle.h"

#include <algorithm>
#include <cstdint>
#include <utility>

WaitCycles::Waiter WaitCycles::waiterOf(Vehicle *vehicle)
{
    if (vehicle->speed() != 0 || vehicle->waitingForId() < 0)
        return Waiter();
    return Waiter{vehicle, vehicle->id(), vehicle->waitingForId()};
}

bool WaitCycles::isLocked(const Vehicle *vehicle) const
{
    if (!vehicle)
        return false;
    const int32_t index = indexOf(vehicle->id());
    return index >= 0 && standing[size_t(index)] == vehicle && locked[size_t(index)];
}

int32_t WaitCycles::indexOf(int32_t id) const
{
    const auto it = std::lower_bound(indexById.begin(), indexById.end(), std::make_pair(id, INT32_MIN));
    return it != indexById.end() && it->first == id ? it->second : -1;
}

int32_t WaitCycles::breakAll(SimulationData &data)
{
    std::vector<Vehicle *> vehicles;
    data.listVehicles(vehicles);
    std::vector<Waiter> waiters(vehicles.size());
    std::transform(vehicles.begin(), vehicles.end(), waiters.begin(), waiterOf);
    return breakAll(waiters);
}

int32_t WaitCycles::breakAll(const std::vector<Waiter> &waiters)
{
    standing.clear();
    indexById.clear();
    for (const Waiter &w : waiters)
        if (w.vehicle) {
            indexById.emplace_back(w.id, int32_t(standing.size()));
            standing.push_back(w.vehicle);
        }
    // Each list is in the order its vehicles came, so this sorts a few runs already in order.
    std::sort(indexById.begin(), indexById.end());
    const size_t n = standing.size();
    next.assign(n, -1);
    for (size_t i = 0, k = 0; i < waiters.size(); ++i) {
        if (!waiters[i].vehicle)
            continue;
        next[k++] = indexOf(waiters[i].waitingFor);
    }
    // Each standing vehicle waits for at most one other, so following the waits from any vehicle
    // either ends or runs into a cycle; a walk that meets a vehicle of its own walk found one.
    mark.assign(n, 0);
    locked.assign(n, 0);
    size_t found = 0;
    for (size_t start = 0; start < n; ++start) {
        walk.clear();
        int32_t i = int32_t(start);
        while (i >= 0 && mark[size_t(i)] == 0) {
            mark[size_t(i)] = 1;
            walk.push_back(i);
            i = next[size_t(i)];
        }
        bool leadsIntoCycle = i >= 0 && locked[size_t(i)];
        if (i >= 0 && mark[size_t(i)] == 1) {
            if (cycles.size() <= found)
                cycles.emplace_back();
            std::vector<Vehicle *> &cycle = cycles[found++];
            cycle.clear();
            for (auto it = std::find(walk.begin(), walk.end(), i); it != walk.end(); ++it)
                cycle.push_back(standing[size_t(*it)]);
            leadsIntoCycle = true;
        }
        for (int32_t k : walk) {
            mark[size_t(k)] = 2;
            locked[size_t(k)] = leadsIntoCycle;
        }
    }
    // All cycles are known before any is broken, so that a driver turning elsewhere does not turn
    // towards another cycle.
    int32_t released = 0;
    for (size_t c = 0; c < found; ++c) {
        std::vector<Vehicle *> &cycle = cycles[c];
        std::sort(cycle.begin(), cycle.end(), [](const Vehicle *a, const Vehicle *b) { return a->id() < b->id(); });
        if (std::any_of(cycle.begin(), cycle.end(), [this](Vehicle *v) { return v->breakWait(*this); })) {
            ++released;
            continue;
        }
        // No rule can lift any of the waits: the cycle is a ring of vehicles each standing behind
        // the next. Then the whole ring creeps on by one cell, every member into the cell ahead of
        // it, which is free or left by the member it waits for in this same move. The ring turns
        // slowly until its members reach a way out of it.
        for (Vehicle *v : cycle)
            released += v->creepOn() ? 1 : 0;
    }
    return released;
}
