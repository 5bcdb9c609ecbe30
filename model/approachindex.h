#ifndef KOLVEX_MODEL_APPROACHINDEX_H
#define KOLVEX_MODEL_APPROACHINDEX_H

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class Cell;
class Crossroad;
class Vehicle;

/// The vehicle approaching each stop line of the crossroads without signals, within the reach of
/// the deadlock test. Found once per step from the vehicles' front cells, instead of walking back
/// from every stop line: the answers are the same as `approachingVehicle`.
class ApproachIndex
{
public:
    static constexpr int32_t REACH = 100;

    /// Gives the stop lines of `crossroads` their slots; call once the network is complete.
    void build(const std::vector<Crossroad *> &crossroads);
    bool isBuilt() const { return built; }
    /// Where a vehicle's front stands before a stop line of the index: that stop line's slot (−1
    /// for none within REACH) and the cells left to it. Only reads, so many threads may ask at once.
    struct Approach
    {
        int32_t slot = -1;
        int32_t distance = 0;
        const Cell *front = nullptr;
    };
    Approach approachOf(const Vehicle *vehicle) const;
    /// Finds the nearest occupied cell before every stop line from the approaches of all
    /// vehicles, in the order of the run's lists: the first of those nearest wins a tie.
    void update(const std::vector<Approach> &approaches);
    /// The first vehicle with its front on `stopLine` or the REACH − 1 cells behind it.
    const Vehicle *upstream(const Cell *stopLine) const;
    /// Stop lines of the crossroad at `index` in the list given to `build` that have a vehicle
    /// approaching: a crossroad with two or fewer cannot be locked.
    int32_t occupiedApproaches(size_t index) const;

private:
    /// The slot of `stopLine`, −1 if it is none of the stop lines given to `build`.
    int32_t slotAt(const Cell *stopLine) const;

    struct Nearest
    {
        int32_t distance;
        const Cell *cell;
    };
    std::vector<Nearest> nearest; ///< by slot
    /// The slot of each stop line; kept here rather than in every cell, since few cells are stop
    /// lines. Only looked up, never walked, so its order cannot reach a result.
    std::unordered_map<const Cell *, int32_t> slotOf;
    /// The slots of crossroad i are crossroadSlots[firstSlot[i] .. firstSlot[i + 1]).
    std::vector<size_t> firstSlot;
    std::vector<int32_t> crossroadSlots;
    bool built = false;
};

#endif
