// The timetable shipped in data/ is drafted from the route relations of the bundled map; it must
// stay regular and fit the map, or no line would be created.

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "tests/stderrcapture.h"
#include "timetable/scheduleparser.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

namespace {

/// Reads both bundled input files once, without their progress lines.
class BundledSchedulesTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        StderrCapture capture;
        parser.parse(QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml"));
        OSMParser::parseFile(QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm"),
                             &map);
        parserOutput = capture.text();
    }

    static ScheduleParser parser;
    static OSMData map;
    static std::string parserOutput;
};

ScheduleParser BundledSchedulesTest::parser;
OSMData BundledSchedulesTest::map;
std::string BundledSchedulesTest::parserOutput;

} // namespace

TEST_F(BundledSchedulesTest, TimetableIsCompleteAndRegular)
{
    EXPECT_EQ(parserOutput.find("Soubor: "), std::string::npos) << parserOutput;
    EXPECT_EQ(parserOutput.find("error"), std::string::npos) << parserOutput;
    ASSERT_GE(parser.schedules().size(), 100u);
    int trams = 0;
    int buses = 0;
    for (const Schedule *schedule : parser.schedules()) {
        trams += schedule->lineType == Schedule::Tram;
        buses += schedule->lineType == Schedule::Bus;
        // Every quarter of an hour from 05:00 to 01:00; the hour after midnight comes first.
        ASSERT_EQ(schedule->startTimes.size(), 4u + 76u) << schedule->name;
        EXPECT_LT(schedule->startTimes.front(), 15) << schedule->name;
        EXPECT_GE(schedule->startTimes[4], 300) << schedule->name;
        for (size_t i = 1; i < schedule->startTimes.size(); ++i) {
            if (i != 4) {
                EXPECT_EQ(schedule->startTimes[i] - schedule->startTimes[i - 1], 15) << schedule->name;
            }
        }
        ASSERT_GE(schedule->stops.size(), 2u) << schedule->name;
        EXPECT_EQ(schedule->stops.front().tAbs, 0) << schedule->name;
        for (size_t i = 1; i < schedule->stops.size(); ++i) {
            const ScheduleStop &stop = schedule->stops[i];
            const int32_t step = stop.tAbs - schedule->stops[i - 1].tAbs;
            EXPECT_TRUE(step >= 1 && step <= 10 && stop.tRel == step)
                << schedule->name << " " << stop.name << ": t_rel " << stop.tRel << ", " << step << " after the last";
        }
    }
    EXPECT_EQ(trams, 20);
    EXPECT_GE(buses, 90);
}

TEST_F(BundledSchedulesTest, EveryLineIsARouteRelationOfTheMapWithItsStops)
{
    for (const Schedule *schedule : parser.schedules()) {
        const bool tram = schedule->lineType == Schedule::Tram;
        const OSMStops *stops = tram ? map.tramStops() : map.busStops();
        const std::string routeType = tram ? "tram" : "bus";
        bool relation = false;
        for (const OSMRouteRelation *r : map.routeRelations()->relations())
            relation = relation || (r->ref == schedule->name && r->route == routeType);
        EXPECT_TRUE(relation) << "line " << schedule->name << " has no " << routeType << " relation";
        for (const ScheduleStop &stop : schedule->stops) {
            bool found = false;
            for (const OSMStop *s : stops->stops())
                found = found || s->getName() == stop.name;
            EXPECT_TRUE(found) << "line " << schedule->name << ": no " << routeType << " stop " << stop.name;
        }
    }
}
