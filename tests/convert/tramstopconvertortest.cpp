#include "convert/tramstopconvertor.h"

#include "testnetwork.h"

#include <algorithm>

TEST(TramStopConvertor, MovesPlatformNodesOntoTheNearestTrackOfTheirRoute)
{
    struct Case
    {
        const char *what;
        double x, y;      ///< the platform node, metres from the origin
        bool listed;      ///< a tram route relation lists it
        int64_t wayId;    ///< the track it should join; 0 if it stays where it is
        double expectedX; ///< where it should join
    };
    const std::vector<Case> cases = {
        {"beside the southern track, listed by the route of the northern one", 50.0, 1.0, true, 21, 50.0},
        {"beside the southern track, listed by no route", 50.0, 1.0, false, 20, 50.0},
        {"level with a node of the track, kept off that node", 99.8, -3.0, false, 20, 99.5},
        {"beyond reach of every track", 50.0, -30.0, false, 0, 0.0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        OSMData data;
        // Two one-way tracks 6 m apart: the southern one eastwards, the northern one westwards.
        const double track[][2] = {{0, 0}, {100, 0}, {200, 0}, {200, 6}, {0, 6}};
        for (int64_t id = 1; id <= 5; ++id)
            data.addNode(id, testmaps::at(track[id - 1][0], track[id - 1][1]));
        Node *platform = data.addNode(9, testmaps::at(c.x, c.y));
        testmaps::addWay(data, {20, {1, 2, 3}, 1, 0, true, true, false});
        testmaps::addWay(data, {21, {4, 5}, 1, 0, true, true, false});
        data.addTramStop("Platform", platform);
        data.addRouteRelation(1, "north", "3", "tram", {21}, {}, {},
                              c.listed ? std::vector<int64_t>{9} : std::vector<int64_t>{});
        Diagnostics diagnostics;
        const int32_t moved = TramStopConvertor::convert(&data, diagnostics);

        EXPECT_EQ(moved, c.wayId ? 1 : 0);
        for (const Way *way : data.ways()->ways()) {
            const bool holds = std::count(way->nodes().begin(), way->nodes().end(), platform) > 0;
            EXPECT_EQ(holds, way->getId() == c.wayId) << "way " << way->getId();
        }
        EXPECT_TRUE(c.wayId ? testmaps::isAt(platform->getLocation(), c.expectedX, c.wayId == 21 ? 6.0 : 0.0, 0.05)
                            : testmaps::isAt(platform->getLocation(), c.x, c.y));
    }
}

TEST(TramStopConvertor, ALaterPlatformJoinsThePieceOfTrackThatAnEarlierOneLeft)
{
    OSMData data;
    data.addNode(1, testmaps::at(0, 0));
    data.addNode(2, testmaps::at(100, 0));
    testmaps::addWay(data, {20, {1, 2}, 1, 0, true, true, false});
    for (int64_t id : {8, 9})
        data.addTramStop("Platform", data.addNode(id, testmaps::at(id == 8 ? 60.0 : 40.0, -2.0)));
    Diagnostics diagnostics;
    EXPECT_EQ(TramStopConvertor::convert(&data, diagnostics), 2);
    std::vector<int64_t> ids;
    for (const Node *node : data.ways()->findById(20)->nodes())
        ids.push_back(node->getId());
    EXPECT_EQ(ids, (std::vector<int64_t>{1, 9, 8, 2}));
}
