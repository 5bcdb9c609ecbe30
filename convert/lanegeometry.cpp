#include "lanegeometry.h"

#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "model/units.h"
#include "osm/node.h"
#include "osm/way.h"

#include <algorithm>
#include <cmath>

namespace lanegeometry {

namespace {

bool isFinite(const Location &l)
{
    return std::isfinite(l.lat) && std::isfinite(l.lon);
}

/// Crossing of the segments p1–p2 and p3–p4 in the plane of latitude and longitude, both ends
/// included. The bounding-box test of segmentsIntersection is exact, so a crossing on a segment
/// parallel to an axis (a lane running exactly east–west keeps one latitude) can round just
/// outside it and be lost; here the crossing is tested by its position along both segments,
/// with a tolerance far below a millimetre. Parallel and zero-length segments never cross.
bool intersect(const Location &p1, const Location &p2, const Location &p3, const Location &p4, Location &at)
{
    constexpr double TOLERANCE = 1e-9;
    const double d1x = p2.lat - p1.lat, d1y = p2.lon - p1.lon;
    const double d2x = p4.lat - p3.lat, d2y = p4.lon - p3.lon;
    const double denominator = d1x * d2y - d1y * d2x;
    if (denominator == 0.0 || !std::isfinite(denominator))
        return false;
    const double ex = p3.lat - p1.lat, ey = p3.lon - p1.lon;
    const double s = (ex * d2y - ey * d2x) / denominator;
    const double t = (ex * d1y - ey * d1x) / denominator;
    if (!(s >= -TOLERANCE && s <= 1.0 + TOLERANCE && t >= -TOLERANCE && t <= 1.0 + TOLERANCE))
        return false;
    const double u = std::min(1.0, std::max(0.0, s));
    const Location p(p1.lat + u * d1x, p1.lon + u * d1y);
    if (!isFinite(p))
        return false;
    at = p;
    return true;
}

void reversePolyline(Polyline &line)
{
    // Reversing the point list reverses every pair too: (a0, b0, a1, b1) → (b1, a1, b0, a0).
    std::reverse(line.begin(), line.end());
}

} // namespace

std::vector<Location> wayPoints(const Way &way)
{
    std::vector<Location> points;
    points.reserve(way.nodes().size());
    for (const Node *node : way.nodes()) {
        if (!node || !isFinite(node->getLocation()))
            continue;
        const Location &l = node->getLocation();
        if (!points.empty() && geo::distance(points.back(), l) < SAME_POINT)
            continue;
        points.push_back(l);
    }
    return points;
}

Polyline offsetPolyline(const std::vector<Location> &points, double offset, bool reverse)
{
    Polyline line;
    const size_t n = points.size();
    if (n == 0)
        return line;
    if (n == 1) {
        // No direction to offset along: the lane stays on the point.
        line.assign(2, points.front());
        return line;
    }
    line.reserve(2 * (n - 1));
    for (size_t k = 0; k + 1 < n; ++k) {
        Location a = reverse ? points[n - 1 - k] : points[k];
        Location b = reverse ? points[n - 2 - k] : points[k + 1];
        if (offset != 0.0)
            geo::offsetSegment(a, b, offset);
        line.push_back(a);
        line.push_back(b);
    }
    // Each join sees the start of its first segment as already moved by the join before it.
    for (size_t k = 0; k + 3 < line.size(); k += 2)
        joinSegments(line[k], line[k + 1], line[k + 2], line[k + 3]);
    return line;
}

bool joinSegments(Location p1, Location &p2, Location &p3, Location p4, bool strict)
{
    const double t = geo::bearingDifference(geo::bearing(p2, p1), geo::bearing(p3, p4));
    Location at;
    if (t >= STRAIGHT_JOIN) {
        if (!strict) {
            p2 = p3;
            return true;
        }
        if (!intersect(p1, p2, p3, p4, at))
            return false;
    } else {
        Location e2 = p2;
        Location e3 = p3;
        geo::extendLocation(p1, e2, JOIN_EXTENSION);
        geo::extendLocation(p4, e3, JOIN_EXTENSION);
        if (!intersect(p1, e2, e3, p4, at))
            return false;
    }
    p2 = at;
    p3 = at;
    return true;
}

bool joinPolylines(Polyline &arriving, Polyline &leaving)
{
    if (arriving.size() < 2 || leaving.size() < 2)
        return false;
    const size_t n = arriving.size();
    return joinSegments(arriving[n - 2], arriving[n - 1], leaving[0], leaving[1]);
}

void joinEdges(Polyline &arriving, Polyline &leaving)
{
    if (arriving.size() < 2 || leaving.size() < 2)
        return;
    const size_t n = arriving.size();
    if (joinSegments(arriving[n - 2], arriving[n - 1], leaving[0], leaving[1], true))
        return;
    // The two may be one polyline (a loop whose ends meet here): take both points first.
    const Location last = arriving.back();
    const Location first = leaving.front();
    const Location middle = geo::intermediateLocation(last, first, 0.5);
    if (geo::distance(last, first) < SAME_POINT) {
        // Collinear edges of a straight continuation already meet: no extra segments.
        arriving.back() = middle;
        leaving.front() = middle;
        return;
    }
    arriving.push_back(last);
    arriving.push_back(middle);
    leaving.insert(leaving.begin(), {middle, first});
}

std::vector<double> twoWayOffsets(int lanes, bool tram, double &edgeOffset)
{
    lanes = std::max(0, lanes);
    std::vector<double> offsets;
    double start = 0.0;
    if (tram) {
        offsets.push_back(LANE_WIDTH / 2);
        start = LANE_WIDTH;
    }
    for (int i = 0; i < lanes; ++i)
        offsets.push_back(start + LANE_WIDTH / 2 + LANE_WIDTH * i);
    edgeOffset = start + LANE_WIDTH * lanes;
    return offsets;
}

std::vector<double> oneWayOffsets(int lanes, bool tram, double &edgeOffset)
{
    const int n = std::max(0, lanes) + (tram ? 1 : 0);
    const int h = n / 2;
    const bool even = n % 2 == 0;
    std::vector<double> offsets;
    for (int i = -h; i <= h; ++i) {
        if (even && n > 1 && i == 0)
            continue;
        double offset;
        if (!even)
            offset = LANE_WIDTH * i;
        else if (i < 0)
            offset = LANE_WIDTH * (i + 1) - LANE_WIDTH / 2;
        else if (i > 0)
            offset = LANE_WIDTH * (i - 1) + LANE_WIDTH / 2;
        else
            offset = -LANE_WIDTH / 2; // n = 0: a way without lanes still gets one
        offsets.push_back(offset);
    }
    edgeOffset = LANE_WIDTH / 2 * n;
    return offsets;
}

void layWay(BindingData &bindings, WayBinding *binding)
{
    const Way &way = *binding->way;
    const std::vector<Location> points = wayPoints(way);
    const bool tram = way.isTram();
    binding->centreLine = offsetPolyline(points, 0.0, false);
    double forwardEdge = 0.0;
    double backwardEdge = 0.0;
    if (!way.isOneway()) {
        const std::vector<double> forward = twoWayOffsets(way.getLanesForward(), tram, forwardEdge);
        for (size_t i = 0; i < forward.size(); ++i)
            bindings.addLane(&binding->forward, tram && i == 0, offsetPolyline(points, forward[i], false));
        const std::vector<double> backward = twoWayOffsets(way.getLanesBackward(), tram, backwardEdge);
        for (size_t i = 0; i < backward.size(); ++i)
            bindings.addLane(&binding->backward, tram && i == 0, offsetPolyline(points, backward[i], true));
    } else {
        const std::vector<double> offsets = oneWayOffsets(way.getLanesForward(), tram, forwardEdge);
        for (size_t i = 0; i < offsets.size(); ++i)
            bindings.addLane(&binding->forward, tram && i == 0, offsetPolyline(points, offsets[i], false));
        backwardEdge = forwardEdge;
    }
    binding->rightEdge = offsetPolyline(points, forwardEdge, false);
    binding->leftEdge = offsetPolyline(points, backwardEdge, true);
}

bool cutAtLine(Polyline &line, const Location &a, const Location &b)
{
    const size_t segments = line.size() / 2;
    Location at;
    for (size_t k = 0; k < segments; ++k) {
        if (intersect(line[2 * k], line[2 * k + 1], a, b, at)) {
            line[2 * k] = at;
            line.erase(line.begin(), line.begin() + 2 * k);
            return true;
        }
        const bool gap = k + 1 < segments && line[2 * k + 1] != line[2 * k + 2];
        if (gap && intersect(line[2 * k + 1], line[2 * k + 2], a, b, at)) {
            // The rest of the gap becomes a segment of its own, so the lane keeps whole pairs.
            Polyline rest;
            rest.reserve(line.size() - 2 * k);
            rest.push_back(at);
            rest.push_back(line[2 * k + 2]);
            rest.insert(rest.end(), line.begin() + 2 * k + 2, line.end());
            line.swap(rest);
            return true;
        }
    }
    return false;
}

bool cutAtLineFromEnd(Polyline &line, const Location &a, const Location &b)
{
    reversePolyline(line);
    const bool cut = cutAtLine(line, a, b);
    reversePolyline(line);
    return cut;
}

bool trimCorner(Polyline &first, Polyline &second)
{
    if (first.size() < 2 || second.size() < 2)
        return false;
    if (geo::distance(first[0], second[0]) < CORNER_SNAP) {
        first[0] = second[0];
        return true;
    }
    const Location firstStart = first[0];
    const Location secondStart = second[0];
    geo::extendLocation(first[1], first[0], CORNER_PUSH);
    geo::extendLocation(second[1], second[0], CORNER_PUSH);
    Location at;
    for (size_t i = 0; 2 * i + 1 < first.size(); ++i) {
        for (size_t j = 0; 2 * j + 1 < second.size(); ++j) {
            if (!intersect(first[2 * i], first[2 * i + 1], second[2 * j], second[2 * j + 1], at))
                continue;
            first[2 * i] = at;
            first.erase(first.begin(), first.begin() + 2 * i);
            second[2 * j] = at;
            second.erase(second.begin(), second.begin() + 2 * j);
            return true;
        }
    }
    first[0] = firstStart;
    second[0] = secondStart;
    return false;
}

bool trimAgainstSelf(Polyline &line)
{
    const size_t segments = line.size() / 2;
    Location at;
    for (size_t i = 0; i < segments; ++i) {
        // Neighbouring segments share their joint; only segments further apart can cross.
        for (size_t j = segments - 1; j >= i + 2 && j < segments; --j) {
            if (!intersect(line[2 * i], line[2 * i + 1], line[2 * j], line[2 * j + 1], at))
                continue;
            line[2 * i] = at;
            line[2 * j + 1] = at;
            line.erase(line.begin() + 2 * j + 2, line.end());
            line.erase(line.begin(), line.begin() + 2 * i);
            return true;
        }
    }
    return false;
}

CellRun layCells(SimulationData &data, const Polyline &line, LaneBinding *wayLink)
{
    CellRun run;
    Cell *previous = nullptr;
    auto add = [&](const CellStretch &stretch, int32_t index) {
        Cell *cell = data.createCell();
        cell->layOn(stretch, index);
        if (previous) {
            previous->setNext(cell);
            cell->setPrevious(previous);
        } else {
            run.first = cell;
        }
        previous = cell;
    };
    for (size_t k = 0; 2 * k + 1 < line.size(); ++k) {
        Location a = line[2 * k];
        Location b = line[2 * k + 1];
        if (!isFinite(a) || !isFinite(b))
            continue;
        const double length = geo::distance(a, b);
        // Cell centres: half a cell in from each end.
        geo::shortenSegment(a, b, units::CELL_LENGTH_M / 2.0);
        const double count = std::ceil(units::CELLS_PER_M * length);
        if (count <= 1.0) {
            add(CellStretch{geo::intermediateLocation(a, b, 0.5), 0.0, 0.0, wayLink}, 0);
            continue;
        }
        // Evenly spaced in latitude and longitude: over the tens of metres between two points of
        // a way, a straight line there and the great circle part by far less than a millimetre, and
        // a cell's place then follows from its stretch without any trigonometry.
        const int cells = int(count);
        double lonSpan = b.lon - a.lon;
        if (lonSpan > 180.0)
            lonSpan -= 360.0;
        else if (lonSpan < -180.0)
            lonSpan += 360.0;
        const CellStretch stretch{a, (b.lat - a.lat) / (cells - 1), lonSpan / (cells - 1), wayLink};
        for (int j = 0; j < cells; ++j)
            add(stretch, j);
    }
    run.last = previous;
    return run;
}

size_t countCells(const Cell *first, const Cell *last, size_t limit)
{
    size_t count = 0;
    for (const Cell *cell = first; cell && count < limit; cell = cell->next()) {
        ++count;
        if (cell == last)
            break;
    }
    return count;
}

} // namespace lanegeometry
