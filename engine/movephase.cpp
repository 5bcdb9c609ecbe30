#include "movephase.h"

#include "model/bus.h"
#include "model/car.h"
#include "model/cell.h"
#include "model/chain.h"
#include "model/simulationdata.h"
#include "model/tram.h"
#include "parallelfor.h"

#include <algorithm>
#include <unordered_map>

namespace {

template <typename V> void append(std::vector<Vehicle *> &all, const std::vector<V *> &list)
{
    all.insert(all.end(), list.begin(), list.end());
}

} // namespace

void MovePhase::run(SimulationData &data)
{
    vehicles.clear();
    append(vehicles, data.trams);
    append(vehicles, data.buses);
    append(vehicles, data.cars);
    const size_t n = vehicles.size();
    if (targets.size() < n)
        targets.resize(n);
    advances.assign(n, 0);
    stays.assign(n, 0);

    // A vehicle that neither moves nor changes lanes keeps its cells; it needs no release and no
    // new occupancy, and a mover that runs into it still finds the cells taken.
    const auto keepsItsCells = [](const Vehicle *v) { return v->speed() == 0 && v->laneChange() == LaneChange::None; };
    // Everyone else frees their cells first, so a vehicle may move into cells another one left in
    // this step. Then the movers take their new cells; a cell taken twice, or one a vehicle that
    // stays still holds, is a clash, found whichever vehicle comes first.
    forEachInParallel(vehicles, ItemWork::Light, [&keepsItsCells](Vehicle *v, size_t) {
        if (!keepsItsCells(v))
            release(v);
    });
    clashes.assign(n, 0);
    const bool together = spreadsOverPool(n, ItemWork::Light);
    forEachInParallel(vehicles, ItemWork::Light, [this, &keepsItsCells, together](Vehicle *v, size_t i) {
        advances[i] = v->speed();
        const bool keeps = keepsItsCells(v);
        // Where the body ends up follows from the vehicle's own cells, route and the network
        // alone, not from who stands where.
        if (keeps || !v->cellsAfterMove(advances[i], targets[i])) {
            targets[i] = v->cells();
            advances[i] = 0;
            stays[i] = 1; // nothing passed, so nothing to drop from its route
        }
        if (keeps)
            return; // its cells are still its own
        char taken = 0;
        for (Cell *c : targets[i])
            taken |= together ? c->takeAtOnce(v) : c->take(v);
        clashes[i] = taken;
    });
    const bool clash = std::find(clashes.begin(), clashes.end(), 1) != clashes.end();
    if (clash) {
        for (size_t i = 0; i < n; ++i)
            for (Cell *c : targets[i])
                c->setVehicle(nullptr);
        settle();
        for (size_t i = 0; i < n; ++i)
            occupy(targets[i], vehicles[i]);
    }
    forEachInParallel(vehicles, ItemWork::Light, [this](Vehicle *v, size_t i) {
        if (stays[i])
            return;
        if (advances[i] < v->speed())
            v->limitSpeed(advances[i]);
        v->takeCells(targets[i]);
    });
}

void MovePhase::settle()
{
    struct Claim
    {
        size_t vehicle;
        size_t bodyIndex; ///< 0 is the front
    };
    std::unordered_map<const Cell *, std::vector<Claim>> claims;
    std::vector<char> shorten(vehicles.size());
    const auto canShorten = [this](size_t i) { return !stays[i] && advances[i] > 0; };
    // Every round shortens at least one move by a cell, and with no vehicle moving none overlap.
    for (;;) {
        claims.clear();
        for (size_t i = 0; i < vehicles.size(); ++i)
            for (size_t k = 0; k < targets[i].size(); ++k)
                claims[targets[i][k]].push_back(Claim{i, k});
        std::fill(shorten.begin(), shorten.end(), 0);
        bool any = false;
        for (const auto &cell : claims) {
            const std::vector<Claim> &list = cell.second;
            for (size_t a = 0; a < list.size(); ++a) {
                for (size_t b = a + 1; b < list.size(); ++b) {
                    Claim first = list[a], second = list[b];
                    // The one holding the cell nearer its front ran into the other; on a tie
                    // (two fronts meeting) the later in moving order gives way.
                    if (second.bodyIndex < first.bodyIndex ||
                        (second.bodyIndex == first.bodyIndex && second.vehicle > first.vehicle))
                        std::swap(first, second);
                    const size_t yielder = canShorten(first.vehicle)    ? first.vehicle
                                           : canShorten(second.vehicle) ? second.vehicle
                                                                        : vehicles.size();
                    if (yielder < vehicles.size()) {
                        shorten[yielder] = 1;
                        any = true;
                    }
                }
            }
        }
        if (!any)
            return;
        for (size_t i = 0; i < vehicles.size(); ++i) {
            if (!shorten[i])
                continue;
            --advances[i];
            // A shorter walk along the same cells and route cannot run out where the longer did not.
            vehicles[i]->cellsAfterMove(advances[i], targets[i]);
        }
    }
}
