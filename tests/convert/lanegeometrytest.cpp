#include "convert/lanegeometry.h"

#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "testmaps.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace lanegeometry;
using testmaps::at;
using testmaps::xOf;
using testmaps::yOf;

namespace {

constexpr double CM = 0.01;

/// Asserts that a polyline runs along y = `y` from x = `x0` to x = `x1` (metres).
void expectHorizontal(const Polyline &line, double y, double x0, double x1)
{
    ASSERT_EQ(line.size(), 2u);
    EXPECT_NEAR(yOf(line[0]), y, CM);
    EXPECT_NEAR(yOf(line[1]), y, CM);
    EXPECT_NEAR(xOf(line[0]), x0, CM);
    EXPECT_NEAR(xOf(line[1]), x1, CM);
}

bool allFinite(const Polyline &line)
{
    for (const Location &l : line) {
        if (!std::isfinite(l.lat) || !std::isfinite(l.lon))
            return false;
    }
    return true;
}

/// A way binding of a straight way from (0, 0) to (100, 0) laid out in `bindings`.
struct StraightWay
{
    StraightWay(bool oneway, bool tram, int forward, int backward)
    {
        data.addNode(1, at(0, 0));
        data.addNode(2, at(100, 0));
        data.addWay(7, {1, 2}, tram, true, oneway, false, Road, forward, backward);
        binding = bindings.addWayBinding(data.ways()->findById(7));
        layWay(bindings, binding);
    }
    OSMData data;
    BindingData bindings;
    WayBinding *binding;
};

} // namespace

struct OffsetCase
{
    int lanes;
    bool tram;
    std::vector<double> offsets;
    double edge;
};

class TwoWayOffsets : public ::testing::TestWithParam<OffsetCase>
{};

TEST_P(TwoWayOffsets, TramTrackFirstThenLanesOutwards)
{
    const OffsetCase &c = GetParam();
    double edge = -1;
    EXPECT_EQ(twoWayOffsets(c.lanes, c.tram, edge), c.offsets);
    EXPECT_DOUBLE_EQ(edge, c.edge);
}

INSTANTIATE_TEST_SUITE_P(LaneGeometry, TwoWayOffsets,
                         ::testing::Values(OffsetCase{1, true, {1.5, 4.5}, 6.0}, OffsetCase{2, false, {1.5, 4.5}, 6.0},
                                           OffsetCase{1, false, {1.5}, 3.0}, OffsetCase{0, true, {1.5}, 3.0},
                                           OffsetCase{0, false, {}, 0.0}, OffsetCase{-2, false, {}, 0.0}));

class OneWayOffsets : public ::testing::TestWithParam<OffsetCase>
{};

TEST_P(OneWayOffsets, SpreadSymmetricallyLeftToRight)
{
    const OffsetCase &c = GetParam();
    double edge = -1;
    EXPECT_EQ(oneWayOffsets(c.lanes, c.tram, edge), c.offsets);
    EXPECT_DOUBLE_EQ(edge, c.edge);
}

INSTANTIATE_TEST_SUITE_P(LaneGeometry, OneWayOffsets,
                         ::testing::Values(OffsetCase{0, false, {-1.5}, 0.0}, OffsetCase{1, false, {0.0}, 1.5},
                                           OffsetCase{2, false, {-1.5, 1.5}, 3.0},
                                           OffsetCase{2, true, {-3.0, 0.0, 3.0}, 4.5},
                                           OffsetCase{4, false, {-4.5, -1.5, 1.5, 4.5}, 6.0},
                                           OffsetCase{0, true, {0.0}, 1.5}));

