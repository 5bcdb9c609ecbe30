#include "convert/networkconvertor.h"

#include "model/random.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using testmaps::at;
using testmaps::TestNetwork;
using testmaps::xOf;
using testmaps::yOf;

namespace {

constexpr double CM = 0.01;

/// The number the conversion reported after `label`, −1 if it reported none.
long long reported(const std::string &log, const std::string &label)
{
    const size_t at = log.find(label);
    return at == std::string::npos ? -1 : std::atoll(log.c_str() + at + label.size());
}

void expectSoundNetwork(const TestNetwork &net)
{
    testmaps::expectSoundNetwork(net.bindings, net.sim);
}

} // namespace

TEST(NetworkConvertorStages, BindsEachNodeOnceInOrderOfFirstAppearance)
{
    // A T: way 10 is split at node 3, where way 11 ends.
    TestNetwork net;
    net.node(1, -50, 0);
    net.node(2, 50, 0);
    net.node(3, 0, 0);
    net.node(4, 0, 50);
    net.way({10, {1, 3, 2}});
    net.way({11, {3, 4}});
    net.run();
    // Nodes 1, 3, 4 and 2, in order of first appearance.
    ASSERT_EQ(net.bindings.nodeBindings().size(), 4u);
    EXPECT_EQ(net.bindings.nodeBindings()[1]->node->getId(), 3);
    EXPECT_EQ(net.bindings.nodeBindings()[3]->node->getId(), 2);
    EXPECT_EQ(net.bindings.nodeBindings()[1]->wayEnds.size(), 3u);
    EXPECT_EQ(net.bindings.wayBindings().size(), 3u);
}

TEST(NetworkConvertorSplit, WaysAreSplitAtSharedInteriorNodesAndInteriorStops)
{
    // Stage 1 works on the topology only: the nodes lie anywhere.
    struct Case
    {
        const char *name;
        std::vector<testmaps::TestWay> ways;
        int64_t tramStopNode, busStopNode;
        int counts[3]; ///< ways, tram stops, bus stops
        std::vector<std::vector<int64_t>> pieces;
    };
    // clang-format off
    const Case cases[] = {
        {"crossing at a shared interior node", {{10, {1, 3, 2}}, {11, {4, 3, 5}}}, 0, 0, {2, 0, 0},
         {{1, 3}, {4, 3}, {3, 2}, {3, 5}}},
        {"interior touching another way's end", {{10, {1, 3, 2}}, {11, {3, 4}}}, 0, 0, {1, 0, 0},
         {{1, 3}, {3, 4}, {3, 2}}},
        {"sharing only their ends", {{10, {1, 2, 3}}, {11, {3, 4, 5}}}, 0, 0, {0, 0, 0}, {{1, 2, 3}, {3, 4, 5}}},
        {"appended pieces split again in the same pass", {{10, {1, 2, 3, 4, 5}}, {11, {2, 6}}, {12, {4, 7}}}, 0, 0,
         {2, 0, 0}, {{1, 2}, {2, 6}, {4, 7}, {2, 3, 4}, {4, 5}}},
        // A stop on an end node (6) splits nothing.
        {"stops in the interior", {{10, {1, 2, 3}, 1, 1, false, true}, {11, {4, 5, 6}}}, 2, 5, {0, 1, 1},
         {{1, 2}, {4, 5}, {2, 3}, {5, 6}}},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestNetwork net;
        for (int id = 1; id <= 7; ++id)
            net.node(id, 10.0 * id, 5.0 * (id % 3));
        for (const testmaps::TestWay &w : c.ways)
            net.way(w);
        if (c.tramStopNode)
            net.osm.addTramStop("Tram", net.nodeById(c.tramStopNode));
        if (c.busStopNode) {
            net.osm.addBusStop("Bus", net.nodeById(c.busStopNode));
            net.osm.addBusStop("End", net.nodeById(6));
        }
        net.run(1, 1);
        // The reported statistics count the pieces made.
        const char *labels[] = {"ways", "tram stops", "bus stops"};
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(reported(net.log, "Split count (" + std::string(labels[i]) + ") = "), c.counts[i]) << labels[i];
        EXPECT_EQ(net.nodeIdsOfWays(), c.pieces);
    }
}

