#ifndef KOLVEX_ENGINE_TRAFFICCENSUS_H
#define KOLVEX_ENGINE_TRAFFICCENSUS_H

#include "geo/geodesy.h"

#include <cstdint>
#include <unordered_map>

struct SimulationData;

/// Looks at a run between two steps: how many cars stand still, the longest current standstill
/// and where that car stands (the head of a jam that does not dissolve), and the cells that two
/// vehicles hold at once. Runs in the thread that steps the simulation, while no step runs.
class TrafficCensus
{
public:
    /// Counts the state left by the step just done; call once after every step.
    void observe(const SimulationData &data);

    /// Cars whose last move was 0 cells.
    int32_t standingCars() const { return m_standing; }
    /// Steps the car that has stood longest has stood, counting this one; 0 if none stands.
    int32_t longestStandstill() const { return m_longest; }
    /// Id of that car, −1 if none stands.
    int32_t longestStandingId() const { return m_longestId; }
    /// Front cell position of that car.
    const Location &longestStandingAt() const { return m_longestAt; }
    /// Steps car `id` has stood (0 if it moved in the last step or is unknown).
    int32_t standstillOf(int32_t id) const;
    /// Body cells whose `vehicle` is another vehicle after the last step.
    int64_t sharedCells() const { return m_shared; }
    /// The same summed over every observed step.
    int64_t sharedCellsTotal() const { return m_sharedTotal; }

private:
    struct Standstill
    {
        int32_t steps;
        int64_t seenAt; ///< the observation that last saw the car stand
    };
    /// The cars that stood at the last observation, by id; kept from step to step, so that a
    /// step allocates only for the cars that have just stopped.
    std::unordered_map<int32_t, Standstill> m_stood;
    int64_t m_observations = 0;
    int32_t m_standing = 0;
    int32_t m_longest = 0;
    int32_t m_longestId = -1;
    Location m_longestAt;
    int64_t m_shared = 0;
    int64_t m_sharedTotal = 0;
};

#endif
