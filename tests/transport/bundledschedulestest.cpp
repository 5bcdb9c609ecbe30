// The sample timetable shipped in data/ must fit the bundled map, or no line would be created.

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "transport/scheduleparser.h"

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
        std::ostringstream sink;
        std::streambuf *old = std::cerr.rdbuf(sink.rdbuf());
        parser = new ScheduleParser;
        parser->parse(QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml"));
        map = new OSMData;
        OSMParser::parseFile(QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm"),
                             map);
        std::cerr.rdbuf(old);
        parserOutput = new std::string(sink.str());
    }
    static void TearDownTestSuite()
    {
        delete parser;
        delete map;
        delete parserOutput;
    }

    static ScheduleParser *parser;
    static OSMData *map;
    static std::string *parserOutput;
};

ScheduleParser *BundledSchedulesTest::parser = nullptr;
OSMData *BundledSchedulesTest::map = nullptr;
std::string *BundledSchedulesTest::parserOutput = nullptr;

} // namespace

TEST_F(BundledSchedulesTest, TimetableIsCompleteAndRegular)
{
    EXPECT_EQ(parserOutput->find("Soubor: "), std::string::npos) << *parserOutput;
    EXPECT_EQ(parserOutput->find("error"), std::string::npos) << *parserOutput;
    ASSERT_GE(parser->schedules().size(), 5u);
    int trams = 0;
    int buses = 0;
    for (const Schedule *schedule : parser->schedules()) {
        trams += schedule->lineType == Schedule::Tram;
        buses += schedule->lineType == Schedule::Bus;
        ASSERT_GE(schedule->startTimes.size(), 15u) << schedule->name;
        EXPECT_GE(schedule->startTimes.front(), 780) << schedule->name;
        EXPECT_LE(schedule->startTimes.back(), 960) << schedule->name;
        for (size_t i = 1; i < schedule->startTimes.size(); ++i)
            EXPECT_EQ(schedule->startTimes[i] - schedule->startTimes[i - 1], 10) << schedule->name;
        ASSERT_GE(schedule->stops.size(), 3u) << schedule->name;
        EXPECT_EQ(schedule->stops.front().tAbs, 0) << schedule->name;
        for (size_t i = 1; i < schedule->stops.size(); ++i) {
            const int32_t step = schedule->stops[i].tAbs - schedule->stops[i - 1].tAbs;
            EXPECT_GE(step, 1) << schedule->name << " " << schedule->stops[i].name;
            EXPECT_LE(step, 3) << schedule->name << " " << schedule->stops[i].name;
            EXPECT_EQ(schedule->stops[i].tRel, step) << schedule->name << " " << schedule->stops[i].name;
        }
    }
    EXPECT_GE(trams, 4);
    EXPECT_GE(buses, 1);
}

TEST_F(BundledSchedulesTest, EveryLineFollowsTheStopsOfARouteRelationOfTheMap)
{
    for (const Schedule *schedule : parser->schedules()) {
        const bool tram = schedule->lineType == Schedule::Tram;
        const OSMStops *stops = tram ? map->tramStops() : map->busStops();
        const std::string routeType = tram ? "tram" : "bus";
        std::vector<std::string> names;
        for (const ScheduleStop &stop : schedule->stops)
            names.push_back(stop.name);

        bool followed = false;
        for (const OSMRouteRelation *relation : map->routeRelations()->relations()) {
            if (relation->ref != schedule->name || relation->route != routeType)
                continue;
            // The relation's stop members that are stops of the line's kind, in member order.
            std::vector<std::string> relationStops;
            for (int64_t id : relation->stopNodes) {
                const Node *node = map->nodes()->findById(id);
                if (const OSMStop *stop = node ? stops->findByNode(node) : nullptr)
                    relationStops.push_back(stop->getName());
            }
            followed = followed || relationStops == names;
        }
        EXPECT_TRUE(followed) << "line " << schedule->name << " matches no " << routeType << " relation's stops";
    }
}
