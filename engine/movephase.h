#ifndef KOLVEX_ENGINE_MOVEPHASE_H
#define KOLVEX_ENGINE_MOVEPHASE_H

#include <cstddef>
#include <cstdint>
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
    /// Shortens moves until no cell is claimed twice, and gives each planned cell to the vehicle
    /// planning it; the planned cells are free when it starts.
    void settle();

    std::vector<Vehicle *> vehicles;
    std::vector<std::vector<Cell *>> targets; ///< the body after the move, by vehicle
    std::vector<int32_t> advances;            ///< cells each vehicle moves
    std::vector<char> stays;                  ///< the move failed: the vehicle keeps its cells
    std::vector<char> clashes;                ///< the vehicle found a cell it took already taken
    std::vector<size_t> fresh;                ///< cells at the front of its target it did not hold
    /// The tail cell of each target as first planned, which taking the cells reads: kept apart from
    /// the targets, which other threads swap meanwhile, so that it can be asked for ahead.
    std::vector<const Cell *> newTails;
};

#endif
