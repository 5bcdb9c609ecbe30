#include "tramstopconvertor.h"

#include "geo/geodesy.h"
#include "osm/osmdata.h"
#include "report/diagnostics.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr double METRES_PER_DEGREE = 111319.49;

/// The nearest point of the segment a→b to p in a plane tangent at p, kept MIN_NODE_GAP away from
/// both ends; false for a segment too short to keep that gap.
bool footOnSegment(const Location &p, const Location &a, const Location &b, Location &foot, double &distance)
{
    const double kx = METRES_PER_DEGREE * std::cos(geo::degToRad(p.lat));
    const double ky = METRES_PER_DEGREE;
    const double ax = (a.lon - p.lon) * kx, ay = (a.lat - p.lat) * ky;
    const double dx = (b.lon - a.lon) * kx, dy = (b.lat - a.lat) * ky;
    const double length = std::sqrt(dx * dx + dy * dy);
    if (length < 2.0 * TramStopConvertor::MIN_NODE_GAP)
        return false;
    double u = -(ax * dx + ay * dy) / (length * length);
    const double margin = TramStopConvertor::MIN_NODE_GAP / length;
    u = std::min(std::max(u, margin), 1.0 - margin);
    const double fx = ax + u * dx, fy = ay + u * dy;
    distance = std::sqrt(fx * fx + fy * fy);
    foot = Location(p.lat + fy / ky, p.lon + fx / kx);
    return true;
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
    for (Way *way : data->ways()->ways())
        if (way->isTram())
            allTracks.push_back(way);

    int32_t moved = 0;
    int32_t unplaced = 0;
    for (OSMStop *stop : data->tramStops()->stops()) {
        Node *node = stop->getNode();
        if (!node || onWay.count(node))
            continue;
        auto listed = tracksOfStopNode.find(node->getId());
        const std::vector<Way *> &tracks =
            listed != tracksOfStopNode.end() && !listed->second.empty() ? listed->second : allTracks;
        Way *bestWay = nullptr;
        size_t bestSegment = 0;
        Location bestFoot;
        double bestDistance = MAX_DISTANCE;
        for (Way *way : tracks) {
            const std::vector<Node *> &nodes = way->nodes();
            for (size_t i = 0; i + 1 < nodes.size(); ++i) {
                Location foot;
                double distance = 0.0;
                if (footOnSegment(node->getLocation(), nodes[i]->getLocation(), nodes[i + 1]->getLocation(), foot,
                                  distance) &&
                    distance <= bestDistance) {
                    bestWay = way;
                    bestSegment = i;
                    bestFoot = foot;
                    bestDistance = distance;
                }
            }
        }
        if (!bestWay) {
            ++unplaced;
            continue;
        }
        node->setLocation(bestFoot);
        std::vector<Node *> &nodes = bestWay->nodes();
        nodes.insert(nodes.begin() + std::ptrdiff_t(bestSegment + 1), node);
        onWay.insert(node);
        ++moved;
    }
    std::ostringstream summary;
    summary << "    Moved onto a track: " << moved << ", no track within " << MAX_DISTANCE << " m: " << unplaced;
    diagnostics.add(Severity::Progress, COMPONENT, summary.str());
    return moved;
}
