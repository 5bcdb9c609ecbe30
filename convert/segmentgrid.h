#ifndef KOLVEX_CONVERT_SEGMENTGRID_H
#define KOLVEX_CONVERT_SEGMENTGRID_H

#include "geo/geodesy.h"
#include "osm/way.h"

#include <cmath>
#include <cstdint>
#include <vector>

/// An inclusive range of grid cells.
struct CellRange
{
    int col0 = 0, col1 = -1, row0 = 0, row1 = -1;

    bool contains(int col, int row) const { return col >= col0 && col <= col1 && row >= row0 && row <= row1; }
    double cellCount() const { return double(col1 - col0 + 1) * double(row1 - row0 + 1); }
};

/// Uniform grid of way segments by their bounding boxes in degrees, for the stop convertors to find
/// the segments near a stop.
///
/// The grid only narrows the search; the caller's exact test still decides. It is conservative:
/// a segment whose bounding box meets a rectangle, or that passes segmentCrossesRectangle for it,
/// is listed in a cell the rectangle touches. Segments are named by (way index, segment index) and read from the ways
/// on every visit, so a node inserted into a way is seen exactly as a plain walk over the ways would see it.
class SegmentGrid
{
public:
    /// `ways` (not owned) must outlive the grid; `cellMetres` is about the side of the squares
    /// searched, which makes the search fastest.
    SegmentGrid(const std::vector<Way *> &ways, double cellMetres);
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

#endif
