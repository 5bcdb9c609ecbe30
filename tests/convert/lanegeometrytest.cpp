#include "convert/lanegeometry.h"

#include "testnetwork.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <sstream>

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
    EXPECT_TRUE(testmaps::isAt(line[0], x0, y));
    EXPECT_TRUE(testmaps::isAt(line[1], x1, y));
}

} // namespace

TEST(LaneGeometryOffsets, TramTrackFirstThenLanesOutwardsOrSpreadLeftToRightOnOneWays)
{
    struct Case
    {
        bool oneway;
        int lanes;
        bool tram;
        std::vector<double> offsets;
        double edge;
    };
    // clang-format off
    const Case cases[] = {
        {false, 1, true, {1.5, 4.5}, 6.0}, {false, 2, false, {1.5, 4.5}, 6.0}, {false, 1, false, {1.5}, 3.0},
        {false, 0, true, {1.5}, 3.0}, {false, 0, false, {}, 0.0}, {false, -2, false, {}, 0.0},
        {true, 0, false, {-1.5}, 0.0}, {true, 1, false, {0.0}, 1.5}, {true, 2, false, {-1.5, 1.5}, 3.0},
        {true, 2, true, {-3.0, 0.0, 3.0}, 4.5}, {true, 4, false, {-4.5, -1.5, 1.5, 4.5}, 6.0},
        {true, 0, true, {0.0}, 1.5}};
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.oneway ? "one-way " : "two-way ") + std::to_string(c.lanes) +
                     (c.tram ? " tram" : ""));
        double edge = -1;
        EXPECT_EQ(c.oneway ? oneWayOffsets(c.lanes, c.tram, edge) : twoWayOffsets(c.lanes, c.tram, edge), c.offsets);
        EXPECT_DOUBLE_EQ(edge, c.edge);
    }
}

TEST(LaneGeometryLayout, StraightWaysGetLanesTracksAndEdgesAtTheirOffsets)
{
    // The way runs east from (0, 0) to (100, 0): the right of travel is south (negative y).
    struct Case
    {
        bool oneway, tram;
        int forward, backward;
        const char *layout;
    };
    const Case cases[] = {{false, true, 1, 1, "forward T-1.5 L-4.5 backward T1.5 L4.5 edges -6.0 6.0"},
                          {false, false, 2, 1, "forward L-1.5 L-4.5 backward L1.5 edges -6.0 3.0"},
                          {true, true, 2, 0, "forward T3.0 L0.0 L-3.0 backward edges -4.5 4.5"},
                          {true, false, 0, 0, "forward L1.5 backward edges 0.0 0.0"}};
    for (const Case &c : cases) {
        OSMData data;
        BindingData bindings;
        data.addNode(1, at(0, 0));
        data.addNode(2, at(100, 0));
        data.addWay(7, {1, 2}, c.tram, true, c.oneway, false, Road, c.forward, c.backward);
        WayBinding *w = bindings.addWayBinding(data.ways()->findById(7));
        layWay(bindings, w);
        expectHorizontal(w->centreLine, 0.0, 0, 100);
        auto y = [](const Location &l) { return std::round(yOf(l) * 10) / 10 + 0.0; }; // never "-0.0"
        std::ostringstream layout;
        layout << std::fixed << std::setprecision(1);
        for (const DirectionBinding *d : {&w->forward, &w->backward}) {
            const bool forward = d == &w->forward;
            layout << (forward ? "forward" : " backward");
            std::vector<const LaneBinding *> lanes(d->lanes.begin(), d->lanes.end());
            if (d->tramLane)
                lanes.insert(lanes.begin(), d->tramLane);
            for (const LaneBinding *lane : lanes) {
                expectHorizontal(lane->polyline, yOf(lane->polyline[0]), forward ? 0 : 100, forward ? 100 : 0);
                layout << (lane->isTram ? " T" : " L") << y(lane->polyline[0]);
            }
        }
        expectHorizontal(w->rightEdge, yOf(w->rightEdge[0]), 0, 100);
        expectHorizontal(w->leftEdge, yOf(w->leftEdge[0]), 100, 0);
        layout << " edges " << y(w->rightEdge[0]) << " " << y(w->leftEdge[0]);
        EXPECT_EQ(layout.str(), c.layout);
    }
}

