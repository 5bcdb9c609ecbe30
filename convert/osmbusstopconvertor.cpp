#include "osmbusstopconvertor.h"

#include "geo/geodesy.h"
#include "osm/osmdata.h"
#include "report/diagnostics.h"
#include "segmentgrid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

/// Distance of a candidate that has not been set yet, in metres.
constexpr double NO_DISTANCE = 9999999.9;

/// The projection of one stop onto one way segment near it.
struct ProjectionCandidate
{
    StopPlacement placement = StopPlacement::Unplaced;
    bool found = false;
    Location point;
    double distance = NO_DISTANCE;
    size_t wayIndex = 0;
    /// The segment runs from node segmentIndex to node segmentIndex + 1 of the way.
    size_t segmentIndex = 0;
};

/// Widening of the boxes in the probe intersection, in degrees (about 0.1 mm).
constexpr double BOX_TOLERANCE = 1e-9;

bool inWidenedBox(const Location &a, const Location &b, const Location &p)
{
    return p.lat >= std::min(a.lat, b.lat) - BOX_TOLERANCE && p.lat <= std::max(a.lat, b.lat) + BOX_TOLERANCE &&
           p.lon >= std::min(a.lon, b.lon) - BOX_TOLERANCE && p.lon <= std::max(a.lon, b.lon) + BOX_TOLERANCE;
}

/// The planar intersection of geo::segmentsIntersection, but with its end-point boxes widened by
/// BOX_TOLERANCE. A segment along one latitude or longitude has a box of zero width, which the
/// computed point misses by rounding about half of the time; so does a probe starting on the
/// segment. The point found is kept inside the segment's own box, so that the two pieces of a split
/// segment stay inside the box of the whole.
bool probeMeetsSegment(const Location &a, const Location &b, const Location &s, const Location &probeEnd,
                       Location &point)
{
    const double x1 = a.lat, y1 = a.lon, x2 = b.lat, y2 = b.lon;
    const double x3 = s.lat, y3 = s.lon, x4 = probeEnd.lat, y4 = probeEnd.lon;
    const double det = (x2 - x1) * (y3 - y4) - (x4 - x3) * (y1 - y2);
    if (det == 0.0)
        return false;
    const double c1 = y1 * (x2 - x1) + x1 * (y1 - y2);
    const double c2 = y3 * (x4 - x3) + x3 * (y3 - y4);
    const Location p(((x2 - x1) * c2 - (x4 - x3) * c1) / det, ((y3 - y4) * c1 - (y1 - y2) * c2) / det);
    if (!inWidenedBox(a, b, p) || !inWidenedBox(s, probeEnd, p))
        return false;
    point = Location(std::min(std::max(p.lat, std::min(a.lat, b.lat)), std::max(a.lat, b.lat)),
                     std::min(std::max(p.lon, std::min(a.lon, b.lon)), std::max(a.lon, b.lon)));
    return true;
}

} // namespace

void OSMBusStopConvertor::convert(OSMData *data, Diagnostics &diagnostics)
{
    const char *const component = "OSMBusStopConvertor";
    diagnostics.add(Severity::Progress, component, "Convertion started...");
    PlacedNodes placedNodes;
    diagnostics.add(Severity::Progress, component, "Stops already on way...");
    if (data)
        placeStopsOnWays(data, placedNodes);
    diagnostics.add(Severity::Progress, component, "Stops outside way...");
    if (data)
        moveStopsOntoWays(data, placedNodes);
    diagnostics.add(Severity::Progress, component, "Convertion finished...");
}

bool OSMBusStopConvertor::projectOntoSegment(const Location &stop, const Location &a, const Location &b,
                                             StopPlacement &placement, Location &point)
{
    const double theta = geo::bearing(a, b);
    if (probeMeetsSegment(a, b, stop, geo::moveLocation(stop, geo::addToBearing(theta, 90.0), SEARCH_RADIUS), point)) {
        placement = StopPlacement::Backward;
        return true;
    }
    if (probeMeetsSegment(a, b, stop, geo::moveLocation(stop, geo::addToBearing(theta, -90.0), SEARCH_RADIUS), point)) {
        placement = StopPlacement::Forward;
        return true;
    }
    return false;
}

void OSMBusStopConvertor::placeStopsOnWays(OSMData *data, PlacedNodes &placedNodes)
{
    for (const Way *way : data->ways()->ways())
        for (const Node *node : way->nodes())
            if (OSMStop *stop = data->busStops()->findByNode(node)) {
                stop->setPlacement(StopPlacement::BothDirections);
                placedNodes[node] = StopPlacement::BothDirections;
            }
}

void OSMBusStopConvertor::moveStopsOntoWays(OSMData *data, PlacedNodes &placedNodes)
{
    const std::vector<Way *> &ways = data->ways()->ways();
    SegmentGrid grid(ways, 2.0 * SEARCH_RADIUS);
    for (OSMStop *stop : data->busStops()->stops()) {
        Node *node = stop->getNode();
        if (stop->getPlacement() != StopPlacement::Unplaced || !node)
            continue;
        // A node already on a way (another stop on it was placed) must not enter a way twice;
        // its stops share the side of that stop.
        const auto placed = placedNodes.find(node);
        if (placed != placedNodes.end()) {
            stop->setPlacement(placed->second);
            continue;
        }
        const Location s = node->getLocation();
        const Location northWest(geo::moveLocation(s, 0.0, SEARCH_RADIUS).lat,
                                 geo::moveLocation(s, 270.0, SEARCH_RADIUS).lon);
        const Location southEast(geo::moveLocation(s, 180.0, SEARCH_RADIUS).lat,
                                 geo::moveLocation(s, 90.0, SEARCH_RADIUS).lon);
        ProjectionCandidate best;
        grid.forEachNear(northWest, southEast, [&](size_t wayIndex, size_t segmentIndex) {
            const std::vector<Node *> &nodes = ways[wayIndex]->nodes();
            const Location &a = nodes[segmentIndex]->getLocation();
            const Location &b = nodes[segmentIndex + 1]->getLocation();
            if (!geo::segmentCrossesRectangle(a, b, northWest, southEast))
                return;
            ProjectionCandidate candidate;
            if (!projectOntoSegment(s, a, b, candidate.placement, candidate.point))
                return;
            candidate.found = true;
            candidate.distance = geo::distance(s, candidate.point);
            candidate.wayIndex = wayIndex;
            candidate.segmentIndex = segmentIndex;
            // Segments come in any order here, but the choice must be the one of a walk over the
            // ways in list order and their segments in node order: the nearest, the last of equals.
            if (!(candidate.distance <= best.distance))
                return;
            if (best.found && candidate.distance == best.distance &&
                std::make_pair(wayIndex, segmentIndex) < std::make_pair(best.wayIndex, best.segmentIndex))
                return;
            best = candidate;
        });
        if (!best.found)
            continue;
        stop->setPlacement(best.placement);
        node->setLocation(best.point);
        // Right after the segment's start: "before the first b" would put the stop at the front of
        // a closed way whose last segment was chosen.
        std::vector<Node *> &nodes = ways[best.wayIndex]->nodes();
        nodes.insert(nodes.begin() + std::ptrdiff_t(best.segmentIndex + 1), node);
        grid.splitSegment(best.wayIndex, best.segmentIndex);
        placedNodes[node] = best.placement;
    }
}
