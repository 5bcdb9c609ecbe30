#include "bindingdata.h"

#include "osm/way.h"

#include <algorithm>

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
    binding->armsOrdered = false;
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
    if (node->armsOrdered && end->nextArm)
        return end->nextArm;
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
    if (node->armsOrdered && end->previousArm)
        return end->previousArm;
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

namespace {

/// The arms of one node grouped by equal bearing, groups in rising bearing, each group in list order.
/// Next of an arm is the first arm of the group before its own (cyclically): the largest bearing
/// below it; previous is another arm of its own group if there is one (difference 0), else the first
/// of the group after it. With one group only, every arm's neighbours are the first other arm.
void orderArmsOfNode(NodeBinding *node)
{
    struct Arm
    {
        double bearing;
        size_t index;
    };
    const std::vector<WayEnd *> &ends = node->wayEnds;
    std::vector<Arm> arms;
    arms.reserve(ends.size());
    for (size_t i = 0; i < ends.size(); ++i)
        arms.push_back(Arm{geo::subtractFromBearing(ends[i]->bearing(), 0.0), i});
    std::sort(arms.begin(), arms.end(), [](const Arm &a, const Arm &b) {
        return a.bearing < b.bearing || (a.bearing == b.bearing && a.index < b.index);
    });
    std::vector<size_t> groupStart; // index into `arms` of the first arm of each group
    for (size_t i = 0; i < arms.size(); ++i)
        if (i == 0 || arms[i].bearing != arms[i - 1].bearing)
            groupStart.push_back(i);
    const size_t groups = groupStart.size();
    size_t group = 0;
    for (size_t i = 0; i < arms.size(); ++i) {
        if (group + 1 < groups && groupStart[group + 1] == i)
            ++group;
        WayEnd *end = ends[arms[i].index];
        const size_t first = groupStart[group];
        const size_t last = group + 1 < groups ? groupStart[group + 1] : arms.size();
        WayEnd *sameBearing = nullptr; // the first other arm of the same bearing
        if (last - first > 1)
            sameBearing = ends[arms[first == i ? first + 1 : first].index];
        if (groups == 1) {
            end->nextArm = sameBearing ? sameBearing : end;
            end->previousArm = end->nextArm;
            continue;
        }
        end->nextArm = ends[arms[groupStart[(group + groups - 1) % groups]].index];
        end->previousArm = sameBearing ? sameBearing : ends[arms[groupStart[(group + 1) % groups]].index];
    }
    node->armsOrdered = true;
}

} // namespace

void BindingData::orderArms()
{
    for (NodeBinding *node : nodes)
        orderArmsOfNode(node);
}
