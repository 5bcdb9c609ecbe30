#include "segmentgrid.h"

#include "osm/node.h"

#include <algorithm>
#include <limits>

SegmentGrid::SegmentGrid(const std::vector<Way *> &ways, double cellMetres) : ways(ways), wayEntries(ways.size())
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
        // Cells about as large as a search square, fewer where the extract is huge.
        cellLat = geo::radToDeg(cellMetres / geo::EARTH_RADIUS);
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
