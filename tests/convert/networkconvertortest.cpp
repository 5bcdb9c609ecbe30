// The network conversion on small maps built in code: splitting, odd and hostile maps, and the
// budget that refuses maps costing more than a city.

#include "convert/networkconvertor.h"
#include "convert/networkbudget.h"

#include "model/random.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

using testmaps::at;
using testmaps::TestNetwork;

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
        NetworkConvertor(&net.osm, &net.sim, &net.bindings, net.diagnostics).runStages(1, 1);
        std::vector<std::vector<int64_t>> pieces;
        for (const Way *w : net.osm.ways()->ways())
            pieces.push_back(testmaps::nodeIds(w));
        EXPECT_EQ(pieces, c.pieces);
        // The log counts the pieces the cuts added.
        size_t added = 0;
        for (const Diagnostic &d : net.diagnostics.all())
            if (d.text.find("Split count (") != std::string::npos)
                added += std::stoul(d.text.substr(d.text.find('=') + 1));
        EXPECT_EQ(added, c.pieces.size() - c.ways.size());
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
        testmaps::expectSoundNetwork(net.bindings, net.sim);
        if (HasFatalFailure())
            return;
    }
}

TEST(NetworkBudget, AMapOverBudgetIsRefusedNamingTheElementAndNothingIsBuilt)
{
    // A star of `arms` 50 m roads round node 1, or else one road from node 1 to `far`.
    const struct
    {
        const char *what;
        int arms;
        Location far;
        int64_t maxCells;
        std::string refusal;
    } cases[] = {
        {"a star at the limit is built", 16, {}, 0, ""},
        {"a star just over the limit", 17, {}, 0, "node 1 joins 17 way ends (at most 16)"},
        {"a road across the globe", 0, Location(-33.9, 151.2), 0, "way 10 has a segment of 1"},
        {"a kilometre of road on a tight budget", 0, at(1000, 0), 5000, "the network needs about 800"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        TestNetwork net;
        const Location centre = net.node(1, 0, 0)->getLocation();
        for (int i = 0; i < c.arms; ++i) {
            net.osm.addNode(2 + i, geo::moveLocation(centre, 360.0 * i / c.arms, 50));
            net.way({100 + i, {1, 2 + i}});
        }
        if (c.arms == 0) {
            net.osm.addNode(2, c.far);
            net.way({10, {1, 2}});
        }
        NetworkBudget budget;
        if (c.maxCells)
            budget.maxNetworkCells = c.maxCells;
        NetworkConvertor convertor(&net.osm, &net.sim, &net.bindings, net.diagnostics);
        convertor.setBudget(budget);
        EXPECT_EQ(convertor.convert(), c.refusal.empty());
        EXPECT_EQ(convertor.refusal().rfind(c.refusal, 0), 0u) << convertor.refusal();
        if (c.refusal.empty()) {
            EXPECT_EQ(net.nodeBinding(1)->wayEnds.size(), 16u);
            testmaps::expectSoundNetwork(net.bindings, net.sim);
            continue;
        }
        ASSERT_EQ(net.diagnostics.count(Severity::Error), 1u);
        EXPECT_EQ(net.diagnostics.all().back().text, "Map refused: " + convertor.refusal());
        EXPECT_TRUE(net.sim.cellCount() == 0 && net.bindings.wayBindings().empty());
    }
}
