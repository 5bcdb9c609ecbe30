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
        // While no bodies overlap, each holds all its cells: they are freed without reading whose
        // they are, which would cost a cache miss or two for every body.
        forEachPieceOfBody(body.data() + kept, body.size() - kept,
                           [v, together, overlaps = overlapsLeft](size_t, size_t cells, OccupantRun occupants) {
                               if (overlaps)
                                   occupants.release(cells, v, together);
                               else
                                   occupants.vacate(cells, together);
                               return true;
                           });
    });
    // A mover finding a cell taken notes its claim on it; the first to take a cell holds it.
    forEachInParallelWith(vehicles, laterClaims, ItemWork::Light,
                          [this, together, n](Vehicle *v, size_t i, size_t, std::vector<CellClaim> &later) {
                              // The first cell to take of the vehicle a few on, as `prefetchAhead`
                              // does for its object.
                              if (i + BODIES_AHEAD < n && fresh[i + BODIES_AHEAD] > 0)
                                  __builtin_prefetch(targets[i + BODIES_AHEAD].front());
                              claimCells(targets[i], fresh[i], v, i, together, later);
                          });
    if (std::any_of(laterClaims.begin(), laterClaims.end(), [](const auto &later) { return !later.empty(); }))
        settle();
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
    // Bodies overlap only where a clash was left to the last claimant. Else every cell claimed
    // twice was found taken by a mover as it took it, and the claims noted are all there is.
    if (overlapsLeft)
        claimAgain();
    ClaimsOnCells claims = claimsOnCellsTakenTwice();
    std::vector<char> shorten(vehicles.size());
    const auto canShorten = [this](size_t i) { return !stays[i] && advances[i] > 0; };
    // Every round shortens at least one move by a cell, and with no vehicle moving none overlap.
    for (;;) {
        if (claims.empty()) {
            overlapsLeft = false;
            return;
        }
        std::fill(shorten.begin(), shorten.end(), 0);
        bool any = false;
        for (const auto &[cell, claimants] : claims) {
            for (size_t a = 0; a < claimants.size(); ++a) {
                for (size_t b = a + 1; b < claimants.size(); ++b) {
                    Claimant first = claimants[a], second = claimants[b];
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
            for (const auto &[cell, claimants] : claims)
                cell->setVehicle(vehicles[claimants.back().vehicle]);
            overlapsLeft = true;
            return;
        }
        // Only the shortened moves change their claims: they withdraw them all, then claim again.
        for (size_t i = 0; i < vehicles.size(); ++i)
            if (shorten[i])
                for (size_t k = 0; k < targets[i].size(); ++k)
                    withdraw(claims, targets[i][k], Claimant{i, k});
        for (size_t i = 0; i < vehicles.size(); ++i) {
            if (!shorten[i])
                continue;
            --advances[i];
            // A shorter walk along the same cells and route cannot run out where the longer did not.
            vehicles[i]->cellsAfterMove(advances[i], targets[i]);
        }
        for (size_t i = 0; i < vehicles.size(); ++i)
            if (shorten[i])
                for (size_t k = 0; k < targets[i].size(); ++k)
                    add(claims, targets[i][k], Claimant{i, k});
    }
}

const std::vector<Cell *> &MovePhase::claimedBy(size_t i) const
{
    return stays[i] ? vehicles[i]->cells() : targets[i];
}

void MovePhase::claimCells(const std::vector<Cell *> &cells, size_t count, Vehicle *v, size_t i, bool together,
                           std::vector<CellClaim> &later)
{
    forEachPieceOfBody(cells.data(), count, [&](size_t rear, size_t pieceCells, OccupantRun occupants) {
        occupants.claim(pieceCells, v, together, [&](size_t k) {
            later.push_back(CellClaim{cells[rear - k], Claimant{i, rear - k}});
        });
        return true;
    });
}

void MovePhase::claimAgain()
{
    // Every cell claimed is marked free and taken again, by all the vehicles at once.
    for (std::vector<CellClaim> &later : laterClaims)
        later.clear();
    const bool together = spreadsOverPool(vehicles.size(), ItemWork::Light);
    forEachInParallel(vehicles, ItemWork::Light, [this, together](Vehicle *, size_t i) {
        forEachPieceOfBody(claimedBy(i), [together](size_t, size_t cells, OccupantRun occupants) {
            occupants.unmark(cells, together);
            return true;
        });
    });
    forEachInParallelWith(vehicles, laterClaims, ItemWork::Light,
                          [this, together](Vehicle *v, size_t i, size_t, std::vector<CellClaim> &later) {
                              const std::vector<Cell *> &cells = claimedBy(i);
                              claimCells(cells, cells.size(), v, i, together, later);
                          });
}

MovePhase::ClaimsOnCells MovePhase::claimsOnCellsTakenTwice()
{
    ClaimsOnCells claims;
    for (std::vector<CellClaim> &later : laterClaims) {
        for (const CellClaim &claim : later)
            claims[claim.cell].push_back(claim.claimant);
        later.clear();
    }
    // The claims of the vehicles holding those cells, and the cells given to their first claimants
    // in moving order.
    for (auto it = claims.begin(); it != claims.end();) {
        auto &[cell, claimants] = *it;
        // A body over a loop may claim a cell twice: its claim not noted is the one that took it.
        if (const size_t holder = indexOf(cell->vehicle()); holder < vehicles.size()) {
            const std::vector<Cell *> &cells = claimedBy(holder);
            for (size_t k = 0; k < cells.size(); ++k)
                if (cells[k] == cell &&
                    std::find(claimants.begin(), claimants.end(), Claimant{holder, k}) == claimants.end())
                    claimants.push_back(Claimant{holder, k});
        }
        std::sort(claimants.begin(), claimants.end());
        cell->setVehicle(vehicles[claimants.front().vehicle]);
        it = claimants.size() > 1 ? std::next(it) : claims.erase(it);
    }
    return claims;
}

void MovePhase::withdraw(ClaimsOnCells &claims, Cell *cell, Claimant claimant)
{
    const auto it = claims.find(cell);
    if (it == claims.end()) {
        cell->setVehicle(nullptr); // its only claim
        return;
    }
    std::vector<Claimant> &claimants = it->second;
    if (const auto at = std::find(claimants.begin(), claimants.end(), claimant); at != claimants.end())
        claimants.erase(at);
    cell->setVehicle(claimants.empty() ? nullptr : vehicles[claimants.front().vehicle]);
    if (claimants.size() < 2)
        claims.erase(it);
}

void MovePhase::add(ClaimsOnCells &claims, Cell *cell, Claimant claimant)
{
    auto it = claims.find(cell);
    if (it == claims.end()) {
        const size_t index = indexOf(cell->vehicle());
        if (index == vehicles.size()) { // free
            cell->setVehicle(vehicles[claimant.vehicle]);
            return;
        }
        const std::vector<Cell *> &cells = claimedBy(index);
        it = claims
                 .emplace(cell, std::vector<Claimant>{Claimant{
                                    index, size_t(std::find(cells.begin(), cells.end(), cell) - cells.begin())}})
                 .first;
    }
    std::vector<Claimant> &claimants = it->second;
    claimants.insert(std::upper_bound(claimants.begin(), claimants.end(), claimant), claimant);
    cell->setVehicle(vehicles[claimants.front().vehicle]);
}

size_t MovePhase::indexOf(const Vehicle *v) const
{
    // Asked for a few cells claimed twice in a step, and only then.
    return v ? size_t(std::find(vehicles.begin(), vehicles.end(), v) - vehicles.begin()) : vehicles.size();
}
