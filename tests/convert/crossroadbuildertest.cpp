// Paths through crossroads, their cells and links, the right-of-way rules, the kinds and the
// signals, on small maps built in code.

#include "convert/crossroadbuilder.h"

#include "model/semaphore.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

using testmaps::TestNetwork;

namespace {

LaneBinding *in(const WayEnd *e)
{
    return e ? e->firstIncomingLane() : nullptr;
}

LaneBinding *out(const WayEnd *e)
{
    return e ? e->firstOutgoingLane() : nullptr;
}

/// Exit lanes of the paths from `from`, in path order.
std::vector<LaneBinding *> exitsOf(const NodeBinding *node, LaneBinding *from)
{
    std::vector<LaneBinding *> exits;
    auto it = node->crossroadPaths.find(from);
    if (it != node->crossroadPaths.end())
        for (const CrossroadPath &p : it->second)
            exits.push_back(p.to);
    return exits;
}

const CrossroadPath *pathOf(const NodeBinding *node, LaneBinding *from, LaneBinding *to)
{
    auto it = node->crossroadPaths.find(from);
    if (it == node->crossroadPaths.end())
        return nullptr;
    for (const CrossroadPath &p : it->second)
        if (p.to == to)
            return &p;
    return nullptr;
}

using Rules = std::map<LaneBinding *, std::vector<LaneBinding *>>;

/// The rule entries of the record (from, to) in `records`, as a plain map; empty if no record.
Rules rulesOf(const std::vector<ConflictRecord> &records, LaneBinding *from, LaneBinding *to)
{
    Rules rules;
    if (const ConflictRecord *r = Crossroad::findRecord(records, from, to))
        for (const auto &entry : r->lanes)
            rules[entry.first] = entry.second;
    return rules;
}

/// Four two-way single-lane roads meeting at node 1: west (way 10), south (11), east (12) and
/// north (13), drawn alternately towards and away from the node.
struct FourArms : TestNetwork
{
    FourArms()
    {
        cross();
        way({10, {2, 1}});
        way({11, {1, 3}});
        way({12, {4, 1}});
        way({13, {1, 5}});
        run();
        w = end(10, 1);
        s = end(11, 1);
        e = end(12, 1);
        n = end(13, 1);
        junction = nodeBinding(1);
        crossroad = crossroadAt(1);
    }
    WayEnd *w, *s, *e, *n;
    NodeBinding *junction;
    Crossroad *crossroad;
};

} // namespace

TEST(CrossroadPaths, FourArmsGiveRightStraightLeftWithoutUTurnLinkedThroughPathCells)
{
    FourArms map;
    ASSERT_NE(map.crossroad, nullptr);
    ASSERT_EQ(map.sim.crossroads.size(), 1u);
    EXPECT_EQ(map.crossroad->kind, Crossroad::RoadOnly);
    EXPECT_EQ(map.crossroad->semaphore, nullptr);
    // Each incoming lane: the arm on its right, straight on, the arm on its left.
    const std::pair<WayEnd *, std::vector<WayEnd *>> expected[] = {{map.w, {map.s, map.e, map.n}},
                                                                   {map.s, {map.e, map.n, map.w}},
                                                                   {map.e, {map.n, map.w, map.s}},
                                                                   {map.n, {map.w, map.s, map.e}}};
    for (const auto &entry : expected) {
        LaneBinding *from = in(entry.first);
        std::vector<LaneBinding *> exits;
        for (WayEnd *t : entry.second)
            exits.push_back(out(t));
        EXPECT_EQ(exitsOf(map.junction, from), exits) << "from way " << entry.first->way->way->getId();
        // The crossroad holds the same ways out, each starting at its path's first cell.
        const std::vector<PathPair> *pairs = map.crossroad->pathsFrom(from);
        ASSERT_NE(pairs, nullptr);
        ASSERT_EQ(pairs->size(), 3u);
        // The entry's last cell marks the crossroad and has no next link of its own.
        EXPECT_EQ(from->lastCell->crossroad, map.crossroad);
        EXPECT_EQ(from->lastCell->next, nullptr);
        for (size_t i = 0; i < 3; ++i) {
            const CrossroadPath *p = pathOf(map.junction, from, exits[i]);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ((*pairs)[i].exitLane, exits[i]);
            EXPECT_EQ((*pairs)[i].pathCell, p->firstCell);
            EXPECT_EQ(p->firstCell->previous, from->lastCell);
            EXPECT_EQ(p->lastCell->next, p->to->firstCell);
            // The exit lane's first cell keeps no back link: several paths lead into it.
            EXPECT_EQ(p->to->firstCell->previous, nullptr);
            size_t cells = 1;
            for (const Cell *c = p->firstCell; c != p->lastCell; c = c->next, ++cells) {
                ASSERT_LT(cells, 1000u);
                EXPECT_TRUE(c->inCrossroad && !c->wayLink && !c->crossroad);
            }
        }
    }
    for (const Cell *c : map.sim.cells)
        EXPECT_TRUE(linksAreSound(c));
}

