// Crossroads, connections, stops and generators of the program's default map, converted through
// the real pipeline: reader, bus stop conversion, network conversion.

#include "convert/networkconvertor.h"
#include "convert/osmbusstopconvertor.h"
#include "model/bindingdata.h"
#include "model/cell.h"
#include "model/crossroad.h"
#include "model/generator.h"
#include "model/semaphore.h"
#include "model/simulationdata.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "testmaps.h"

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>

namespace {

const char *const DEFAULT_MAP = KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm";

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
        if (!QFile::exists(QString::fromUtf8(DEFAULT_MAP)))
            return;
        osm = new OSMData;
        sim = new SimulationData;
        bindings = new BindingData;
        stopsBefore = new std::vector<StopBefore>;
        testmaps::StderrCapture capture;
        OSMParser::parseFile(QString::fromUtf8(DEFAULT_MAP), osm);
        OSMBusStopConvertor::convert(osm);
        for (const OSMStops *list : {osm->tramStops(), osm->busStops()})
            for (const OSMStop *stop : list->stops()) {
                std::ostringstream message;
                message << "NetworkConvertor: " << (stop->getKind() == TramStop ? "Tram" : "Bus")
                        << " stop cells could not be created | Stop location: " << stop->getNode()->getLocation()
                        << " | Name: " << stop->getName() << " | Removing stop from osmData->stops\n";
                stopsBefore->push_back({stop, stop->getNode(), stop->getKind(), message.str()});
            }
        NetworkConvertor(osm, sim, bindings).convert();
        log = new std::string(capture.text());
    }
    static void TearDownTestSuite()
    {
        delete log;
        delete stopsBefore;
        delete bindings;
        delete sim;
        delete osm;
        log = nullptr;
        stopsBefore = nullptr;
        bindings = nullptr;
        sim = nullptr;
        osm = nullptr;
    }
    void SetUp() override
    {
        if (!osm)
            GTEST_SKIP() << DEFAULT_MAP << " is missing";
    }

    static OSMData *osm;
    static SimulationData *sim;
    static BindingData *bindings;
    static std::vector<StopBefore> *stopsBefore;
    static std::string *log;
};

OSMData *BundledCrossroads::osm = nullptr;
SimulationData *BundledCrossroads::sim = nullptr;
BindingData *BundledCrossroads::bindings = nullptr;
std::vector<StopBefore> *BundledCrossroads::stopsBefore = nullptr;
std::string *BundledCrossroads::log = nullptr;

bool contains(const std::vector<OSMStop *> &list, const OSMStop *stop)
{
    return std::find(list.begin(), list.end(), stop) != list.end();
}

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

TEST_F(BundledCrossroads, CountsOfCrossroadsSignalsGeneratorsAndStops)
{
    size_t kinds[3] = {};
    size_t withoutPaths = 0, paths = 0, conflicts = 0, signalConflicts = 0;
    for (const Crossroad *x : sim->crossroads) {
        ASSERT_GE(x->kind, 0);
        ASSERT_LE(x->kind, 2);
        ++kinds[x->kind];
        withoutPaths += x->paths.empty() ? 1 : 0;
        for (const auto &entry : x->paths)
            paths += entry.second.size();
        conflicts += x->conflicts.size();
        signalConflicts += x->signalConflicts.size();
    }
    std::cout << "crossroads " << sim->crossroads.size() << " (road " << kinds[0] << ", tram " << kinds[1] << ", mixed "
              << kinds[2] << "; " << withoutPaths << " without paths), paths " << paths << ", conflict records "
              << conflicts << " + " << signalConflicts << " on green, semaphores " << sim->semaphores.size()
              << ", generators " << sim->generators.size() << ", placed stops " << bindings->stopBindings().size()
              << " of " << stopsBefore->size() << ", cells " << sim->cells.size() << std::endl;
    EXPECT_GT(sim->crossroads.size(), 100u);
    EXPECT_GT(kinds[0], 0u);
    EXPECT_GT(kinds[2], 0u);
    EXPECT_GE(sim->semaphores.size(), 3u);
    EXPECT_LT(sim->semaphores.size(), sim->crossroads.size());
    EXPECT_GT(sim->generators.size(), 10u);
    EXPECT_GT(bindings->stopBindings().size(), stopsBefore->size() / 3);
    // The statistics lines report the same counts.
    EXPECT_NE(log->find("NetworkConvertor:     Crossroads ... " + std::to_string(sim->crossroads.size()) + "\n"),
              std::string::npos);
    EXPECT_NE(log->find("NetworkConvertor:     Generators ... " + std::to_string(sim->generators.size()) + "\n"),
              std::string::npos);
    // A semaphore belongs to exactly one crossroad on a signalled node, with a group per arriving arm.
    std::set<const Semaphore *> owned;
    for (const Crossroad *x : sim->crossroads) {
        if (!x->semaphore)
            continue;
        EXPECT_TRUE(owned.insert(x->semaphore).second);
        EXPECT_TRUE(x->junction->node->isTrafficSignals());
        EXPECT_GE(x->semaphore->groups().size(), 1u);
        EXPECT_LE(x->semaphore->groups().size(), x->junction->wayEnds.size());
    }
    EXPECT_EQ(owned.size(), sim->semaphores.size());
}

