#include "bindingrecords.h"

#include "osm/node.h"
#include "osm/way.h"

LaneBinding::LaneBinding(int64_t serial) : serial(serial) {}

WayEnd::WayEnd(WayBinding *w, bool start, int64_t serial) : way(w), isStart(start), serial(serial) {}

Way *LaneBinding::way() const
{
    WayBinding *w = wayBinding();
    return w ? w->way : nullptr;
}

int64_t LaneBinding::wayId() const
{
    Way *w = way();
    return w ? w->getId() : -1;
}

LaneBinding *WayEnd::firstIncomingLane() const
{
    const DirectionBinding &d = incoming();
    return d.lanes.empty() ? nullptr : d.lanes.front();
}

LaneBinding *WayEnd::firstOutgoingLane() const
{
    const DirectionBinding &d = outgoing();
    return d.lanes.empty() ? nullptr : d.lanes.front();
}

double WayEnd::bearing() const
{
    const Polyline &line = way->centreLine;
    if (line.size() < 2)
        return 0.0;
    // The segment touching the node, walked towards the node.
    if (isStart)
        return geo::bearing(line[1], line[0]);
    return geo::bearing(line[line.size() - 2], line[line.size() - 1]);
}

Node *WayEnd::node() const
{
    return isStart ? way->way->firstNode() : way->way->lastNode();
}

bool LaneOrder::operator()(const LaneBinding *a, const LaneBinding *b) const
{
    if (!a || !b)
        return !a && b;
    return a->serial < b->serial;
}

bool WayEndOrder::operator()(const WayEnd *a, const WayEnd *b) const
{
    if (!a || !b)
        return !a && b;
    return a->serial < b->serial;
}
