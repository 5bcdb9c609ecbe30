// Cutting a map as read down to a box: ways end on its edges, what lies outside goes.

#include "osm/boundingboxclip.h"
#include "osm/osmdata.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int64_t> nodeIds(const Way &way)
{
    std::vector<int64_t> ids;
    for (const Node *node : way.nodes())
        ids.push_back(node->getId());
    return ids;
}

/// Roads 10 (leaving east), 11 (wholly outside), 12 (leaving and coming back), 13 (crossing without a
/// node inside), tram track 14 (way 10's segment the other way round) and the closed road 15 about the
/// box 0-1 of longitude and latitude; a bus stop inside, a tram stop outside; routes over 10, 11, 12
/// and over 11.
void fillHandMadeMap(OSMData &data)
{
    const struct
    {
        int64_t id;
        double lat, lon;
    } nodes[] = {{1, 0.5, 0.5}, {2, 0.5, 1.5}, {3, 2.0, 2.0}, {4, 2.0, 3.0},  {5, 0.2, 0.2},
                 {6, 0.2, 1.5}, {7, 0.8, 1.5}, {8, 0.8, 0.2}, {9, 0.3, -1.0}, {20, 0.3, 2.0}};
    for (const auto &node : nodes)
        data.addNode(node.id, Location(node.lat, node.lon), node.id == 1);
    const std::vector<int64_t> ways[] = {{1, 2}, {3, 4}, {5, 6, 7, 8}, {9, 20}, {2, 1}, {1, 2, 7, 1}};
    for (int64_t i = 0; i < 6; ++i)
        data.addWay(10 + i, ways[i], i == 4, i != 4, false, false, Residential, 1, 1);
    data.addBusStop("Inside", data.nodes()->findById(1));
    data.addTramStop("Outside", data.nodes()->findById(4));
    data.addRouteRelation(100, "Line 1", "1", "bus", {10, 11, 12, 99}, {}, {}, {1, 4, 21});
    data.addRouteRelation(101, "Line 2", "2", "bus", {11}, {}, {}, {3});
}

} // namespace

TEST(BoundingBoxClip, WaysEndOnTheEdgeWhatLiesOutsideGoesAndRoutesKeepTheirRemainingMembers)
{
    OSMData data;
    fillHandMadeMap(data);
    BoundingBoxClip::Report report;
    const std::unique_ptr<OSMData> clipped = BoundingBoxClip::clip(data, BoundingBox{0.0, 0.0, 1.0, 1.0}, &report);

    const std::vector<Way *> ways = clipped->ways()->ways();
    ASSERT_EQ(ways.size(), 6u);
    // Way 10 ends on the east edge at a node of a new id; the tram track on the same segment shares it.
    const Node *east = ways[0]->lastNode();
    EXPECT_EQ(nodeIds(*ways[0]), (std::vector<int64_t>{1, east->getId()}));
    EXPECT_GT(east->getId(), 20);
    EXPECT_EQ(east->getLocation(), Location(0.5, 1.0));
    EXPECT_EQ(nodeIds(*ways[4]), (std::vector<int64_t>{east->getId(), 1}));
    EXPECT_TRUE(ways[4]->isTram());
    EXPECT_TRUE(clipped->nodes()->findById(1)->isTrafficSignals());
    EXPECT_EQ(clipped->nodes()->findById(2), nullptr);
    EXPECT_EQ(clipped->ways()->findById(11), nullptr);
    // Way 12 keeps both pieces inside, the second under a new id; way 13 crosses from edge to edge.
    EXPECT_EQ(ways[1]->getId(), 12);
    EXPECT_EQ(ways[1]->lastNode()->getLocation(), Location(0.2, 1.0));
    EXPECT_GT(ways[2]->getId(), 14);
    EXPECT_EQ(ways[2]->firstNode()->getLocation(), Location(0.8, 1.0));
    EXPECT_EQ(ways[2]->lastNode()->getId(), 8);
    EXPECT_EQ(ways[3]->firstNode()->getLocation(), Location(0.3, 0.0));
    EXPECT_EQ(ways[3]->lastNode()->getLocation(), Location(0.3, 1.0));
    // The closed way runs from where it enters through its closing node to where it leaves.
    EXPECT_EQ(ways[5]->firstNode()->getLocation(), Location(0.65, 1.0));
    EXPECT_EQ(nodeIds(*ways[5]), (std::vector<int64_t>{ways[5]->firstNode()->getId(), 1, east->getId()}));

    ASSERT_EQ(clipped->busStops()->size(), 1u);
    EXPECT_EQ(clipped->tramStops()->size(), 0u);
    ASSERT_EQ(clipped->routeRelations()->size(), 1u);
    const OSMRouteRelation *route = clipped->routeRelations()->relations()[0];
    EXPECT_EQ(route->ways, (std::vector<int64_t>{10, 12, ways[2]->getId()}));
    EXPECT_EQ(route->stopNodes, std::vector<int64_t>{1}); // 21 is no node of the map, whatever now has that id

    EXPECT_EQ((std::vector<size_t>{report.waysKept, report.waysCut, report.waysDropped, report.extraPieces,
                                   report.edgeNodes, report.stopsDropped, report.relationsDropped}),
              (std::vector<size_t>{5, 5, 1, 1, 6, 1, 1}));

    // A box around the whole map keeps it as it is.
    const std::unique_ptr<OSMData> whole = BoundingBoxClip::clip(data, BoundingBox{-1.0, 0.0, 3.0, 2.0}, &report);
    ASSERT_EQ(whole->ways()->size(), data.ways()->size());
    for (size_t i = 0; i < data.ways()->size(); ++i)
        EXPECT_EQ(nodeIds(*whole->ways()->ways()[i]), nodeIds(*data.ways()->ways()[i]));
    EXPECT_EQ(whole->nodes()->size(), data.nodes()->size());
    EXPECT_EQ(whole->routeRelations()->size(), 2u);
    EXPECT_EQ(report.waysCut + report.edgeNodes + report.stopsDropped, 0u);
}

TEST(BoundingBox, ReadsFourNumbersAndRefusesWhatIsNoBoxOnEarth)
{
    BoundingBox box;
    QString error;
    ASSERT_TRUE(BoundingBox::parse(" -0.15, 51.5 ,-0.11,51.53", box, error));
    EXPECT_EQ(box.toText(), "-0.15,51.5,-0.11,51.53");
    ASSERT_TRUE(BoundingBox::parse(BoundingBox{1.0 / 3, 0.1, 0.7, 0.2}.toText(), box, error));
    EXPECT_EQ(box.minLon, 1.0 / 3); // read back exactly
    for (const char *text : {"", "1,2,3", "1,2,3,4,5", "a,0,1,1", "0,0,1,nan", "0,0,inf,1", "1,0,1,1", "0,1,1,0.5",
                             "-181,0,1,1", "0,-90.5,1,1", "0,0,180.1,1", "0,0,1,91"}) {
        EXPECT_FALSE(BoundingBox::parse(QString::fromLatin1(text), box, error)) << text;
        EXPECT_TRUE(error.contains(QString::fromLatin1(text))) << error.toStdString();
    }
}
