// The sample timetable shipped in data/ must fit the bundled map, or no line would be created.

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
    ASSERT_GE(parser.schedules().size(), 5u);
    int trams = 0;
    int buses = 0;
    for (const Schedule *schedule : parser.schedules()) {
        trams += schedule->lineType == Schedule::Tram;
        buses += schedule->lineType == Schedule::Bus;
        // Departures every ten minutes within the simulated afternoon.
        ASSERT_GE(schedule->startTimes.size(), 15u) << schedule->name;
        EXPECT_TRUE(schedule->startTimes.front() >= 780 && schedule->startTimes.back() <= 960) << schedule->name;
        for (size_t i = 1; i < schedule->startTimes.size(); ++i)
            EXPECT_EQ(schedule->startTimes[i] - schedule->startTimes[i - 1], 10) << schedule->name;
        ASSERT_GE(schedule->stops.size(), 3u) << schedule->name;
        EXPECT_EQ(schedule->stops.front().tAbs, 0) << schedule->name;
        for (size_t i = 1; i < schedule->stops.size(); ++i) {
            const ScheduleStop &stop = schedule->stops[i];
            const int32_t step = stop.tAbs - schedule->stops[i - 1].tAbs;
            EXPECT_TRUE(step >= 1 && step <= 3 && stop.tRel == step)
                << schedule->name << " " << stop.name << ": t_rel " << stop.tRel << ", " << step << " after the last";
        }
    }
    EXPECT_GE(trams, 4);
    EXPECT_GE(buses, 1);
}

TEST_F(BundledSchedulesTest, EveryLineFollowsTheStopsOfARouteRelationOfTheMap)
{
    for (const Schedule *schedule : parser.schedules()) {
        const bool tram = schedule->lineType == Schedule::Tram;
        const OSMStops *stops = tram ? map.tramStops() : map.busStops();
        const std::string routeType = tram ? "tram" : "bus";
        std::vector<std::string> names;
        for (const ScheduleStop &stop : schedule->stops)
            names.push_back(stop.name);

        bool followed = false;
        for (const OSMRouteRelation *relation : map.routeRelations()->relations()) {
            if (relation->ref != schedule->name || relation->route != routeType)
                continue;
            // The relation's stop members that are stops of the line's kind, in member order.
            std::vector<std::string> relationStops;
            for (int64_t id : relation->stopNodes) {
                const Node *node = map.nodes()->findById(id);
                if (const OSMStop *stop = node ? stops->findByNode(node) : nullptr)
                    relationStops.push_back(stop->getName());
            }
            followed = followed || relationStops == names;
        }
        EXPECT_TRUE(followed) << "line " << schedule->name << " matches no " << routeType << " relation's stops";
    }
}