TEST(LaneGeometryJoin, CollinearSegmentsSnapAndARightAngleBendMeetsAtTheOffsetCorner)
{
    const Polyline straight = offsetPolyline({at(0, 0), at(50, 0), at(100, 0)}, 1.5, false);
    ASSERT_EQ(straight.size(), 4u);
    EXPECT_EQ(straight[1], straight[2]);
    EXPECT_NEAR(yOf(straight[1]), -1.5, CM);
    // East, then north: the right-hand offset turns round the outer corner (101.5, -1.5), the
    // left-hand one and the reverse polyline round the inner corner (98.5, 1.5).
    const std::vector<Location> points = {at(0, 0), at(100, 0), at(100, 100)};
    struct Case
    {
        double offset;
        bool reverse;
        double x, y;
    };
    for (const Case &c : {Case{1.5, false, 101.5, -1.5}, Case{-1.5, false, 98.5, 1.5}, Case{1.5, true, 98.5, 1.5}}) {
        SCOPED_TRACE(std::to_string(c.offset) + (c.reverse ? " reverse" : ""));
        const Polyline line = offsetPolyline(points, c.offset, c.reverse);
        ASSERT_EQ(line.size(), 4u);
        EXPECT_EQ(line[1], line[2]);
        EXPECT_TRUE(testmaps::isAt(line[1], c.x, c.y));
    }
}

TEST(LaneGeometryJoin, ParallelSegmentsThatNeverMeetKeepTheirGap)
{
    // A U-turn: the second segment runs back beside the first.
    Location p1 = at(0, 0), p2 = at(50, 0), p3 = at(50, 3), p4 = at(0, 3);
    EXPECT_FALSE(joinSegments(p1, p2, p3, p4));
    EXPECT_EQ(p2, at(50, 0));
    EXPECT_EQ(p3, at(50, 3));
}

TEST(LaneGeometryJoin, StrictJoinIntersectsNearlyStraightEdgesInsteadOfSnapping)
{
    // A bend of 5 degrees at (50, 0) whose segments overlap by half a metre: they are cut at
    // their crossing rather than snapped.
    Polyline arriving = {at(0, 0), at(50.5, 0)};
    Polyline leaving = {testmaps::polar(50, 0, -0.5, 85), testmaps::polar(50, 0, 50, 85)};
    EXPECT_TRUE(joinSegments(arriving[0], arriving[1], leaving[0], leaving[1], true));
    EXPECT_EQ(arriving[1], leaving[0]);
    EXPECT_TRUE(testmaps::isAt(arriving[1], 50, 0));

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

    // Edges that already meet get no extra segments.
    Polyline f1 = {at(0, 0), at(10, 0)};
    Polyline f2 = {at(10.0002, 0), at(20, 0)};
    joinEdges(f1, f2);
    EXPECT_EQ(f1.size(), 2u);
    EXPECT_EQ(f2.size(), 2u);
    EXPECT_EQ(f1[1], f2[0]);
}

TEST(LaneGeometryOffset, DegeneratePointListsGiveWholeSegmentsWithoutNaN)
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
    EXPECT_TRUE(testmaps::finite(line[0]) && testmaps::finite(line[1]));
    EXPECT_NEAR(yOf(line[0]), -1.5, CM);
}

