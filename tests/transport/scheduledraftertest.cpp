#include "transport/scheduledrafter.h"

#include "transportmap.h"

#include "timetable/scheduleparser.h"

#include <QTemporaryDir>

TEST(ScheduleDrafter, DraftsOneRunnableLinePerRelationThatTheParserReadsBack)
{
    BusStreet street;
    street.osm.addRouteRelation(8, "no ref", "", "bus", {11, 12}, {}, {}, {});
    street.osm.addRouteRelation(9, "too short", "6", "bus", {11}, {}, {}, {});
    ScheduleDrafter drafter(&street.osm, &street.bindings, 20);
    Diagnostics diagnostics;
    const ScheduleDrafter::Result result = drafter.draft(diagnostics);
    EXPECT_EQ(result.relations, 3);
    EXPECT_EQ(result.drafted, 1);
    EXPECT_EQ(result.withoutRef, 1);
    EXPECT_EQ(result.withoutRoute, 1);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("drafted.xml"));
    ASSERT_TRUE(drafter.write(path, diagnostics));
    ScheduleParser parser;
    parser.parse(path, diagnostics);
    ASSERT_EQ(parser.schedules().size(), 1u);
    const Schedule *line = parser.schedules().front();
    EXPECT_EQ(line->name, "5");
    EXPECT_EQ(line->lineType, Schedule::Bus);
    std::vector<std::pair<std::string, int32_t>> stops;
    for (const ScheduleStop &stop : line->stops)
        stops.emplace_back(stop.name, stop.tAbs);
    // 100 m between stops at 18 km/h is 20 s: at least a minute apart.
    EXPECT_EQ(stops, (std::vector<std::pair<std::string, int32_t>>{{"A", 0}, {"B", 1}, {"C", 2}}));
    // From 05:00 to 01:00 every 20 minutes: 00:00, 00:20, 00:40, then 05:00 to 23:40.
    ASSERT_EQ(line->startTimes.size(), 3u + 57u);
    EXPECT_EQ(line->startTimes[2], 40);
    EXPECT_EQ(line->startTimes[3], 300);
    EXPECT_EQ(line->startTimes.back(), 1420);

    EXPECT_FALSE(diagnostics.hasErrors());
    EXPECT_FALSE(drafter.write(dir.filePath(QStringLiteral("missing/drafted.xml")), diagnostics));
    EXPECT_EQ(diagnostics.count(Severity::Error), 1u);
}

TEST(ScheduleDrafter, LinesStartingAtOneStopLeaveInTurnOneAMinuteAtMost)
{
    // Three lines start at A: with a headway of 2 minutes their departures would pile up there, so
    // each leaves every 3 minutes, one minute after the other.
    BusStreet street;
    street.osm.addRouteRelation(10, "second", "6", "bus", {11, 12, 13, 14}, {}, {}, {});
    street.osm.addRouteRelation(11, "third", "7", "bus", {11, 12, 13, 14}, {}, {}, {});
    Diagnostics diagnostics;
    RouteConvertor::convert(&street.osm, diagnostics);
    ScheduleDrafter drafter(&street.osm, &street.bindings, 2);
    ASSERT_EQ(drafter.draft(diagnostics).drafted, 3);
    for (size_t k = 0; k < 3; ++k) {
        const std::vector<int32_t> &times = drafter.schedules()[k]->startTimes;
        ASSERT_GE(times.size(), 2u);
        EXPECT_EQ(times[0], int32_t(k));
        EXPECT_EQ(times[1] - times[0], 3);
    }
}

namespace {

/// The stops (name, minute) of the line drafted on a street whose ways are drawn some east and
/// some west, from a relation over all of it that lists `relationStops` as its stop nodes.
std::vector<std::pair<std::string, int32_t>> draftedOnAMixedStreet(const std::vector<int64_t> &relationStops)
{
    testmaps::TestNetwork street;
    for (int i = 1; i <= 5; ++i)
        street.node(i, 100.0 * (i - 1), 0.0);
    street.way({11, {2, 1}});
    street.way({12, {3, 2}});
    street.way({13, {3, 4}});
    street.way({14, {4, 5}});
    street.osm.addBusStop("A", street.osm.nodes()->findById(2));
    street.osm.addBusStop("B", street.osm.nodes()->findById(3));
    street.osm.addBusStop("C", street.osm.nodes()->findById(5));
    street.osm.addRouteRelation(7, "5: west-east", "5", "bus", {11, 12, 13, 14}, {}, {}, relationStops);
    street.placeBusStops();
    street.run();
    RouteConvertor::convert(&street.osm, street.diagnostics);
    ScheduleDrafter drafter(&street.osm, &street.bindings, 20);
    std::vector<std::pair<std::string, int32_t>> stops;
    if (drafter.draft(street.diagnostics).drafted != 1)
        return stops;
    for (const ScheduleStop &stop : drafter.schedules().front()->stops)
        stops.emplace_back(stop.name, stop.tAbs);
    return stops;
}

} // namespace

TEST(ScheduleDrafter, ReadsTheRouteFromItsStartWhereverItsWaysAreDrawnAgainstIt)
{
    // Without stops in the relation the route may run either way; from C, B is 200 m on and A
    // 300 m, at 18 km/h less than a minute each, and stops are at least a minute apart.
    EXPECT_EQ(draftedOnAMixedStreet({}), (std::vector<std::pair<std::string, int32_t>>{{"C", 0}, {"B", 1}, {"A", 2}}));
    // The relation's order of stops decides the direction, its first stop included.
    EXPECT_EQ(draftedOnAMixedStreet({2, 3}),
              (std::vector<std::pair<std::string, int32_t>>{{"A", 0}, {"B", 1}, {"C", 2}}));
}
