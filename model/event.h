#ifndef KOLVEX_MODEL_EVENT_H
#define KOLVEX_MODEL_EVENT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class Cell;
class Vehicle;

/// What the look-ahead of a vehicle found, and where.
enum EventType : int32_t {
    EventVehicle = 0,     ///< a vehicle occupies a cell ahead
    EventSideVehicle = 1, ///< a vehicle occupies the side cell of a cell ahead
    EventCrossroad = 2,   ///< the end of a chain that leads into a crossroad
    EventRouteEnd = 3,    ///< the end of a chain that leads nowhere
    EventBusStopEnd = 4,  ///< last cell of a bus stop platform on the path
    EventBayEnd = 5,      ///< last cell of a stop bay or platform beside the path
    EventTramStopEnd = 6, ///< last cell of a tram stop platform on the path
    EventNone = 7         ///< the type reported by an empty list
};

/// Distance reported by an empty list: farther than any look-ahead.
constexpr int32_t NO_EVENT_DISTANCE = 99999;

/// One look-ahead finding; distance is in cells from the vehicle's front.
struct Event
{
    int32_t type;
    Cell *cell;
    int32_t distance;
};

/// Look-ahead findings ordered by distance.
class EventList
{
public:
    void clear() { events.clear(); }
    void add(int32_t type, Cell *cell, int32_t distance) { events.push_back(Event{type, cell, distance}); }
    /// Adds an event behind those at the same or a smaller distance, keeping the order.
    void insert(int32_t type, Cell *cell, int32_t distance);
    bool empty() const { return events.empty(); }
    size_t size() const { return events.size(); }
    const Event &operator[](size_t i) const { return events[i]; }
    const std::vector<Event> &all() const { return events; }

    /// Type of the first event; EventNone for an empty list.
    int32_t firstType() const { return events.empty() ? EventNone : events.front().type; }
    /// Distance of the first event; NO_EVENT_DISTANCE for an empty list.
    int32_t firstDistance() const { return events.empty() ? NO_EVENT_DISTANCE : events.front().distance; }
    /// Cell of the first event; null for an empty list.
    Cell *firstCell() const { return events.empty() ? nullptr : events.front().cell; }
    /// The vehicle in the cell of the first event when that event is a vehicle ahead; else null.
    Vehicle *leader() const;

    /// Copies into `out` the events whose type bit is not set in `typeMask` (bit 1 << type).
    void copyWithout(uint32_t typeMask, EventList &out) const;
    /// Copies into `out` keeping side-vehicle events only for side vehicles pulling out (lane change
    /// 1), and for those indicating that they wait to when they lie `stopFrom` cells ahead or more.
    void copyPullingOutOnly(EventList &out, int32_t stopFrom) const;
    /// Removes the events for which `drop` holds, keeping the order of the rest.
    template <typename Predicate> void removeIf(Predicate drop)
    {
        events.erase(std::remove_if(events.begin(), events.end(), drop), events.end());
    }
    /// Removes the first event whose type bit is set in `typeMask`.
    void removeFirstOf(uint32_t typeMask);


private:
    std::vector<Event> events;
};

constexpr uint32_t eventBit(int32_t type)
{
    return 1u << type;
}

#endif
