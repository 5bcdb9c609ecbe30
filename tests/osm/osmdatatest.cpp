#include "osm/osmdata.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

using namespace osmtest;

namespace {

/// Nodes 1..count on a line of longitudes.
void addNodes(OSMData &data, int64_t count)
{
    for (int64_t id = 1; id <= count; ++id)
        data.addNode(id, Location(0, static_cast<double>(id)));
}

} // namespace

TEST(OSMDataModel, WaysListThemselvesAtTheirEndNodesOnly)
{
    OSMData data;
    addNodes(data, 3);
    data.addWay(10, {1, 2, 3}, false, true, false, false, Residential, 1, 1);
    data.addWay(11, {1, 2, 1}, false, true, false, false, Residential, 1, 1);
    Way *abc = data.ways()->findById(10);
    Way *aba = data.ways()->findById(11);
    EXPECT_EQ(data.nodes()->findById(3)->ways(), std::vector<Way *>{abc});
    EXPECT_EQ(data.nodes()->findById(1)->ways(), (std::vector<Way *>{abc, aba, aba}));
    EXPECT_TRUE(data.nodes()->findById(2)->ways().empty());
    EXPECT_TRUE(data.nodes()->findById(2)->isUsed());
}

TEST(OSMDataModel, DuplicatesAndMissingReferences)
{
    OSMData data;
    Node *first = data.addNode(1, Location(1, 1), true);
    EXPECT_EQ(data.addNode(1, Location(5, 5), false), first);
    EXPECT_EQ(first->getLocation(), Location(1, 1));
    data.addNode(2, Location(1, 2));
    data.addWay(7, {1, 2}, false, true, true, false, Primary, 1, 0);
    data.addWay(7, {2, 1}, true, false, false, false, Road, 0, 0);
    ASSERT_EQ(data.ways()->size(), 1u);
    EXPECT_TRUE(data.ways()->findById(7)->isOneway());

    StderrCapture quiet;
    data.addWay(8, {91, 92}, false, true, false, false, Road, 1, 1);
    ASSERT_NE(data.ways()->findById(8), nullptr);
    EXPECT_TRUE(data.ways()->findById(8)->nodes().empty());
    data.addWay(9, {1}, false, true, false, false, Road, 1, 1);      // a single node
    data.addWay(12, {1, 2}, false, false, false, false, Road, 1, 1); // neither road nor tram
    EXPECT_EQ(data.ways()->findById(9), nullptr);
    EXPECT_EQ(data.ways()->findById(12), nullptr);
}

TEST(OSMDataModel, StopsAreUniqueByNameAndNode)
{
    OSMData data;
    addNodes(data, 2);
    Node *n1 = data.nodes()->findById(1);
    Node *n2 = data.nodes()->findById(2);
    data.addBusStop("Kamppi", n1);
    data.addBusStop("Kamppi", n1);
    data.addBusStop("Kamppi", n2);
    data.addTramStop("Kamppi", n1);
    EXPECT_EQ(data.busStops()->size(), 2u);
    EXPECT_EQ(data.busStops()->findByNode(n2)->getName(), "Kamppi");
    EXPECT_EQ(data.busStops()->findByNameAndNode("kamppi", n1), nullptr);
    EXPECT_LT(data.busStops()->stops()[0]->getId(), data.tramStops()->stops()[0]->getId());
    // The lookups must forget a removed stop.
    data.busStops()->remove(data.busStops()->findByNode(n1));
    EXPECT_EQ(data.busStops()->findByNode(n1), nullptr);
    EXPECT_EQ(data.busStops()->findByNameAndNode("Kamppi", n1), nullptr);
}

TEST(OSMDataModel, ShakeDropsNodesOfRejectedWaysAndKeepsStopsAndOrder)
{
    OSMData data;
    addNodes(data, 6);
    data.addWay(1, {1, 2}, false, false, false, false, Road, 0, 0); // neither road nor tram: rejected
    data.addWay(2, {5, 3}, true, false, false, false, Road, 0, 0);
    data.addTramStop("Kauppatori", data.nodes()->findById(4));
    StderrCapture quiet;
    data.shakeNodes();
    std::vector<int64_t> ids;
    for (const Node *node : data.nodes()->nodes())
        ids.push_back(node->getId());
    EXPECT_EQ(ids, (std::vector<int64_t>{3, 4, 5}));
    EXPECT_EQ(data.nodes()->findById(1), nullptr);
}

TEST(OSMDataModel, SplitPiecesShareAnIdUntilRenumbered)
{
    OSMData data;
    addNodes(data, 2);
    data.addWay(5, {1, 2}, false, true, false, false, Road, 1, 1);
    Way *piece = new Way;
    piece->setId(5);
    data.ways()->add(piece);
    EXPECT_EQ(data.ways()->findById(5), data.ways()->ways()[0]);
    EXPECT_EQ(data.ways()->getAllById(5).size(), 2u);
    StderrCapture quiet;
    data.ways()->simplifyIds();
    EXPECT_TRUE(data.ways()->getAllById(5).empty());
    EXPECT_EQ(data.ways()->ways()[0]->getId(), 1); // numbered from 1
    EXPECT_EQ(data.ways()->findById(2), piece);
}

TEST(OSMDataModel, RoadClassNames)
{
    EXPECT_EQ(roadClassToString(Unclassified, true), "unclassified_link");
    EXPECT_EQ(roadClassToString(42, false), "road");
    EXPECT_EQ(roadClassFromString("living_street"), Road);
    EXPECT_EQ(roadClassFromString("secondary_link"), Secondary);
    EXPECT_EQ(roadClassFromString("Primary"), Road);
}

TEST(OSMDataModel, MisuseIsReportedAndChangesNothing)
{
    OSMData data;
    addNodes(data, 2);
    data.addWay(3, {1, 2}, false, true, false, false, Road, 1, 1);
    Way *way = data.ways()->findById(3);
    StderrCapture capture;
    way->addNode(nullptr);
    Node stranger(9, Location(1, 1));
    way->disconnectNode(&stranger);
    stranger.disconnectWay(way);
    EXPECT_EQ(capture.lines().size(), 3u); // each misuse is reported
    EXPECT_EQ(way->nodes().size(), 2u);
    EXPECT_EQ(data.nodes()->findById(1)->ways(), std::vector<Way *>{way});
}
