// Stop windows, bus bays, tram platforms, dropped stops and generators, on small maps built in code.

#include "convert/stopbuilder.h"

#include "model/generator.h"
#include "osm/osmstop.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

using testmaps::countOccurrences;
using testmaps::TestNetwork;
using testmaps::xOf;
using testmaps::yOf;

namespace {

constexpr double CM = 0.01;

/// A chain of `n` linked cells; optionally closed into a loop.
std::vector<Cell *> chain(SimulationData &sim, int n, bool loop = false)
{
    std::vector<Cell *> cells;
    for (int i = 0; i < n; ++i) {
        Cell *c = sim.createCell();
        if (!cells.empty()) {
            cells.back()->next = c;
            c->previous = cells.back();
        }
        cells.push_back(c);
    }
    if (loop && n > 1) {
        cells.back()->next = cells.front();
        cells.front()->previous = cells.back();
    }
    return cells;
}

/// The bay ending at `last`, walked back to its first cell.
std::vector<Cell *> bayEndingAt(Cell *last)
{
    std::vector<Cell *> bay;
    for (Cell *c = last; c && bay.size() < 10000; c = c->previous)
        bay.insert(bay.begin(), c);
    return bay;
}

/// The message written when a stop gets no cells.
std::string droppedMessage(const char *kind, const OSMStop *stop)
{
    std::ostringstream s;
    s << "NetworkConvertor: " << kind
      << " stop cells could not be created | Stop location: " << stop->getNode()->getLocation()
      << " | Name: " << stop->getName() << " | Removing stop from osmData->stops\n";
    return s.str();
}

/// Checks one bay: `count` cells chained in the lane's direction beside the outermost lane of the
/// forward (or backward) direction of the pieces of way `wayId`, each 3.0 m to the right of its
/// lane cell, tied by side links, carrying the stop and no way link.
void expectBay(const std::vector<Cell *> &bay, size_t count, int64_t wayId, bool forward, const OSMStop *stop)
{
    ASSERT_EQ(bay.size(), count);
    EXPECT_EQ(bay.front()->previous, nullptr);
    EXPECT_EQ(bay.back()->next, nullptr);
    for (size_t i = 0; i < bay.size(); ++i) {
        const Cell *c = bay[i];
        EXPECT_EQ(c->stop, stop);
        EXPECT_EQ(c->wayLink, nullptr);
        EXPECT_FALSE(c->inCrossroad);
        ASSERT_NE(c->sideOf, nullptr);
        EXPECT_EQ(c->sideOf->side, c);
        const LaneBinding *lane = c->sideOf->wayLink;
        ASSERT_NE(lane, nullptr);
        EXPECT_EQ(lane->wayId(), wayId);
        EXPECT_EQ(lane->direction, forward ? &lane->wayBinding()->forward : &lane->wayBinding()->backward);
        EXPECT_EQ(lane, lane->direction->lanes.back()) << "bay beside the outermost lane";
        EXPECT_NEAR(geo::distance(c->location, c->sideOf->location), 3.0, CM);
        if (i > 0) {
            EXPECT_EQ(bay[i - 1]->next, c);
            // Consecutive bay cells lie beside consecutive lane cells.
            EXPECT_EQ(bay[i - 1]->sideOf->next, c->sideOf);
            // To the right of travel: the lane's bearing plus 90 degrees.
            const double along = geo::bearing(bay[i - 1]->sideOf->location, c->sideOf->location);
            const double across = geo::bearing(c->sideOf->location, c->location);
            EXPECT_NEAR(geo::bearingDifference(geo::addToBearing(along, 90.0), across), 0.0, 1.0);
        }
    }
}

} // namespace

