#include "osm/osmdata.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

namespace {

class StderrCapture
{
public:
    StderrCapture() : old(std::cerr.rdbuf(buffer.rdbuf())) {}
    ~StderrCapture() { std::cerr.rdbuf(old); }
    std::string text() const { return buffer.str(); }

private:
    std::ostringstream buffer;
    std::streambuf *old;
};

} // namespace

TEST(OSMDataModel, WaysListThemselvesAtTheirEndNodesOnly)
{
    OSMData data;
    data.addNode(1, Location(0, 0));
    data.addNode(2, Location(0, 1));
    data.addNode(3, Location(0, 2));
    data.addWay(10, {1, 2, 3}, false, true, false, false, Residential, 1, 1);
    data.addWay(11, {1, 2, 1}, false, true, false, false, Residential, 1, 1);
    Way *abc = data.ways()->findById(10);
    Way *aba = data.ways()->findById(11);
    ASSERT_NE(abc, nullptr);
    Node *a = data.nodes()->findById(1);
    Node *b = data.nodes()->findById(2);
    Node *c = data.nodes()->findById(3);
    EXPECT_EQ(c->ways(), std::vector<Way *>{abc});
    EXPECT_EQ(a->ways(), (std::vector<Way *>{abc, aba, aba}));
    EXPECT_TRUE(b->ways().empty());
    EXPECT_TRUE(b->isUsed());
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

    StderrCapture capture;
    data.addWay(8, {91, 92}, false, true, false, false, Road, 1, 1);
    EXPECT_EQ(capture.text(), "addWay finding Node failed: fromId == 91\naddWay finding Node failed: fromId == 92\n");
    ASSERT_NE(data.ways()->findById(8), nullptr);
    EXPECT_TRUE(data.ways()->findById(8)->nodes().empty());
    data.addWay(9, {1}, false, true, false, false, Road, 1, 1);
    data.addWay(12, {1, 2}, false, false, false, false, Road, 1, 1);
    EXPECT_EQ(data.ways()->findById(9), nullptr);
    EXPECT_EQ(data.ways()->findById(12), nullptr);
}

TEST(OSMDataModel, StopsAreUniqueByNameAndNodeAndShakeKeepsThem)
{
    OSMData data;
    Node *n1 = data.addNode(1, Location(0, 0));
    Node *n2 = data.addNode(2, Location(0, 1));
    data.addNode(3, Location(0, 2)); // used by nothing
    data.addBusStop("Kamppi", n1);
    data.addBusStop("Kamppi", n1);
    data.addBusStop("Kamppi", n2);
    data.addTramStop("Kamppi", n1);
    EXPECT_EQ(data.busStops()->size(), 2u);
    EXPECT_EQ(data.busStops()->findByNode(n2)->getName(), "Kamppi");
    EXPECT_EQ(data.busStops()->findByNameAndNode("kamppi", n1), nullptr);
    EXPECT_LT(data.busStops()->stops()[0]->getId(), data.tramStops()->stops()[0]->getId());

    StderrCapture capture;
    data.shakeNodes();
    EXPECT_EQ(capture.text(), "OSMParser:     Nodes shaked: 1\n");
    EXPECT_EQ(data.nodes()->size(), 2u);
    EXPECT_EQ(data.nodes()->findById(3), nullptr);

    data.busStops()->remove(data.busStops()->findByNode(n1));
    EXPECT_EQ(data.busStops()->findByNode(n1), nullptr);
    EXPECT_EQ(data.busStops()->size(), 1u);
}

TEST(OSMDataModel, SplitPiecesShareAnIdAndRenumbering)
{
    OSMData data;
    data.addNode(1, Location(0, 0));
    data.addNode(2, Location(0, 1));
    data.addWay(5, {1, 2}, false, true, false, false, Road, 1, 1);
    Way *piece = new Way;
    piece->setId(5);
    data.ways()->add(piece);
    EXPECT_EQ(data.ways()->findById(5), data.ways()->ways()[0]);
    EXPECT_EQ(data.ways()->getAllById(5).size(), 2u);
    StderrCapture capture;
    data.ways()->simplifyIds();
    EXPECT_TRUE(data.ways()->getAllById(5).empty());
    const int64_t firstId = data.ways()->ways()[0]->getId();
    EXPECT_EQ(data.ways()->ways()[1]->getId(), firstId + 1);
    EXPECT_EQ(data.ways()->findById(firstId + 1), piece);
}

TEST(OSMDataModel, RoadClassNames)
{
    EXPECT_EQ(roadClassToString(Unclassified, true), "unclassified_link");
    EXPECT_EQ(roadClassToString(Road, true), "road_link");
    EXPECT_EQ(roadClassToString(42, false), "road");
    EXPECT_EQ(roadClassFromString("living_street"), Road);
    EXPECT_EQ(roadClassFromString("secondary_link"), Secondary);
    EXPECT_EQ(roadClassFromString("Primary"), Road);
}

TEST(OSMDataModel, ShakeDropsNodesOfRejectedWaysAndKeepsOrder)
{
    OSMData data;
    for (int64_t id = 1; id <= 5; ++id)
        data.addNode(id, Location(0, static_cast<double>(id)));
    data.addWay(1, {1, 2}, false, false, false, false, Road, 0, 0); // neither road nor tram: rejected
    data.addWay(2, {5, 3}, true, false, false, false, Road, 0, 0);
    data.addTramStop("Kauppatori", data.nodes()->findById(4));
    StderrCapture capture;
    data.shakeNodes();
    EXPECT_EQ(capture.text(), "OSMParser:     Nodes shaked: 2\n");
    std::vector<int64_t> ids;
    for (const Node *node : data.nodes()->nodes())
        ids.push_back(node->getId());
    EXPECT_EQ(ids, (std::vector<int64_t>{3, 4, 5}));
    EXPECT_EQ(data.nodes()->findById(1), nullptr);
}

TEST(OSMDataModel, MisuseIsReportedAndChangesNothing)
{
    OSMData data;
    data.addNode(1, Location(0, 0));
    data.addNode(2, Location(0, 1));
    data.addWay(3, {1, 2}, false, true, false, false, Road, 1, 1);
    Way *way = data.ways()->findById(3);
    Node *first = data.nodes()->findById(1);
    StderrCapture capture;
    way->addNode(nullptr);
    Node stranger(9, Location(1, 1));
    way->disconnectNode(&stranger);
    stranger.disconnectWay(way);
    EXPECT_EQ(capture.text(), "addNode NULL!!!!!\n"
                              "disconnectNode(Node* node) FAILED! Could not find (*node)\n"
                              "Node::disconnectWay FAILED, could not find (way)\n");
    EXPECT_EQ(way->nodes().size(), 2u);
    EXPECT_EQ(first->ways(), std::vector<Way *>{way});
}
