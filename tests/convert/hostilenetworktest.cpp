// Maps whose network would cost more than a city: refused before anything is built. And the arms
// of a node in bearing order, computed once, against the pass over all arms they replace.

#include "convert/networkbudget.h"
#include "model/random.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

using testmaps::at;
using testmaps::polar;
using testmaps::TestNetwork;

namespace {

/// Node 1 at the origin and `arms` two-node roads from it to nodes 2, 3, … 50 m away, evenly round.
void star(TestNetwork &net, int arms)
{
    net.node(1, 0, 0);
    for (int i = 0; i < arms; ++i) {
        net.osm.addNode(2 + i, polar(0, 0, 50, 360.0 * i / arms));
        net.way({100 + i, {1, 2 + i}});
    }
}

} // namespace

TEST(NetworkBudgetRefusal, AMapOverBudgetIsRefusedNamingTheElementAndNothingIsBuilt)
{
    const struct
    {
        const char *what;
        std::function<void(TestNetwork &, NetworkBudget &)> build;
        std::string refusal;
    } cases[] = {
        {"a star of 400 roads", [](TestNetwork &net, NetworkBudget &) { star(net, 400); },
         "node 1 joins 400 way ends (at most 16)"},
        {"a star just over the limit", [](TestNetwork &net, NetworkBudget &) { star(net, 17); },
         "node 1 joins 17 way ends (at most 16)"},
        {"a road across the globe",
         [](TestNetwork &net, NetworkBudget &) {
             net.osm.addNode(1, Location(60.17, 24.94));
             net.osm.addNode(2, Location(-33.9, 151.2));
             net.way({10, {1, 2}});
         },
         "way 10 has a segment of 1"},
        {"a tram track with a hundred thousand lanes",
         [](TestNetwork &net, NetworkBudget &) {
             net.node(1, 0, 0);
             net.node(2, 100, 0);
             testmaps::TestWay track{10, {1, 2}, 100000, 0};
             track.tram = true;
             track.highway = false;
             net.way(track);
         },
         "way 10 needs about 4"},
        {"a kilometre of road on a tight budget",
         [](TestNetwork &net, NetworkBudget &budget) {
             net.node(1, 0, 0);
             net.node(2, 1000, 0);
             net.way({10, {1, 2}});
             budget.maxNetworkCells = 5000;
         },
         "the network needs about 800"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TestNetwork net;
        NetworkBudget budget;
        c.build(net, budget);
        StderrCapture capture;
        NetworkConvertor convertor(&net.osm, &net.sim, &net.bindings);
        convertor.setBudget(budget);
        EXPECT_FALSE(convertor.convert());
        EXPECT_EQ(convertor.refusal().rfind(c.refusal, 0), 0u) << convertor.refusal();
        EXPECT_NE(capture.text().find("NetworkConvertor: Map refused: " + c.refusal), std::string::npos);
        EXPECT_TRUE(net.sim.cells.empty());
        EXPECT_TRUE(net.bindings.wayBindings().empty());
    }
}

TEST(NetworkBudgetRefusal, AStarAtTheLimitIsBuilt)
{
    TestNetwork net;
    star(net, 16);
    net.run();
    ASSERT_EQ(net.sim.crossroads.size(), 1u);
    EXPECT_EQ(net.nodeBinding(1)->wayEnds.size(), 16u);
    testmaps::expectSoundNetwork(net.bindings, net.sim);
}

TEST(NodeArms, NeighboursInBearingOrderAreThoseOfThePassOverAllArms)
{
    // Bearings on a coarse circle so that many arms share one; up to 16 arms; both loops and
    // ways whose other end is on the same bearing as another arm.
    for (uint64_t seed = 1; seed <= 200; ++seed) {
        RandomStream random(seed);
        TestNetwork net;
        net.node(1, 0, 0);
        const int arms = 1 + int(random.next() % 16);
        for (int i = 0; i < arms; ++i) {
            const double bearing = 45.0 * (random.next() % 8) + (random.next() % 2 ? 0.0 : 10.0);
            net.osm.addNode(2 + i, polar(0, 0, 20.0 + 10.0 * (random.next() % 3), bearing));
            net.way({100 + i, {1, 2 + i}});
        }
        net.run(1, 3);
        SCOPED_TRACE("seed " + std::to_string(seed));
        NodeBinding *node = net.nodeBinding(1);
        ASSERT_NE(node, nullptr);
        ASSERT_TRUE(node->armsOrdered);
        for (WayEnd *end : node->wayEnds) {
            node->armsOrdered = false; // the pass over all arms
            WayEnd *next = BindingData::next(node, end);
            WayEnd *previous = BindingData::previous(node, end);
            node->armsOrdered = true;
            EXPECT_EQ(BindingData::next(node, end), next) << "arm " << end->way->way->getId();
            EXPECT_EQ(BindingData::previous(node, end), previous) << "arm " << end->way->way->getId();
        }
    }
}

TEST(NetworkConvertorSplit, PiecesOfWaysCutManyTimesAreAppendedRoundByRound)
{
    // Way 10 is cut at nodes 2 and 3, way 11 at node 6: the second pieces come first, in way
    // order, then the third piece of way 10.
    TestNetwork net;
    for (int id = 1; id <= 8; ++id)
        net.node(id, 20.0 * id, id <= 4 ? 0.0 : 40.0);
    net.way({10, {1, 2, 3, 4}});
    net.way({11, {5, 6, 7}});
    net.osm.addBusStop("a", net.nodeById(2));
    net.osm.addBusStop("b", net.nodeById(3));
    net.osm.addBusStop("c", net.nodeById(6));
    net.run(1, 1);
    EXPECT_EQ(net.nodeIdsOfWays(), (std::vector<std::vector<int64_t>>{{1, 2}, {5, 6}, {2, 3}, {6, 7}, {3, 4}}));
}

TEST(NetworkConvertorSplit, AWayOfTenThousandNodesCutAtEveryHundredthIsBuiltWhole)
{
    TestNetwork net;
    testmaps::TestWay road{1, {}};
    for (int i = 0; i < 10000; ++i) {
        net.node(1 + i, 2.0 * i, (i % 2) * 1.0);
        road.nodes.push_back(1 + i);
        if (i % 100 == 50) {
            net.node(100000 + i, 2.0 * i, 40.0);
            net.way({100000 + i, {1 + i, 100000 + i}});
        }
    }
    net.way(road);
    net.run();
    EXPECT_EQ(net.osm.ways()->getAllById(1).size(), 101u);
    EXPECT_EQ(net.sim.crossroads.size(), 100u);
    testmaps::expectSoundNetwork(net.bindings, net.sim);
}
