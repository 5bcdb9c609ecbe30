#include "convert/networkconvertor.h"

#include "convert/lanegeometry.h"
#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/random.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "testmaps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using testmaps::addWay;
using testmaps::at;
using testmaps::countOccurrences;
using testmaps::StderrCapture;
using testmaps::xOf;
using testmaps::yOf;

namespace {

constexpr double CM = 0.01;

/// A map under construction and the network converted from it.
struct Network
{
    OSMData osm;
    SimulationData sim;
    BindingData bindings;
    std::string log;

    Node *node(int64_t id, double x, double y) { return osm.addNode(id, at(x, y)); }
    void way(const testmaps::TestWay &w) { addWay(osm, w); }

    void run(int first = 1, int last = 13)
    {
        StderrCapture capture;
        NetworkConvertor convertor(&osm, &sim, &bindings);
        if (first == 1 && last == 13)
            convertor.convert();
        else
            convertor.runStages(first, last);
        log += capture.text();
    }

    std::vector<std::vector<int64_t>> nodeIdsOfWays() const
    {
        std::vector<std::vector<int64_t>> result;
        for (const Way *w : osm.ways()->ways()) {
            result.emplace_back();
            for (const Node *n : w->nodes())
                result.back().push_back(n->getId());
        }
        return result;
    }

    WayBinding *binding(int64_t wayId, size_t piece = 0) const
    {
        size_t seen = 0;
        for (WayBinding *w : bindings.wayBindings()) {
            if (w->way->getId() == wayId && seen++ == piece)
                return w;
        }
        return nullptr;
    }
};

bool finite(const Location &l)
{
    return std::isfinite(l.lat) && std::isfinite(l.lon);
}

std::vector<LaneBinding *> lanesOf(const WayBinding *w)
{
    std::vector<LaneBinding *> lanes(w->forward.lanes.begin(), w->forward.lanes.end());
    lanes.insert(lanes.end(), w->backward.lanes.begin(), w->backward.lanes.end());
    if (w->forward.tramLane)
        lanes.push_back(w->forward.tramLane);
    if (w->backward.tramLane)
        lanes.push_back(w->backward.tramLane);
    return lanes;
}

/// The checks every converted network must pass, however odd its map.
void expectSoundNetwork(const Network &net)
{
    for (const WayBinding *w : net.bindings.wayBindings()) {
        for (const Polyline *line : {&w->centreLine, &w->rightEdge, &w->leftEdge}) {
            EXPECT_EQ(line->size() % 2, 0u);
            for (const Location &l : *line)
                EXPECT_TRUE(finite(l)) << "way " << w->way->getId();
        }
        for (const LaneBinding *lane : lanesOf(w)) {
            EXPECT_EQ(lane->polyline.size() % 2, 0u) << "way " << w->way->getId();
            EXPECT_GE(lane->polyline.size(), 2u) << "way " << w->way->getId();
            for (const Location &l : lane->polyline)
                EXPECT_TRUE(finite(l)) << "way " << w->way->getId();
            ASSERT_NE(lane->firstCell, nullptr) << "way " << w->way->getId();
            ASSERT_NE(lane->lastCell, nullptr);
            const size_t n = lanegeometry::countCells(lane->firstCell, lane->lastCell, net.sim.cells.size());
            EXPECT_GE(n, 1u);
            // The walk from the first cell reaches the last one.
            const Cell *c = lane->firstCell;
            for (size_t i = 1; i < n; ++i)
                c = c->next;
            EXPECT_EQ(c, lane->lastCell);
        }
    }
    for (const Cell *c : net.sim.cells) {
        EXPECT_TRUE(finite(c->location)) << "cell " << c->id;
        EXPECT_FALSE(c->location.lat == 0.0 && c->location.lon == 0.0) << "cell " << c->id;
        EXPECT_TRUE(linksAreSound(c));
    }
}

} // namespace

