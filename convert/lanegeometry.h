#ifndef KOLVEX_CONVERT_LANEGEOMETRY_H
#define KOLVEX_CONVERT_LANEGEOMETRY_H

#include "model/bindingrecords.h"

#include <vector>

class BindingData;
class Cell;
class LaneBinding;
class Way;
class WayBinding;
struct SimulationData;

/// Lane geometry of way pieces: offset polylines, segment joins, the two lane layouts, cutting
/// at a line, corner trimming of road edges, and laying cells along a polyline.
///
/// Every polyline is a list of point pairs, one pair per straight segment. A join that fails
/// leaves a gap between the end of one segment and the start of the next; every operation here
/// keeps whole segments, so the cells can always be laid pair by pair.
namespace lanegeometry {

/// Distance between neighbouring lanes and from the centre line to the innermost lane's side, metres.
constexpr double LANE_WIDTH = 3.0;
/// Segments whose directions differ by at least this many degrees from a reversal count as straight.
constexpr double STRAIGHT_JOIN = 170.0;
/// How far both segments are extended before their join point is searched, metres.
constexpr double JOIN_EXTENSION = 50.0;
/// Edge starts closer than this are snapped together at a crossroad corner, metres.
constexpr double CORNER_SNAP = 0.5;
/// How far edge starts are pushed out before the corner intersection is searched, metres.
constexpr double CORNER_PUSH = 5.0;
/// Length of the lines across the road at which lanes are cut back at crossroads, metres.
constexpr double CUT_LINE_LENGTH = 20.0;
/// Consecutive map points closer than this are one point: a zero-length segment has no direction.
constexpr double SAME_POINT = 0.001;

/// The finite node locations of `way` in node order, with repeated points dropped. Empty if no
/// node has a usable location.
std::vector<Location> wayPoints(const Way &way);

/// Offsets every segment of `points` sideways by `offset` metres (positive to the right of
/// travel), walking them backwards if `reverse`, and joins consecutive segments. A single point
/// gives one zero-length segment; no point gives an empty polyline.
Polyline offsetPolyline(const std::vector<Location> &points, double offset, bool reverse);

/// Joins segment p1–p2 to the following segment p3–p4 by moving p2 and p3. Nearly straight
/// segments are snapped (p2 = p3), or, when `strict`, intersected as they are; others are
/// extended and intersected. Returns false, leaving both points unchanged, if they do not meet.
bool joinSegments(Location p1, Location &p2, Location &p3, Location p4, bool strict = false);

/// Joins the last segment of `arriving` to the first segment of `leaving` (lane continuation).
bool joinPolylines(Polyline &arriving, Polyline &leaving);

/// Strict join of two road edges at a continuation; if they do not meet, both are extended by a
/// segment to the midpoint between them (ends closer than SAME_POINT are just moved onto it).
void joinEdges(Polyline &arriving, Polyline &leaving);

/// Lays the centre line, the lanes, the tram tracks and the edges of `way` (two-way or one-way
/// layout by the way's flags) as new lane bindings in `bindings`.
void layWay(BindingData &bindings, WayBinding *way);

/// Offsets of the lanes of the two-way layout for one direction; the tram track (if any) first.
std::vector<double> twoWayOffsets(int lanes, bool tram, double &edgeOffset);
/// Offsets of the one-way layout from left to right; with a tram the first one is its track.
std::vector<double> oneWayOffsets(int lanes, bool tram, double &edgeOffset);

/// Cuts `line` at the line a–b, working from its first point: the first segment crossing a–b
/// starts at the crossing and everything before it is removed. A crossing in the gap between two
/// segments whose join failed makes the rest of the gap a segment of its own. Returns false,
/// leaving `line` unchanged, if nothing crosses.
bool cutAtLine(Polyline &line, const Location &a, const Location &b);
/// As cutAtLine, working from the last point: the part after the crossing is removed.
bool cutAtLineFromEnd(Polyline &line, const Location &a, const Location &b);

/// Makes two edges that start at one crossroad corner meet: snaps starts closer than
/// CORNER_SNAP, else intersects them after pushing both starts out by CORNER_PUSH and drops
/// what lies in front of the crossing. Returns false, with both unchanged, if they do not meet.
bool trimCorner(Polyline &first, Polyline &second);

/// Cuts a polyline that crosses itself (the edge of a loop returning to its node) at its
/// crossing nearest to both ends, dropping the parts beyond. False if it does not cross itself.
bool trimAgainstSelf(Polyline &line);

/// First and last cell of a run laid along a polyline; both null for an empty polyline.
struct CellRun
{
    Cell *first = nullptr;
    Cell *last = nullptr;
};

/// Fills `line` with linked cells: ceil(4·L) per segment of length L, spread between its ends
/// moved 0.125 m inward (one at the midpoint of a segment up to 0.25 m); consecutive segments are
/// linked end to start. Cells get `wayLink` and are created through `data`.
CellRun layCells(SimulationData &data, const Polyline &line, LaneBinding *wayLink);

/// Number of cells from `first` to `last` along `next`; stops after `limit` cells.
size_t countCells(const Cell *first, const Cell *last, size_t limit);

} // namespace lanegeometry

#endif
