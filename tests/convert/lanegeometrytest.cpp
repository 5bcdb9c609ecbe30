#include "convert/lanegeometry.h"

#include "testnetwork.h"

#include <gtest/gtest.h>

using namespace lanegeometry;
using testmaps::at;
using testmaps::yOf;

namespace {

constexpr double CM = 0.01;

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
        {true, 2, true, {-3.0, 0.0, 3.0}, 4.5}, {true, 4, false, {-4.5, -1.5, 1.5, 4.5}, 6.0}};
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.oneway ? "one-way " : "two-way ") + std::to_string(c.lanes) +
                     (c.tram ? " tram" : ""));
        double edge = -1;
        EXPECT_EQ(c.oneway ? oneWayOffsets(c.lanes, c.tram, edge) : twoWayOffsets(c.lanes, c.tram, edge), c.offsets);
        EXPECT_DOUBLE_EQ(edge, c.edge);
    }
}

TEST(LaneGeometryOffset, DegeneratePointListsGiveWholeSegmentsWithoutNaN)
{
    EXPECT_TRUE(offsetPolyline({}, 1.5, false).empty());
    EXPECT_EQ(offsetPolyline({at(5, 5)}, 1.5, false), (Polyline{at(5, 5), at(5, 5)}));

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

TEST(LaneGeometryCorner, ASelfCrossingLoopEdgeIsClosedAtItsCrossing)
{
    // Starts at (0, -1) heading east, loops round and comes back heading south-west across its start.
    Polyline loop = {at(0, -1), at(20, -1), at(20, -1), at(20, 20), at(20, 20), at(5, 5), at(5, 5), at(5, -10)};
    ASSERT_TRUE(trimAgainstSelf(loop));
    ASSERT_EQ(loop.size(), 8u);
    EXPECT_EQ(loop.front(), loop.back());
    EXPECT_TRUE(testmaps::isAt(loop.front(), 5, -1));
    Polyline open = {at(0, 0), at(10, 0), at(10, 0), at(10, 10)};
    EXPECT_FALSE(trimAgainstSelf(open));
}