TEST(CrossroadPathGeometry, StraightOnIsOneSegmentAndARightTurnCutsTheCorner)
{
    FourArms map;
    const CrossroadPath *straight = pathOf(map.junction, in(map.w), out(map.e));
    ASSERT_NE(straight, nullptr);
    ASSERT_EQ(straight->polyline.size(), 2u);
    EXPECT_EQ(straight->polyline[0], in(map.w)->polyline.back());
    EXPECT_EQ(straight->polyline[1], out(map.e)->polyline.front());

    // Eastbound (south of the centre line) into southbound (west of it): the lanes end 3 m from
    // the node and their tails meet at (−1.5, −1.5).
    const CrossroadPath *right = pathOf(map.junction, in(map.w), out(map.s));
    ASSERT_NE(right, nullptr);
    const Polyline &line = right->polyline;
    ASSERT_EQ(line.size(), 6u);
    EXPECT_EQ(line[1], line[2]);
    EXPECT_EQ(line[3], line[4]);
    EXPECT_TRUE(testmaps::isAt(line[0], -3.0, -1.5));
    // f = 0.15 of the way from each end to the corner: 1.5 m × 0.15 = 0.225 m.
    EXPECT_TRUE(testmaps::isAt(line[1], -2.775, -1.5));
    EXPECT_TRUE(testmaps::isAt(line[3], -1.5, -2.775));
    EXPECT_TRUE(testmaps::isAt(line[5], -1.5, -3.0));
    // The left turn W→N: tails meet at (1.5, −1.5), 4.5 m from both lane ends.
    const CrossroadPath *left = pathOf(map.junction, in(map.w), out(map.n));
    ASSERT_TRUE(left && left->polyline.size() == 6u);
    EXPECT_TRUE(testmaps::isAt(left->polyline[1], -3.0 + 0.15 * 4.5, -1.5));
    EXPECT_TRUE(testmaps::isAt(left->polyline[3], 1.5, 3.0 - 0.15 * 4.5));
}

