#include "boundingboxclip.h"

#include "osmdata.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

/// Share of a segment under which a cut falls on the segment's end node instead (a micrometre on a
/// kilometre), so that no piece begins or ends with a segment of no length.
constexpr double SNAP = 1e-9;

/// The share of segment a→b inside `box`, from `t0` to `t1` (0 at a, 1 at b); false when the segment
/// misses the box or only touches it.
bool insideShare(const Location &a, const Location &b, const BoundingBox &box, double &t0, double &t1)
{
    // Each edge bounds the parameter from one side (Liang-Barsky); longitude and latitude are treated as
    // plane coordinates, which a segment of a street is short enough for.
    const double dLon = b.lon - a.lon;
    const double dLat = b.lat - a.lat;
    const double direction[4] = {-dLon, dLon, -dLat, dLat};
    const double room[4] = {a.lon - box.minLon, box.maxLon - a.lon, a.lat - box.minLat, box.maxLat - a.lat};
    t0 = 0.0;
    t1 = 1.0;
    for (int edge = 0; edge < 4; ++edge) {
        if (direction[edge] == 0.0) {
            if (room[edge] < 0.0)
                return false; // parallel to this edge and outside it
            continue;
        }
        const double t = room[edge] / direction[edge];
        if (direction[edge] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
    }
    if (t0 < SNAP)
        t0 = 0.0;
    if (t1 > 1.0 - SNAP)
        t1 = 1.0;
    return t1 - t0 > SNAP;
}

/// The clip of one extract: the pieces of its ways as node ids, and the nodes it places on the edges.
class Clipper
{
public:
    Clipper(const OSMData &source, const BoundingBox &box) : source(source), box(box)
    {
        for (const Node *node : source.nodes()->nodes())
            nextNodeId = std::max(nextNodeId, node->getId() + 1);
        for (const Way *way : source.ways()->ways())
            nextWayId = std::max(nextWayId, way->getId() + 1);
    }

    std::unique_ptr<OSMData> run(BoundingBoxClip::Report &report)
    {
        std::vector<std::vector<std::vector<int64_t>>> piecesByWay;
        piecesByWay.reserve(source.ways()->size());
        for (const Way *way : source.ways()->ways()) {
            piecesByWay.push_back(piecesOf(*way));
            for (const std::vector<int64_t> &piece : piecesByWay.back())
                keptNodes.insert(piece.begin(), piece.end());
        }

        auto clipped = std::make_unique<OSMData>();
        addNodes(*clipped);
        for (size_t i = 0; i < piecesByWay.size(); ++i)
            addPieces(*clipped, *source.ways()->ways()[i], piecesByWay[i], report);
        addStops(*clipped, report);
        addRelations(*clipped, report);
        report.edgeNodes = edgeNodes.size();
        return clipped;
    }

private:
    /// A node on an edge is named by the segment it cuts, its end nodes in id order, and which of
    /// the segment's two cuts it is; ways sharing the segment share it.
    using EdgeKey = std::tuple<int64_t, int64_t, int>;

    struct EdgeNode
    {
        int64_t id;
        Location location;
    };

    /// The node at share `t` of segment a→b (a with the lower id): an end node, or the node of
    /// cut `side` (0 entering in the direction a→b, 1 leaving).
    int64_t nodeAt(const Node &a, const Node &b, double t, int side)
    {
        if (t == 0.0)
            return a.getId();
        if (t == 1.0)
            return b.getId();
        const EdgeKey key{a.getId(), b.getId(), side};
        auto found = edgeNodeIndex.find(key);
        if (found != edgeNodeIndex.end())
            return edgeNodes[found->second].id;
        const Location &from = a.getLocation();
        const Location &to = b.getLocation();
        Location at(from.lat + t * (to.lat - from.lat), from.lon + t * (to.lon - from.lon));
        // Rounding must not put the node a hair outside the edge it lies on.
        at.lat = std::min(std::max(at.lat, box.minLat), box.maxLat);
        at.lon = std::min(std::max(at.lon, box.minLon), box.maxLon);
        edgeNodeIndex.emplace(key, edgeNodes.size());
        edgeNodes.push_back(EdgeNode{nextNodeId++, at});
        return edgeNodes.back().id;
    }

    /// The pieces of `way` inside the box, in the way's direction, as node ids.
    std::vector<std::vector<int64_t>> piecesOf(const Way &way)
    {
        std::vector<std::vector<int64_t>> pieces;
        std::vector<int64_t> piece;
        const auto close = [&] {
            if (piece.size() >= 2)
                pieces.push_back(piece);
            piece.clear();
        };
        const std::vector<Node *> &nodes = way.nodes();
        for (size_t i = 0; i + 1 < nodes.size(); ++i) {
            const Node &from = *nodes[i];
            const Node &to = *nodes[i + 1];
            // Each segment is cut in the order of its node ids, so that the ways sharing it cut it alike.
            const bool forward = from.getId() < to.getId();
            const Node &a = forward ? from : to;
            const Node &b = forward ? to : from;
            double t0 = 0.0, t1 = 1.0;
            if (!insideShare(a.getLocation(), b.getLocation(), box, t0, t1)) {
                close();
                continue;
            }
            const int64_t entry = forward ? nodeAt(a, b, t0, 0) : nodeAt(a, b, t1, 1);
            const int64_t exit = forward ? nodeAt(a, b, t1, 1) : nodeAt(a, b, t0, 0);
            if (piece.empty() || piece.back() != entry) {
                close();
                piece.push_back(entry);
            }
            piece.push_back(exit);
            if (exit != to.getId())
                close();
        }
        close();
        // A closed way (a roundabout) cut by an edge is one road from where it enters to where it leaves,
        // through the node where it closes.
        const int64_t closing = nodes.front()->getId();
        if (pieces.size() >= 2 && nodes.back()->getId() == closing && pieces.front().front() == closing &&
            pieces.back().back() == closing) {
            pieces.back().insert(pieces.back().end(), pieces.front().begin() + 1, pieces.front().end());
            pieces.front() = std::move(pieces.back());
            pieces.pop_back();
        }
        return pieces;
    }

    /// The nodes kept, in the order of the extract, then the nodes on the edges in the order they were placed.
    void addNodes(OSMData &clipped)
    {
        for (const OSMStops *stops : {source.tramStops(), source.busStops()})
            for (const OSMStop *stop : stops->stops())
                if (box.contains(stop->getNode()->getLocation()))
                    keptNodes.insert(stop->getNode()->getId());
        for (const Node *node : source.nodes()->nodes())
            if (keptNodes.count(node->getId()))
                clipped.addNode(node->getId(), node->getLocation(), node->isTrafficSignals());
        for (const EdgeNode &node : edgeNodes)
            clipped.addNode(node.id, node.location);
    }

    void addPieces(OSMData &clipped, const Way &way, const std::vector<std::vector<int64_t>> &pieces,
                   BoundingBoxClip::Report &report)
    {
        if (pieces.empty()) {
            ++report.waysDropped;
            return;
        }
        ++report.waysKept;
        if (pieces.size() > 1 || pieces.front().size() != way.nodes().size() ||
            pieces.front().front() != way.firstNode()->getId() || pieces.front().back() != way.lastNode()->getId())
            ++report.waysCut;
        report.extraPieces += pieces.size() - 1;
        std::vector<int64_t> &ids = pieceIds[way.getId()];
        for (size_t i = 0; i < pieces.size(); ++i) {
            const int64_t id = i == 0 ? way.getId() : nextWayId++;
            ids.push_back(id);
            clipped.addWay(id, pieces[i], way.isTram(), way.isHighway(), way.isOneway(), way.isLink(),
                           way.getRoadClass(), way.getLanesForward(), way.getLanesBackward());
        }
    }

    /// The stops inside, tram and bus stops in their common reading order, which numbers them.
    void addStops(OSMData &clipped, BoundingBoxClip::Report &report)
    {
        std::vector<const OSMStop *> stops;
        for (const OSMStops *list : {source.tramStops(), source.busStops()})
            stops.insert(stops.end(), list->stops().begin(), list->stops().end());
        std::sort(stops.begin(), stops.end(),
                  [](const OSMStop *a, const OSMStop *b) { return a->getId() < b->getId(); });
        for (const OSMStop *stop : stops) {
            Node *node = box.contains(stop->getNode()->getLocation())
                             ? clipped.nodes()->findById(stop->getNode()->getId())
                             : nullptr;
            if (!node)
                ++report.stopsDropped;
            else if (stop->getKind() == TramStop)
                clipped.addTramStop(stop->nameRef(), node);
            else
                clipped.addBusStop(stop->nameRef(), node);
        }
    }

    void addRelations(OSMData &clipped, BoundingBoxClip::Report &report)
    {
        const auto remaining = [this](const std::vector<int64_t> &ways) {
            std::vector<int64_t> ids;
            for (int64_t id : ways) {
                auto found = pieceIds.find(id);
                if (found != pieceIds.end())
                    ids.insert(ids.end(), found->second.begin(), found->second.end());
            }
            return ids;
        };
        for (const OSMRouteRelation *relation : source.routeRelations()->relations()) {
            const std::vector<int64_t> ways = remaining(relation->ways);
            const std::vector<int64_t> forward = remaining(relation->forwardWays);
            const std::vector<int64_t> backward = remaining(relation->backwardWays);
            if (ways.empty() && forward.empty() && backward.empty()) {
                ++report.relationsDropped;
                continue;
            }
            // Only nodes of the extract count: an id of a node it lacks may now name a node on an edge.
            std::vector<int64_t> stops;
            for (int64_t id : relation->stopNodes)
                if (source.nodes()->findById(id) && clipped.nodes()->findById(id))
                    stops.push_back(id);
            clipped.addRouteRelation(relation->id, relation->name, relation->ref, relation->route, ways, forward,
                                     backward, stops);
        }
    }

    const OSMData &source;
    const BoundingBox box;
    int64_t nextNodeId = 1;
    int64_t nextWayId = 1;
    std::vector<EdgeNode> edgeNodes;
    std::map<EdgeKey, size_t> edgeNodeIndex;
    std::unordered_set<int64_t> keptNodes;
    std::unordered_map<int64_t, std::vector<int64_t>> pieceIds; ///< the ids of each way's pieces, in order
};

} // namespace

std::unique_ptr<OSMData> BoundingBoxClip::clip(const OSMData &source, const BoundingBox &box, Report *report)
{
    Report counts;
    std::unique_ptr<OSMData> clipped = Clipper(source, box).run(counts);
    if (report)
        *report = counts;
    return clipped;
}