TEST(NetworkConvertorStages, AnnouncesEveryStageAndTheStatistics)
{
    Network net;
    net.node(1, 0, 0);
    net.node(2, 10, 0);
    net.way({1, {1, 2}});
    net.run();
    const char *expected[] = {"Splitting ways...",
                              "    Split count (ways) = 0",
                              "    Split count (tram stops) = 0",
                              "    Split count (bus stops) = 0",
                              "Cyclic ways test...",
                              "Creating ways...",
                              "    NodeBinding count = 2",
                              "Aligning ways...",
                              "Aligning crossroad edges...",
                              "Creating crossroad ways...",
                              "Creating crossroad cells...",
                              "Creating way cells...",
                              "Connecting cells ...",
                              "Creating stops...",
                              "Creating generators...",
                              "Creating right-of-way rules...",
                              "Creating semaphores...",
                              "Covertion done!"};
    size_t pos = 0;
    for (const char *line : expected) {
        const std::string full = std::string("NetworkConvertor: ") + line + "\n";
        const size_t found = net.log.find(full, pos);
        ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line;
        pos = found + full.size();
    }
    EXPECT_NE(net.log.find("NetworkConvertor:     Cells ........ " + std::to_string(net.sim.cells.size()) + "\n"),
              std::string::npos);
}

TEST(NetworkConvertorSplit, SharedInteriorNodeSplitsBothWays)
{
    Network net;
    net.node(1, -50, 0);
    net.node(2, 50, 0);
    net.node(3, 0, 0);
    net.node(4, 0, -50);
    net.node(5, 0, 50);
    net.way({10, {1, 3, 2}});
    net.way({11, {4, 3, 5}});
    net.run(1, 1);
    EXPECT_EQ(countOccurrences(net.log, "NetworkConvertor:     Split count (ways) = 2\n"), 1);
    const std::vector<std::vector<int64_t>> expected = {{1, 3}, {4, 3}, {3, 2}, {3, 5}};
    EXPECT_EQ(net.nodeIdsOfWays(), expected);
    ASSERT_EQ(net.osm.ways()->getAllById(10).size(), 2u);
    EXPECT_EQ(net.osm.ways()->getAllById(11).size(), 2u);
    EXPECT_EQ(net.osm.ways()->getAllById(10)[1], net.osm.ways()->ways()[2]);
}

TEST(NetworkConvertorSplit, InteriorTouchingAnotherWaysEndIsSplit)
{
    Network net;
    net.node(1, -50, 0);
    net.node(2, 50, 0);
    net.node(3, 0, 0);
    net.node(4, 0, 50);
    net.way({10, {1, 3, 2}});
    net.way({11, {3, 4}});
    net.run(1, 1);
    EXPECT_EQ(countOccurrences(net.log, "    Split count (ways) = 1\n"), 1);
    const std::vector<std::vector<int64_t>> expected = {{1, 3}, {3, 4}, {3, 2}};
    EXPECT_EQ(net.nodeIdsOfWays(), expected);
}

TEST(NetworkConvertorSplit, WaysSharingOnlyTheirEndsStayWhole)
{
    Network net;
    for (int i = 1; i <= 5; ++i)
        net.node(i, 10.0 * i, 0);
    net.way({10, {1, 2, 3}});
    net.way({11, {3, 4, 5}});
    net.run(1, 1);
    EXPECT_EQ(countOccurrences(net.log, "    Split count (ways) = 0\n"), 1);
    EXPECT_EQ(net.osm.ways()->size(), 2u);
}

TEST(NetworkConvertorSplit, AppendedPiecesAreSplitAgainInTheSamePass)
{
    Network net;
    for (int i = 1; i <= 5; ++i)
        net.node(i, 10.0 * i, 0);
    net.node(6, 20, 20);
    net.node(7, 40, 20);
    net.way({10, {1, 2, 3, 4, 5}});
    net.way({11, {2, 6}});
    net.way({12, {4, 7}});
    net.run(1, 1);
    EXPECT_EQ(countOccurrences(net.log, "    Split count (ways) = 2\n"), 1);
    const std::vector<std::vector<int64_t>> expected = {{1, 2}, {2, 6}, {4, 7}, {2, 3, 4}, {4, 5}};
    EXPECT_EQ(net.nodeIdsOfWays(), expected);
}

