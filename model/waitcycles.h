#ifndef KOLVEX_MODEL_WAITCYCLES_H
#define KOLVEX_MODEL_WAITCYCLES_H

#include <cstdint>
#include <utility>
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
    /// A vehicle standing and waiting for another, as the search reads it.
    struct Waiter
    {
        Vehicle *vehicle = nullptr; ///< null: this entry is no waiter
        int32_t id = -1;
        int32_t waitingFor = -1;
    };
    /// `vehicle` as a waiter if it stands and waits for another vehicle, else an empty entry.
    static Waiter waiterOf(Vehicle *vehicle);

    /// Breaks every cycle found among the run's standing vehicles; returns how many were let go.
    int32_t breakAll(SimulationData &data);
    /// The same with the waiters given, in the order of the run's lists (trams, buses, cars);
    /// empty entries are skipped. A caller reading many vehicles can find them on many threads.
    int32_t breakAll(const std::vector<Waiter> &waiters);
    /// Whether `vehicle` stands in one of the cycles found by the last `breakAll`, or waits for one
    /// that does: waiting behind it never ends by itself.
    bool isLocked(const Vehicle *vehicle) const;

private:
    std::vector<Vehicle *> standing;
    /// The index in `standing` of the standing vehicle with the id `id`, −1 if none.
    int32_t indexOf(int32_t id) const;
    std::vector<std::pair<int32_t, int32_t>> indexById; ///< (id, index in `standing`), by id
    std::vector<int32_t> next;                          ///< index waited for, −1 if none standing
    std::vector<int8_t> mark;                           ///< 0 unseen, 1 on the current walk, 2 done
    std::vector<char> locked;                           ///< by index: in a cycle or waiting for one
    std::vector<int32_t> walk;
    std::vector<std::vector<Vehicle *>> cycles;
};

#endif
