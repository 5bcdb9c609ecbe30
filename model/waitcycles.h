#ifndef KOLVEX_MODEL_WAITCYCLES_H
#define KOLVEX_MODEL_WAITCYCLES_H

#include <cstdint>
#include <unordered_map>
#include <vector>

class Vehicle;
struct SimulationData;

/// Finds the cycles of waits among standing vehicles and lets one member of each move.
///
/// Every vehicle that chose to stand names the vehicle it waits for (see `Vehicle::waitingForId`):
/// the one ahead, one it has to let pass at a crossroad, the one nearest the start of a full exit
/// lane, one in the way of a lane change. When these waits close a cycle of standing vehicles,
/// none of them ever moves by itself, however the cycle formed (crossroads joined by a lane
/// shorter than a car, a ring of full lanes, a bus and a car beside a bay). Then the member with
/// the lowest id whose wait the rules can lift gets its way (see `Vehicle::breakWait`): it takes
/// its turn at the crossroad, turns towards another exit, pulls out or passes its stop. Cycles of
/// vehicles that only follow each other are not broken: nothing can move there without a gap.
///
/// Runs in the step thread after the speeds are committed, while no decision runs; the result
/// depends only on the state, so a seed gives the same run on any number of threads.
class WaitCycles
{
public:
    /// Breaks every cycle found; returns how many vehicles were let go.
    int32_t breakAll(SimulationData &data);
    /// Whether `vehicle` stands in one of the cycles found by the last `breakAll`, or waits for one
    /// that does: waiting behind it never ends by itself.
    bool isLocked(const Vehicle *vehicle) const;

private:
    template <typename V> void addStanding(const std::vector<V *> &list);

    std::vector<Vehicle *> standing;
    std::unordered_map<int32_t, int32_t> indexById; ///< standing vehicles by id
    std::vector<int32_t> next;                      ///< index waited for, −1 if none standing
    std::vector<int8_t> mark;                       ///< 0 unseen, 1 on the current walk, 2 done
    std::vector<char> locked;                       ///< by index: in a cycle or waiting for one
    std::vector<int32_t> walk;
    std::vector<std::vector<Vehicle *>> cycles;
};

#endif
