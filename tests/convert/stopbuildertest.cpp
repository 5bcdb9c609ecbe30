// Stops that cannot be placed, and a tram platform where a line ends, on small maps built in code
// (bus bays are in the exported network of geojsonexporttest and in the bundled city's recorded run).

#include "convert/stopbuilder.h"

#include "osm/osmstop.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

using testmaps::countOccurrences;
using testmaps::TestNetwork;
using testmaps::xOf;
using testmaps::yOf;

TEST(StopDropped, StopsThatCannotBePlacedAreReportedAndRemovedAndTheNextOnTheNodeIsKept)
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
        net.run();
        const std::vector<Diagnostic> &found = net.diagnostics.all();
        const auto dropped = std::find_if(found.begin(), found.end(),
                                          [](const Diagnostic &d) { return d.severity == Severity::Warning; });
        ASSERT_NE(dropped, found.end());
        EXPECT_EQ(dropped->elementId, 3) << "the node of the stop";
        EXPECT_EQ(countOccurrences(dropped->text, "Bus stop cells could not be created"), 1) << dropped->text;
        EXPECT_EQ(net.diagnostics.count(Severity::Warning), 1u);
        EXPECT_EQ(net.osm.busStops()->size(), 0u);
        EXPECT_TRUE(net.bindings.stopBindings().empty());
    }
    // Two stops on one node of a one-way street: the first serves no lane and is dropped, the second
    // is placed.
    TestNetwork net;
    net.node(1, -100, 0);
    net.node(2, 100, 0);
    net.osm.addBusStop("Wrong side", net.node(3, 0, 0));
    net.osm.addBusStop("Right side", net.nodeById(3));
    net.way({10, {1, 3, 2}, 1, 0, true});
    net.osm.busStops()->stops()[0]->setPlacement(StopPlacement::Backward);
    net.osm.busStops()->stops()[1]->setPlacement(StopPlacement::Forward);
    net.run();
    ASSERT_EQ(net.osm.busStops()->size(), 1u);
    EXPECT_EQ(net.osm.busStops()->stops()[0]->getName(), "Right side");
    EXPECT_NE(net.bindings.findStopBinding(net.osm.busStops()->stops()[0]), nullptr);
}

TEST(StopTram, AStopWhereATramLineEndsGetsItsPlatform)
{
    TestNetwork net;
    net.node(1, -100, 0);
    net.osm.addTramStop("Terminus", net.node(2, 0, 0));
    net.way({10, {1, 2}, 0, 0, false, true, false});
    net.run();
    ASSERT_EQ(net.osm.tramStops()->size(), 1u);
    const StopBinding *binding = net.bindings.findStopBinding(net.osm.tramStops()->stops()[0]);
    EXPECT_TRUE(binding && !binding->cells.empty());
}

TEST(StopBays, StopsCloserThanABayGetBaysThatEachRunAlongTheLaneAndShareNoLaneCell)
{
    // Two stops on a one-way street whose 20 m bays would overlap: the later gets the part of its
    // window the first left free, so no lane cell lies beside two bays and a bus beside either bay
    // has its whole body beside that bay. 15 m apart both still take a bus; 5 m apart the later
    // bay is too short for one, and buses pass that stop.
    for (const double apart : {15.0, 5.0}) {
        SCOPED_TRACE(apart);
        TestNetwork net;
        net.node(1, -150, 0);
        net.node(2, 150, 0);
        net.osm.addBusStop("First", net.node(3, 0, 0));
        net.osm.addBusStop("Second", net.node(4, apart, 0));
        net.way({10, {1, 3, 4, 2}, 1, 0, true});
        net.placeBusStops();
        net.run();
        testmaps::expectSoundNetwork(net.bindings, net.sim);
        ASSERT_EQ(net.osm.busStops()->size(), 2u);
        std::vector<int32_t> lengths;
        for (OSMStop *stop : net.osm.busStops()->stops()) {
            const StopBinding *binding = net.bindings.findStopBinding(stop);
            ASSERT_TRUE(binding && binding->cells.size() == 1u);
            int32_t cells = 0;
            for (const Cell *bay = binding->cells.front(); bay && bay->stop() == stop; bay = bay->previous(), ++cells) {
                if (bay->previous() && bay->previous()->stop() == stop) {
                    EXPECT_EQ(bay->previous()->sideOf()->next(), bay->sideOf()) << "the bay leaves its lane";
                }
            }
            lengths.push_back(cells);
        }
        EXPECT_EQ(lengths[0], StopBuilder::BUS_BAY_CELLS);
        EXPECT_EQ(lengths[1] >= 32, apart > 10) << lengths[1];
    }
}
