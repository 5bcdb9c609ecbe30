#include "event.h"

#include "cell.h"
#include "vehicle.h"


Vehicle *EventList::leader() const
{
    if (events.empty() || events.front().type != EventVehicle || !events.front().cell)
        return nullptr;
    return events.front().cell->vehicle();
}

void EventList::insert(int32_t type, Cell *cell, int32_t distance)
{
    auto at = events.end();
    while (at != events.begin() && (at - 1)->distance > distance)
        --at;
    events.insert(at, Event{type, cell, distance});
}

void EventList::copyWithout(uint32_t typeMask, EventList &out) const
{
    out.events.clear();
    for (const Event &e : events)
        if (!(typeMask & eventBit(e.type)))
            out.events.push_back(e);
}

void EventList::copyPullingOutOnly(EventList &out, int32_t stopFrom) const
{
    out.events.clear();
    for (const Event &e : events) {
        if (e.type == EventSideVehicle) {
            const Vehicle *v = e.cell && e.cell->side ? e.cell->side->vehicle() : nullptr;
            const bool letOut = v && v->signalsPullOut() && e.distance >= stopFrom;
            if (!v || (v->laneChange() != 1 && !letOut))
                continue;
        }
        out.events.push_back(e);
    }
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

