#include "convert/osmbusstopconvertor.h"

#include "geo/geodesy.h"
#include "osm/osmdata.h"

#include "testnetwork.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using testmaps::at;
const Location ORIGIN = at(0, 0);

/// Builds small maps with consecutive node and way ids.
class MapBuilder
{
public:
    Node *node(const Location &location) { return data.addNode(nextNodeId++, location); }
    Way *way(const std::vector<Node *> &nodes, bool tram = false)
    {
        std::vector<int64_t> refs;
        for (Node *n : nodes)
            refs.push_back(n->getId());
        return wayOfRefs(refs, tram);
    }
    Way *wayOfRefs(const std::vector<int64_t> &refs, bool tram = false)
    {
        const int64_t id = nextWayId++;
        StderrCapture quiet;
        data.addWay(id, refs, tram, !tram, false, false, Residential, 1, 1);
        return data.ways()->findById(id);
    }
    OSMStop *busStop(Node *n, const std::string &name = "Stop")
    {
        data.addBusStop(name, n);
        return data.busStops()->findByNameAndNode(name, n);
    }
    void convert()
    {
        StderrCapture quiet;
        OSMBusStopConvertor::convert(&data);
    }

    OSMData data;
    int64_t nextNodeId = 1;
    int64_t nextWayId = 100;
};

} // namespace

TEST(OSMBusStopConvertor, StopMovesOntoTheNearestSegmentWithinReachAndServesItsSide)
{
    // Ways are lists of indices into `nodes` (metres north, east); in `after`, −1 is the stop's node.
    struct Case
    {
        const char *name;
        std::vector<std::pair<double, double>> nodes;
        std::vector<std::vector<int>> ways;
        std::pair<double, double> stop;
        int32_t placement;
        std::vector<std::vector<int>> after;
        double moved; ///< metres
    };
    // clang-format off
    const Case cases[] = {
        {"south of an eastbound way: its right", {{0, -200}, {0, 200}}, {{0, 1}}, {-10, 15}, 1, {{0, -1, 1}}, 10},
        {"north of an eastbound way: its left", {{0, -200}, {0, 200}}, {{0, 1}}, {10, -30}, 2, {{0, -1, 1}}, 10},
        {"nearer segment of one way wins over an earlier one (c→d runs west, the stop is on its left)",
         {{-40, -200}, {-40, 200}, {15, 200}, {15, -200}}, {{0, 1, 2, 3}}, {0, 0}, 2, {{0, 1, 2, -1, 3}}, 15},
        // Inserting before the first position of the end node would make the stop the first node.
        {"last segment of a closed way (d→a runs south, the stop is on its left)",
         {{0, 0}, {0, 200}, {150, 200}, {150, 0}}, {{0, 1, 2, 3, 0}}, {75, 10}, 2, {{0, 1, 2, 3, -1, 0}}, 10},
        {"nearer of two parallel streets, listed last",
         {{20, -200}, {20, 200}, {-30, -200}, {-30, 200}}, {{2, 3}, {0, 1}}, {0, 0}, 1, {{2, 3}, {0, -1, 1}}, 20},
        {"equal distances go to the way found last",
         {{0, -200}, {0, 200}}, {{0, 1}, {0, 1}}, {-10, 0}, 1, {{0, 1}, {0, -1, 1}}, 10},
        {"sixty metres from every way",
         {{60, -200}, {60, 200}, {-200, 60}, {200, 60}}, {{0, 1}, {2, 3}}, {0, 0}, 0, {{0, 1}, {2, 3}}, 0},
        {"segment ending 20 m short of the stop's perpendicular",
         {{10, -300}, {10, -20}}, {{0, 1}}, {0, 0}, 0, {{0, 1}}, 0},
        {"a way of a node twice", {{0, -5}}, {{0, 0}}, {0, 0}, 0, {{0, 0}}, 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MapBuilder map;
        std::vector<Node *> nodes;
        for (const auto &n : c.nodes)
            nodes.push_back(map.node(at(n.second, n.first)));
        std::vector<Way *> ways;
        for (const std::vector<int> &w : c.ways) {
            std::vector<Node *> refs;
            for (int i : w)
                refs.push_back(nodes[size_t(i)]);
            ways.push_back(map.way(refs));
        }
        const Location start = at(c.stop.second, c.stop.first);
        Node *s = map.node(start);
        OSMStop *stop = map.busStop(s);
        map.convert();
        EXPECT_EQ(stop->getPlacement(), c.placement);
        EXPECT_NEAR(geo::distance(start, s->getLocation()), c.moved, 0.01);
        for (size_t w = 0; w < ways.size(); ++w) {
            std::vector<Node *> expected;
            for (int i : c.after[w])
                expected.push_back(i < 0 ? s : nodes[size_t(i)]);
            EXPECT_EQ(ways[w]->nodes(), expected) << "way " << w;
        }
    }
}

TEST(OSMBusStopConvertor, LaterStopsSeeTheSegmentsSplitByEarlierOnesAndTwoStopsOnOneNodeEnterOnce)
{
    MapBuilder map;
    Node *a = map.node(at(-200, 0));
    Node *m = map.node(at(-30, 0));
    Node *b = map.node(at(200, 0));
    Way *way = map.way({a, m, b});
    Node *s1 = map.node(at(50, -10));
    Node *s2 = map.node(at(-60, 8));
    Node *s3 = map.node(at(0, -5));
    map.busStop(s1, "one");
    map.busStop(s2, "two");
    OSMStop *first = map.busStop(s3, "Kauppatori");
    OSMStop *second = map.busStop(s3, "Salutorget");
    map.convert();
    EXPECT_EQ(way->nodes(), (std::vector<Node *>{a, s2, m, s3, s1, b}));
    EXPECT_EQ(first->getPlacement(), 1);
    EXPECT_EQ(second->getPlacement(), 1);
}

TEST(OSMBusStopConvertor, PositionsOffTheGlobeOrNotNumbersDisturbNoOtherStop)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    MapBuilder map;
    Node *a = map.node(at(-200, 0));
    Node *b = map.node(at(200, 0));
    map.way({a, map.node(Location(nan, ORIGIN.lon)), b});
    map.way({a, map.node(Location(ORIGIN.lat, inf))});
    map.way({map.node(Location(1e308, -1e308)), a, map.node(Location(-1e308, 1e308))});
    Way *street = map.way({a, b});
    Node *good = map.node(at(30, -10));
    map.busStop(good, "good");
    for (const Location &bad : {Location(nan, nan), Location(ORIGIN.lat, -inf), Location(-1e308, 1e308)})
        map.busStop(map.node(bad), "bad");
    map.convert();
    EXPECT_EQ(map.data.busStops()->stops()[0]->getPlacement(), 1);
    EXPECT_EQ(street->nodes(), (std::vector<Node *>{a, good, b}));
    for (size_t i = 1; i < 4; ++i)
        EXPECT_EQ(map.data.busStops()->stops()[i]->getPlacement(), 0);
}