TEST(NetworkConvertorSplit, LonelyClosedWayBecomesAContinuation)
{
    TestNetwork net;
    net.node(1, 0, 0);
    net.node(2, 50, 0);
    net.node(3, 25, 40);
    net.way({10, {1, 2, 3, 1}});
    net.run();
    EXPECT_EQ(net.osm.ways()->size(), 1u);
    ASSERT_EQ(net.bindings.nodeBindings().size(), 1u);
    const NodeBinding *node = net.bindings.nodeBindings()[0];
    EXPECT_EQ(node->node->getId(), 1);
    ASSERT_EQ(node->wayEnds.size(), 2u);
    EXPECT_EQ(node->wayEnds[0]->way, node->wayEnds[1]->way);
    // The loop's lanes are joined to themselves at the node.
    const WayBinding *w = net.binding(10);
    EXPECT_EQ(w->forward.lanes[0]->polyline.back(), w->forward.lanes[0]->polyline.front());
    expectSoundNetwork(net);
}

class NetworkConvertorContinuation : public ::testing::TestWithParam<bool>
{};

TEST_P(NetworkConvertorContinuation, RightAngleContinuationMeetsAtCommonPoints)
{
    // West arm into the node, then north; the second way runs away from or towards the node. No
    // crossroad is made: the lanes and tracks are linked straight through.
    const bool secondReversed = GetParam();
    TestNetwork net;
    net.node(1, -50, 0);
    net.node(2, 0, 0);
    net.node(3, 0, 50);
    net.way({10, {1, 2}, 1, 1, false, true});
    net.way({11, secondReversed ? std::vector<int64_t>{3, 2} : std::vector<int64_t>{2, 3}, 1, 1, false, true});
    net.run();
    EXPECT_TRUE(net.sim.crossroads.empty());
    const NodeBinding *node = net.bindings.findNodeBinding(net.nodeById(2));
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->wayEnds.size(), 2u);
    const WayEnd *west = node->wayEnds[0];
    const WayEnd *north = node->wayEnds[1];
    auto meet = [](const LaneBinding *in, const LaneBinding *out, double x, double y) {
        ASSERT_NE(in, nullptr);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(in->polyline.back(), out->polyline.front());
        EXPECT_TRUE(testmaps::isAt(out->polyline.front(), x, y));
        EXPECT_EQ(in->lastCell->next, out->firstCell);
        EXPECT_EQ(out->firstCell->previous, in->lastCell);
    };
    // Eastbound then northbound traffic turns left: its right side is the outer corner.
    meet(west->firstIncomingLane(), north->firstOutgoingLane(), 4.5, -4.5);
    meet(north->firstIncomingLane(), west->firstOutgoingLane(), -4.5, 4.5);
    meet(west->incomingTramTrack(), north->outgoingTramTrack(), 1.5, -1.5);
    meet(north->incomingTramTrack(), west->outgoingTramTrack(), -1.5, 1.5);
    EXPECT_EQ(west->arrivingEdge().back(), north->departingEdge().front());
    EXPECT_TRUE(testmaps::isAt(north->departingEdge().front(), 6, -6));
    EXPECT_EQ(north->arrivingEdge().back(), west->departingEdge().front());
    EXPECT_TRUE(testmaps::isAt(west->departingEdge().front(), -6, 6));
}

INSTANTIATE_TEST_SUITE_P(BothOrientations, NetworkConvertorContinuation, ::testing::Bool());

TEST(NetworkConvertorContinuationStraight, CollinearPiecesShareTheirEndPoints)
{
    // A bus stop splits a straight tram street; both halves continue each other exactly.
    TestNetwork net;
    net.node(1, -40, 10);
    net.node(2, 0, 10);
    net.node(3, 40, 10);
    net.way({10, {1, 2, 3}, 1, 1, false, true});
    net.osm.addBusStop("Middle", net.nodeById(2));
    net.run(1, 8);
    const WayBinding *west = net.binding(10, 0);
    const WayBinding *east = net.binding(10, 1);
    ASSERT_NE(east, nullptr);
    EXPECT_EQ(west->forward.lanes[0]->polyline.back(), east->forward.lanes[0]->polyline.front());
    EXPECT_EQ(east->backward.lanes[0]->polyline.back(), west->backward.lanes[0]->polyline.front());
    EXPECT_EQ(west->forward.tramLane->polyline.back(), east->forward.tramLane->polyline.front());
    EXPECT_EQ(west->rightEdge.back(), east->rightEdge.front());
    EXPECT_EQ(east->leftEdge.back(), west->leftEdge.front());
    EXPECT_EQ(west->rightEdge.size(), 2u);
    // The cells run on at a quarter metre across the joint.
    const Cell *last = west->forward.lanes[0]->lastCell;
    const Cell *first = east->forward.lanes[0]->firstCell;
    EXPECT_NEAR(geo::distance(last->location, first->location), 0.25, 1e-3);
}

class NetworkConvertorCrossroad : public ::testing::TestWithParam<double>
{};

