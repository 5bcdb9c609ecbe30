#include "tramstopconvertor.h"

#include "geo/localplane.h"
#include "osm/osmdata.h"
#include "segmentgrid.h"
#include "report/diagnostics.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace {

/// The nearest point of the segment a→b to p in the plane tangent at p, kept MIN_NODE_GAP away
/// from both ends; false for a segment too short to keep that gap.
bool footOnSegment(const Location &p, const Location &a, const Location &b, Location &foot, double &distance)
{
    const geo::LocalPlane plane(p);
    const double ax = plane.east(p, a), ay = plane.north(p, a);
    const double dx = plane.east(a, b), dy = plane.north(a, b);
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length < 2.0 * TramStopConvertor::MIN_NODE_GAP)
        return false;
    double u = -(ax * dx + ay * dy) / (length * length);
    const double margin = TramStopConvertor::MIN_NODE_GAP / length;
    u = std::min(std::max(u, margin), 1.0 - margin);
    const double fx = ax + u * dx, fy = ay + u * dy;
    distance = std::sqrt(fx * fx + fy * fy);
    foot = plane.at(fx, fy);
    return true;
}

/// A square around p holding every point of the tangent plane within MAX_DISTANCE of p, with
/// room for rounding; its corners are sorted, as a position beyond the poles turns the plane round.
void searchSquare(const Location &p, Location &northWest, Location &southEast)
{
    const geo::LocalPlane plane(p);
    const double reach = 2.0 * TramStopConvertor::MAX_DISTANCE;
    const Location a = plane.at(-reach, reach), b = plane.at(reach, -reach);
    northWest = Location(std::max(a.lat, b.lat), std::min(a.lon, b.lon));
    southEast = Location(std::min(a.lat, b.lat), std::max(a.lon, b.lon));
}

} // namespace

int32_t TramStopConvertor::convert(OSMData *data, Diagnostics &diagnostics)
{
    if (!data)
        return 0;
    diagnostics.add(Severity::Progress, COMPONENT, "Moving tram stops onto their tracks...");

    // Nodes already on a way are left where they are; so is every stop sharing a node with one.
    std::unordered_set<const Node *> onWay;
    for (const Way *way : data->ways()->ways())
        onWay.insert(way->nodes().begin(), way->nodes().end());

    // The tracks of the tram routes that list each stop node, in relation order.
    std::unordered_map<int64_t, std::vector<Way *>> tracksOfStopNode;
    for (const OSMRouteRelation *relation : data->routeRelations()->relations()) {
        if (relation->route != "tram")
            continue;
        std::vector<Way *> tracks;
        for (const std::vector<int64_t> *ids : {&relation->ways, &relation->forwardWays, &relation->backwardWays})
            for (int64_t id : *ids)
                for (Way *way : data->ways()->getAllById(id))
                    if (way->isTram())
                        tracks.push_back(way);
        for (int64_t nodeId : relation->stopNodes) {
            std::vector<Way *> &listed = tracksOfStopNode[nodeId];
            listed.insert(listed.end(), tracks.begin(), tracks.end());
        }
    }
    std::vector<Way *> allTracks;
    std::unordered_map<const Way *, size_t> trackIndex;
    for (Way *way : data->ways()->ways())
        if (way->isTram()) {
            trackIndex.emplace(way, allTracks.size());
            allTracks.push_back(way);
        }
    SegmentGrid grid(allTracks, 4.0 * MAX_DISTANCE);

    int32_t moved = 0;
    int32_t unplaced = 0;
    std::vector<size_t> rank(allTracks.size());
    for (OSMStop *stop : data->tramStops()->stops()) {
        Node *node = stop->getNode();
        if (!node || onWay.count(node))
            continue;
        auto listed = tracksOfStopNode.find(node->getId());
        const std::vector<Way *> &tracks =
            listed != tracksOfStopNode.end() && !listed->second.empty() ? listed->second : allTracks;
        // The choice is that of a walk over `tracks` in order, segments in node order: the
        // nearest, the last of equals; a track listed twice counts where it is listed last.
        std::fill(rank.begin(), rank.end(), 0);
        for (size_t i = 0; i < tracks.size(); ++i)
            rank[trackIndex.at(tracks[i])] = i + 1;
        const Location p = node->getLocation();
        Location northWest, southEast;
        searchSquare(p, northWest, southEast);
        size_t bestTrack = 0, bestSegment = 0;
        Way *bestWay = nullptr;
        Location bestFoot;
        double bestDistance = MAX_DISTANCE;
        grid.forEachNear(northWest, southEast, [&](size_t track, size_t segment) {
            if (rank[track] == 0)
                return;
            const std::vector<Node *> &nodes = allTracks[track]->nodes();
            Location foot;
            double distance = 0.0;
            if (!footOnSegment(p, nodes[segment]->getLocation(), nodes[segment + 1]->getLocation(), foot, distance) ||
                !(distance <= bestDistance))
                return;
            if (bestWay && distance == bestDistance &&
                std::make_pair(rank[track], segment) < std::make_pair(rank[bestTrack], bestSegment))
                return;
            bestWay = allTracks[track];
            bestTrack = track;
            bestSegment = segment;
            bestFoot = foot;
            bestDistance = distance;
        });
        if (!bestWay) {
            ++unplaced;
            continue;
        }
        node->setLocation(bestFoot);
        std::vector<Node *> &nodes = bestWay->nodes();
        nodes.insert(nodes.begin() + std::ptrdiff_t(bestSegment + 1), node);
        grid.splitSegment(bestTrack, bestSegment);
        onWay.insert(node);
        ++moved;
    }
    std::ostringstream summary;
    summary << "    Moved onto a track: " << moved << ", no track within " << MAX_DISTANCE << " m: " << unplaced;
    diagnostics.add(Severity::Progress, COMPONENT, summary.str());
    return moved;
}