TEST(NetworkConvertorSplit, StopsInTheInteriorSplitTheirWay)
{
    Network net;
    for (int i = 1; i <= 6; ++i)
        net.node(i, 10.0 * i, 0);
    net.way({10, {1, 2, 3}, 1, 1, false, true});
    net.way({11, {4, 5, 6}});
    net.osm.addTramStop("Tram", net.osm.nodes()->findById(2));
    net.osm.addBusStop("Bus", net.osm.nodes()->findById(5));
    // A stop on an end node splits nothing.
    net.osm.addBusStop("End", net.osm.nodes()->findById(6));
    net.run(1, 1);
    EXPECT_EQ(countOccurrences(net.log, "    Split count (ways) = 0\n"), 1);
    EXPECT_EQ(countOccurrences(net.log, "    Split count (tram stops) = 1\n"), 1);
    EXPECT_EQ(countOccurrences(net.log, "    Split count (bus stops) = 1\n"), 1);
    const std::vector<std::vector<int64_t>> expected = {{1, 2}, {4, 5}, {2, 3}, {5, 6}};
    EXPECT_EQ(net.nodeIdsOfWays(), expected);
}

TEST(NetworkConvertorSplit, LonelyClosedWayWarnsOnceAndBecomesAContinuation)
{
    Network net;
    net.node(1, 0, 0);
    net.node(2, 50, 0);
    net.node(3, 25, 40);
    net.way({10, {1, 2, 3, 1}});
    net.run();
    EXPECT_EQ(countOccurrences(net.log, "NetworkConvertor:     Attention CYCLIC WAY! way id ==  10\n"), 1);
    EXPECT_EQ(countOccurrences(net.log, "CYCLIC"), 1);
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

TEST(NetworkConvertorWays, NodeBindingsAreCountedOncePerNode)
{
    Network net;
    net.node(1, -50, 0);
    net.node(2, 50, 0);
    net.node(3, 0, 0);
    net.node(4, 0, 50);
    net.way({10, {1, 3, 2}});
    net.way({11, {3, 4}});
    net.run(1, 3);
    // Nodes 1, 3, 4 and 2, in order of first appearance.
    EXPECT_EQ(countOccurrences(net.log, "NetworkConvertor:     NodeBinding count = 4\n"), 1);
    ASSERT_EQ(net.bindings.nodeBindings().size(), 4u);
    EXPECT_EQ(net.bindings.nodeBindings()[0]->node->getId(), 1);
    EXPECT_EQ(net.bindings.nodeBindings()[1]->node->getId(), 3);
    EXPECT_EQ(net.bindings.nodeBindings()[1]->wayEnds.size(), 3u);
    EXPECT_EQ(net.bindings.wayBindings().size(), 3u);
}

class NetworkConvertorContinuation : public ::testing::TestWithParam<bool>
{};

TEST_P(NetworkConvertorContinuation, RightAngleContinuationMeetsAtCommonPoints)
{
    // West arm into the node, then north; the second way runs away from or towards the node.
    const bool secondReversed = GetParam();
    Network net;
    net.node(1, -50, 0);
    net.node(2, 0, 0);
    net.node(3, 0, 50);
    net.way({10, {1, 2}, 1, 1, false, true});
    net.way({11, secondReversed ? std::vector<int64_t>{3, 2} : std::vector<int64_t>{2, 3}, 1, 1, false, true});
    net.run(1, 5);
    const NodeBinding *node = net.bindings.findNodeBinding(net.osm.nodes()->findById(2));
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->wayEnds.size(), 2u);
    const WayEnd *west = node->wayEnds[0];
    const WayEnd *north = node->wayEnds[1];
    auto meet = [](const LaneBinding *in, const LaneBinding *out, double x, double y) {
        ASSERT_NE(in, nullptr);
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(in->polyline.back(), out->polyline.front());
        EXPECT_NEAR(xOf(out->polyline.front()), x, CM);
        EXPECT_NEAR(yOf(out->polyline.front()), y, CM);
    };
    // Eastbound then northbound traffic turns left: its right side is the outer corner.
    meet(west->firstIncomingLane(), north->firstOutgoingLane(), 4.5, -4.5);
    meet(north->firstIncomingLane(), west->firstOutgoingLane(), -4.5, 4.5);
    meet(west->incomingTramTrack(), north->outgoingTramTrack(), 1.5, -1.5);
    meet(north->incomingTramTrack(), west->outgoingTramTrack(), -1.5, 1.5);
    EXPECT_EQ(west->arrivingEdge().back(), north->departingEdge().front());
    EXPECT_NEAR(xOf(north->departingEdge().front()), 6, CM);
    EXPECT_NEAR(yOf(north->departingEdge().front()), -6, CM);
    EXPECT_EQ(north->arrivingEdge().back(), west->departingEdge().front());
    EXPECT_NEAR(xOf(west->departingEdge().front()), -6, CM);
    EXPECT_NEAR(yOf(west->departingEdge().front()), 6, CM);
}

