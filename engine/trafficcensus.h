#ifndef KOLVEX_ENGINE_TRAFFICCENSUS_H
#define KOLVEX_ENGINE_TRAFFICCENSUS_H

#include "geo/geodesy.h"
#include "model/waitcause.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct SimulationData;

/// The kinds of vehicle, as reports name them.
enum class VehicleKind : int32_t { Car, Bus, Tram };

/// "car", "bus" or "tram".
const char *vehicleKindText(VehicleKind kind);

/// A vehicle standing in one place, and what it waits for.
struct Standstill
{
    int32_t steps = 0; ///< steps stood, counting the last one
    int32_t id = -1;
    VehicleKind kind = VehicleKind::Car;
    Location at;        ///< its front cell
    int64_t wayId = -1; ///< the map way of its front cell; −1 inside a crossroad or beside a lane
    WaitCause cause = WaitCause::None;
    int32_t waitingFor = -1; ///< the vehicle it waits for, −1 if none
    VehicleKind waitingForKind = VehicleKind::Car;
};

/// "bus 18 at 43.7500406,7.4372021 on way 4242: vehicle ahead (car 63)": who stands, where, and for what.
std::string standstillText(const Standstill &standstill);

/// Looks at a run between two steps: how many vehicles of every kind stand still, the one that has
/// stood longest, where and for what (the head of a jam that does not dissolve, or a bus keeping
/// to its timetable), and the cells that two vehicles hold at once. Runs in the thread that steps
/// the simulation, while no step runs.
class TrafficCensus
{
public:
    /// Counts the state left by the step just done; call once after every step.
    void observe(const SimulationData &data);

    /// Vehicles that neither moved nor changed lanes in the last step.
    int32_t standingVehicles() const { return m_standing; }
    /// Steps the vehicle that has stood longest has stood, counting this one; 0 if none stands.
    int32_t longestStandstill() const { return m_longest.steps; }
    /// Id of that vehicle, −1 if none stands.
    int32_t longestStandingId() const { return m_longest.id; }
    /// That vehicle: where it stands and what it waits for.
    const Standstill &longest() const { return m_longest; }
    /// The longest standstill seen at any observation so far, as it was when it ended or now.
    const Standstill &longestEver() const { return m_longestEver; }
    /// Steps vehicle `id` has stood (0 if it moved in the last step or is unknown).
    int32_t standstillOf(int32_t id) const;
    /// Body cells whose `vehicle` is another vehicle after the last step.
    int64_t sharedCells() const { return m_shared; }
    /// The same summed over every observed step.
    int64_t sharedCellsTotal() const { return m_sharedTotal; }

private:
    struct Stood
    {
        int32_t steps;
        int64_t seenAt; ///< the observation that last saw the vehicle stand
    };
    template <typename V> void observeKind(const std::vector<V *> &list, VehicleKind kind, int64_t now);
    VehicleKind kindOf(const SimulationData &data, int32_t id) const;

    /// The vehicles that stood at the last observation, by id; kept from step to step, so that a
    /// step allocates only for the vehicles that have just stopped.
    std::unordered_map<int32_t, Stood> m_stood;
    int64_t m_observations = 0;
    int32_t m_standing = 0;
    Standstill m_longest;
    Standstill m_longestEver;
    std::vector<int32_t> m_counts; ///< room for counting the vehicles of one list at once
    int64_t m_shared = 0;
    int64_t m_sharedTotal = 0;
};

#endif
