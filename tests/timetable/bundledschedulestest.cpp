// The timetable shipped in data/ is drafted from the route relations of the bundled map; it must
// stay regular and fit the map, or no line would be created.

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "tests/stderrcapture.h"
#include "timetable/scheduleparser.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(BundledSchedules, EveryLineIsRegularAndARouteRelationOfTheMapWithItsStops)
{
    ScheduleParser parser;
    OSMData map;
    {
        StderrCapture quiet;
        ASSERT_TRUE(parser.parse(QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml")));
        OSMParser::parseFile(QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm"),
                             &map);
    }
    ASSERT_GE(parser.schedules().size(), 100u);
    int trams = 0;
    for (const Schedule *schedule : parser.schedules()) {
        SCOPED_TRACE("line " + schedule->name);
        const bool tram = schedule->lineType == Schedule::Tram;
        trams += tram;
        // Every quarter of an hour from 05:00 to 01:00; the hour after midnight comes first.
        ASSERT_EQ(schedule->startTimes.size(), 4u + 76u);
        EXPECT_GE(schedule->startTimes[4], 300);
        for (size_t i = 1; i < schedule->startTimes.size(); ++i)
            EXPECT_TRUE(i == 4 || schedule->startTimes[i] - schedule->startTimes[i - 1] == 15) << i;
        ASSERT_GE(schedule->stops.size(), 2u);
        EXPECT_EQ(schedule->stops.front().tAbs, 0);
        for (size_t i = 1; i < schedule->stops.size(); ++i) {
            const int32_t step = schedule->stops[i].tAbs - schedule->stops[i - 1].tAbs;
            EXPECT_TRUE(step >= 1 && step <= 10 && schedule->stops[i].tRel == step) << schedule->stops[i].name;
        }
        bool relation = false;
        for (const OSMRouteRelation *r : map.routeRelations()->relations())
            relation = relation || (r->ref == schedule->name && r->route == (tram ? "tram" : "bus"));
        EXPECT_TRUE(relation);
        const OSMStops *stops = tram ? map.tramStops() : map.busStops();
        for (const ScheduleStop &stop : schedule->stops)
            EXPECT_TRUE(std::any_of(stops->stops().begin(), stops->stops().end(),
                                    [&stop](const OSMStop *s) { return s->getName() == stop.name; }))
                << "no stop " << stop.name;
    }
    EXPECT_EQ(trams, 20);
}