INSTANTIATE_TEST_SUITE_P(BothOrientations, NetworkConvertorContinuation, ::testing::Bool());

TEST(NetworkConvertorContinuationStraight, CollinearPiecesShareTheirEndPoints)
{
    // A bus stop splits a straight tram street; both halves continue each other exactly.
    Network net;
    net.node(1, -40, 10);
    net.node(2, 0, 10);
    net.node(3, 40, 10);
    net.way({10, {1, 2, 3}, 1, 1, false, true});
    net.osm.addBusStop("Middle", net.osm.nodes()->findById(2));
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
    Network net;
    net.node(1, 0, 0);
    for (int arm = 0; arm < 4; ++arm) {
        const Location l = testmaps::polar(0, 0, 50, rotation + 90.0 * arm);
        net.osm.addNode(10 + arm, l);
        // Alternate the direction of the ways: ends at the node are start and end ends.
        net.way({100 + arm, arm % 2 ? std::vector<int64_t>{1, 10 + arm} : std::vector<int64_t>{10 + arm, 1}});
    }
    net.run(1, 8);
    const NodeBinding *node = net.bindings.findNodeBinding(net.osm.nodes()->findById(1));
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
    Network net;
    net.node(1, 0, 0);
    net.osm.addNode(2, at(-50, 0));
    net.osm.addNode(3, testmaps::polar(0, 0, 50, 92));
    net.osm.addNode(4, at(0, 50));
    net.way({10, {2, 1}});
    net.way({11, {1, 3}});
    net.way({12, {1, 4}});
    net.run(1, 4);
    const WayEnd *west = net.bindings.findWayEnd(net.binding(10), net.osm.nodes()->findById(1));
    const WayEnd *east = net.bindings.findWayEnd(net.binding(11), net.osm.nodes()->findById(1));
    const NodeBinding *node = net.bindings.findNodeBinding(net.osm.nodes()->findById(1));
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
    Network net;
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
    const NodeBinding *node = net.bindings.findNodeBinding(net.osm.nodes()->findById(1));
    ASSERT_EQ(BindingData::next(node, loop->startEnd), loop->endEnd);
    const Polyline &inner = loop->leftEdge;
    EXPECT_EQ(inner.front(), inner.back());
    EXPECT_NEAR(xOf(inner.front()), 3, CM);
    EXPECT_NEAR(yOf(inner.front()), 3, CM);
    EXPECT_EQ(inner.size(), 8u);
    net.run(6, 13);
    expectSoundNetwork(net);
}

/// Maps with odd geometry; each must convert without NaN, crash or endless loop.
struct DegenerateCase
{
    const char *name;
    std::function<void(Network &)> build;
    size_t wayBindings;
};

class NetworkConvertorDegenerate : public ::testing::TestWithParam<DegenerateCase>
{};

TEST_P(NetworkConvertorDegenerate, ConvertsToASoundNetwork)
{
    Network net;
    GetParam().build(net);
    net.run();
    EXPECT_EQ(net.bindings.wayBindings().size(), GetParam().wayBindings);
    expectSoundNetwork(net);
}