TEST(CrossroadPathGeometry, ShallowTurnCutsTheCornerAtThreeTenths)
{
    // A Y: from the west, one arm goes on east, the other turns 45 degrees to the south-east.
    TestNetwork net;
    net.node(1, 0, 0);
    net.node(2, -50, 0);
    net.node(3, 50, 0);
    net.osm.addNode(4, testmaps::polar(0, 0, 50, 135));
    net.way({10, {2, 1}});
    net.way({11, {1, 3}});
    net.way({12, {1, 4}});
    net.run();
    const NodeBinding *node = net.nodeBinding(1);
    const CrossroadPath *p = pathOf(node, in(net.end(10, 1)), out(net.end(12, 1)));
    ASSERT_NE(p, nullptr);
    const Polyline &from = p->from->polyline;
    const Polyline &to = p->to->polyline;
    const Location a = from.back();
    const Location b = to.front();
    const double t = geo::bearingDifference(geo::bearing(a, from[from.size() - 2]), geo::bearing(b, to[1]));
    ASSERT_GT(t, 120.0);
    ASSERT_LT(t, 170.0);
    bool found = false;
    const Location corner = geo::tailsIntersection(from[from.size() - 2], a, to[1], b, found);
    ASSERT_TRUE(found);
    ASSERT_EQ(p->polyline.size(), 6u);
    EXPECT_NEAR(geo::distance(p->polyline[1], geo::intermediateLocation(a, corner, 0.3)), 0.0, 1e-3);
    EXPECT_NEAR(geo::distance(p->polyline[3], geo::intermediateLocation(b, corner, 0.3)), 0.0, 1e-3);
}

TEST(CrossroadRules, StraightOnYieldsToTheRightTurnsRightFreelyAndLeftYieldsToAll)
{
    // For W: W→E yields to S→N, S→W and S→E; W→S crosses nothing; W→N yields to E→W, E→N, S→W
    // and S→N. The same holds for every arm, whatever the direction its way is drawn in.
    FourArms map;
    const Crossroad *x = map.crossroad;
    for (WayEnd *f : {map.w, map.s, map.e, map.n}) {
        WayEnd *r = BindingData::next(map.junction, f); // on the right
        WayEnd *o = BindingData::next(map.junction, r); // opposite
        WayEnd *l = BindingData::next(map.junction, o); // on the left
        ASSERT_EQ(BindingData::next(map.junction, l), f);
        EXPECT_EQ(rulesOf(x->conflicts, in(f), out(o)), (Rules{{in(r), {out(l), out(f), out(o)}}}));
        EXPECT_EQ(Crossroad::findRecord(x->conflicts, in(f), out(r)), nullptr);
        EXPECT_EQ(rulesOf(x->conflicts, in(f), out(l)), (Rules{{in(o), {out(f), out(l)}}, {in(r), {out(f), out(l)}}}));
    }
    // Eight records: straight on and left turn of each arm. Without tram tracks nothing has to
    // yield on green.
    EXPECT_EQ(x->conflicts.size(), 8u);
    EXPECT_TRUE(x->signalConflicts.empty());
}

TEST(CrossroadRules, RoadPathsYieldToTramsAndTramsOnlyToTrams)
{
    // A tram street west–east (ways 10 and 12) crossed by plain roads south (11) and north (13).
    TestNetwork net;
    net.cross();
    net.way({10, {2, 1}, 1, 1, false, true});
    net.way({11, {1, 3}});
    net.way({12, {4, 1}, 1, 1, false, true});
    net.way({13, {1, 5}});
    net.run();
    const Crossroad *x = net.crossroadAt(1);
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->kind, Crossroad::Mixed);
    WayEnd *w = net.end(10, 1), *s = net.end(11, 1), *e = net.end(12, 1), *n = net.end(13, 1);
    // Tram paths only along the tram street.
    EXPECT_EQ(exitsOf(net.nodeBinding(1), w->incomingTramTrack()), std::vector<LaneBinding *>{e->outgoingTramTrack()});
    EXPECT_EQ(exitsOf(net.nodeBinding(1), e->incomingTramTrack()), std::vector<LaneBinding *>{w->outgoingTramTrack()});
    // S→N yields to road traffic from the east and to the trams in both directions.
    EXPECT_EQ(rulesOf(x->conflicts, in(s), out(n)), (Rules{{in(e), {out(w), out(s), out(n)}},
                                                           {e->incomingTramTrack(), {w->outgoingTramTrack()}},
                                                           {w->incomingTramTrack(), {e->outgoingTramTrack()}}}));
    // A tram never yields to road traffic, and nothing crosses a straight tram path from its right.
    EXPECT_EQ(Crossroad::findRecord(x->conflicts, w->incomingTramTrack(), e->outgoingTramTrack()), nullptr);
    EXPECT_EQ(Crossroad::findRecord(x->conflicts, e->incomingTramTrack(), w->outgoingTramTrack()), nullptr);
    // A car turning left from the tram street lets the tram of its own arm pass even on green.
    EXPECT_EQ(rulesOf(x->signalConflicts, in(w), out(n)), (Rules{{w->incomingTramTrack(), {e->outgoingTramTrack()}}}));
    // Its right turn crosses no track on its right.
    EXPECT_EQ(Crossroad::findRecord(x->signalConflicts, in(w), out(s)), nullptr);
    for (const ConflictRecord &r : x->signalConflicts)
        EXPECT_TRUE(r.entryKey == in(w) || r.entryKey == in(e));
}