TEST_F(BundledCrossroads, EveryPathLeadsFromItsEntryLaneIntoItsExitLane)
{
    size_t checked = 0;
    for (const Crossroad *x : sim->crossroads) {
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
                EXPECT_NE(bindings->wayEndWithOutgoing(p.to), bindings->wayEndWithIncoming(from));
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
    size_t placed = 0, dropped = 0, silent = 0, unreached = 0, tramsOff = 0;
    for (const StopBefore &before : *stopsBefore) {
        const OSMStops *list = before.kind == TramStop ? osm->tramStops() : osm->busStops();
        if (!contains(list->stops(), before.stop)) {
            ++dropped;
            unreached += bindings->findNodeBinding(before.node) ? 0 : 1;
            EXPECT_NE(log->find(before.message), std::string::npos) << "dropped without a message";
            continue;
        }
        const OSMStop *stop = before.stop;
        const NodeBinding *node = bindings->findNodeBinding(stop->getNode());
        if (const StopBinding *binding = bindings->findStopBinding(stop)) {
            ++placed;
            EXPECT_FALSE(binding->cells.empty());
            for (const Cell *c : binding->cells) {
                // The downstream end of a platform or a bay.
                ASSERT_NE(c, nullptr);
                EXPECT_EQ(c->stop, stop);
                EXPECT_TRUE(!c->next || c->next->stop != stop);
            }
            ASSERT_NE(node, nullptr);
            continue;
        }
        ++silent;
        tramsOff += node ? 0 : 1;
        // A bus stop that no way reaches is reported; a tram stop off the tracks stays silently.
        if (before.kind == BusStop) {
            ASSERT_NE(node, nullptr) << stop->getName() << ": a bus stop no way reaches must be reported";
        }
        EXPECT_TRUE(before.kind == TramStop ? tramPreconditionFails(node) : busPreconditionFails(node))
            << stop->getName() << " is neither placed nor reported";
        EXPECT_EQ(log->find(before.message), std::string::npos) << stop->getName();
    }
    std::cout << "stops: " << placed << " placed, " << dropped << " reported and removed (" << unreached
              << " out of reach of every way), " << silent << " left unplaced by their precondition (" << tramsOff
              << " tram stops off the tracks)" << std::endl;
    EXPECT_EQ(testmaps::countOccurrences(*log, "stop cells could not be created"), int(dropped));
    EXPECT_EQ(placed, bindings->stopBindings().size());
    EXPECT_GT(placed, 0u);
}

TEST_F(BundledCrossroads, EveryGeneratorFeedsTheFirstCellOfAnEnteringLane)
{
    std::set<const Cell *> entries;
    for (const NodeBinding *node : bindings->nodeBindings())
        if (node->wayEnds.size() == 1)
            if (const LaneBinding *lane = node->wayEnds[0]->firstOutgoingLane())
                entries.insert(lane->firstCell);
    std::set<const Cell *> fed;
    for (const Generator *g : sim->generators) {
        EXPECT_EQ(entries.count(g->cell), 1u) << "generator " << g->id;
        EXPECT_TRUE(fed.insert(g->cell).second) << "two generators on one cell";
        EXPECT_EQ(g->cell->wayLink->isTram, 0);
        EXPECT_EQ(g->period, 100);
    }
    EXPECT_EQ(fed.size(), entries.size());
}

TEST_F(BundledCrossroads, NoCellHasAnUnusablePosition)
{
    size_t atOrigin = 0;
    for (const Cell *c : sim->cells) {
        ASSERT_TRUE(std::isfinite(c->location.lat) && std::isfinite(c->location.lon)) << "cell " << c->id;
        atOrigin += c->location.lat == 0.0 && c->location.lon == 0.0 ? 1 : 0;
        ASSERT_TRUE(linksAreSound(c)) << "cell " << c->id;
    }
    EXPECT_EQ(atOrigin, 0u);
}
