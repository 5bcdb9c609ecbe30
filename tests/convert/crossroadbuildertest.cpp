// Paths through crossroads, their cells and links, the right-of-way rules, the kinds and the
// signals, on small maps built in code.

#include "convert/crossroadbuilder.h"

#include "model/semaphore.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

#include <map>

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

/// Four two-way roads meeting at node 1: west (way 10), south (11), east (12) and north (13),
/// drawn alternately towards and away from the node; the west and east ones tram streets if asked.
struct FourArms : TestNetwork
{
    explicit FourArms(bool westEastTram = false)
    {
        cross();
        const std::vector<int64_t> nodes[] = {{2, 1}, {1, 3}, {4, 1}, {1, 5}};
        for (int i = 0; i < 4; ++i)
            way({10 + i, nodes[i], 1, 1, false, westEastTram && i % 2 == 0});
        run();
        w = end(10, 1);
        s = end(11, 1);
        e = end(12, 1);
        n = end(13, 1);
        junction = nodeBinding(1);
        crossroad = sim.crossroads.size() == 1 ? sim.crossroads[0] : nullptr;
    }
    WayEnd *w, *s, *e, *n;
    NodeBinding *junction;
    Crossroad *crossroad;
};

} // namespace

TEST(CrossroadPaths, RightStraightLeftWithoutUTurnStraightOnYieldsToTheRightAndLeftToAll)
{
    // The same holds for every arm, whatever the direction its way is drawn in.
    FourArms map;
    const Crossroad *x = map.crossroad;
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->kind, Crossroad::RoadOnly);
    EXPECT_EQ(x->semaphore, nullptr);
    for (WayEnd *f : {map.w, map.s, map.e, map.n}) {
        WayEnd *r = BindingData::next(map.junction, f); // on the right
        WayEnd *o = BindingData::next(map.junction, r); // opposite
        WayEnd *l = BindingData::next(map.junction, o); // on the left
        ASSERT_EQ(BindingData::next(map.junction, l), f);
        const std::vector<LaneBinding *> exits = {out(r), out(o), out(l)};
        EXPECT_EQ(exitsOf(map.junction, in(f)), exits) << "from way " << f->way->way->getId();
        const std::vector<PathPair> *pairs = x->pathsFrom(in(f));
        ASSERT_TRUE(pairs && pairs->size() == 3u);
        // The entry's last cell marks the crossroad and has no next link of its own.
        EXPECT_EQ(in(f)->lastCell->crossroad(), x);
        EXPECT_EQ(in(f)->lastCell->next(), nullptr);
        for (size_t i = 0; i < 3; ++i) {
            EXPECT_EQ((*pairs)[i].exitLane, exits[i]);
            // The exit lane's first cell keeps no back link: several paths lead into it.
            EXPECT_EQ(exits[i]->firstCell->previous(), nullptr);
        }
        EXPECT_EQ(rulesOf(x->conflicts, in(f), out(o)), (Rules{{in(r), {out(l), out(f), out(o)}}}));
        EXPECT_EQ(Crossroad::findRecord(x->conflicts, in(f), out(r)), nullptr);
        EXPECT_EQ(rulesOf(x->conflicts, in(f), out(l)), (Rules{{in(o), {out(f), out(l)}}, {in(r), {out(f), out(l)}}}));
    }
    // Without tram tracks nothing has to yield on green.
    EXPECT_EQ(x->conflicts.size(), 8u);
    EXPECT_TRUE(x->signalConflicts.empty());
    testmaps::expectSoundNetwork(map.bindings, map.sim);
}

TEST(CrossroadRules, RoadPathsYieldToTramsAndTramsOnlyToTrams)
{
    // A tram street west–east crossed by plain roads south and north.
    FourArms net(true);
    const Crossroad *x = net.crossroad;
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->kind, Crossroad::Mixed);
    WayEnd *w = net.w, *s = net.s, *e = net.e, *n = net.n;
    EXPECT_EQ(exitsOf(net.junction, w->incomingTramTrack()), std::vector<LaneBinding *>{e->outgoingTramTrack()});
    // S→N yields to road traffic from the east and to the trams in both directions.
    EXPECT_EQ(rulesOf(x->conflicts, in(s), out(n)), (Rules{{in(e), {out(w), out(s), out(n)}},
                                                           {e->incomingTramTrack(), {w->outgoingTramTrack()}},
                                                           {w->incomingTramTrack(), {e->outgoingTramTrack()}}}));
    // A tram never yields to road traffic.
    EXPECT_EQ(Crossroad::findRecord(x->conflicts, w->incomingTramTrack(), e->outgoingTramTrack()), nullptr);
    // A car turning left from the tram street lets the tram of its own arm pass even on green;
    // its right turn crosses no track.
    EXPECT_EQ(rulesOf(x->signalConflicts, in(w), out(n)), (Rules{{w->incomingTramTrack(), {e->outgoingTramTrack()}}}));
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

TEST(CrossroadKind, TramsOnlyRoadsOnlyAndBothAndASemaphoreOnASignalledNode)
{
    // Three ways drawn into node 1 from the west, the east and the north, each shaped as `shape`.
    struct Case
    {
        const char *name;
        testmaps::TestWay shape;
        int32_t kind;
        size_t paths;
    };
    const Case cases[] = {{"tracks only", {0, {}, 0, 0, false, true, false}, Crossroad::TramOnly, 6},
                          {"roads only, signalled", {0, {}, 1, 1, false, false, true}, Crossroad::RoadOnly, 6},
                          {"tram streets", {0, {}, 1, 1, false, true, true}, Crossroad::Mixed, 12},
                          // Nothing leaves the node: still a crossroad, of the first kind.
                          {"one-way roads all pointing in", {0, {}, 1, 0, true}, Crossroad::TramOnly, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestNetwork net;
        net.cross(c.kind == Crossroad::RoadOnly);
        testmaps::TestWay w = c.shape;
        for (int64_t from : {2, 4, 5}) {
            w.id = 10 + from;
            w.nodes = {from, 1};
            net.way(w);
        }
        net.run();
        ASSERT_EQ(net.sim.crossroads.size(), 1u);
        const Crossroad *x = net.sim.crossroads[0];
        EXPECT_EQ(x->kind, c.kind);
        size_t paths = 0;
        for (const auto &entry : x->paths)
            paths += entry.second.size();
        EXPECT_EQ(paths, c.paths);
        // A group per arriving arm, in way-end order.
        EXPECT_EQ(net.sim.semaphores.size(), c.kind == Crossroad::RoadOnly ? 1u : 0u);
        EXPECT_TRUE(!x->semaphore || x->semaphore->groups() == net.nodeBinding(1)->wayEnds);
    }
}
