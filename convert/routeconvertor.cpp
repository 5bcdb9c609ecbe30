#include "routeconvertor.h"

#include "osm/osmdata.h"
#include "report/diagnostics.h"

#include <algorithm>

namespace {

/// The end of `way` that is not `node`: its last node if its first node is `node`, else its first.
Node *otherEnd(const Way *way, const Node *node)
{
    return way->firstNode() == node ? way->lastNode() : way->firstNode();
}

/// Grows `chain` at one end from `pool` until no piece touches that end. The last matching piece of
/// the pool wins, one with a different id than the piece at the end before one of the same id, so
/// that a split way is left for a member way that continues at the same node.
template <typename AtEnd, typename Insert>
void grow(std::vector<Way *> &pool, Node *end, AtEnd pieceAtEnd, Insert insert)
{
    for (;;) {
        const int64_t id = pieceAtEnd()->getId();
        auto otherId = pool.end();
        auto sameId = pool.end();
        for (auto it = pool.begin(); it != pool.end(); ++it) {
            if ((*it)->firstNode() != end && (*it)->lastNode() != end)
                continue;
            ((*it)->getId() != id ? otherId : sameId) = it;
        }
        const auto taken = otherId != pool.end() ? otherId : sameId;
        if (taken == pool.end())
            return;
        Way *way = *taken;
        pool.erase(taken);
        insert(way);
        end = otherEnd(way, end);
    }
}

/// Whether the pieces after the first can be driven one after the other, entering the second at
/// `node`; a one-way piece only in node order.
bool drivableFrom(const std::vector<Way *> &ways, const Node *node)
{
    for (size_t i = 1; i < ways.size(); ++i) {
        const Way *way = ways[i];
        if (node == way->firstNode())
            node = way->lastNode();
        else if (node == way->lastNode() && !way->isOneway())
            node = way->firstNode();
        else
            return false;
    }
    return true;
}

} // namespace

void RouteConvertor::convert(OSMData *data, Diagnostics &diagnostics)
{
    if (data)
        for (const OSMRouteRelation *relation : data->routeRelations()->relations())
            convertRelation(data, *relation);
    diagnostics.add(Severity::Progress, "RouteConvertor",
                    "Ordering routes (route count = " + std::to_string(data ? data->routeRelations()->size() : 0) +
                        ") ... Done!");
}

void RouteConvertor::convertRelation(OSMData *data, const OSMRouteRelation &relation)
{
    const OSMStops &stops = relation.route == "tram" ? *data->tramStops() : *data->busStops();
    const auto makeRoute = [&](const std::vector<Way *> &ordered) {
        std::vector<OSMStop *> along = stopsAlongRoute(stops, ordered);
        if (along.size() < 2)
            return;
        OSMRoute *route = new OSMRoute;
        route->id = relation.id;
        route->name = relation.ref;
        route->type = relation.route;
        route->ways = ordered;
        route->stops = std::move(along);
        data->routes()->add(route);
    };
    // The members without a role are driven both ways; forward and backward members each add one
    // direction of a dual carriageway.
    for (const std::vector<int64_t> *roleWays : {&relation.forwardWays, &relation.backwardWays}) {
        std::vector<Way *> members;
        collectWays(*data->ways(), relation.ways, members);
        collectWays(*data->ways(), *roleWays, members);
        if (members.empty())
            continue;
        std::vector<Way *> ordered = orderWays(members);
        if (isContinuous(ordered))
            makeRoute(ordered);
        std::reverse(ordered.begin(), ordered.end());
        if (isContinuous(ordered))
            makeRoute(ordered);
    }
}

void RouteConvertor::collectWays(const OSMWays &ways, const std::vector<int64_t> &ids, std::vector<Way *> &out)
{
    for (int64_t id : ids)
        for (Way *way : ways.getAllById(id))
            if (!way->nodes().empty()) // a piece without nodes cannot be chained
                out.push_back(way);
}

std::vector<Way *> RouteConvertor::orderWays(const std::vector<Way *> &ways)
{
    if (ways.empty())
        return {};
    std::vector<Way *> pool(ways.begin() + 1, ways.end());
    std::vector<Way *> result{ways.front()};
    grow(
        pool, result.front()->lastNode(), [&] { return result.back(); }, [&](Way *way) { result.push_back(way); });
    grow(
        pool, result.front()->firstNode(), [&] { return result.front(); },
        [&](Way *way) { result.insert(result.begin(), way); });
    return result;
}

bool RouteConvertor::isContinuous(const std::vector<Way *> &ways)
{
    if (ways.size() < 2)
        return true;
    // The first piece is left at its last node when driven in node order, at its first against it.
    const Way *first = ways.front();
    return drivableFrom(ways, first->lastNode()) || (!first->isOneway() && drivableFrom(ways, first->firstNode()));
}

std::vector<OSMStop *> RouteConvertor::stopsAlongRoute(const OSMStops &stops, const std::vector<Way *> &ordered)
{
    std::vector<OSMStop *> result;
    if (ordered.size() < 2)
        return result;
    const Way *w0 = ordered[0];
    const Way *w1 = ordered[1];
    const Node *cur = nullptr;
    if (w0->firstNode() == w1->firstNode() || w0->firstNode() == w1->lastNode())
        cur = w0->lastNode();
    else if (w0->lastNode() == w1->firstNode() || w0->lastNode() == w1->lastNode())
        cur = w0->firstNode();
    else
        return result;

    const auto select = [&](const Node *node, bool forward) {
        OSMStop *stop = stops.findByNode(node);
        if (!stop || !(forward ? stop->servesForward() : stop->servesBackward()))
            return;
        // One stop per run of nodes with the same stop name, and the joint of two pieces once.
        if (result.empty() || result.back()->nameRef() != stop->nameRef())
            result.push_back(stop);
    };
    for (const Way *way : ordered) {
        const std::vector<Node *> &nodes = way->nodes();
        if (cur == way->firstNode()) {
            for (const Node *node : nodes)
                select(node, true);
            cur = way->lastNode();
        } else if (cur == way->lastNode()) {
            for (auto it = nodes.rbegin(); it != nodes.rend(); ++it)
                select(*it, false);
            cur = way->firstNode();
        } else {
            break;
        }
    }
    return result;
}
