#include "movephase.h"

#include "model/cell.h"
#include "model/cellwalk.h"
#include "model/simulationdata.h"
#include "model/vehicle.h"
#include "parallelfor.h"
#include "prefetchahead.h"

#include <algorithm>
#include <tuple>
#include <utility>

namespace {

/// How many cells at the front of `target`, the body `body` after moving `advance` cells, the body
/// does not hold yet: `advance` when the target is the body moved along its own cells, so that its
/// last `advance` cells are left and the rest kept; all of them otherwise.
size_t cellsNotHeld(const std::vector<Cell *> &body, const std::vector<Cell *> &target, int32_t advance)
{
    const size_t shift = size_t(advance);
    if (target.size() == body.size() && shift < body.size() &&
        std::equal(target.begin() + std::ptrdiff_t(shift), target.end(), body.begin()))
        return shift;
    return target.size();
}

} // namespace

void MovePhase::run(SimulationData &data)
{
    data.listVehicles(vehicles);
    const size_t n = vehicles.size();
    if (targets.size() < n)
        targets.resize(n);
    advances.assign(n, 0);
    stays.assign(n, 0);

    // A vehicle that neither moves nor changes lanes keeps its cells; it needs no release and no
    // new occupancy, and a mover that runs into it still finds the cells taken.
    const auto keepsItsCells = [](const Vehicle *v) { return v->speed() == 0 && v->laneChange() == LaneChange::None; };
    // Everyone frees the cells they leave first, so a vehicle may move into cells another one left
    // in this step. Then the movers take the cells they did not hold; a cell taken twice, or one
    // another vehicle still holds, is a clash, found whichever vehicle comes first. A body moving
    // along its own cells keeps those it still covers: a car at walking pace moves a few of its
    // twenty cells, and each cell freed or taken costs a write other threads may be making too.
    fresh.assign(n, 0);
    newTails.assign(n, nullptr);
    const bool together = spreadsOverPool(n, ItemWork::Light);
    forEachInParallel(vehicles, ItemWork::Light, [this, &keepsItsCells, together](Vehicle *v, size_t i) {
        prefetchAhead(vehicles, i);
        advances[i] = v->speed();
        const bool keeps = keepsItsCells(v);
        // Where the body ends up follows from the vehicle's own cells, route and network alone,
        // not from who stands where.
        if (keeps || !v->cellsAfterMove(advances[i], targets[i])) {
            // Its cells are still its own, and nothing passed, so nothing to drop from its route.
            // Its target is not filled: only a clash needs it.
            advances[i] = 0;
            stays[i] = 1;
            return;
        }
        const std::vector<Cell *> &body = v->cells();
        newTails[i] = targets[i].back();
        fresh[i] = cellsNotHeld(body, targets[i], advances[i]);
        // The body keeps the cells the target shares, and leaves the last `fresh` ones.
        const size_t kept = body.size() - std::min(fresh[i], body.size());
        forEachPieceOfBody(body.data() + kept, body.size() - kept,
                           [v, together](size_t, size_t cells, OccupantRun occupants) {
                               occupants.release(cells, v, together);
                               return true;
                           });
    });
    clashes.assign(n, 0);
    forEachInParallel(vehicles, ItemWork::Light, [this, together, n](Vehicle *v, size_t i) {
        // The first cell to take of the vehicle a few on, as `prefetchAhead` does for its object.
        if (i + BODIES_AHEAD < n && fresh[i + BODIES_AHEAD] > 0)
            __builtin_prefetch(targets[i + BODIES_AHEAD].front());
        bool taken = false;
        forEachPieceOfBody(targets[i].data(), fresh[i],
                           [v, together, &taken](size_t, size_t cells, OccupantRun occupants) {
                               taken |= occupants.take(cells, v, together);
                               return true;
                           });
        clashes[i] = taken;
    });
    const bool clash = std::find(clashes.begin(), clashes.end(), 1) != clashes.end();
    if (clash) {
        for (size_t i = 0; i < n; ++i) {
            if (stays[i])
                targets[i] = vehicles[i]->cells();
            for (Cell *c : targets[i])
                c->setVehicle(nullptr);
        }
        settle();
    }
    forEachInParallel(vehicles, ItemWork::Light, [this, n](Vehicle *v, size_t i) {
        // The objects of the movers a few on, as `prefetchAhead` does, and the tail cells their
        // moves will read; not their targets, which another thread may be giving them meanwhile.
        if (i + OBJECTS_AHEAD < n && !stays[i + OBJECTS_AHEAD])
            prefetchObject(vehicles[i + OBJECTS_AHEAD]);
        if (i + BODIES_AHEAD < n && newTails[i + BODIES_AHEAD])
            __builtin_prefetch(newTails[i + BODIES_AHEAD]);
        if (stays[i])
            return;
        if (advances[i] < v->speed())
            v->limitSpeed(advances[i]);
        v->takeCells(targets[i], advances[i]);
    });
}

