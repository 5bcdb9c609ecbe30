#include "event.h"

#include "cell.h"
#include "vehicle.h"

Vehicle *EventList::leader() const
{
    if (events.empty() || events.front().type != EventType::Vehicle || !events.front().cell)
        return nullptr;
    return events.front().cell->vehicle();
}

void EventList::insert(EventType type, Cell *cell, int32_t distance)
{
    auto at = events.end();
    while (at != events.begin() && (at - 1)->distance > distance)
        --at;
    events.insert(at, Event{type, cell, distance});
}

void EventList::removeFirstOf(uint32_t typeMask)
{
    for (auto it = events.begin(); it != events.end(); ++it) {
        if (typeMask & eventBit(it->type)) {
            events.erase(it);
            return;
        }
    }
}
