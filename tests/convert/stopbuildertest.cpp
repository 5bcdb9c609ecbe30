// Bus bays and dropped stops, on small maps built in code (the tram platforms are in the exported
// network of geojsonexporttest).

#include "convert/stopbuilder.h"

#include "osm/osmstop.h"
#include "testnetwork.h"

#include <gtest/gtest.h>

using testmaps::countOccurrences;
using testmaps::TestNetwork;
using testmaps::xOf;
using testmaps::yOf;

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
        net.osm.addBusStop("Stop", net.node(3, c.x, c.y));
        net.way({10, c.y == 0 ? std::vector<int64_t>{1, 3, 2} : std::vector<int64_t>{1, 2}, c.lanes, c.lanes});
        const OSMStop *stop = net.osm.busStops()->stops()[0];
        net.placeBusStops();
        net.run();
        EXPECT_EQ(stop->getPlacement(), c.placement);
        EXPECT_EQ(net.nodeBinding(3)->stop, stop);
        const StopBinding *binding = net.bindings.findStopBinding(stop);
        ASSERT_NE(binding, nullptr);
        ASSERT_EQ(binding->cells.size(), c.bays.size());
        for (size_t i = 0; i < c.bays.size(); ++i) {
            // The bay, walked back from its last cell: chained in the lane's direction beside the
            // outermost lane, each cell tied to its lane cell by side links.
            std::vector<Cell *> bay;
            for (Cell *cell = binding->cells[i]; cell && bay.size() < 1000; cell = cell->previous)
                bay.insert(bay.begin(), cell);
            ASSERT_EQ(bay.size(), c.cells);
            EXPECT_EQ(bay.back()->next, nullptr);
            for (const Cell *cell : bay) {
                EXPECT_TRUE(cell->stop == stop && !cell->wayLink);
                ASSERT_TRUE(cell->sideOf && cell->sideOf->side == cell && cell->sideOf->wayLink);
                const LaneBinding *lane = cell->sideOf->wayLink;
                EXPECT_EQ(lane, lane->direction->lanes.back()) << "bay beside the outermost lane";
                EXPECT_NEAR(yOf(cell->location), c.bays[i], 0.01);
                EXPECT_TRUE(cell == bay[0] || cell->previous->sideOf->next == cell->sideOf);
            }
            if (c.toEnd >= 0) {
                EXPECT_EQ(bay.back()->sideOf->cellsToEnd(), c.toEnd);
            } else if (c.cells == 81) { // centred on the stop node where the street allows
                EXPECT_NEAR(xOf(bay[40]->location), c.x, 0.5);
            }
        }
    }
}

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
        EXPECT_EQ(countOccurrences(net.log, "Bus stop cells could not be created"), 1) << net.log;
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
    net.osm.busStops()->stops()[0]->setPlacement(2);
    net.osm.busStops()->stops()[1]->setPlacement(1);
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