void MovePhase::settle()
{
    struct Claim
    {
        Cell *cell;
        size_t vehicle;
        size_t bodyIndex; ///< 0 is the front
        bool operator<(const Claim &o) const
        {
            return std::tie(cell, vehicle, bodyIndex) < std::tie(o.cell, o.vehicle, o.bodyIndex);
        }
    };
    std::vector<Claim> contested;
    std::vector<std::pair<const Vehicle *, Cell *>> holders;
    std::vector<char> shorten(vehicles.size());
    const auto canShorten = [this](size_t i) { return !stays[i] && advances[i] > 0; };
    // Every round shortens at least one move by a cell, and with no vehicle moving none overlap.
    for (;;) {
        // Each cell goes to the first vehicle claiming it, in moving order, which marks it as
        // claimed without a table of all the claims; only the later claims on it are kept.
        contested.clear();
        for (size_t i = 0; i < vehicles.size(); ++i) {
            for (size_t k = 0; k < targets[i].size(); ++k) {
                Cell *c = targets[i][k];
                if (c->vehicle())
                    contested.push_back(Claim{c, i, k});
                else
                    c->setVehicle(vehicles[i]);
            }
        }
        if (contested.empty())
            return;
        // The first claims on the contested cells, found by their vehicles.
        holders.clear();
        for (const Claim &claim : contested)
            holders.emplace_back(claim.cell->vehicle(), claim.cell);
        std::sort(holders.begin(), holders.end());
        holders.erase(std::unique(holders.begin(), holders.end()), holders.end());
        for (size_t i = 0; i < vehicles.size(); ++i) {
            auto held = std::lower_bound(holders.begin(), holders.end(),
                                         std::pair<const Vehicle *, Cell *>(vehicles[i], nullptr));
            for (; held != holders.end() && held->first == vehicles[i]; ++held) {
                const auto k = std::find(targets[i].begin(), targets[i].end(), held->second) - targets[i].begin();
                contested.push_back(Claim{held->second, i, size_t(k)});
            }
        }
        std::sort(contested.begin(), contested.end());

        std::fill(shorten.begin(), shorten.end(), 0);
        bool any = false;
        for (size_t from = 0, to = 0; from < contested.size(); from = to) {
            for (to = from + 1; to < contested.size() && contested[to].cell == contested[from].cell;)
                ++to;
            for (size_t a = from; a < to; ++a) {
                for (size_t b = a + 1; b < to; ++b) {
                    Claim first = contested[a], second = contested[b];
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
        if (!any) {
            // Nobody can give way: the cell goes to the last vehicle claiming it, in moving order.
            for (size_t at = 0; at < contested.size(); ++at)
                if (at + 1 == contested.size() || contested[at + 1].cell != contested[at].cell)
                    contested[at].cell->setVehicle(vehicles[contested[at].vehicle]);
            return;
        }
        for (size_t i = 0; i < vehicles.size(); ++i)
            for (Cell *c : targets[i])
                c->setVehicle(nullptr);
        for (size_t i = 0; i < vehicles.size(); ++i) {
            if (!shorten[i])
                continue;
            --advances[i];
            // A shorter walk along the same cells and route cannot run out where the longer did not.
            vehicles[i]->cellsAfterMove(advances[i], targets[i]);
        }
    }
}
