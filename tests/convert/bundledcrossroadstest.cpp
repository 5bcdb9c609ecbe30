// Crossroads, connections, stops and generators of the program's default map, converted through
// the real pipeline: reader, bus stop conversion, network conversion.

#include "model/crossroad.h"
#include "model/generator.h"
#include "model/semaphore.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

using testmaps::ConvertedMap;

namespace {

/// A stop of the map as it was before the network conversion (which may delete it).
struct StopBefore
{
    const OSMStop *stop; ///< compared by identity only: it may have been deleted
    const Node *node;
    int32_t kind;
    std::string message; ///< what the conversion writes if it drops the stop
};

/// The default map read and converted once for every test of this file.
class BundledCrossroads : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        stopsBefore = new std::vector<StopBefore>;
        map =
            ConvertedMap::load(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm", [](const OSMData
                                                                                                               &osm) {
                for (const OSMStops *list : {osm.tramStops(), osm.busStops()})
                    for (const OSMStop *stop : list->stops()) {
                        std::ostringstream message;
                        message << "NetworkConvertor: " << (stop->getKind() == TramStop ? "Tram" : "Bus")
                                << " stop cells could not be created | Stop location: "
                                << stop->getNode()->getLocation() << " | Name: " << stop->getName()
                                << " | Removing stop from osmData->stops\n";
                        stopsBefore->push_back({stop, stop->getNode(), stop->getKind(), message.str()});
                    }
            }).release();
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

/// Whether the bus stop placement left `stop` alone before trying to build a bay.
bool busPreconditionFails(const NodeBinding *node)
{
    if (!node || node->wayEnds.empty() || node->wayEnds.size() > 2)
        return true;
    for (const WayEnd *e : node->wayEnds)
        if (e->firstIncomingLane() || e->firstOutgoingLane())
            return false;
    return true;
}

/// Whether the tram stop placement left `stop` alone: no or too many tracks, or a crossroad whose
/// best track has fewer than 30 cells before the node.
bool tramPreconditionFails(const NodeBinding *node)
{
    if (!node)
        return true;
    int incoming = 0, outgoing = 0;
    int32_t best = -1;
    for (const WayEnd *e : node->wayEnds) {
        incoming += e->incomingTramTrack() ? 1 : 0;
        outgoing += e->outgoingTramTrack() ? 1 : 0;
        if (e->incomingTramTrack() && e->incomingTramTrack()->lastCell)
            best = std::max(best, e->incomingTramTrack()->lastCell->cellsFromStart());
    }
    if (incoming == 0 || outgoing == 0 || incoming >= 3 || outgoing >= 3)
        return true;
    return node->wayEnds.size() >= 3 && best < 30;
}

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
    EXPECT_NE(map->log.find("NetworkConvertor:     Crossroads ... " + std::to_string(sim.crossroads.size()) + "\n"),
              std::string::npos);
    EXPECT_NE(map->log.find("NetworkConvertor:     Generators ... " + std::to_string(sim.generators.size()) + "\n"),
              std::string::npos);
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

TEST_F(BundledCrossroads, EveryStopIsPlacedOrReportedOrLeftByItsPrecondition)
{
    size_t placed = 0, dropped = 0;
    for (const StopBefore &before : *stopsBefore) {
        const OSMStops *list = before.kind == TramStop ? map->osm.tramStops() : map->osm.busStops();
        if (std::find(list->stops().begin(), list->stops().end(), before.stop) == list->stops().end()) {
            ++dropped;
            EXPECT_NE(map->log.find(before.message), std::string::npos) << "dropped without a message";
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
        // A bus stop that no way reaches is reported; a tram stop off the tracks stays silently.
        if (before.kind == BusStop) {
            ASSERT_NE(node, nullptr) << stop->getName() << ": a bus stop no way reaches must be reported";
        }
        EXPECT_TRUE(before.kind == TramStop ? tramPreconditionFails(node) : busPreconditionFails(node))
            << stop->getName() << " is neither placed nor reported";
        EXPECT_EQ(map->log.find(before.message), std::string::npos) << stop->getName();
    }
    EXPECT_EQ(testmaps::countOccurrences(map->log, "stop cells could not be created"), int(dropped));
    EXPECT_EQ(placed, map->bindings.stopBindings().size());
    EXPECT_GT(placed, 0u);
}