TEST(LaneGeometryLayout, TwoWayTramRoadPutsTracksInTheMiddle)
{
    StraightWay way(false, true, 1, 1);
    const WayBinding &w = *way.binding;
    // Driving east, the right is south (negative y).
    ASSERT_NE(w.forward.tramLane, nullptr);
    ASSERT_NE(w.backward.tramLane, nullptr);
    ASSERT_EQ(w.forward.lanes.size(), 1u);
    ASSERT_EQ(w.backward.lanes.size(), 1u);
    EXPECT_EQ(w.forward.tramLane->isTram, 1);
    EXPECT_EQ(w.forward.lanes[0]->isTram, 0);
    expectHorizontal(w.centreLine, 0.0, 0, 100);
    expectHorizontal(w.forward.tramLane->polyline, -1.5, 0, 100);
    expectHorizontal(w.forward.lanes[0]->polyline, -4.5, 0, 100);
    expectHorizontal(w.backward.tramLane->polyline, 1.5, 100, 0);
    expectHorizontal(w.backward.lanes[0]->polyline, 4.5, 100, 0);
    expectHorizontal(w.rightEdge, -6.0, 0, 100);
    expectHorizontal(w.leftEdge, 6.0, 100, 0);
}

TEST(LaneGeometryLayout, TwoWayWithTwoForwardLanes)
{
    StraightWay way(false, false, 2, 1);
    const WayBinding &w = *way.binding;
    EXPECT_EQ(w.forward.tramLane, nullptr);
    ASSERT_EQ(w.forward.lanes.size(), 2u);
    expectHorizontal(w.forward.lanes[0]->polyline, -1.5, 0, 100);
    expectHorizontal(w.forward.lanes[1]->polyline, -4.5, 0, 100);
    expectHorizontal(w.backward.lanes[0]->polyline, 1.5, 100, 0);
    expectHorizontal(w.rightEdge, -6.0, 0, 100);
    expectHorizontal(w.leftEdge, 3.0, 100, 0);
}

TEST(LaneGeometryLayout, OneWayWithTramHasTrackOnTheLeft)
{
    StraightWay way(true, true, 2, 0);
    const WayBinding &w = *way.binding;
    EXPECT_TRUE(w.backward.lanes.empty());
    EXPECT_EQ(w.backward.tramLane, nullptr);
    ASSERT_NE(w.forward.tramLane, nullptr);
    ASSERT_EQ(w.forward.lanes.size(), 2u);
    expectHorizontal(w.forward.tramLane->polyline, 3.0, 0, 100);
    expectHorizontal(w.forward.lanes[0]->polyline, 0.0, 0, 100);
    expectHorizontal(w.forward.lanes[1]->polyline, -3.0, 0, 100);
    expectHorizontal(w.rightEdge, -4.5, 0, 100);
    expectHorizontal(w.leftEdge, 4.5, 100, 0);
}

TEST(LaneGeometryLayout, OneWayWithoutLanesStillGetsOneOnTheLeft)
{
    StraightWay way(true, false, 0, 0);
    ASSERT_EQ(way.binding->forward.lanes.size(), 1u);
    expectHorizontal(way.binding->forward.lanes[0]->polyline, 1.5, 0, 100);
}

TEST(LaneGeometryJoin, CollinearSegmentsSnapEndToStart)
{
    const std::vector<Location> points = {at(0, 0), at(50, 0), at(100, 0)};
    const Polyline line = offsetPolyline(points, 1.5, false);
    ASSERT_EQ(line.size(), 4u);
    EXPECT_EQ(line[1], line[2]);
    EXPECT_NEAR(yOf(line[1]), -1.5, CM);
}

TEST(LaneGeometryJoin, RightAngleBendMeetsAtTheOffsetCorner)
{
    // East, then north: right of travel is south, then east. The right-hand offset turns round
    // the outer corner (101.5, -1.5), the left-hand one round the inner corner (98.5, 1.5).
    const std::vector<Location> points = {at(0, 0), at(100, 0), at(100, 100)};
    const Polyline right = offsetPolyline(points, 1.5, false);
    ASSERT_EQ(right.size(), 4u);
    EXPECT_EQ(right[1], right[2]);
    EXPECT_NEAR(xOf(right[1]), 101.5, CM);
    EXPECT_NEAR(yOf(right[1]), -1.5, CM);
    const Polyline left = offsetPolyline(points, -1.5, false);
    EXPECT_EQ(left[1], left[2]);
    EXPECT_NEAR(xOf(left[1]), 98.5, CM);
    EXPECT_NEAR(yOf(left[1]), 1.5, CM);
    // The reverse polyline walks the same corner the other way round.
    const Polyline reverse = offsetPolyline(points, 1.5, true);
    EXPECT_NEAR(xOf(reverse[1]), 98.5, CM);
    EXPECT_NEAR(yOf(reverse[1]), 1.5, CM);
    EXPECT_NEAR(xOf(reverse[3]), 0, CM);
}

