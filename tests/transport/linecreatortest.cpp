#include "transport/linecreator.h"

#include "transportmap.h"

#include "model/bus.h"
#include "model/cell.h"
#include "osm/osmroutes.h"
#include "report/diagnostics.h"
#include "timetable/publictransportline.h"
#include "timetable/scheduleparser.h"

using testmaps::stopNames;

TEST(LineCreator, MatchesStopsInRouteOrderIgnoringCaseAndTakesTheRouteMatchingMost)
{
    std::vector<std::unique_ptr<OSMStop>> owned;
    OSMRoutes routes;
    const auto addRoute = [&](const char *ref, const char *type, std::vector<const char *> stops) {
        auto *route = new OSMRoute;
        route->name = ref;
        route->type = type;
        for (const char *name : stops) {
            owned.push_back(std::make_unique<OSMStop>(int64_t(owned.size()), name, BusStop, nullptr));
            route->stops.push_back(owned.back().get());
        }
        routes.add(route);
        return route;
    };
    const OSMRoute *abcd = addRoute("5", "bus", {"A", "B", "C", "D"});
    // Matching stops in order from the first one on the route, whatever the case; a stop off the
    // route or out of order is passed over, and named, and the stops after it still match.
    EXPECT_EQ(
        stopNames(LineCreator::matchStops(abcd, schedule("5", Schedule::Bus, {{"a", 0}, {"b", 1}, {"D", 3}}).get())),
        (std::vector<std::string>{"A", "B", "D"}));
    const auto passedOver = schedule("5", Schedule::Bus, {{"A", 0}, {"X", 1}, {"C", 2}, {"B", 3}, {"D", 4}, {"Y", 5}});
    std::vector<size_t> index;
    EXPECT_EQ(stopNames(LineCreator::matchStops(abcd, passedOver.get(), &index)),
              (std::vector<std::string>{"A", "C", "D"}));
    EXPECT_EQ(index, (std::vector<size_t>{0, 2, 4}));
    Diagnostics diagnostics;
    LineCreator::namePassedOver(*abcd, *passedOver, index, diagnostics);
    ASSERT_EQ(diagnostics.all().size(), 2u) << "X and B, which comes after C; not Y, past the last match";
    EXPECT_NE(diagnostics.all()[0].text.find("\"X\""), std::string::npos) << diagnostics.all()[0].text;
    EXPECT_NE(diagnostics.all()[1].text.find("\"B\""), std::string::npos) << diagnostics.all()[1].text;
    EXPECT_EQ(diagnostics.all()[1].component, "LineCreator");

    const OSMRoute *eastTwo = addRoute("6", "bus", {"A", "B"});
    const OSMRoute *eastThree = addRoute("6", "bus", {"A", "B", "C"});
    addRoute("6", "bus", {"C", "B", "A"});
    const OSMRoute *tram = addRoute("6", "tram", {"A", "B", "C"});
    EXPECT_EQ(LineCreator::findRoute(&routes, schedule("6", Schedule::Bus, {{"A", 0}, {"B", 1}, {"C", 2}}).get()),
              eastThree);
    EXPECT_EQ(LineCreator::findRoute(&routes, schedule("6", Schedule::Bus, {{"A", 0}, {"B", 1}}).get()), eastTwo)
        << "the earlier route on a tie";
    EXPECT_EQ(LineCreator::findRoute(&routes, schedule("6", Schedule::Tram, {{"A", 0}, {"C", 1}}).get()), tram);
    EXPECT_EQ(LineCreator::findRoute(&routes, schedule("6", Schedule::Trolleybus, {{"A", 0}, {"C", 1}}).get()),
              nullptr);
    EXPECT_EQ(LineCreator::findRoute(&routes, schedule("7", Schedule::Bus, {{"A", 0}, {"C", 1}}).get()), nullptr);
}

