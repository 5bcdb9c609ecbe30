#ifndef KOLVEX_ENGINE_MOVEPHASE_H
#define KOLVEX_ENGINE_MOVEPHASE_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

class Cell;
class Vehicle;
struct SimulationData;

/// Moves every vehicle by its committed speed (trams, then buses, then cars) so that no two end on
/// the same cell. The speeds are chosen on a frozen picture, and a vehicle can meet one it did not
/// see, or one that could not brake hard enough: then the vehicle that runs into the other (the
/// one holding the shared cell nearer its front) advances less, as far as it still fits, and its
/// speed becomes the advance it made. Runs in the step thread while no decision runs.
class MovePhase
{
public:
    void run(SimulationData &data);

private:
    /// A claim on a cell: the vehicle's place in moving order, and the cell's place in its planned
    /// body (0 is the front).
    struct Claimant
    {
        size_t vehicle;
        size_t bodyIndex;
        bool operator<(const Claimant &o) const
        {
            return vehicle < o.vehicle || (vehicle == o.vehicle && bodyIndex < o.bodyIndex);
        }
        bool operator==(const Claimant &o) const { return vehicle == o.vehicle && bodyIndex == o.bodyIndex; }
    };
    struct CellClaim
    {
        Cell *cell;
        Claimant claimant;
    };
    /// The cells claimed more than once, each with its claims in moving order.
    using ClaimsOnCells = std::map<Cell *, std::vector<Claimant>>;

    /// Shortens moves until no cell is claimed twice, and gives each planned cell to the vehicle
    /// planning it: the first in moving order, or where nobody can give way, the last.
    void settle();
    /// The cells vehicle `i` claims: its target, or its own cells when it stays.
    const std::vector<Cell *> &claimedBy(size_t i) const;
    /// Marks taken the first `count` of `cells`, those vehicle `v`, at `i` in moving order, claims,
    /// and makes it the occupant of those that were free; notes in `later` its claims on the others.
    static void claimCells(const std::vector<Cell *> &cells, size_t count, Vehicle *v, size_t i, bool together,
                           std::vector<CellClaim> &later);
    /// Frees every claimed cell and claims it again, noting in `laterClaims` the claims that find
    /// their cells taken.
    void claimAgain();
    /// The cells of the claims noted in `laterClaims` with all their claims, each given to its first
    /// claimant; empties `laterClaims`.
    ClaimsOnCells claimsOnCellsTakenTwice();
    /// Takes back, or adds, the claim of one vehicle on a cell, keeping each claimed cell held by
    /// its first claimant and `claims` those of the cells claimed more than once.
    void withdraw(ClaimsOnCells &claims, Cell *cell, Claimant claimant);
    void add(ClaimsOnCells &claims, Cell *cell, Claimant claimant);
    /// The place of `v` in moving order; the number of vehicles for null.
    size_t indexOf(const Vehicle *v) const;

    std::vector<Vehicle *> vehicles;
    std::vector<std::vector<Cell *>> targets; ///< the body after the move, by vehicle
    std::vector<int32_t> advances;            ///< cells each vehicle moves
    std::vector<char> stays;                  ///< the move failed: the vehicle keeps its cells
    std::vector<size_t> fresh;                ///< cells at the front of its target it did not hold
    /// The tail cell of each target as first planned, which taking the cells reads: kept apart from
    /// the targets, which other threads swap meanwhile, so that it can be asked for ahead.
    std::vector<const Cell *> newTails;
    /// The claims that found their cells taken, noted by each piece of a parallel pass.
    std::vector<std::vector<CellClaim>> laterClaims;
    /// A clash was left to the last claimant: the losers' bodies still cover cells they do not hold.
    bool overlapsLeft = false;
};

#endif