TEST(LaneGeometryJoin, ParallelSegmentsThatNeverMeetKeepTheirGap)
{
    // A U-turn: the second segment runs back beside the first.
    Location p1 = at(0, 0), p2 = at(50, 0), p3 = at(50, 3), p4 = at(0, 3);
    const Location p2Before = p2, p3Before = p3;
    EXPECT_FALSE(joinSegments(p1, p2, p3, p4));
    EXPECT_EQ(p2, p2Before);
    EXPECT_EQ(p3, p3Before);
}

TEST(LaneGeometryJoin, StrictJoinIntersectsNearlyStraightEdgesInsteadOfSnapping)
{
    // A bend of 5 degrees at (50, 0) whose segments overlap by half a metre: they are cut at
    // their crossing rather than snapped.
    Polyline arriving = {at(0, 0), at(50.5, 0)};
    Polyline leaving = {testmaps::polar(50, 0, -0.5, 85), testmaps::polar(50, 0, 50, 85)};
    EXPECT_TRUE(joinSegments(arriving[0], arriving[1], leaving[0], leaving[1], true));
    EXPECT_EQ(arriving[1], leaving[0]);
    EXPECT_NEAR(xOf(arriving[1]), 50, CM);
    EXPECT_NEAR(yOf(arriving[1]), 0, CM);

    // Edges 1 m apart end to start on a straight line: strict join fails, the midpoint closes it.
    Polyline e1 = {at(0, 0), at(10, 0)};
    Polyline e2 = {at(11, 0), at(20, 0)};
    joinEdges(e1, e2);
    ASSERT_EQ(e1.size(), 4u);
    ASSERT_EQ(e2.size(), 4u);
    EXPECT_EQ(e1[3], e2[0]);
    EXPECT_NEAR(xOf(e1[3]), 10.5, CM);
    EXPECT_EQ(e1[2], at(10, 0));
    EXPECT_EQ(e2[1], at(11, 0));
}

TEST(LaneGeometryJoin, StraightEdgesThatAlreadyMeetGetNoExtraSegments)
{
    Polyline e1 = {at(0, 0), at(10, 0)};
    Polyline e2 = {at(10.0002, 0), at(20, 0)};
    joinEdges(e1, e2);
    EXPECT_EQ(e1.size(), 2u);
    EXPECT_EQ(e2.size(), 2u);
    EXPECT_EQ(e1[1], e2[0]);
}

TEST(LaneGeometryOffset, DegeneratePointListsGiveWholeSegments)
{
    EXPECT_TRUE(offsetPolyline({}, 1.5, false).empty());
    const Polyline single = offsetPolyline({at(5, 5)}, 1.5, false);
    ASSERT_EQ(single.size(), 2u);
    EXPECT_EQ(single[0], single[1]);

    OSMData data;
    data.addNode(1, at(0, 0));
    data.addNode(2, at(0, 0)); // a second node on the same spot
    data.addNode(3, at(10, 0));
    data.addWay(1, {1, 2, 3, 3}, false, true, false, false, Road, 1, 1);
    const std::vector<Location> points = wayPoints(*data.ways()->findById(1));
    ASSERT_EQ(points.size(), 2u);
    const Polyline line = offsetPolyline(points, 1.5, false);
    ASSERT_EQ(line.size(), 2u);
    EXPECT_TRUE(allFinite(line));
    EXPECT_NEAR(yOf(line[0]), -1.5, CM);
}