TEST(LaneGeometryCut, CutsTheFirstCrossedSegmentFromEitherEnd)
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
    ASSERT_EQ(line.size(), 4u);
    EXPECT_TRUE(testmaps::isAt(line[0], 12, 0.5));
    EXPECT_EQ(line[1], at(14, 1));
    EXPECT_EQ(line[2], at(14, 1));

    // From the end, the gap piece keeps the lane ending on the cut line.
    Polyline reversed = {at(0, 0), at(10, 0), at(14, 1), at(20, 1)};
    ASSERT_TRUE(cutAtLineFromEnd(reversed, at(12, -5), at(12, 5)));
    ASSERT_EQ(reversed.size(), 4u);
    EXPECT_EQ(reversed[1], at(10, 0));
    EXPECT_EQ(reversed[2], at(10, 0));
    EXPECT_NEAR(xOf(reversed[3]), 12, CM);

    // Cells can be laid pair by pair on the result.
    SimulationData sim;
    const CellRun run = layCells(sim, line, nullptr);
    ASSERT_NE(run.first, nullptr);
    EXPECT_EQ(countCells(run.first, run.last, 1000), sim.cells.size());
}

TEST(LaneGeometryCorner, StartsCloserThanHalfAMetreAreSnappedOthersCutAtTheirCrossing)
{
    Polyline first = {at(0, 0), at(-20, 0)};
    Polyline second = {at(0.3, 0.2), at(0.3, -20)};
    const Polyline secondBefore = second;
    ASSERT_TRUE(trimCorner(first, second));
    EXPECT_EQ(first[0], second[0]);
    EXPECT_EQ(second, secondBefore);
    EXPECT_EQ(first[1], at(-20, 0));

    // An edge starting at (0, -3) running west and one starting at (-3, 0) running south: both are
    // pushed 5 m out, then meet at (-3, -3).
    Polyline west = {at(0, -3), at(-10, -3), at(-10, -3), at(-50, -3)};
    Polyline south = {at(-3, 0), at(-3, -50)};
    ASSERT_TRUE(trimCorner(west, south));
    ASSERT_EQ(west.size(), 4u);
    EXPECT_TRUE(testmaps::isAt(west[0], -3, -3));
    EXPECT_EQ(west[0], south[0]);

    // Parallel edges never meet: both stay as they were.
    Polyline a = {at(0, 0), at(-50, 0)};
    Polyline b = {at(0, 5), at(-50, 5)};
    EXPECT_FALSE(trimCorner(a, b));
    EXPECT_EQ(a, (Polyline{at(0, 0), at(-50, 0)}));
    EXPECT_EQ(b, (Polyline{at(0, 5), at(-50, 5)}));
}

TEST(LaneGeometryCorner, SelfCrossingLoopEdgeIsClosedAtItsCrossing)
{
    // Starts at (0, -1) heading east, loops round and comes back heading south-west across its own start.
    Polyline line = {at(0, -1), at(20, -1), at(20, -1), at(20, 20), at(20, 20), at(5, 5), at(5, 5), at(5, -10)};
    ASSERT_TRUE(trimAgainstSelf(line));
    ASSERT_EQ(line.size(), 8u);
    EXPECT_EQ(line.front(), line.back());
    EXPECT_TRUE(testmaps::isAt(line.front(), 5, -1));

    Polyline open = {at(0, 0), at(10, 0), at(10, 0), at(10, 10)};
    EXPECT_FALSE(trimAgainstSelf(open));
}

TEST(LaneGeometryCells, TenMetreSegmentGetsFortyLinkedCellsBetweenShortenedEnds)
{
    SimulationData sim;
    LaneBinding lane;
    const Location a = at(0, 0);
    const Location b = at(9.9999999, 0);
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

TEST(LaneGeometryCells, ShortOrZeroLengthSegmentGetsOneCellAtItsMidpoint)
{
    for (const auto &c : {std::make_pair(Polyline{at(0, 0), at(0.2, 0)}, at(0.1, 0)),
                          std::make_pair(Polyline{at(3, 4), at(3, 4)}, at(3, 4))}) {
        SimulationData sim;
        const CellRun run = layCells(sim, c.first, nullptr);
        ASSERT_EQ(sim.cells.size(), 1u);
        EXPECT_EQ(run.first, run.last);
        EXPECT_LT(geo::distance(run.first->location, c.second), 1e-3);
    }
    SimulationData sim;
    EXPECT_EQ(layCells(sim, {}, nullptr).first, nullptr);
}
