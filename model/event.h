#ifndef KOLVEX_MODEL_EVENT_H
#define KOLVEX_MODEL_EVENT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

class Cell;
class Vehicle;

/// What the look-ahead of a vehicle found, and where.
enum class EventType : int32_t {
    Vehicle = 0,     ///< a vehicle occupies a cell ahead
    SideVehicle = 1, ///< a vehicle occupies the side cell of a cell ahead
    Crossroad = 2,   ///< the end of a chain that leads into a crossroad
    RouteEnd = 3,    ///< the end of a chain that leads nowhere
    BusStopEnd = 4,  ///< last cell of a bus stop platform on the path
    BayEnd = 5,      ///< last cell of a stop bay or platform beside the path
    TramStopEnd = 6, ///< last cell of a tram stop platform on the path
    None = 7         ///< the type reported by an empty list
};

/// Distance reported by an empty list: farther than any look-ahead.
constexpr int32_t NO_EVENT_DISTANCE = 99999;

/// One look-ahead finding; distance is in cells from the vehicle's front.
struct Event
{
    EventType type;
    Cell *cell;
    int32_t distance;
};

/// Look-ahead findings ordered by distance.
class EventList
{
public:
    void clear() { events.clear(); }
    void add(EventType type, Cell *cell, int32_t distance) { events.push_back(Event{type, cell, distance}); }
    /// Adds an event behind those at the same or a smaller distance, keeping the order.
    void insert(EventType type, Cell *cell, int32_t distance);
    bool empty() const { return events.empty(); }
    size_t size() const { return events.size(); }
    const Event &operator[](size_t i) const { return events[i]; }
    const std::vector<Event> &all() const { return events; }

    /// Type of the first event; EventType::None for an empty list.
    EventType firstType() const { return events.empty() ? EventType::None : events.front().type; }
    /// Distance of the first event; NO_EVENT_DISTANCE for an empty list.
    int32_t firstDistance() const { return events.empty() ? NO_EVENT_DISTANCE : events.front().distance; }
    /// Cell of the first event; null for an empty list.
    Cell *firstCell() const { return events.empty() ? nullptr : events.front().cell; }
    /// The vehicle in the cell of the first event when that event is a vehicle ahead; else null.
    Vehicle *leader() const;

    /// Copies into `out` (cleared first) the events for which `keep` holds, in their order.
    template <typename Predicate> void copyIf(EventList &out, Predicate keep) const
    {
        out.events.clear();
        std::copy_if(events.begin(), events.end(), std::back_inserter(out.events), keep);
    }
    /// Removes the first event whose type bit is set in `typeMask` (see `eventBit`).
    void removeFirstOf(uint32_t typeMask);

private:
    std::vector<Event> events;
};

/// The bit of `type` in a mask of event types.
constexpr uint32_t eventBit(EventType type)
{
    return 1u << uint32_t(type);
}

/// The types of the ends of stops and bays, as a mask.
constexpr uint32_t STOP_EVENTS =
    eventBit(EventType::BusStopEnd) | eventBit(EventType::BayEnd) | eventBit(EventType::TramStopEnd);

#endif
