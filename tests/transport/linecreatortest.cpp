#include "transport/linecreator.h"

#include "transportmap.h"

#include "model/bus.h"
#include "model/cell.h"
#include "osm/osmroutes.h"
#include "timetable/publictransportline.h"
#include "timetable/scheduleparser.h"

namespace {

std::vector<std::string> names(const std::vector<OSMStop *> &stops)
{
    std::vector<std::string> out;
    for (const OSMStop *stop : stops)
        out.push_back(stop->getName());
    return out;
}

} // namespace

TEST(LineCreator, MatchesStopNamesInRouteOrderIgnoringCase)
{
    std::vector<std::unique_ptr<OSMStop>> owned;
    OSMRoute route;
    for (const char *name : {"A", "B", "C", "D"}) {
        owned.push_back(std::make_unique<OSMStop>(int64_t(owned.size()), name, BusStop, nullptr));
        route.stops.push_back(owned.back().get());
    }
    struct Case
    {
        std::vector<std::pair<std::string, int32_t>> stops;
        std::vector<std::string> matched;
    };
    const std::vector<Case> cases = {
        {{{"a", 0}, {"b", 1}, {"D", 3}}, {"A", "B", "D"}},
        {{{"Elsewhere", 0}, {"B", 2}, {"C", 3}}, {"B", "C"}},
        {{{"A", 0}, {"X", 1}, {"C", 2}}, {"A"}},
        {{{"C", 0}, {"A", 1}}, {"A"}},
        {{{"X", 0}}, {}},
    };
    for (const Case &c : cases) {
        auto s = schedule("5", Schedule::Bus, c.stops);
        EXPECT_EQ(names(LineCreator::matchStops(&route, s.get())), c.matched);
    }
}

TEST(LineCreator, TakesTheRouteOfTheNameAndTypeMatchingMostStops)
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
    const OSMRoute *eastTwo = addRoute("5", "bus", {"A", "B"});
    const OSMRoute *eastThree = addRoute("5", "bus", {"A", "B", "C"});
    addRoute("5", "bus", {"C", "B", "A"});
    const OSMRoute *tram = addRoute("5", "tram", {"A", "B", "C"});
    addRoute("6", "bus", {"A", "B", "C"});

    EXPECT_EQ(LineCreator::findRoute(&routes, schedule("5", Schedule::Bus, {{"A", 0}, {"B", 1}, {"C", 2}}).get()),
              eastThree);
    EXPECT_EQ(LineCreator::findRoute(&routes, schedule("5", Schedule::Bus, {{"A", 0}, {"B", 1}}).get()), eastTwo)
        << "the earlier route on a tie";
    EXPECT_EQ(LineCreator::findRoute(&routes, schedule("5", Schedule::Tram, {{"A", 0}, {"C", 1}}).get()), tram);
    EXPECT_EQ(LineCreator::findRoute(&routes, schedule("5", Schedule::Trolleybus, {{"A", 0}, {"C", 1}}).get()),
              nullptr);
    EXPECT_EQ(LineCreator::findRoute(&routes, schedule("7", Schedule::Bus, {{"A", 0}, {"C", 1}}).get()), nullptr);
}

TEST(LineCreator, CreatesLinesOnAConvertedStreetAndReportsTheOthers)
{
    BusStreet street;
    ScheduleParser parser;
    std::vector<std::unique_ptr<Schedule>> schedules;
    // Stop "Elsewhere" is not on the map: matching starts at "b", 3 minutes in.
    schedules.push_back(schedule("5", Schedule::NoType, {{"Elsewhere", 0}, {"b", 3}, {"C", 5}, {"C", 6}}, {1439, 600}));
    schedules.push_back(schedule("5", Schedule::Tram, {{"A", 0}, {"B", 1}}));
    schedules.push_back(schedule("9", Schedule::Bus, {{"A", 0}, {"B", 1}}));
    schedules.push_back(schedule("5", Schedule::Bus, {{"X", 0}, {"Y", 1}}));
    PublicTransportLines lines;
    LineCreationReport report;
    StderrCapture err;
    for (auto &s : schedules)
        parser.add(s.release());
    report = LineCreator::createLines(street.osm.routes(), &parser, &lines, &street.bindings, street.sim.random);
    EXPECT_EQ(report.created, 1);
    EXPECT_EQ(report.leftOut[int(LineRejection::NoRoute)], 2) << err.text();
    EXPECT_EQ(report.leftOut[int(LineRejection::TooFewStops)], 1) << err.text();
    EXPECT_NE(err.text().find("LineCreator:     line 9 (bus) left out: no route of that name and type"),
              std::string::npos)
        << err.text();

    ASSERT_EQ(lines.lines().size(), 1u);
    const PublicTransportLine *line = lines.lines().front();
    EXPECT_EQ(line->vehicleType, PublicTransportLine::BusLine);
    EXPECT_EQ(names(line->stops), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(line->wayIds, (std::vector<int64_t>{12, 13}));
    EXPECT_EQ(line->departures, (std::vector<int32_t>{1442, 603})) << "no wrap below 86400";
    EXPECT_EQ(line->stopOffsets, (std::vector<int32_t>{0, 2})) << "up to the first C";
    ASSERT_EQ(line->stopOffsetsSec.size(), 2u);
    EXPECT_EQ(line->stopOffsetsSec[0], 0);
    EXPECT_GE(line->stopOffsetsSec[1], 106);
    EXPECT_LE(line->stopOffsetsSec[1], 135);
    EXPECT_EQ(line->stopDueSec, line->stopOffsetsSec);
    for (size_t k = 0; k < line->departures.size(); ++k) {
        EXPECT_GE(line->departuresSec[k], line->departures[k] * 60 - 14);
        EXPECT_LE(line->departuresSec[k], line->departures[k] * 60 + 15);
    }
    ASSERT_NE(line->startCell, nullptr);
    EXPECT_EQ(line->startCell->stop, line->stops.front());
    EXPECT_EQ(line->startCell->next, nullptr) << "the downstream end of the bay";
}

TEST(LineCreator, PregeneratesTheTripsUnderWayBetweenTheirStops)
{
    BusStreet street;
    ScheduleParser parser;
    // Leaves A at 10:00 and C four minutes later: at 10:01 it is between A and B.
    parser.add(schedule("5", Schedule::Bus, {{"A", 0}, {"B", 2}, {"C", 4}}, {540, 600, 700}).release());
    StderrCapture quiet;
    LineCreator::createLines(street.osm.routes(), &parser, &street.sim.lines, &street.bindings, street.sim.random);
    ASSERT_EQ(street.sim.lines.lines().size(), 1u);
    PublicTransportLine *line = street.sim.lines.lines().front();
    line->departuresSec = {540 * 60, 600 * 60, 700 * 60};
    line->stopDueSec = {0, 120, 240};

    street.sim.time = QTime(10, 1);
    EXPECT_EQ(LineCreator::pregenerateLines(&street.sim, &street.bindings), 1);
    ASSERT_EQ(street.sim.buses.size(), 1u);
    const Bus *bus = street.sim.buses.front();
    EXPECT_EQ(bus->departure(), 600 * 60);
    EXPECT_EQ(bus->stopIndex(), 1) << "on its way to B";
    const double x = testmaps::xOf(bus->frontCell()->location);
    EXPECT_NEAR(x, 150.0, 10.0) << "half way from A (100 m) to B (200 m)";

    street.sim.time = QTime(8, 59);
    EXPECT_EQ(LineCreator::pregenerateLines(&street.sim, &street.bindings), 0) << "before every departure";
}
