// The network conversion on small maps built in code: splitting, odd and hostile maps, and the
// budget that refuses maps costing more than a city.

#include "convert/networkconvertor.h"
#include "convert/networkbudget.h"

#include "model/random.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

#include <functional>

using testmaps::at;
using testmaps::polar;
using testmaps::TestNetwork;

namespace {

void expectSoundNetwork(const TestNetwork &net)
{
    testmaps::expectSoundNetwork(net.bindings, net.sim);
}

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

TEST(NetworkConvertorSplit, WaysAreSplitAtSharedInteriorNodesAndInteriorStops)
{
    // The first stage works on the topology only: the nodes lie anywhere.
    struct Case
    {
        const char *name;
        std::vector<testmaps::TestWay> ways;
        std::vector<int64_t> tramStops, busStops;
        std::vector<std::vector<int64_t>> pieces;
    };
    // clang-format off
    const Case cases[] = {
        {"crossing at a shared interior node", {{10, {1, 3, 2}}, {11, {4, 3, 5}}}, {}, {},
         {{1, 3}, {4, 3}, {3, 2}, {3, 5}}},
        {"interior touching another way's end", {{10, {1, 3, 2}}, {11, {3, 4}}}, {}, {}, {{1, 3}, {3, 4}, {3, 2}}},
        {"sharing only their ends", {{10, {1, 2, 3}}, {11, {3, 4, 5}}}, {}, {}, {{1, 2, 3}, {3, 4, 5}}},
        // A stop on an end node (6) splits nothing.
        {"stops in the interior", {{10, {1, 2, 3}, 1, 1, false, true}, {11, {4, 5, 6}}}, {2}, {5, 6},
         {{1, 2}, {4, 5}, {2, 3}, {5, 6}}},
        // Pieces are appended round by round: all second pieces in way order, then the third.
        {"ways cut many times", {{10, {1, 2, 3, 4}}, {11, {5, 6, 7}}}, {}, {2, 3, 6},
         {{1, 2}, {5, 6}, {2, 3}, {6, 7}, {3, 4}}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestNetwork net;
        for (int id = 1; id <= 7; ++id)
            net.node(id, 10.0 * id, 5.0 * (id % 3));
        for (const testmaps::TestWay &w : c.ways)
            net.way(w);
        for (int64_t id : c.tramStops)
            net.osm.addTramStop("Tram", net.nodeById(id));
        for (int64_t id : c.busStops)
            net.osm.addBusStop("Bus", net.nodeById(id));
        net.run(1, 1);
        EXPECT_EQ(net.nodeIdsOfWays(), c.pieces);
    }
}

TEST(NetworkConvertorDegenerate, RandomTanglesConvertToSoundNetworks)
{
    // Nodes on a coarse grid (so that some coincide), ways that revisit nodes, go back and forth,
    // close on themselves or share all their nodes, stops anywhere: each must convert without NaN,
    // crash or endless loop.
    for (uint64_t seed = 1; seed <= 100; ++seed) {
        RandomStream random(seed);
        auto pick = [&random](int n) { return int(random.next() % uint64_t(n)); };
        TestNetwork net;
        for (int id = 1; id <= 12; ++id)
            net.osm.addNode(id, at(5.0 * pick(12), 5.0 * pick(12)));
        net.osm.addNode(13, net.nodeById(1)->getLocation()); // two nodes on one spot
        for (int w = 0; w < 8; ++w) {
            testmaps::TestWay drawn{100 + w, {}, pick(4), pick(3), pick(3) == 0, pick(3) == 0};
            for (int i = 2 + pick(5); i > 0; --i)
                drawn.nodes.push_back(1 + pick(13));
            net.way(drawn);
        }
        net.osm.addTramStop("T", net.nodeById(1 + pick(13)));
        net.osm.addBusStop("B", net.nodeById(1 + pick(13)));
        SCOPED_TRACE("seed " + std::to_string(seed));
        net.run();
        expectSoundNetwork(net);
        if (HasFatalFailure())
            return;
    }
}

TEST(NetworkBudget, AMapOverBudgetIsRefusedNamingTheElementAndNothingIsBuilt)
{
    const struct
    {
        const char *what;
        std::function<void(TestNetwork &, NetworkBudget &)> build;
        std::string refusal;
    } cases[] = {
        {"a star at the limit is built", [](TestNetwork &net, NetworkBudget &) { star(net, 16); }, ""},
        {"a star just over the limit", [](TestNetwork &net, NetworkBudget &) { star(net, 17); },
         "node 1 joins 17 way ends (at most 16)"},
        {"a road across the globe",
         [](TestNetwork &net, NetworkBudget &) {
             net.osm.addNode(1, Location(60.17, 24.94));
             net.osm.addNode(2, Location(-33.9, 151.2));
             net.way({10, {1, 2}});
         },
         "way 10 has a segment of 1"},
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
        EXPECT_EQ(convertor.convert(), c.refusal.empty());
        EXPECT_EQ(convertor.refusal().rfind(c.refusal, 0), 0u) << convertor.refusal();
        if (c.refusal.empty()) {
            EXPECT_EQ(net.nodeBinding(1)->wayEnds.size(), 16u);
            expectSoundNetwork(net);
            continue;
        }
        EXPECT_NE(capture.text().find(c.refusal), std::string::npos);
        EXPECT_TRUE(net.sim.cells.empty());
        EXPECT_TRUE(net.bindings.wayBindings().empty());
    }
}
