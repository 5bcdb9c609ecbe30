// The program's default map converted through the real pipeline (reader, bus stop conversion,
// network conversion): the invariants every part of the network must keep.

#include "model/crossroad.h"
#include "model/generator.h"
#include "model/semaphore.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using testmaps::ConvertedMap;

TEST(BundledCrossroads, NetworkIsSoundPathsLeadFromEntryToExitAndEveryStopIsPlacedOrDroppedWithAMessage)
{
    // The stops the map had before the network conversion, compared by identity only: the
    // conversion may delete them.
    std::vector<std::pair<const OSMStop *, int32_t>> stopsBefore;
    const auto map = ConvertedMap::load(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm",
                                        [&stopsBefore](const OSMData &osm) {
                                            for (const OSMStops *list : {osm.tramStops(), osm.busStops()})
                                                for (const OSMStop *stop : list->stops())
                                                    stopsBefore.emplace_back(stop, stop->getKind());
                                        });
    ASSERT_NE(map, nullptr) << "the default map is missing";
    const SimulationData &sim = map->sim;
    testmaps::expectSoundNetwork(map->bindings, sim);
    EXPECT_GT(sim.crossroads.size(), 100u);
    EXPECT_GT(sim.generators.size(), 10u);
    std::set<const Semaphore *> owned;
    size_t paths = 0, kinds[3] = {};
    for (const Crossroad *x : sim.crossroads) {
        ASSERT_TRUE(x->kind >= 0 && x->kind <= 2);
        ++kinds[x->kind];
        // A semaphore belongs to exactly one crossroad on a signalled node.
        EXPECT_TRUE(!x->semaphore || (owned.insert(x->semaphore).second && x->junction->node->isTrafficSignals()));
        for (const auto &entry : x->junction->crossroadPaths) {
            const LaneBinding *from = entry.first;
            EXPECT_EQ(from->lastCell->crossroad, x);
            const std::vector<PathPair> *pairs = x->pathsFrom(from);
            ASSERT_TRUE(pairs && pairs->size() == entry.second.size());
            for (size_t i = 0; i < entry.second.size(); ++i, ++paths) {
                const CrossroadPath &p = entry.second[i];
                EXPECT_EQ(p.firstCell->previous, from->lastCell);
                EXPECT_EQ(p.lastCell->next, p.to->firstCell);
                EXPECT_EQ((*pairs)[i].pathCell, p.firstCell);
                EXPECT_EQ(p.to->isTram, from->isTram);
                // No path leads back into the arm it came from.
                EXPECT_NE(map->bindings.wayEndWithOutgoing(p.to), map->bindings.wayEndWithIncoming(from));
            }
        }
    }
    EXPECT_GT(paths, 500u);
    EXPECT_GT(kinds[Crossroad::RoadOnly], 0u);
    EXPECT_GT(kinds[Crossroad::Mixed], 0u);
    EXPECT_GE(owned.size(), 3u);
    EXPECT_EQ(owned.size(), sim.semaphores.size());
    // Every generator feeds the first cell of a road lane entering at a dead end, one per such lane.
    std::set<const Cell *> entries, fed;
    for (const NodeBinding *node : map->bindings.nodeBindings())
        if (node->wayEnds.size() == 1)
            if (const LaneBinding *lane = node->wayEnds[0]->firstOutgoingLane())
                entries.insert(lane->firstCell);
    for (const Generator *g : sim.generators) {
        EXPECT_EQ(entries.count(g->cell), 1u) << "generator " << g->id;
        EXPECT_TRUE(fed.insert(g->cell).second) << "two generators on one cell";
        EXPECT_EQ(g->cell->wayLink->isTram, 0);
    }
    EXPECT_EQ(fed.size(), entries.size());

    size_t placed = 0, dropped = 0;
    for (const auto &before : stopsBefore) {
        const OSMStops *list = before.second == TramStop ? map->osm.tramStops() : map->osm.busStops();
        if (std::find(list->stops().begin(), list->stops().end(), before.first) == list->stops().end()) {
            ++dropped;
            continue;
        }
        if (const StopBinding *binding = map->bindings.findStopBinding(before.first)) {
            ++placed;
            ASSERT_FALSE(binding->cells.empty());
            // Each cell is the downstream end of a platform or a bay.
            for (const Cell *c : binding->cells)
                EXPECT_TRUE(c->stop == before.first && (!c->next || c->next->stop != before.first));
        }
    }
    EXPECT_EQ(testmaps::countOccurrences(map->log, "stop cells could not be created"), int(dropped));
    EXPECT_EQ(placed, map->bindings.stopBindings().size());
    EXPECT_GT(placed, stopsBefore.size() / 3);
}
