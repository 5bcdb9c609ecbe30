#include "crossroadbuilder.h"

#include "lanegeometry.h"

#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/crossroad.h"
#include "model/semaphore.h"
#include "model/simulationdata.h"
#include "osm/node.h"
#include "osm/way.h"

#include <algorithm>
#include <unordered_set>

namespace {

/// Lanes at a way end chosen by kind (road or tram) and direction.
enum class LaneKind { Road, Tram };
enum class Direction { Incoming, Outgoing };

LaneBinding *laneOf(const WayEnd *end, LaneKind kind, Direction direction)
{
    if (!end)
        return nullptr;
    if (kind == LaneKind::Road)
        return direction == Direction::Incoming ? end->firstIncomingLane() : end->firstOutgoingLane();
    return direction == Direction::Incoming ? end->incomingTramTrack() : end->outgoingTramTrack();
}

/// The lanes of `side` selected by kind and direction, then those of F and T when asked for.
std::vector<LaneBinding *> laneList(const std::vector<WayEnd *> &side, LaneKind kind, Direction direction,
                                    const WayEnd *withF, const WayEnd *withT)
{
    std::vector<LaneBinding *> lanes;
    for (const WayEnd *end : side)
        if (LaneBinding *lane = laneOf(end, kind, direction))
            lanes.push_back(lane);
    if (LaneBinding *lane = laneOf(withF, kind, direction))
        lanes.push_back(lane);
    if (LaneBinding *lane = laneOf(withT, kind, direction))
        lanes.push_back(lane);
    return lanes;
}

bool hasGeometry(const LaneBinding *lane)
{
    return lane && lane->polyline.size() >= 2;
}

/// The corner-cutting polyline from the end of `from` to the start of `to`.
Polyline pathGeometry(const LaneBinding *from, const LaneBinding *to)
{
    const Polyline &in = from->polyline;
    const Polyline &out = to->polyline;
    const Location &a = in[in.size() - 1];
    const Location &beforeA = in[in.size() - 2];
    const Location &b = out[0];
    const Location &afterB = out[1];
    const double t = geo::bearingDifference(geo::bearing(a, beforeA), geo::bearing(b, afterB));
    if (t >= 170.0 || t <= 10.0)
        return {a, b};
    bool found = false;
    const Location p = geo::tailsIntersection(beforeA, a, afterB, b, found);
    if (!found)
        return {a, b};
    // Near right angles the corner is cut closer to the lanes.
    const double f = (t > 60.0 && t < 120.0) ? 0.15 : 0.3;
    const Location c1 = geo::intermediateLocation(a, p, f);
    const Location c2 = geo::intermediateLocation(b, p, f);
    return {a, c1, c1, c2, c2, b};
}

void linkChains(LaneBinding *from, LaneBinding *to)
{
    if (!from || !to || !from->lastCell || !to->firstCell)
        return;
    from->lastCell->setNext(to->firstCell);
    to->firstCell->setPrevious(from->lastCell);
}

} // namespace

CrossroadBuilder::CrossroadBuilder(BindingData *bindingData, SimulationData *simulationData)
    : bindings(bindingData), data(simulationData)
{}

std::vector<WayEnd *> CrossroadBuilder::armsBetween(const NodeBinding *node, WayEnd *from, const WayEnd *stop,
                                                    bool stepRight)
{
    std::vector<WayEnd *> arms;
    auto step = [&](const WayEnd *e) {
        return stepRight ? BindingData::next(node, e) : BindingData::previous(node, e);
    };
    // Arms of equal bearing can send the walk round a cycle that misses `stop`: it ends at the
    // first arm met twice, so no arm is listed twice. Short walks search the list, long ones a set.
    const size_t shortWalk = 16;
    std::unordered_set<const WayEnd *> seen;
    for (WayEnd *e = step(from); e != stop && e != from; e = step(e)) {
        if (arms.size() < shortWalk) {
            if (std::find(arms.begin(), arms.end(), e) != arms.end())
                break;
        } else {
            if (seen.empty())
                seen.insert(arms.begin(), arms.end());
            if (!seen.insert(e).second)
                break;
        }
        arms.push_back(e);
    }
    return arms;
}

void CrossroadBuilder::createCrossroadWays()
{
    for (NodeBinding *node : bindings->nodeBindings()) {
        if (node->wayEnds.size() < 3)
            continue;
        for (WayEnd *from : node->wayEnds) {
            addRoadPaths(node, from);
            addTramPaths(node, from);
        }
    }
}

void CrossroadBuilder::addRoadPaths(NodeBinding *node, WayEnd *from)
{
    LaneBinding *in = from->firstIncomingLane();
    if (!hasGeometry(in))
        return;
    const bool fromLink = from->way->way->isLink();
    const bool fromOneway = from->way->way->isOneway();
    bool seenMain = false;
    bool made = false;
    // Arms in order to the right of arriving traffic; a link road takes only its first exit.
    for (WayEnd *to : armsBetween(node, from, from, true)) {
        LaneBinding *out = to->firstOutgoingLane();
        if (out) {
            bool make = true;
            if (!to->way->way->isLink())
                seenMain = true;
            else if (seenMain)
                make = fromOneway;
            if (make && hasGeometry(out)) {
                node->crossroadPaths[in].push_back(CrossroadPath{0, in, out, pathGeometry(in, out), nullptr, nullptr});
                made = true;
            }
        }
        if (fromLink && made)
            break;
    }
}