TEST(LineCreator, CreatesLinesOnAConvertedStreetAndCountsTheOthers)
{
    BusStreet street;
    ScheduleParser parser;
    // Stop "Elsewhere" is not on the map: matching starts at "b", 3 minutes in.
    parser.add(
        schedule("5", Schedule::NoType, {{"Elsewhere", 0}, {"b", 3}, {"C", 5}, {"C", 6}}, {1439, 600}).release());
    parser.add(schedule("5", Schedule::Tram, {{"A", 0}, {"B", 1}}).release());
    parser.add(schedule("9", Schedule::Bus, {{"A", 0}, {"B", 1}}).release());
    parser.add(schedule("5", Schedule::Bus, {{"X", 0}, {"Y", 1}}).release());
    PublicTransportLines lines;
    Diagnostics diagnostics;
    const LineCreationReport report = LineCreator::createLines(street.osm.routes(), &parser, &lines, &street.bindings,
                                                               street.sim.random, diagnostics);
    EXPECT_EQ(diagnostics.count(Severity::Warning), 3u) << "one per schedule left out";
    EXPECT_EQ(report.created, 1);
    EXPECT_EQ(report.leftOut[int(LineRejection::NoRoute)], 2);
    EXPECT_EQ(report.leftOut[int(LineRejection::TooFewStops)], 1);
    ASSERT_EQ(lines.lines().size(), 1u);
    const PublicTransportLine *line = lines.lines().front();
    EXPECT_EQ(line->vehicleType, PublicTransportLine::BusLine);
    EXPECT_EQ(stopNames(line->stops), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(line->wayIds, (std::vector<int64_t>{12, 13}));
    EXPECT_EQ(line->departures, (std::vector<int32_t>{2, 603})) << "23:59 + 3 minutes leaves at 00:02";
    EXPECT_EQ(line->stopOffsets, (std::vector<int32_t>{0, 2})) << "up to the first C";
    ASSERT_EQ(line->stopOffsetsSec.size(), 2u);
    EXPECT_EQ(line->stopOffsetsSec[0], 0);
    EXPECT_TRUE(line->stopOffsetsSec[1] >= 106 && line->stopOffsetsSec[1] <= 135) << line->stopOffsetsSec[1];
    for (size_t k = 0; k < line->departures.size(); ++k)
        EXPECT_NEAR(line->departuresSec[k], line->departures[k] * 60, 15);
    ASSERT_NE(line->startCell, nullptr);
    EXPECT_EQ(line->startCell->stop(), line->stops.front());
    EXPECT_EQ(line->startCell->next(), nullptr) << "the downstream end of the bay";
}

TEST(LineCreator, PregeneratesTheTripsUnderWayBetweenTheirStops)
{
    BusStreet street;
    ScheduleParser parser;
    // Leaves A at 10:00 and C four minutes later: at 10:01 it is between A and B.
    parser.add(schedule("5", Schedule::Bus, {{"A", 0}, {"B", 2}, {"C", 4}}, {540, 600, 700}).release());
    Diagnostics diagnostics;
    LineCreator::createLines(street.osm.routes(), &parser, &street.sim.lines, &street.bindings, street.sim.random,
                             diagnostics);
    ASSERT_EQ(street.sim.lines.lines().size(), 1u);
    PublicTransportLine *line = street.sim.lines.lines().front();
    EXPECT_EQ(line->stopOffsets, (std::vector<int32_t>{0, 2, 4})) << "from the first stop, which the route also has";
    line->departuresSec = {540 * 60, 600 * 60, 700 * 60};
    line->stopDueSec = {0, 120, 240};
    street.sim.time = QTime(8, 59);
    EXPECT_EQ(LineCreator::pregenerateLines(&street.sim, &street.bindings, diagnostics), 0) << "before every departure";
    street.sim.time = QTime(10, 1);
    EXPECT_EQ(LineCreator::pregenerateLines(&street.sim, &street.bindings, diagnostics), 1);
    ASSERT_EQ(street.sim.buses.size(), 1u);
    const Bus *bus = street.sim.buses.front();
    EXPECT_EQ(bus->departure(), 600 * 60);
    EXPECT_EQ(bus->stopIndex(), 1) << "on its way to B";
    EXPECT_NEAR(testmaps::xOf(bus->frontCell()->location()), 150.0, 10.0) << "half way from A (100 m) to B (200 m)";
}

TEST(LineCreator, ATripFromAStopAtTheStartOfItsRouteIsPregeneratedOnItsWay)
{
    testmaps::TestNetwork street;
    for (int i = 1; i <= 5; ++i)
        street.node(i, 100.0 * (i - 1), 0.0);
    for (int i = 1; i <= 4; ++i)
        street.way({10 + i, {i, i + 1}});
    street.osm.addBusStop("End", street.osm.nodes()->findById(1));
    street.osm.addBusStop("B", street.osm.nodes()->findById(3));
    street.osm.addRouteRelation(7, "5: west-east", "5", "bus", {11, 12, 13, 14}, {}, {}, {});
    street.placeBusStops();
    street.run();
    RouteConvertor::convert(&street.osm, street.diagnostics);
    ScheduleParser parser;
    parser.add(schedule("5", Schedule::Bus, {{"End", 0}, {"B", 2}}, {600}).release());
    LineCreator::createLines(street.osm.routes(), &parser, &street.sim.lines, &street.bindings, street.sim.random,
                             street.diagnostics);
    ASSERT_EQ(street.sim.lines.lines().size(), 1u);
    PublicTransportLine *line = street.sim.lines.lines().front();
    line->departuresSec = {600 * 60};
    line->stopDueSec = {0, 120};
    street.sim.time = QTime(10, 1);
    ASSERT_EQ(LineCreator::pregenerateLines(&street.sim, &street.bindings, street.diagnostics), 1);
    EXPECT_NEAR(testmaps::xOf(street.sim.buses.front()->frontCell()->location()), 100.0, 10.0)
        << "half way from the end of the street to B (200 m)";
}