TEST(LaneGeometryCut, CutsTheFirstCrossedSegmentFromTheStart)
{
    Polyline line = {at(0, 0), at(10, 0), at(10, 0), at(20, 0)};
    ASSERT_TRUE(cutAtLine(line, at(15, -5), at(15, 5)));
    ASSERT_EQ(line.size(), 2u);
    EXPECT_NEAR(xOf(line[0]), 15, CM);
    EXPECT_EQ(line[1], at(20, 0));

    Polyline fromEnd = {at(0, 0), at(10, 0), at(10, 0), at(20, 0)};
    ASSERT_TRUE(cutAtLineFromEnd(fromEnd, at(5, -5), at(5, 5)));
    ASSERT_EQ(fromEnd.size(), 2u);
    EXPECT_EQ(fromEnd[0], at(0, 0));
    EXPECT_NEAR(xOf(fromEnd[1]), 5, CM);

    Polyline untouched = {at(0, 0), at(10, 0)};
    EXPECT_FALSE(cutAtLine(untouched, at(30, -5), at(30, 5)));
    EXPECT_EQ(untouched, (Polyline{at(0, 0), at(10, 0)}));
}

TEST(LaneGeometryCut, CutInsideAJoinGapMakesTheGapASegment)
{
    // Segments 0–10 and 14–20 with a gap of 4 m between them; the line crosses the gap at 12.
    Polyline line = {at(0, 0), at(10, 0), at(14, 1), at(20, 1)};
    ASSERT_TRUE(cutAtLine(line, at(12, -5), at(12, 5)));
    ASSERT_EQ(line.size() % 2, 0u);
    ASSERT_EQ(line.size(), 4u);
    EXPECT_NEAR(xOf(line[0]), 12, CM);
    EXPECT_NEAR(yOf(line[0]), 0.5, CM);
    EXPECT_EQ(line[1], at(14, 1));
    EXPECT_EQ(line[2], at(14, 1));
    EXPECT_EQ(line[3], at(20, 1));

    // From the end, the gap piece keeps the lane ending on the cut line.
    Polyline reversed = {at(0, 0), at(10, 0), at(14, 1), at(20, 1)};
    ASSERT_TRUE(cutAtLineFromEnd(reversed, at(12, -5), at(12, 5)));
    ASSERT_EQ(reversed.size(), 4u);
    EXPECT_EQ(reversed[0], at(0, 0));
    EXPECT_EQ(reversed[1], at(10, 0));
    EXPECT_EQ(reversed[2], at(10, 0));
    EXPECT_NEAR(xOf(reversed[3]), 12, CM);

    // Cells can be laid pair by pair on the result.
    SimulationData sim;
    const CellRun run = layCells(sim, line, nullptr);
    ASSERT_NE(run.first, nullptr);
    EXPECT_EQ(countCells(run.first, run.last, 1000), sim.cells.size());
}

TEST(LaneGeometryCorner, StartsCloserThanHalfAMetreAreSnapped)
{
    Polyline first = {at(0, 0), at(-20, 0)};
    Polyline second = {at(0.3, 0.2), at(0.3, -20)};
    const Polyline secondBefore = second;
    ASSERT_TRUE(trimCorner(first, second));
    EXPECT_EQ(first[0], second[0]);
    EXPECT_EQ(second, secondBefore);
    EXPECT_EQ(first[1], at(-20, 0));
}

TEST(LaneGeometryCorner, EdgesAreCutAtTheirCrossing)
{
    // An edge starting at (0, -3) running west and one starting at (-3, 0) running south: both are
    // pushed 5 m out, then meet at (-3, -3).
    Polyline first = {at(0, -3), at(-10, -3), at(-10, -3), at(-50, -3)};
    Polyline second = {at(-3, 0), at(-3, -50)};
    ASSERT_TRUE(trimCorner(first, second));
    ASSERT_EQ(first.size(), 4u);
    EXPECT_NEAR(xOf(first[0]), -3, CM);
    EXPECT_NEAR(yOf(first[0]), -3, CM);
    EXPECT_EQ(first[0], second[0]);

    // Parallel edges never meet: both stay as they were.
    Polyline a = {at(0, 0), at(-50, 0)};
    Polyline b = {at(0, 5), at(-50, 5)};
    const Polyline aBefore = a, bBefore = b;
    EXPECT_FALSE(trimCorner(a, b));
    EXPECT_EQ(a, aBefore);
    EXPECT_EQ(b, bBefore);
}