TEST_P(NetworkConvertorCrossroad, FourArmLanesEndThreeMetresFromTheNode)
{
    const double rotation = GetParam();
    TestNetwork net;
    net.node(1, 0, 0);
    for (int arm = 0; arm < 4; ++arm) {
        const Location l = testmaps::polar(0, 0, 50, rotation + 90.0 * arm);
        net.osm.addNode(10 + arm, l);
        // Alternate the direction of the ways: ends at the node are start and end ends.
        net.way({100 + arm, arm % 2 ? std::vector<int64_t>{1, 10 + arm} : std::vector<int64_t>{10 + arm, 1}});
    }
    net.run(1, 8);
    const NodeBinding *node = net.bindings.findNodeBinding(net.nodeById(1));
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->wayEnds.size(), 4u);
    for (const WayEnd *end : node->wayEnds) {
        // Unit vector along the arm, away from the node, and to its right.
        const Location armNode =
            end->isStart ? end->way->way->lastNode()->getLocation() : end->way->way->firstNode()->getLocation();
        const double len = std::hypot(xOf(armNode), yOf(armNode));
        const double ux = xOf(armNode) / len, uy = yOf(armNode) / len;
        auto along = [&](const Location &l) { return xOf(l) * ux + yOf(l) * uy; };
        auto across = [&](const Location &l) { return std::fabs(xOf(l) * uy - yOf(l) * ux); };
        const Location inEnd = end->firstIncomingLane()->polyline.back();
        const Location outStart = end->firstOutgoingLane()->polyline.front();
        EXPECT_NEAR(along(inEnd), 3.0, CM) << "arm " << end->way->way->getId();
        EXPECT_NEAR(across(inEnd), 1.5, CM);
        EXPECT_NEAR(along(outStart), 3.0, CM) << "arm " << end->way->way->getId();
        EXPECT_NEAR(across(outStart), 1.5, CM);
        // The edges meet the neighbouring arms' edges at the corners.
        const WayEnd *right = BindingData::next(node, end);
        EXPECT_EQ(end->arrivingEdge().back(), right->departingEdge().front());
        EXPECT_NEAR(along(end->arrivingEdge().back()), 3.0, CM);
        EXPECT_NEAR(across(end->arrivingEdge().back()), 3.0, CM);
        // The lanes' cells stop short of the crossroad.
        const Cell *last = end->firstIncomingLane()->lastCell;
        ASSERT_NE(last, nullptr);
        EXPECT_NEAR(along(last->location), 3.125, CM);
    }
    expectSoundNetwork(net);
}

INSTANTIATE_TEST_SUITE_P(Rotations, NetworkConvertorCrossroad, ::testing::Values(0.0, 20.0, 37.0));

TEST(NetworkConvertorCrossroad, NearlyStraightEdgeStartsAreSnapped)
{
    // A T-junction: the through road bends by 2 degrees at the node, so the two edges on its
    // south side start a few centimetres apart and are snapped without an intersection search.
    TestNetwork net;
    net.node(1, 0, 0);
    net.osm.addNode(2, at(-50, 0));
    net.osm.addNode(3, testmaps::polar(0, 0, 50, 92));
    net.osm.addNode(4, at(0, 50));
    net.way({10, {2, 1}});
    net.way({11, {1, 3}});
    net.way({12, {1, 4}});
    net.run(1, 4);
    const WayEnd *west = net.bindings.findWayEnd(net.binding(10), net.nodeById(1));
    const WayEnd *east = net.bindings.findWayEnd(net.binding(11), net.nodeById(1));
    const NodeBinding *node = net.bindings.findNodeBinding(net.nodeById(1));
    ASSERT_EQ(BindingData::next(node, west), east);
    const Polyline eastBefore = east->departingEdge();
    const double gap = geo::distance(west->arrivingEdge().back(), eastBefore.front());
    EXPECT_GT(gap, 0.0);
    EXPECT_LT(gap, lanegeometry::CORNER_SNAP);
    net.run(5, 5);
    EXPECT_EQ(west->arrivingEdge().back(), eastBefore.front());
    EXPECT_EQ(east->departingEdge(), eastBefore);
}