TEST(CrossroadLinks, LinkTakesItsRightMostExitAndTwoWayMainRoadSkipsALinkBeyondTheMainRoad)
{
    // Node 1: west main road (10), south link (11), east main road (12), north link (13).
    struct Case
    {
        const char *name;
        bool westOneWayIn, eastOneWayIn;
        int64_t from;
        std::vector<int64_t> exits;
    };
    const Case cases[] = {
        {"link from the south turns right into the east road", false, false, 11, {12}},
        {"without an exit east, the link goes on to the north link", false, true, 11, {13}},
        {"two-way main road: first link and main road only", false, false, 10, {11, 12}},
        {"one-way main road: every arm", true, false, 10, {11, 12, 13}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestNetwork net;
        net.cross();
        net.road(10, {2, 1}, c.westOneWayIn, false);
        net.road(11, {1, 3}, false, true);
        net.road(12, {4, 1}, c.eastOneWayIn, false);
        net.road(13, {1, 5}, false, true);
        net.run();
        std::vector<LaneBinding *> exits;
        for (int64_t id : c.exits)
            exits.push_back(out(net.end(id, 1)));
        EXPECT_EQ(exitsOf(net.nodeBinding(1), in(net.end(c.from, 1))), exits);
    }
}

namespace {

/// A T of ways 10 (west, into node 1), 11 (east) and 12 (north), each laid out as `shape`; the
/// west one optionally one-way away from the node.
void tee(TestNetwork &net, testmaps::TestWay shape, bool signalled = false, bool westLeaves = false)
{
    net.cross(signalled);
    const std::vector<int64_t> nodes[] = {
        westLeaves ? std::vector<int64_t>{1, 2} : std::vector<int64_t>{2, 1}, {1, 4}, {1, 5}};
    for (int i = 0; i < 3; ++i) {
        shape.id = 10 + i;
        shape.nodes = nodes[i];
        if (westLeaves)
            shape.oneway = i == 0;
        shape.lanesBackward = westLeaves && i == 0 ? 0 : shape.lanesForward;
        net.way(shape);
    }
    net.run();
}

} // namespace

TEST(CrossroadSignals, SignalledTJunctionGetsOneSemaphoreWithAGroupPerArrivingArm)
{
    // The west arm either arrives or is one-way away from the node, when it gets no group.
    for (bool westLeaves : {false, true}) {
        SCOPED_TRACE(westLeaves ? "west arm leaves" : "west arm arrives");
        TestNetwork net;
        tee(net, {0, {}}, true, westLeaves);
        ASSERT_EQ(net.sim.semaphores.size(), 1u);
        const Semaphore *semaphore = net.sim.semaphores[0];
        EXPECT_EQ(net.crossroadAt(1)->semaphore, semaphore);
        std::vector<WayEnd *> groups = net.nodeBinding(1)->wayEnds;
        if (westLeaves)
            groups.erase(std::find(groups.begin(), groups.end(), net.end(10, 1)));
        EXPECT_EQ(semaphore->groups(), groups); // in way-end order: the first starts green
    }
}

TEST(CrossroadSignals, SignalledContinuationAndBoundaryGetNone)
{
    TestNetwork net;
    net.node(1, 0, 0, true);
    net.node(2, -50, 0, true);
    net.node(3, 50, 0);
    net.way({10, {2, 1}});
    net.way({11, {1, 3}});
    net.run();
    EXPECT_TRUE(net.sim.crossroads.empty());
    EXPECT_TRUE(net.sim.semaphores.empty());
}

TEST(CrossroadKind, TramsOnlyRoadsOnlyAndBoth)
{
    struct Case
    {
        const char *name;
        testmaps::TestWay shape;
        int32_t kind;
        size_t paths;
    };
    const Case cases[] = {{"tracks only", {0, {}, 0, 0, false, true, false}, Crossroad::TramOnly, 6},
                          {"roads only", {0, {}, 1, 1, false, false, true}, Crossroad::RoadOnly, 6},
                          {"tram streets", {0, {}, 1, 1, false, true, true}, Crossroad::Mixed, 12}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestNetwork net;
        tee(net, c.shape);
        ASSERT_EQ(net.sim.crossroads.size(), 1u);
        EXPECT_EQ(net.sim.crossroads[0]->kind, c.kind);
        size_t paths = 0;
        for (const auto &entry : net.sim.crossroads[0]->paths)
            paths += entry.second.size();
        EXPECT_EQ(paths, c.paths);
    }
}

TEST(CrossroadKind, CrossroadWithoutPathsIsStillCountedAsKindOne)
{
    // Three one-way roads all pointing into the node: nothing leaves it.
    TestNetwork net;
    net.cross();
    net.way({10, {2, 1}, 1, 0, true});
    net.way({11, {4, 1}, 1, 0, true});
    net.way({12, {5, 1}, 1, 0, true});
    net.run();
    ASSERT_EQ(net.sim.crossroads.size(), 1u);
    EXPECT_EQ(net.sim.crossroads[0]->kind, Crossroad::TramOnly);
    EXPECT_TRUE(net.sim.crossroads[0]->paths.empty());
    // The lanes simply end: a car reaching the node leaves the network there.
    EXPECT_EQ(in(net.end(10, 1))->lastCell->crossroad, nullptr);
    EXPECT_EQ(in(net.end(10, 1))->lastCell->next, nullptr);
}

TEST(CrossroadDegenerate, ArmsWithEqualBearingsGiveEachPathOnce)
{
    // Ways 10 and 11 share all their nodes; way 12 touches their shared interior node 2, so the
    // node has five arms in two pairs of equal bearing.
    TestNetwork net;
    net.node(1, -50, 0);
    net.node(2, 0, 0);
    net.node(3, 50, 0);
    net.node(4, 0, 50);
    net.way({10, {1, 2, 3}});
    net.way({11, {1, 2, 3}});
    net.way({12, {2, 4}});
    net.run();
    const NodeBinding *node = net.nodeBinding(2);
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->wayEnds.size(), 5u);
    for (WayEnd *e : node->wayEnds) {
        const std::vector<WayEnd *> right = CrossroadBuilder::armsBetween(node, e, e, true);
        EXPECT_LE(right.size(), node->wayEnds.size() - 1);
        EXPECT_EQ(std::set<WayEnd *>(right.begin(), right.end()).size(), right.size()) << "an arm met twice";
        for (const WayEnd *a : right)
            EXPECT_NE(a, e);
    }
    for (const auto &entry : node->crossroadPaths) {
        std::set<LaneBinding *> exits;
        for (const CrossroadPath &p : entry.second) {
            EXPECT_TRUE(exits.insert(p.to).second) << "two paths to one exit";
            EXPECT_NE(net.bindings.wayEndWithOutgoing(p.to), net.bindings.wayEndWithIncoming(p.from));
        }
    }
    for (const Cell *c : net.sim.cells)
        EXPECT_TRUE(linksAreSound(c));
}