TEST(LaneGeometryCorner, SelfCrossingLoopEdgeIsClosedAtItsCrossing)
{
    // Starts at (0, -1) heading east, loops round and comes back heading south-west across its own start.
    Polyline line = {at(0, -1), at(20, -1), at(20, -1), at(20, 20), at(20, 20), at(5, 5), at(5, 5), at(5, -10)};
    ASSERT_TRUE(trimAgainstSelf(line));
    ASSERT_EQ(line.size(), 8u);
    EXPECT_EQ(line.front(), line.back());
    EXPECT_NEAR(xOf(line.front()), 5, CM);
    EXPECT_NEAR(yOf(line.front()), -1, CM);

    Polyline open = {at(0, 0), at(10, 0), at(10, 0), at(10, 10)};
    EXPECT_FALSE(trimAgainstSelf(open));
}

TEST(LaneGeometryCells, TenMetreSegmentGetsFortyCellsBetweenShortenedEnds)
{
    SimulationData sim;
    LaneBinding lane;
    const Location a = at(0, 0);
    const Location b = at(9.9999999, 0);
    ASSERT_LE(geo::distance(a, b), 10.0);
    const CellRun run = layCells(sim, {a, b}, &lane);
    ASSERT_EQ(sim.cells.size(), 40u);
    EXPECT_EQ(run.first, sim.cells.front());
    EXPECT_EQ(run.last, sim.cells.back());
    EXPECT_NEAR(geo::distance(run.first->location, a), 0.125, 1e-3);
    EXPECT_NEAR(geo::distance(run.last->location, b), 0.125, 1e-3);
    for (size_t i = 0; i < sim.cells.size(); ++i) {
        const Cell *c = sim.cells[i];
        EXPECT_EQ(c->wayLink, &lane);
        EXPECT_EQ(c->previous, i ? sim.cells[i - 1] : nullptr);
        EXPECT_EQ(c->next, i + 1 < sim.cells.size() ? sim.cells[i + 1] : nullptr);
        if (i) {
            EXPECT_NEAR(geo::distance(c->location, c->previous->location), 9.75 / 39, 1e-3);
        }
    }
}

TEST(LaneGeometryCells, ShortSegmentGetsOneCellAtItsMidpoint)
{
    SimulationData sim;
    const CellRun run = layCells(sim, {at(0, 0), at(0.2, 0)}, nullptr);
    ASSERT_EQ(sim.cells.size(), 1u);
    EXPECT_EQ(run.first, run.last);
    EXPECT_NEAR(xOf(run.first->location), 0.1, 1e-4);
    EXPECT_NEAR(yOf(run.first->location), 0.0, 1e-4);
}

TEST(LaneGeometryCells, SegmentsAreLinkedEndToStartAcrossAGap)
{
    SimulationData sim;
    const CellRun run = layCells(sim, {at(0, 0), at(1, 0), at(3, 0), at(4, 0)}, nullptr);
    ASSERT_EQ(sim.cells.size(), 8u);
    EXPECT_EQ(sim.cells[3]->next, sim.cells[4]);
    EXPECT_EQ(sim.cells[4]->previous, sim.cells[3]);
    EXPECT_EQ(countCells(run.first, run.last, 100), 8u);
}

TEST(LaneGeometryCells, ZeroLengthAndEmptyPolylines)
{
    SimulationData sim;
    const CellRun none = layCells(sim, {}, nullptr);
    EXPECT_EQ(none.first, nullptr);
    EXPECT_EQ(none.last, nullptr);
    const CellRun point = layCells(sim, {at(3, 4), at(3, 4)}, nullptr);
    ASSERT_EQ(sim.cells.size(), 1u);
    EXPECT_NEAR(xOf(point.first->location), 3, 1e-4);
    EXPECT_NEAR(yOf(point.first->location), 4, 1e-4);
}