TEST(NetworkConvertorCrossroad, LoopWhoseEndsAreNeighboursClosesItsInnerEdge)
{
    // A square loop from the crossroad node round anticlockwise, with two more arms (west and
    // south). The loop's inner edge runs from one of its ends to the other round the inside of
    // the square: its first and last segments cross at the inner corner (3, 3).
    TestNetwork net;
    net.node(1, 0, 0);
    net.node(2, 40, 0);
    net.node(3, 40, 40);
    net.node(4, 0, 40);
    net.node(6, -40, 0);
    net.node(7, 0, -40);
    net.way({10, {1, 2, 3, 4, 1}});
    net.way({11, {6, 1}});
    net.way({12, {1, 7}});
    net.run(1, 5);
    const WayBinding *loop = net.binding(10);
    const NodeBinding *node = net.bindings.findNodeBinding(net.nodeById(1));
    ASSERT_EQ(BindingData::next(node, loop->startEnd), loop->endEnd);
    const Polyline &inner = loop->leftEdge;
    EXPECT_EQ(inner.front(), inner.back());
    EXPECT_TRUE(testmaps::isAt(inner.front(), 3, 3));
    EXPECT_EQ(inner.size(), 8u);
    net.run(6, 13);
    expectSoundNetwork(net);
}

TEST(NetworkConvertorDegenerate, OddGeometryConvertsToASoundNetwork)
{
    // Each map must convert without NaN, crash or endless loop. Nodes: a 40 m square 1-2-3-4 with
    // its centre 5, node 6 on the spot of 2, node 7 on the spot of 1, and arms 8 (west), 9 (south).
    struct Case
    {
        const char *name;
        std::vector<testmaps::TestWay> ways;
        size_t wayBindings;
    };
    const Case cases[] = {
        {"back and forth", {{10, {1, 2, 1}}}, 1},
        {"repeated interior node", {{10, {1, 2, 3, 2, 4}}}, 3},
        {"consecutive repeat", {{10, {1, 1, 2, 2, 3}}}, 4},
        {"only one node, repeated", {{10, {1, 1}}}, 1},
        {"zero-length segment", {{10, {1, 2, 6, 3}, 2, 1, false, true}}, 1},
        {"way on one spot", {{10, {1, 7}}, {11, {7, 2}}}, 2},
        {"missing references", {{10, {1, 999}}, {11, {998, 999}}, {12, {1, 2}}}, 1},
        {"closed tram way", {{10, {1, 2, 3, 4, 1}, 1, 1, false, true}}, 1},
        {"loop at a crossroad", {{10, {1, 2, 3, 4, 1}}, {11, {8, 1}}, {12, {1, 9}, 2, 0, true}}, 3},
        {"shared nodes", {{10, {1, 5, 3}, 1, 1, false, true}, {11, {1, 5, 3}}, {12, {3, 5, 1}, 1, 0, true}}, 6},
        {"hairpin and spike", {{10, {1, 3, 2, 5, 1, 4}, 3, 2}}, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestNetwork net;
        const double xy[][2] = {{0, 0}, {40, 0}, {40, 40}, {0, 40}, {20, 20}, {40, 0}, {0, 0}, {-40, 0}, {0, -40}};
        for (int id = 1; id <= 9; ++id)
            net.node(id, xy[id - 1][0], xy[id - 1][1]);
        {
            StderrCapture quiet;
            for (const testmaps::TestWay &w : c.ways)
                net.way(w);
        }
        net.run();
        EXPECT_EQ(net.bindings.wayBindings().size(), c.wayBindings);
        expectSoundNetwork(net);
    }
}

TEST(NetworkConvertorDegenerate, WayWithoutGeometryIsReportedAndSkipped)
{
    TestNetwork net;
    net.node(1, 0, 0);
    {
        StderrCapture quiet;
        net.way({10, {1, 999}});
    }
    net.run(1, 3);
    EXPECT_TRUE(net.bindings.wayBindings().empty());
    EXPECT_TRUE(net.bindings.nodeBindings().empty());
}

TEST(NetworkConvertorDegenerate, RandomTanglesConvertToSoundNetworks)
{
    // Nodes on a coarse grid (so that some coincide), ways that revisit nodes, stops anywhere.
    for (uint64_t seed = 1; seed <= 60; ++seed) {
        RandomStream random(seed);
        auto pick = [&random](int n) { return random.next() % n; };
        TestNetwork net;
        for (int id = 1; id <= 12; ++id)
            net.osm.addNode(id, at(5.0 * pick(12), 5.0 * pick(12)));
        // Two nodes on one spot, with different ids.
        net.osm.addNode(13, net.nodeById(1)->getLocation());
        for (int w = 0; w < 8; ++w) {
            testmaps::TestWay drawn{100 + w, {}};
            const int length = 2 + pick(5);
            for (int i = 0; i < length; ++i)
                drawn.nodes.push_back(1 + pick(13));
            drawn.lanesForward = pick(4);
            drawn.lanesBackward = pick(3);
            drawn.oneway = pick(3) == 0;
            drawn.tram = pick(3) == 0;
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