TEST(StopWindow, CentredWhereTheChainAllowsAndTenCellsFromItsEnds)
{
    struct Case
    {
        const char *name;
        int cells, centre, size;
        int first, count; ///< index of the window's first cell, its length
    };
    const Case cases[] = {
        {"middle of a long chain", 300, 150, 81, 110, 81},
        {"tram platform", 400, 200, 181, 110, 181},
        // 19 links ahead: shifted back so that it ends 10 cells before the chain end.
        {"five metres before the end", 300, 280, 81, 209, 81},
        {"near the start", 300, 15, 81, 10, 81},
        {"chain of 40 cells", 40, 20, 81, 10, 20},
        {"chain of 25 cells", 25, 12, 81, 10, 5},
        {"chain shorter than 20 cells", 15, 7, 81, 7, 1},
        {"single cell", 1, 0, 81, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SimulationData sim;
        const std::vector<Cell *> cells = chain(sim, c.cells);
        const std::vector<Cell *> window = StopBuilder::stopWindow(cells[size_t(c.centre)], c.size);
        ASSERT_EQ(int(window.size()), c.count);
        EXPECT_EQ(std::find(cells.begin(), cells.end(), window.front()) - cells.begin(), c.first);
        for (size_t i = 1; i < window.size(); ++i)
            EXPECT_EQ(window[i - 1]->next, window[i]);
        if (c.count > 1) {
            EXPECT_GE(window.back()->cellsToEnd(), 10);
            EXPECT_GE(window.front()->cellsFromStart(), 10);
        }
    }
}

TEST(StopWindow, LoopAndNullGiveAtMostOneCell)
{
    SimulationData sim;
    const std::vector<Cell *> loop = chain(sim, 200, true);
    const std::vector<Cell *> window = StopBuilder::stopWindow(loop[50], 81);
    ASSERT_EQ(window.size(), 1u);
    EXPECT_EQ(window[0], loop[50]);
    EXPECT_TRUE(StopBuilder::stopWindow(nullptr, 81).empty());
}

TEST(StopBusBay, BaysLieBesideTheOutermostLaneOnTheSideTheStopServes)
{
    // A two-way street (way 10) along y = 0 from `from` to `to` and a bus stop at (x, y), placed by
    // the bus stop conversion; on the street, the stop is its interior node. The bays are listed
    // in the order of the binding's cells, each by its distance from the centre line (negative:
    // south, beside the eastbound lanes).
    struct Case
    {
        const char *name;
        double from, to, x, y;
        int lanes;
        int32_t placement;
        std::vector<double> bays;
        size_t cells;
        int toEnd; ///< links from the last bay's lane cell to the chain end, −1 if not checked
    };
    const Case cases[] = {
        {"south of the street", -100, 100, 0, -10, 1, 1, {-4.5}, 81, -1},
        {"north of the street", -100, 100, 0, 10, 1, 2, {4.5}, 81, -1},
        {"on the street", -100, 100, 0, 0, 1, 3, {-4.5, 4.5}, 81, -1},
        // Lane 1 is not joined at the stop node: its chain ends there, so the bay ends 10 cells before.
        {"two lanes", -100, 100, 0, -10, 2, 1, {-7.5}, 81, 10},
        {"five metres before a dead end", -100, 0, -5, -10, 1, 1, {-4.5}, 81, 10},
        {"street shorter than 20 cells", -2, 2, 0, 0, 1, 3, {-4.5, 4.5}, 1, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TestNetwork net;
        net.node(1, c.from, 0);
        net.node(2, c.to, 0);
        net.node(3, c.x, c.y);
        net.way({10, c.y == 0 ? std::vector<int64_t>{1, 3, 2} : std::vector<int64_t>{1, 2}, c.lanes, c.lanes});
        net.osm.addBusStop("Stop", net.nodeById(3));
        const OSMStop *stop = net.osm.busStops()->stops()[0];
        net.placeBusStops();
        net.run();
        EXPECT_EQ(stop->getPlacement(), c.placement);
        EXPECT_EQ(countOccurrences(net.log, "could not be created"), 0);
        EXPECT_EQ(net.nodeBinding(3)->stop, stop);
        const StopBinding *binding = net.bindings.findStopBinding(stop);
        ASSERT_NE(binding, nullptr);
        ASSERT_EQ(binding->cells.size(), c.bays.size());
        for (size_t i = 0; i < c.bays.size(); ++i) {
            const std::vector<Cell *> bay = bayEndingAt(binding->cells[i]);
            expectBay(bay, c.cells, 10, c.bays[i] < 0, stop);
            for (const Cell *cell : bay)
                EXPECT_NEAR(yOf(cell->location), c.bays[i], CM);
            // Centred on the stop node where the street allows, running in the lane's direction.
            if (c.cells == 81 && c.toEnd < 0) {
                EXPECT_NEAR(xOf(bay[40]->location), c.x, 0.5);
            }
            if (c.toEnd >= 0) {
                EXPECT_EQ(bay.back()->sideOf->cellsToEnd(), c.toEnd);
            }
        }
    }
}

TEST(StopDropped, StopOutOfReachOrServingADirectionWithoutLanesIsReportedAndRemoved)
{
    // 60 m south of a two-way street, or north of a one-way eastbound street (serving the
    // westbound side, which has no lane).
    for (bool oneway : {false, true}) {
        SCOPED_TRACE(oneway ? "north of a one-way street" : "out of reach");
        TestNetwork net;
        net.node(1, -100, 0);
        net.node(2, 100, 0);
        net.way({10, {1, 2}, 1, oneway ? 0 : 1, oneway});
        net.osm.addBusStop("Stop", net.node(3, 0, oneway ? 10 : -60));
        net.placeBusStops();
        const OSMStop *stop = net.osm.busStops()->stops()[0];
        ASSERT_EQ(stop->getPlacement(), oneway ? 2 : 0);
        const std::string message = droppedMessage("Bus", stop); // where the stop node lies now
        net.run();
        EXPECT_EQ(countOccurrences(net.log, message), 1) << net.log;
        EXPECT_EQ(net.osm.busStops()->size(), 0u);
        EXPECT_TRUE(net.bindings.stopBindings().empty());
        if (oneway) {
            EXPECT_EQ(net.nodeBinding(3)->stop, nullptr);
        }
        // No bay cell was made.
        for (const Cell *c : net.sim.cells)
            EXPECT_NE(c->wayLink, nullptr);
    }
}

TEST(StopDropped, RemovingAStopDoesNotDisturbTheNextOnTheSameNode)
{
    // Two stops on one node of a one-way street: the first serves no lane and is dropped, the
    // second, on the same node, is still placed.
    TestNetwork net;
    net.node(1, -100, 0);
    net.node(2, 100, 0);
    net.node(3, 0, 0);
    net.way({10, {1, 3, 2}, 1, 0, true});
    net.osm.addBusStop("Wrong side", net.nodeById(3));
    net.osm.addBusStop("Right side", net.nodeById(3));
    net.osm.busStops()->stops()[0]->setPlacement(2);
    net.osm.busStops()->stops()[1]->setPlacement(1);
    net.run();
    EXPECT_EQ(countOccurrences(net.log, "Bus stop cells could not be created"), 1);
    ASSERT_EQ(net.osm.busStops()->size(), 1u);
    const OSMStop *kept = net.osm.busStops()->stops()[0];
    EXPECT_EQ(kept->getName(), "Right side");
    EXPECT_NE(net.bindings.findStopBinding(kept), nullptr);
    EXPECT_EQ(net.nodeBinding(3)->stop, kept);
}

TEST(StopSilent, BusStopAtACrossroadAndTramStopAtAJunctionWithShortApproachesStayUnplacedWithoutAMessage)
{
    for (bool tram : {false, true}) {
        SCOPED_TRACE(tram ? "tram" : "bus");
        TestNetwork net;
        const double arm = tram ? 5 : 50;
        net.node(1, 0, 0);
        net.node(2, -arm, 0);
        net.node(3, arm, 0);
        net.node(4, 0, arm);
        const int lanes = tram ? 0 : 1;
        net.way({10, {2, 1}, lanes, lanes, false, tram, !tram});
        net.way({11, {1, 3}, lanes, lanes, false, tram, !tram});
        net.way({12, {1, 4}, lanes, lanes, false, tram, !tram});
        if (tram)
            net.osm.addTramStop("Junction", net.nodeById(1));
        else
            net.osm.addBusStop("Corner", net.nodeById(1));
        net.placeBusStops();
        net.run();
        EXPECT_EQ(countOccurrences(net.log, "could not be created"), 0);
        const OSMStops *stops = tram ? net.osm.tramStops() : net.osm.busStops();
        ASSERT_EQ(stops->size(), 1u);
        EXPECT_EQ(net.bindings.findStopBinding(stops->stops()[0]), nullptr);
        EXPECT_EQ(net.nodeBinding(1)->stop, stops->stops()[0]);
    }
}

TEST(StopTram, DoubleTrackLineGetsAPlatformOnEachTrack)
{
    TestNetwork net;
    net.node(1, -100, 0);
    net.node(2, 100, 0);
    net.node(3, 0, 0);
    net.way({10, {1, 3, 2}, 0, 0, false, true, false});
    net.osm.addTramStop("Platform", net.nodeById(3));
    net.run();
    ASSERT_EQ(net.osm.tramStops()->size(), 1u);
    const OSMStop *stop = net.osm.tramStops()->stops()[0];
    EXPECT_EQ(stop->getPlacement(), 3);
    const StopBinding *binding = net.bindings.findStopBinding(stop);
    ASSERT_NE(binding, nullptr);
    ASSERT_EQ(binding->cells.size(), 2u);
    // The platforms are track cells: no cell was added, 181 cells of each track carry the stop.
    size_t marked = 0;
    for (const Cell *c : net.sim.cells) {
        EXPECT_NE(c->wayLink, nullptr);
        if (c->stop) {
            ++marked;
            EXPECT_EQ(c->stop, stop);
            EXPECT_EQ(c->wayLink->isTram, 1);
        }
    }
    EXPECT_EQ(marked, 362u);
    for (size_t i = 0; i < 2; ++i) {
        const Cell *last = binding->cells[i];
        // The platform's downstream end, on the eastbound track first.
        EXPECT_EQ(last->stop, stop);
        EXPECT_TRUE(!last->next || !last->next->stop);
        const WayBinding *piece = last->wayLink->wayBinding();
        EXPECT_EQ(last->wayLink->direction, i == 0 ? &piece->forward : &piece->backward);
        EXPECT_EQ(last->platformStart()->cellAhead(180), last);
    }
}

TEST(StopGenerators, OnlyBoundariesWhereTrafficEntersGetOne)
{
    // Four arms at node 1: west and east two-way dead ends, south one-way into the crossroad,
    // north one-way out of the network; and a separate tram line.
    TestNetwork net;
    net.cross();
    net.node(6, -50, 100);
    net.node(7, 50, 100);
    net.way({20, {6, 7}, 0, 0, false, true, false});
    net.way({10, {2, 1}});
    net.way({11, {3, 1}, 1, 0, true});
    net.way({12, {1, 4}});
    net.way({13, {1, 5}, 1, 0, true});
    net.run();
    ASSERT_EQ(net.sim.generators.size(), 3u);
    const std::vector<const LaneBinding *> expected = {
        net.end(10, 2)->firstOutgoingLane(), net.end(11, 3)->firstOutgoingLane(), net.end(12, 4)->firstOutgoingLane()};
    for (size_t i = 0; i < 3; ++i) {
        const Generator *g = net.sim.generators[i];
        ASSERT_NE(expected[i], nullptr);
        EXPECT_EQ(g->cell, expected[i]->firstCell);
        EXPECT_EQ(g->cell->previous, nullptr);
        EXPECT_EQ(g->period, 100);
        EXPECT_EQ(g->countdown, 0);
        EXPECT_EQ(g->cars, &net.sim.cars);
    }
    EXPECT_NE(net.log.find("NetworkConvertor:     Generators ... 3\n"), std::string::npos);
}