namespace {

void square(Network &net)
{
    net.node(1, 0, 0);
    net.node(2, 40, 0);
    net.node(3, 40, 40);
    net.node(4, 0, 40);
    net.node(5, 20, 20);
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Maps, NetworkConvertorDegenerate,
                         ::testing::Values(DegenerateCase{"BackAndForth",
                                                          [](Network &n) {
                                                              square(n);
                                                              n.way({10, {1, 2, 1}});
                                                          },
                                                          1},
                                           DegenerateCase{"RepeatedInteriorNode",
                                                          [](Network &n) {
                                                              square(n);
                                                              n.way({10, {1, 2, 3, 2, 4}});
                                                          },
                                                          3},
                                           DegenerateCase{"ConsecutiveRepeat",
                                                          [](Network &n) {
                                                              square(n);
                                                              n.way({10, {1, 1, 2, 2, 3}});
                                                          },
                                                          4},
                                           DegenerateCase{"OnlyOneNodeRepeated",
                                                          [](Network &n) {
                                                              square(n);
                                                              n.way({10, {1, 1}});
                                                          },
                                                          1},
                                           DegenerateCase{"ZeroLengthSegment",
                                                          [](Network &n) {
                                                              square(n);
                                                              n.osm.addNode(6, at(40, 0));
                                                              n.way({10, {1, 2, 6, 3}, 2, 1, false, true});
                                                          },
                                                          1},
                                           DegenerateCase{"WayOnOneSpot",
                                                          [](Network &n) {
                                                              square(n);
                                                              n.osm.addNode(6, at(0, 0));
                                                              n.way({10, {1, 6}});
                                                              n.way({11, {6, 2}});
                                                          },
                                                          2},
                                           DegenerateCase{"MissingReferences",
                                                          [](Network &n) {
                                                              square(n);
                                                              StderrCapture quiet;
                                                              n.way({10, {1, 999}});
                                                              n.way({11, {998, 999}});
                                                              n.way({12, {1, 2}});
                                                          },
                                                          1},
                                           DegenerateCase{"ClosedWay",
                                                          [](Network &n) {
                                                              square(n);
                                                              n.way({10, {1, 2, 3, 4, 1}, 1, 1, false, true});
                                                          },
                                                          1},
                                           DegenerateCase{"LoopAtACrossroad",
                                                          [](Network &n) {
                                                              square(n);
                                                              n.osm.addNode(6, at(-40, 0));
                                                              n.osm.addNode(7, at(0, -40));
                                                              n.way({10, {1, 2, 3, 4, 1}});
                                                              n.way({11, {6, 1}});
                                                              n.way({12, {1, 7}, 2, 0, true});
                                                          },
                                                          3},
                                           DegenerateCase{"SharedNodes",
                                                          [](Network &n) {
                                                              square(n);
                                                              n.way({10, {1, 5, 3}, 1, 1, false, true});
                                                              n.way({11, {1, 5, 3}});
                                                              n.way({12, {3, 5, 1}, 1, 0, true});
                                                          },
                                                          6},
                                           DegenerateCase{"HairpinAndSpike",
                                                          [](Network &n) {
                                                              square(n);
                                                              n.way({10, {1, 3, 2, 5, 1, 4}, 3, 2});
                                                          },
                                                          2}),
                         [](const ::testing::TestParamInfo<DegenerateCase> &info) {
                             return std::string(info.param.name);
                         });

TEST(NetworkConvertorDegenerate, WayWithoutGeometryIsReportedAndSkipped)
{
    Network net;
    square(net);
    {
        StderrCapture quiet;
        net.way({10, {1, 999}});
    }
    net.run(1, 3);
    EXPECT_EQ(countOccurrences(net.log, "NetworkConvertor:     Way without geometry skipped: way id == 10\n"), 1);
    EXPECT_EQ(countOccurrences(net.log, "CYCLIC"), 0);
    EXPECT_TRUE(net.bindings.wayBindings().empty());
    EXPECT_TRUE(net.bindings.nodeBindings().empty());
}

TEST(NetworkConvertorDegenerate, RandomTanglesConvertToSoundNetworks)
{
    // Nodes on a coarse grid (so that some coincide), ways that revisit nodes, stops anywhere.
    for (uint64_t seed = 1; seed <= 60; ++seed) {
        RandomStream random(seed);
        auto pick = [&random](int n) { return random.next() % n; };
        Network net;
        for (int id = 1; id <= 12; ++id)
            net.osm.addNode(id, at(5.0 * pick(12), 5.0 * pick(12)));
        // Two nodes on one spot, with different ids.
        net.osm.addNode(13, net.osm.nodes()->findById(1)->getLocation());
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
        net.osm.addTramStop("T", net.osm.nodes()->findById(1 + pick(13)));
        net.osm.addBusStop("B", net.osm.nodes()->findById(1 + pick(13)));
        SCOPED_TRACE("seed " + std::to_string(seed));
        net.run();
        expectSoundNetwork(net);
        if (HasFatalFailure())
            return;
    }
}
