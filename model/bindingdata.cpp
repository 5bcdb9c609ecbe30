#include "bindingdata.h"

#include "osm/way.h"

BindingData::~BindingData()
{
    for (StopBinding *s : stops)
        delete s;
    for (NodeBinding *n : nodes)
        delete n;
    for (WayEnd *e : ends)
        delete e;
    for (LaneBinding *l : lanes)
        delete l;
    for (WayBinding *w : ways)
        delete w;
}

WayBinding *BindingData::addWayBinding(Way *way)
{
    ways.push_back(new WayBinding(way));
    return ways.back();
}

LaneBinding *BindingData::addLane(DirectionBinding *direction, bool isTram, const Polyline &polyline)
{
    LaneBinding *lane = new LaneBinding(nextSerial++);
    lane->direction = direction;
    lane->isTram = isTram ? 1 : 0;
    lane->polyline = polyline;
    lanes.push_back(lane);
    if (isTram)
        direction->tramLane = lane;
    else
        direction->lanes.push_back(lane);
    return lane;
}

WayEnd *BindingData::addWayEnd(WayBinding *way, bool isStart)
{
    WayEnd *end = new WayEnd(way, isStart, nextSerial++);
    ends.push_back(end);
    (isStart ? way->startEnd : way->endEnd) = end;
    Node *node = end->node();
    NodeBinding *&binding = nodeIndex[node];
    if (!binding) {
        binding = new NodeBinding(node);
        nodes.push_back(binding);
    }
    binding->wayEnds.push_back(end);
    return end;
}

StopBinding *BindingData::addStopBinding(OSMStop *stop)
{
    StopBinding *binding = new StopBinding;
    binding->stop = stop;
    stops.push_back(binding);
    stopIndex.emplace(stop, binding);
    return binding;
}

NodeBinding *BindingData::findNodeBinding(const Node *node) const
{
    auto it = nodeIndex.find(node);
    return it == nodeIndex.end() ? nullptr : it->second;
}

StopBinding *BindingData::findStopBinding(const OSMStop *stop) const
{
    auto it = stopIndex.find(stop);
    return it == stopIndex.end() ? nullptr : it->second;
}

WayEnd *BindingData::findWayEnd(const WayBinding *way, const Node *node) const
{
    if (!way)
        return nullptr;
    // For a closed piece both ends lie at one node; the start end was created first.
    if (way->startEnd && way->startEnd->node() == node)
        return way->startEnd;
    if (way->endEnd && way->endEnd->node() == node)
        return way->endEnd;
    return nullptr;
}

WayEnd *BindingData::wayEndWithIncoming(const LaneBinding *lane) const
{
    if (!lane || !lane->direction || !lane->direction->owner)
        return nullptr;
    const DirectionBinding *d = lane->direction;
    if (lane != d->tramLane && (d->lanes.empty() || d->lanes.front() != lane))
        return nullptr;
    const WayBinding *w = d->owner;
    // Forward lanes arrive at the last node, backward lanes at the first.
    return d == &w->forward ? w->endEnd : w->startEnd;
}

WayEnd *BindingData::wayEndWithOutgoing(const LaneBinding *lane) const
{
    if (!lane || !lane->direction || !lane->direction->owner)
        return nullptr;
    const DirectionBinding *d = lane->direction;
    if (lane != d->tramLane && (d->lanes.empty() || d->lanes.front() != lane))
        return nullptr;
    const WayBinding *w = d->owner;
    return d == &w->forward ? w->startEnd : w->endEnd;
}

WayEnd *BindingData::next(const NodeBinding *node, const WayEnd *end)
{
    WayEnd *best = nullptr;
    double bestValue = 0.0;
    const double b = end->bearing();
    for (WayEnd *o : node->wayEnds) {
        if (o == end)
            continue;
        const double value = geo::subtractFromBearing(o->bearing(), b);
        if (!best || value > bestValue) {
            best = o;
            bestValue = value;
        }
    }
    return best ? best : const_cast<WayEnd *>(end);
}

WayEnd *BindingData::previous(const NodeBinding *node, const WayEnd *end)
{
    WayEnd *best = nullptr;
    double bestValue = 0.0;
    const double b = end->bearing();
    for (WayEnd *o : node->wayEnds) {
        if (o == end)
            continue;
        const double value = geo::subtractFromBearing(o->bearing(), b);
        if (!best || value < bestValue) {
            best = o;
            bestValue = value;
        }
    }
    return best ? best : const_cast<WayEnd *>(end);
}
