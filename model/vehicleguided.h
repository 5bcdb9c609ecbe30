#ifndef KOLVEX_MODEL_VEHICLEGUIDED_H
#define KOLVEX_MODEL_VEHICLEGUIDED_H

#include "vehicle.h"

#include <cstdint>
#include <string>
#include <vector>

class OSMStop;
class PublicTransportLine;
struct SimulationData;

/// What a bus or tram is doing; the values are the ones stored in `state`.
enum class GuidedState : int32_t {
    Loading = 0, ///< standing at a stop while passengers get on and off
    Waiting = 1, ///< standing at a stop until the scheduled departure
    Driving = 2
};

/// A vehicle of a public-transport line (bus, trolleybus or tram): follows the ways of its line,
/// stops at the line's stops to load, waits there when early, drives faster when late, and ends
/// its trip at the last stop.
///
/// Its decision runs in parallel with the other vehicles of its kind. What other decisions read
/// of it (loading and waiting state and counters, top speed, lane change) is kept in a published
/// copy that changes only in `publishDecision`, which the step calls once every vehicle of the
/// kind has decided; so no decision ever sees a half-made decision of another.
class VehicleGuided : public Vehicle
{
public:
    static constexpr int32_t NORMAL_SPEED = 11;
    static constexpr int32_t FAST_SPEED = TOP_SPEED;
    /// Seconds late after a stop from which the vehicle drives at its fast speed.
    static constexpr int32_t LATE_SECONDS = 30;

    /// A trip of `line` (name, ways, stops and stop offsets are copied; null gives an empty trip)
    /// leaving its first stop at `departure` seconds of the day; it takes the run's next vehicle id.
    VehicleGuided(SimulationData &run, const PublicTransportLine *line, int32_t departure);
    ~VehicleGuided() override = default;

    bool isLoading() const override { return m_shownState == GuidedState::Loading; }
    bool isWaiting() const override { return m_shownState == GuidedState::Waiting; }
    /// Follows the line's ways through the crossroads ahead; at random once past its last way.
    void planRoute() override;
    /// The driving time plus the time still to stand loading or waiting.
    int32_t stepsToCover(int32_t distance) const override;

    /// One decision per step; `second` is the simulation time as seconds of the day. It works on
    /// `lists`, which no other decision uses meanwhile.
    void decide(int32_t second, DecisionLists &lists);
    /// The speed decision while driving.
    virtual void drive() = 0;
    /// Makes this step's decision visible to other vehicles' decisions. Call it in one thread,
    /// after every vehicle of the kind has decided and before the vehicle moves.
    void publishDecision();

    std::string lineName() const { return m_lineName; }
    GuidedState state() const { return m_state; }
    int32_t loadCount() const { return m_loadCount; }
    int32_t waitCount() const { return m_waitCount; }
    /// The counters as other threads may read them: changed only by `publishDecision`.
    int32_t shownLoadCount() const { return m_shownLoadCount; }
    int32_t shownWaitCount() const { return m_shownWaitCount; }
    int32_t departure() const { return m_departure; }
    int32_t wayIndex() const { return m_wayIndex; }
    int32_t stopIndex() const { return m_stopIndex; }
    const std::vector<int64_t> &wayIds() const { return m_wayIds; }
    const std::vector<int64_t> &stopIds() const { return m_stopIds; }
    const std::vector<int32_t> &stopOffsets() const { return m_stopOffsets; }

    /// Map id of the way of the first cell with a lane, walking `next` from the front; −1 if none.
    int64_t currentWayId() const;
    /// Moves `wayIndex` to the next occurrence of `id` (past the end when there is none), unless
    /// the vehicle is already past the end or on that way.
    void advanceWayIndex(int64_t id);
    /// The way id following the first occurrence of `id` at or after `wayIndex`; −1 if none.
    int64_t nextWayIdAfter(int64_t id) const;
    bool pastLastWay() const { return m_wayIndex + 1 > int32_t(m_wayIds.size()); }
    /// Whether `stop` is the next stop to serve.
    bool isNextStop(const OSMStop *stop) const;
    /// Every occupied cell belongs to a stop (true for no cells).
    bool allCellsOnStop() const;
    /// Whether the vehicle stands with its whole body on its next stop `stop`.
    bool shouldStopHere(const OSMStop *stop) const;
    /// The front is on the last stop of the line, and that stop is the one to serve now.
    bool isAtTerminus() const;
    /// Makes the first stop of the line with this id the next one; unchanged if there is none.
    void setNextStop(int64_t id);
    void setNormalSpeed() { m_pendingMaxSpeed = NORMAL_SPEED; }
    void setFastSpeed() { m_pendingMaxSpeed = FAST_SPEED; }

protected:
    /// A stop on the way or a bay beside it that the vehicle serves is approached (a bus pulls into
    /// the bay on the way); others are passed.
    StopDecision atStopAhead() override;
    /// A bus or tram keeps to the ways of its line.
    bool mayLeaveRoute() const override { return false; }
    /// Whether the vehicle serves `stop`, met ahead on its way: it is the next stop, or a later
    /// stop of the line, in which case the stops before it were never met (they have no cells, or
    /// were overrun) and it becomes the next one. The stop just served never counts again.
    bool servesStop(const OSMStop *stop);
    /// Whether the whole body fits on the platform or bay of one stop that ends at `platformEnd`: a
    /// vehicle never stands for good at a stop too short to take it.
    bool fitsOnStop(const Cell *platformEnd) const;
    void setLaneChange(LaneChange direction) { m_nextLaneChange = direction; }
    void setSignalsPullOut(bool on) { m_nextSignalsPullOut = on; }

    int32_t m_loadCount;
    int32_t m_waitCount = 0;
    std::string m_lineName;
    GuidedState m_state = GuidedState::Driving;
    std::vector<int64_t> m_wayIds;
    std::vector<int64_t> m_stopIds;
    std::vector<int32_t> m_stopOffsets; ///< seconds after the departure at which each stop is due
    int32_t m_wayIndex = 0;
    int32_t m_stopIndex = 0;
    int32_t m_departure;

    // What other decisions see; copied from the fields above in `publishDecision`.
    GuidedState m_shownState = GuidedState::Driving;
    int32_t m_shownLoadCount;
    int32_t m_shownWaitCount = 0;
    int32_t m_pendingMaxSpeed = 0; ///< 0: no change
    LaneChange m_nextLaneChange = LaneChange::None;
    bool m_nextSignalsPullOut = false;

private:
    /// One step of standing at a stop; sets the wait or speed from the timetable when loading ends.
    void load(int32_t second);
    /// Seconds until the time due at the stop just served; false when the timetable has no entry.
    bool secondsEarly(int32_t second, int32_t &delta) const;
    int32_t newLoadCount();
};

#endif
