#ifndef KOLVEX_MODEL_VEHICLE_H
#define KOLVEX_MODEL_VEHICLE_H

#include "random.h"

#include <cstdint>
#include <deque>
#include <vector>

class Cell;
class Crossroad;
class LaneBinding;

/// A crossroad ahead of a vehicle and the path chosen through it.
struct RouteEntry
{
    Crossroad *crossroad = nullptr;
    Cell *pathCell = nullptr;        ///< first cell of the chosen path through the crossroad
    LaneBinding *entryKey = nullptr; ///< the incoming lane: `wayLink` of the last cell before the crossroad
    LaneBinding *exitLane = nullptr; ///< the outgoing lane taken after the crossroad
};

/// Base of everything that drives: occupies a run of cells (front first), plans its way through
/// the crossroads ahead, chooses a speed and is shifted forward by it.
class Vehicle
{
public:
    Vehicle();
    Vehicle(const Vehicle &) = delete;
    Vehicle &operator=(const Vehicle &) = delete;
    virtual ~Vehicle();

    /// Standing at a stop to load passengers (buses and trams only).
    virtual bool isLoading() const { return false; }
    /// Waiting for the scheduled departure (buses and trams only).
    virtual bool isWaiting() const { return false; }
    /// Chooses paths through the crossroads within the look-ahead.
    virtual void planRoute();
    /// Steps needed to cover `distance` cells from the current speed, gaining 2 per step.
    virtual int32_t stepsToCover(int32_t distance) const;

    int32_t id() const { return m_id; }
    int32_t length() const { return m_length; }
    int32_t speed() const { return m_speed; }
    int32_t maxSpeed() const { return m_maxSpeed; }
    int32_t speedLimit() const { return m_speedLimit; }
    int32_t nextSpeed() const { return m_nextSpeed; }
    int32_t laneChange() const { return m_laneChange; }
    Cell *frontCell() const { return m_cells.empty() ? nullptr : m_cells.front(); }
    Cell *tailCell() const { return m_cells.empty() ? nullptr : m_cells.back(); }
    const std::vector<Cell *> &cells() const { return m_cells; }
    const std::deque<RouteEntry> &route() const { return m_route; }
    int32_t lookAheadDistance() const { return m_speed * m_speed + 40; }
    void setFinished() { m_finished = true; }
    bool isFinished() const { return m_finished; }
    void commitSpeed() { m_speed = m_nextSpeed; }
    void setCells(const std::vector<Cell *> &cells) { m_cells = cells; }
    /// nextSpeed + 1, capped at the speed limit (used to release a deadlock).
    void accelerate1();
    /// The vehicle's own random stream, for draws made during its decision.
    RandomStream &random() { return m_random; }

protected:
    int32_t m_id;
    int32_t m_length = 12;
    int32_t m_speed = 0;
    int32_t m_maxSpeed = 14;
    int32_t m_speedLimit = 14;
    int32_t m_nextSpeed = 0;
    int32_t m_laneChange = 0; ///< 0 none; 1 body moves to the sideOf cells; 2 to the side cells
    std::vector<Cell *> m_cells;
    std::deque<RouteEntry> m_route;
    bool m_finished = false;
    RandomStream m_random;
};

#endif
