#include "convert/osmbusstopconvertor.h"

#include "geo/geodesy.h"
#include "osm/osmdata.h"

#include "testnetwork.h"

#include <gtest/gtest.h>

#include <limits>

using testmaps::at;
using testmaps::nodeIds;
using testmaps::TestNetwork;

TEST(OSMBusStopConvertor, StopMovesOntoTheNearestSegmentWithinReachAndServesItsSide)
{
    // Nodes 1, 2, … at (metres north, east), ways 10, 11, … of them; node 9 is the stop.
    struct Case
    {
        const char *name;
        std::vector<std::pair<double, double>> nodes;
        std::vector<std::vector<int64_t>> ways;
        std::pair<double, double> stop;
        StopPlacement placement;
        std::vector<std::vector<int64_t>> after;
        double moved; ///< metres
    };
    const StopPlacement forward = StopPlacement::Forward, backward = StopPlacement::Backward,
                        unplaced = StopPlacement::Unplaced;
    // clang-format off
    const Case cases[] = {
        {"south of an eastbound way: its right", {{0, -200}, {0, 200}}, {{1, 2}}, {-10, 15}, forward, {{1, 9, 2}}, 10},
        {"north of an eastbound way: its left", {{0, -200}, {0, 200}}, {{1, 2}}, {10, -30}, backward, {{1, 9, 2}}, 10},
        {"nearer segment of one way wins over an earlier one (c→d runs west, the stop is on its left)",
         {{-40, -200}, {-40, 200}, {15, 200}, {15, -200}}, {{1, 2, 3, 4}}, {0, 0}, backward, {{1, 2, 3, 9, 4}}, 15},
        // Inserting before the first position of the end node would make the stop the first node.
        {"last segment of a closed way (d→a runs south, the stop is on its left)",
         {{0, 0}, {0, 200}, {150, 200}, {150, 0}}, {{1, 2, 3, 4, 1}}, {75, 10}, backward, {{1, 2, 3, 4, 9, 1}}, 10},
        {"nearer of two parallel streets, listed last",
         {{20, -200}, {20, 200}, {-30, -200}, {-30, 200}}, {{3, 4}, {1, 2}}, {0, 0}, forward, {{3, 4}, {1, 9, 2}}, 20},
        {"equal distances go to the way found last",
         {{0, -200}, {0, 200}}, {{1, 2}, {1, 2}}, {-10, 0}, forward, {{1, 2}, {1, 9, 2}}, 10},
        {"sixty metres from every way",
         {{60, -200}, {60, 200}, {-200, 60}, {200, 60}}, {{1, 2}, {3, 4}}, {0, 0}, unplaced, {{1, 2}, {3, 4}}, 0},
        {"segment ending 20 m short of the stop's perpendicular",
         {{10, -300}, {10, -20}}, {{1, 2}}, {0, 0}, unplaced, {{1, 2}}, 0},
        {"a way of a node twice", {{0, -5}}, {{1, 1}}, {0, 0}, unplaced, {{1, 1}}, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestNetwork net;
        for (size_t i = 0; i < c.nodes.size(); ++i)
            net.node(int64_t(i) + 1, c.nodes[i].second, c.nodes[i].first);
        for (size_t w = 0; w < c.ways.size(); ++w)
            net.way({int64_t(w) + 10, c.ways[w]});
        Node *s = net.node(9, c.stop.second, c.stop.first);
        const Location start = s->getLocation();
        net.osm.addBusStop("Stop", s);
        net.placeBusStops();
        EXPECT_EQ(net.osm.busStops()->stops()[0]->getPlacement(), c.placement);
        EXPECT_NEAR(geo::distance(start, s->getLocation()), c.moved, 0.01);
        for (size_t w = 0; w < c.ways.size(); ++w)
            EXPECT_EQ(nodeIds(net.osm.ways()->findById(int64_t(w) + 10)), c.after[w]) << "way " << w;
    }
}

TEST(OSMBusStopConvertor, LaterStopsSeeTheSegmentsSplitByEarlierOnesAndTwoStopsOnOneNodeEnterOnce)
{
    TestNetwork net;
    const double places[][2] = {{-200, 0}, {-30, 0}, {200, 0}, {50, -10}, {-60, 8}, {0, -5}};
    for (int64_t id = 1; id <= 6; ++id)
        net.node(id, places[id - 1][0], places[id - 1][1]);
    net.way({10, {1, 2, 3}});
    const std::pair<const char *, int64_t> stops[] = {{"one", 4}, {"two", 5}, {"Kauppatori", 6}, {"Salutorget", 6}};
    for (const auto &stop : stops)
        net.osm.addBusStop(stop.first, net.nodeById(stop.second));
    net.placeBusStops();
    EXPECT_EQ(nodeIds(net.osm.ways()->findById(10)), (std::vector<int64_t>{1, 5, 2, 6, 4, 3}));
    EXPECT_EQ(net.osm.busStops()->stops()[2]->getPlacement(), StopPlacement::Forward);
    EXPECT_EQ(net.osm.busStops()->stops()[3]->getPlacement(), StopPlacement::Forward);
}

TEST(OSMBusStopConvertor, PositionsOffTheGlobeOrNotNumbersDisturbNoOtherStop)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    const Location origin = at(0, 0);
    const Location places[] = {at(-200, 0),
                               at(200, 0),
                               Location(nan, origin.lon),
                               Location(origin.lat, inf),
                               Location(1e308, -1e308),
                               Location(-1e308, 1e308),
                               at(30, -10),
                               Location(nan, nan),
                               Location(origin.lat, -inf),
                               Location(-1e308, 1e308)};
    TestNetwork net;
    for (int64_t id = 1; id <= 10; ++id)
        net.osm.addNode(id, places[id - 1]);
    net.way({10, {1, 3, 2}});
    net.way({11, {1, 4}});
    net.way({12, {5, 1, 6}});
    net.way({13, {1, 2}});
    for (int64_t id : {7, 8, 9, 10})
        net.osm.addBusStop(id == 7 ? "good" : "bad", net.nodeById(id));
    net.placeBusStops();
    EXPECT_EQ(net.osm.busStops()->stops()[0]->getPlacement(), StopPlacement::Forward);
    EXPECT_EQ(nodeIds(net.osm.ways()->findById(13)), (std::vector<int64_t>{1, 7, 2}));
    for (size_t i = 1; i < 4; ++i)
        EXPECT_EQ(net.osm.busStops()->stops()[i]->getPlacement(), StopPlacement::Unplaced);
}
