#include "osmbusstopconvertor.h"

#include "geo/geodesy.h"
#include "osm/osmdata.h"
#include "report/diagnostics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

/// Distance of a candidate that has not been set yet, in metres.
constexpr double NO_DISTANCE = 9999999.9;

/// Placements given by the side probes.
constexpr int32_t LEFT_OF_SEGMENT = 2;
constexpr int32_t RIGHT_OF_SEGMENT = 1;

/// The projection of one stop onto one way segment near it.
struct ProjectionCandidate
{
    int32_t placement = 0;
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

/// An inclusive range of grid cells.
struct CellRange
{
    int col0 = 0, col1 = -1, row0 = 0, row1 = -1;

    bool contains(int col, int row) const { return col >= col0 && col <= col1 && row >= row0 && row <= row1; }
    double cellCount() const { return double(col1 - col0 + 1) * double(row1 - row0 + 1); }
};

/// Uniform grid of way segments by their bounding boxes in degrees.
///
/// The grid only narrows the search; the exact rectangle test still decides. It is conservative:
/// a segment that passes segmentCrossesRectangle for a square is listed in a cell the square
/// touches. Segments are named by (way index, segment index) and read from the ways on every visit,
/// so a node inserted into a way is seen exactly as a plain walk over the ways would see it.
class SegmentGrid
{
public:
    explicit SegmentGrid(const std::vector<Way *> &ways);
    SegmentGrid(const SegmentGrid &) = delete;
    SegmentGrid &operator=(const SegmentGrid &) = delete;

    /// Calls visit(wayIndex, segmentIndex) once for every segment that may cross the rectangle,
    /// in no particular order.
    template <class Visit> void forEachNear(const Location &northWest, const Location &southEast, Visit visit);
    /// A node was inserted into the way after node segmentIndex: the segment is now two.
    void splitSegment(size_t wayIndex, size_t segmentIndex);

private:
    struct Entry
    {
        size_t wayIndex;
        size_t segmentIndex;
        /// Cells in which the entry is listed (it may be listed in a few more after a split).
        CellRange range;
        uint64_t stamp = 0;
    };

    /// Beyond this many cells a segment is tested for every stop instead.
    static constexpr double MAX_CELLS_PER_SEGMENT = 256.0;
    /// Coordinates beyond this many degrees do not shape the grid.
    static constexpr double PLAUSIBLE_DEGREES = 1000.0;

    /// The cells of the segment's bounding box widened by the rounding of the rectangle test;
    /// false when the segment belongs on the always-tested list.
    bool segmentCells(size_t wayIndex, size_t segmentIndex, CellRange &range) const;
    int column(double lon) const { return cellOf(lon, originLon, cellLon, columns); }
    int row(double lat) const { return cellOf(lat, originLat, cellLat, rows); }
    /// Clamped and monotone in v, so overlapping intervals always share a cell.
    static int cellOf(double v, double origin, double size, int count);
    void addEntry(size_t wayIndex, size_t segmentIndex);
    void list(uint32_t entry, const CellRange &range, const CellRange *except);

