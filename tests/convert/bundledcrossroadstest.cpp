// Crossroads, connections, stops and generators of the program's default map, converted through
// the real pipeline: reader, bus stop conversion, network conversion.

#include "model/crossroad.h"
#include "model/generator.h"
#include "model/semaphore.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using testmaps::ConvertedMap;

namespace {

/// A stop of the map as it was before the network conversion (which may delete it).
struct StopBefore
{
    const OSMStop *stop; ///< compared by identity only: it may have been deleted
    const Node *node;
    int32_t kind;
};

/// The default map read and converted once for every test of this file.
class BundledCrossroads : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        stopsBefore = new std::vector<StopBefore>;
        const auto remember = [](const OSMData &osm) {
            for (const OSMStops *list : {osm.tramStops(), osm.busStops()})
                for (const OSMStop *stop : list->stops())
                    stopsBefore->push_back({stop, stop->getNode(), stop->getKind()});
        };
        map = ConvertedMap::load(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm", remember)
                  .release();
    }
    static void TearDownTestSuite()
    {
        delete map;
        delete stopsBefore;
        map = nullptr;
        stopsBefore = nullptr;
    }
    void SetUp() override
    {
        if (!map)
            GTEST_SKIP() << "the default map is missing";
    }

    static ConvertedMap *map;
    static std::vector<StopBefore> *stopsBefore;
};

ConvertedMap *BundledCrossroads::map = nullptr;
std::vector<StopBefore> *BundledCrossroads::stopsBefore = nullptr;

} // namespace

TEST_F(BundledCrossroads, CountsOfCrossroadsSignalsAndGeneratorsAndSoundCells)
{
    const SimulationData &sim = map->sim;
    size_t kinds[3] = {};
    for (const Crossroad *x : sim.crossroads) {
        ASSERT_GE(x->kind, 0);
        ASSERT_LE(x->kind, 2);
        ++kinds[x->kind];
    }
    EXPECT_GT(sim.crossroads.size(), 100u);
    EXPECT_GT(kinds[Crossroad::RoadOnly], 0u);
    EXPECT_GT(kinds[Crossroad::Mixed], 0u);
    EXPECT_GE(sim.semaphores.size(), 3u);
    EXPECT_LT(sim.semaphores.size(), sim.crossroads.size());
    EXPECT_GT(sim.generators.size(), 10u);
    EXPECT_GT(map->bindings.stopBindings().size(), stopsBefore->size() / 3);
    // A semaphore belongs to exactly one crossroad on a signalled node, with a group per arriving arm.
    std::set<const Semaphore *> owned;
    for (const Crossroad *x : sim.crossroads) {
        if (!x->semaphore)
            continue;
        EXPECT_TRUE(owned.insert(x->semaphore).second);
        EXPECT_TRUE(x->junction->node->isTrafficSignals());
        EXPECT_GE(x->semaphore->groups().size(), 1u);
        EXPECT_LE(x->semaphore->groups().size(), x->junction->wayEnds.size());
    }
    EXPECT_EQ(owned.size(), sim.semaphores.size());
    // Every generator feeds the first cell of a lane entering at a dead end, one per such lane.
    std::set<const Cell *> entries, fed;
    for (const NodeBinding *node : map->bindings.nodeBindings())
        if (node->wayEnds.size() == 1)
            if (const LaneBinding *lane = node->wayEnds[0]->firstOutgoingLane())
                entries.insert(lane->firstCell);
    for (const Generator *g : sim.generators) {
        EXPECT_EQ(entries.count(g->cell), 1u) << "generator " << g->id;
        EXPECT_TRUE(fed.insert(g->cell).second) << "two generators on one cell";
        EXPECT_EQ(g->cell->wayLink->isTram, 0);
        EXPECT_EQ(g->period, 100);
    }
    EXPECT_EQ(fed.size(), entries.size());
    testmaps::expectSoundNetwork(map->bindings, sim);
}

TEST_F(BundledCrossroads, EveryPathLeadsFromItsEntryLaneIntoItsExitLane)
{
    size_t checked = 0;
    for (const Crossroad *x : map->sim.crossroads) {
        const NodeBinding *node = x->junction;
        ASSERT_NE(node, nullptr);
        ASSERT_GE(node->wayEnds.size(), 3u);
        for (const auto &entry : node->crossroadPaths) {
            const LaneBinding *from = entry.first;
            EXPECT_EQ(from->lastCell->crossroad, x);
            EXPECT_EQ(from->lastCell->next, nullptr);
            const std::vector<PathPair> *pairs = x->pathsFrom(from);
            ASSERT_NE(pairs, nullptr);
            ASSERT_EQ(pairs->size(), entry.second.size());
            for (size_t i = 0; i < entry.second.size(); ++i) {
                const CrossroadPath &p = entry.second[i];
                ASSERT_NE(p.firstCell, nullptr);
                EXPECT_EQ(p.firstCell->previous, from->lastCell);
                EXPECT_EQ(p.lastCell->next, p.to->firstCell);
                EXPECT_EQ((*pairs)[i].exitLane, p.to);
                EXPECT_EQ((*pairs)[i].pathCell, p.firstCell);
                EXPECT_EQ(p.isTram, from->isTram);
                EXPECT_EQ(p.to->isTram, from->isTram);
                // No path leads back into the arm it came from.
                EXPECT_NE(map->bindings.wayEndWithOutgoing(p.to), map->bindings.wayEndWithIncoming(from));
                size_t cells = 1;
                for (const Cell *c = p.firstCell; c != p.lastCell; c = c->next, ++cells) {
                    ASSERT_NE(c, nullptr);
                    ASSERT_TRUE(c->inCrossroad);
                    ASSERT_LT(cells, 4000u);
                }
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 500u);
}

TEST_F(BundledCrossroads, EveryStopIsPlacedReportedOrOnANode)
{
    size_t placed = 0, dropped = 0;
    for (const StopBefore &before : *stopsBefore) {
        const OSMStops *list = before.kind == TramStop ? map->osm.tramStops() : map->osm.busStops();
        if (std::find(list->stops().begin(), list->stops().end(), before.stop) == list->stops().end()) {
            ++dropped;
            continue;
        }
        const OSMStop *stop = before.stop;
        const NodeBinding *node = map->bindings.findNodeBinding(stop->getNode());
        if (const StopBinding *binding = map->bindings.findStopBinding(stop)) {
            ++placed;
            EXPECT_FALSE(binding->cells.empty());
            // Each cell is the downstream end of a platform or a bay.
            for (const Cell *c : binding->cells) {
                ASSERT_NE(c, nullptr);
                EXPECT_EQ(c->stop, stop);
                EXPECT_TRUE(!c->next || c->next->stop != stop);
            }
            ASSERT_NE(node, nullptr);
            continue;
        }
        // A bus stop that no way reaches is reported, so an unplaced one has met a way.
        if (before.kind == BusStop) {
            EXPECT_NE(node, nullptr) << stop->getName();
        }
    }
    // Every dropped stop is reported, once.
    EXPECT_EQ(testmaps::countOccurrences(map->log, "stop cells could not be created"), int(dropped));
    EXPECT_EQ(placed, map->bindings.stopBindings().size());
    EXPECT_GT(placed, 0u);
}