void CrossroadBuilder::addTramPaths(NodeBinding *node, WayEnd *from)
{
    LaneBinding *in = from->incomingTramTrack();
    if (!hasGeometry(in))
        return;
    for (WayEnd *to : armsBetween(node, from, from, true)) {
        LaneBinding *out = to->outgoingTramTrack();
        if (hasGeometry(out))
            node->crossroadPaths[in].push_back(CrossroadPath{1, in, out, pathGeometry(in, out), nullptr, nullptr});
    }
}

void CrossroadBuilder::createCrossroadCells()
{
    for (NodeBinding *node : bindings->nodeBindings()) {
        if (node->wayEnds.size() < 3)
            continue;
        for (auto &entry : node->crossroadPaths) {
            for (CrossroadPath &path : entry.second) {
                const lanegeometry::CellRun run = lanegeometry::layCells(*data, path.polyline, nullptr);
                path.firstCell = run.first;
                path.lastCell = run.last;
                for (Cell *c = run.first; c; c = c->next()) {
                    c->inCrossroad = true;
                    if (c == run.last)
                        break;
                }
            }
        }
    }
}

void CrossroadBuilder::connectCells()
{
    for (NodeBinding *node : bindings->nodeBindings()) {
        const size_t ends = node->wayEnds.size();
        if (ends == 2) {
            WayEnd *e1 = node->wayEnds[0];
            WayEnd *e2 = node->wayEnds[1];
            linkChains(e1->firstIncomingLane(), e2->firstOutgoingLane());
            linkChains(e2->firstIncomingLane(), e1->firstOutgoingLane());
            linkChains(e1->incomingTramTrack(), e2->outgoingTramTrack());
            linkChains(e2->incomingTramTrack(), e1->outgoingTramTrack());
            continue;
        }
        if (ends < 3)
            continue;
        Crossroad *crossroad = new Crossroad;
        crossroad->setJunction(node);
        bool roadKeys = false;
        bool tramKeys = false;
        for (auto &entry : node->crossroadPaths) {
            LaneBinding *key = entry.first;
            (key->isTram ? tramKeys : roadKeys) = true;
            for (CrossroadPath &path : entry.second) {
                if (!path.firstCell || !path.to->firstCell || !key->lastCell)
                    continue;
                path.lastCell->setNext(path.to->firstCell);
                path.firstCell->setPrevious(key->lastCell);
                crossroad->addPath(key, path.to, path.firstCell);
            }
            // The last cell keeps no next link: the path is chosen at run time.
            if (key->lastCell && crossroad->pathsFrom(key))
                key->lastCell->setCrossroad(crossroad);
        }
        crossroad->setKind(roadKeys && tramKeys ? Crossroad::Mixed
                           : roadKeys           ? Crossroad::RoadOnly
                                                : Crossroad::TramOnly);
        for (WayEnd *end : node->wayEnds)
            end->crossroad = crossroad;
        data->crossroads.push_back(crossroad);
    }
}

void CrossroadBuilder::createRightOfWayRules()
{
    for (Crossroad *crossroad : data->crossroads) {
        const NodeBinding *node = crossroad->junction;
        for (const auto &entry : node->crossroadPaths)
            for (const CrossroadPath &path : entry.second)
                addRules(crossroad, node, path);
    }
}

void CrossroadBuilder::addRules(Crossroad *crossroad, const NodeBinding *node, const CrossroadPath &path)
{
    WayEnd *f = bindings->wayEndWithIncoming(path.from);
    WayEnd *t = bindings->wayEndWithOutgoing(path.to);
    if (!f || !t)
        return;
    const std::vector<WayEnd *> right = armsBetween(node, t, f, false);
    const std::vector<WayEnd *> left = armsBetween(node, t, f, true);
    auto add = [&](const std::vector<LaneBinding *> &xs, const std::vector<LaneBinding *> &ys, bool onGreen) {
        for (LaneBinding *x : xs)
            for (LaneBinding *y : ys) {
                if (onGreen)
                    crossroad->addSignalConflict(path.from, path.to, x, y);
                else
                    crossroad->addConflict(path.from, path.to, x, y);
            }
    };
    using K = LaneKind;
    using D = Direction;
    if (path.isTram) {
        // Trams yield only to trams crossing from the right.
        add(laneList(right, K::Tram, D::Incoming, nullptr, nullptr), laneList(left, K::Tram, D::Outgoing, f, t), false);
        return;
    }
    // Traffic entering from the right, and, for a left turn, oncoming traffic.
    add(laneList(right, K::Road, D::Incoming, nullptr, nullptr), laneList(left, K::Road, D::Outgoing, f, t), false);
    // Trams crossing from the right, then from the left (from the same arm or the exit arm too).
    add(laneList(right, K::Tram, D::Incoming, nullptr, nullptr), laneList(left, K::Tram, D::Outgoing, f, t), false);
    add(laneList(left, K::Tram, D::Incoming, f, t), laneList(right, K::Tram, D::Outgoing, nullptr, nullptr), false);
    // A tram from the same arm turning right across the road lanes: it has right of way even on green.
    if (LaneBinding *track = f->incomingTramTrack())
        add({track}, laneList(right, K::Tram, D::Outgoing, nullptr, nullptr), true);
}

void CrossroadBuilder::createSemaphores()
{
    for (Crossroad *crossroad : data->crossroads) {
        const NodeBinding *node = crossroad->junction;
        if (!node || !node->node || !node->node->isTrafficSignals())
            continue;
        Semaphore *semaphore = new Semaphore;
        for (WayEnd *end : node->wayEnds)
            if (end->firstIncomingLane() || end->incomingTramTrack())
                semaphore->addGroup(end);
        crossroad->setSemaphore(semaphore);
        data->semaphores.push_back(semaphore);
    }
}