    const std::vector<Way *> &ways;
    std::vector<Entry> entries;
    /// Per way, its entries in segment order.
    std::vector<std::vector<uint32_t>> wayEntries;
    std::vector<std::vector<uint32_t>> cells;
    /// Segments with non-finite coordinates or spanning too many cells.
    std::vector<uint32_t> everywhere;
    double originLat = 0.0, originLon = 0.0;
    double cellLat = 1.0, cellLon = 1.0;
    int columns = 1, rows = 1;
    uint64_t stamp = 0;
};

SegmentGrid::SegmentGrid(const std::vector<Way *> &ways) : ways(ways), wayEntries(ways.size())
{
    double minLat = std::numeric_limits<double>::infinity(), maxLat = -minLat;
    double minLon = minLat, maxLon = maxLat;
    size_t segments = 0;
    for (const Way *way : ways) {
        if (way->nodes().size() < 2)
            continue;
        segments += way->nodes().size() - 1;
        for (const Node *node : way->nodes()) {
            // Nodes far outside the globe would stretch the grid; their segments land in the edge
            // cells or on the always-tested list.
            const Location &l = node->getLocation();
            if (!(std::fabs(l.lat) <= PLAUSIBLE_DEGREES) || !(std::fabs(l.lon) <= PLAUSIBLE_DEGREES))
                continue;
            minLat = std::min(minLat, l.lat);
            maxLat = std::max(maxLat, l.lat);
            minLon = std::min(minLon, l.lon);
            maxLon = std::max(maxLon, l.lon);
        }
    }
    if (minLat <= maxLat && minLon <= maxLon) {
        // Cells about as large as a stop's search square, fewer where the extract is huge.
        cellLat = geo::radToDeg(2.0 * OSMBusStopConvertor::SEARCH_RADIUS / geo::EARTH_RADIUS);
        const double midLat = geo::degToRad(std::max(-89.0, std::min(89.0, (minLat + maxLat) / 2.0)));
        cellLon = cellLat / std::max(0.05, std::cos(midLat));
        const double maxCells = std::max(1024.0, 4.0 * double(segments));
        double cols = std::floor((maxLon - minLon) / cellLon) + 1.0;
        double rowCount = std::floor((maxLat - minLat) / cellLat) + 1.0;
        while (cols * rowCount > maxCells || cols > 65536.0 || rowCount > 65536.0) {
            cellLat *= 2.0;
            cellLon *= 2.0;
            cols = std::floor((maxLon - minLon) / cellLon) + 1.0;
            rowCount = std::floor((maxLat - minLat) / cellLat) + 1.0;
        }
        originLat = minLat;
        originLon = minLon;
        columns = int(cols);
        rows = int(rowCount);
    }
    cells.resize(size_t(columns) * size_t(rows));
    for (size_t w = 0; w < ways.size(); ++w)
        for (size_t s = 0; s + 1 < ways[w]->nodes().size(); ++s)
            addEntry(w, s);
}

int SegmentGrid::cellOf(double v, double origin, double size, int count)
{
    const double c = std::floor((v - origin) / size);
    if (!(c > 0.0))
        return 0;
    if (c >= double(count - 1))
        return count - 1;
    return int(c);
}

bool SegmentGrid::segmentCells(size_t wayIndex, size_t segmentIndex, CellRange &range) const
{
    const Location &a = ways[wayIndex]->nodes()[segmentIndex]->getLocation();
    const Location &b = ways[wayIndex]->nodes()[segmentIndex + 1]->getLocation();
    // The rectangle test compares longitudes exactly but evaluates the segment's line for the
    // latitudes, which may stray from the end points by the rounding of k·lon + q.
    double pad = 0.0;
    if (std::fabs(b.lon - a.lon) > geo::SLOPE_EPSILON) {
        const double k = (b.lat - a.lat) / (b.lon - a.lon);
        pad =
            1e-14 * (std::fabs(a.lat) + std::fabs(b.lat) + std::fabs(k) * std::max(std::fabs(a.lon), std::fabs(b.lon)));
    }
    const double lat0 = std::min(a.lat, b.lat) - pad, lat1 = std::max(a.lat, b.lat) + pad;
    const double lon0 = std::min(a.lon, b.lon), lon1 = std::max(a.lon, b.lon);
    if (!std::isfinite(lat0) || !std::isfinite(lat1) || !std::isfinite(lon0) || !std::isfinite(lon1))
        return false;
    range.col0 = column(lon0);
    range.col1 = column(lon1);
    range.row0 = row(lat0);
    range.row1 = row(lat1);
    return range.cellCount() <= MAX_CELLS_PER_SEGMENT;
}

void SegmentGrid::addEntry(size_t wayIndex, size_t segmentIndex)
{
    const uint32_t id = uint32_t(entries.size());
    entries.push_back(Entry{wayIndex, segmentIndex, CellRange(), 0});
    std::vector<uint32_t> &order = wayEntries[wayIndex];
    order.insert(order.begin() + std::ptrdiff_t(segmentIndex), id);
    CellRange range;
    if (segmentCells(wayIndex, segmentIndex, range))
        list(id, range, nullptr);
    else
        everywhere.push_back(id);
}

void SegmentGrid::list(uint32_t entry, const CellRange &range, const CellRange *except)
{
    for (int row = range.row0; row <= range.row1; ++row)
        for (int col = range.col0; col <= range.col1; ++col)
            if (!except || !except->contains(col, row))
                cells[size_t(row) * size_t(columns) + size_t(col)].push_back(entry);
    if (!except)
        entries[entry].range = range;
}

void SegmentGrid::splitSegment(size_t wayIndex, size_t segmentIndex)
{
    std::vector<uint32_t> &order = wayEntries[wayIndex];
    for (size_t i = segmentIndex + 1; i < order.size(); ++i)
        ++entries[order[i]].segmentIndex;
    // The first half keeps its entry. It lies within the old bounding box, so the old cells
    // normally cover it; the rounding margin of the shorter piece may still reach a cell more.
    const uint32_t first = order[segmentIndex];
    CellRange range;
    if (!segmentCells(wayIndex, segmentIndex, range))
        everywhere.push_back(first);
    else
        list(first, range, &entries[first].range);
    addEntry(wayIndex, segmentIndex + 1);
}

template <class Visit> void SegmentGrid::forEachNear(const Location &northWest, const Location &southEast, Visit visit)
{
    ++stamp;
    auto once = [&](uint32_t id) {
        Entry &entry = entries[id];
        if (entry.stamp == stamp)
            return;
        entry.stamp = stamp;
        visit(entry.wayIndex, entry.segmentIndex);
    };
    if (std::isnan(northWest.lat) || std::isnan(northWest.lon) || std::isnan(southEast.lat) ||
        std::isnan(southEast.lon)) {
        // The rectangle test gives no usable bound for such a square: try every segment.
        for (uint32_t id = 0; id < entries.size(); ++id)
            once(id);
        return;
    }
    // An inverted square crosses no segment; clamping may still leave one cell to look at.
    const int col0 = column(northWest.lon), col1 = column(southEast.lon);
    const int row0 = row(southEast.lat), row1 = row(northWest.lat);
    for (int row = row0; row <= row1; ++row)
        for (int col = col0; col <= col1; ++col)
            for (uint32_t id : cells[size_t(row) * size_t(columns) + size_t(col)])
                once(id);
    for (uint32_t id : everywhere)
        once(id);
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
                                             int32_t &placement, Location &point)
{
    const double theta = geo::bearing(a, b);
    if (probeMeetsSegment(a, b, stop, geo::moveLocation(stop, geo::addToBearing(theta, 90.0), SEARCH_RADIUS), point)) {
        placement = LEFT_OF_SEGMENT;
        return true;
    }
    if (probeMeetsSegment(a, b, stop, geo::moveLocation(stop, geo::addToBearing(theta, -90.0), SEARCH_RADIUS), point)) {
        placement = RIGHT_OF_SEGMENT;
        return true;
    }
    return false;
}

void OSMBusStopConvertor::placeStopsOnWays(OSMData *data, PlacedNodes &placedNodes)
{
    for (const Way *way : data->ways()->ways())
        for (const Node *node : way->nodes())
            if (OSMStop *stop = data->busStops()->findByNode(node)) {
                stop->setPlacement(BOTH_DIRECTIONS);
                placedNodes[node] = BOTH_DIRECTIONS;
            }
}

void OSMBusStopConvertor::moveStopsOntoWays(OSMData *data, PlacedNodes &placedNodes)
{
    const std::vector<Way *> &ways = data->ways()->ways();
    SegmentGrid grid(ways);
    for (OSMStop *stop : data->busStops()->stops()) {
        Node *node = stop->getNode();
        if (stop->getPlacement() != 0 || !node)
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
