// Maps a careless or hostile writer could produce: positions off the globe, ways that travel their
// own segments again, ids that are not numbers or taken.

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace osmtest;

namespace {

struct Reading
{
    bool complete;
    QString problem;
    std::string messages;
};

Reading readMap(OSMData &data, const QString &path)
{
    StderrCapture capture;
    Reading reading;
    reading.complete = OSMParser::parseFile(path, &data, &reading.problem);
    reading.messages = capture.text();
    return reading;
}

/// Five nodes near Helsinki on lines 3 to 7, then `body` from line 8 on.
QByteArray mapWith(const QByteArray &body)
{
    QByteArray map = "<?xml version=\"1.0\"?>\n<osm>\n";
    for (int id = 1; id <= 5; ++id)
        map += QByteArray(" <node id=\"") + QByteArray::number(id) + "\" lat=\"60.17" + QByteArray::number(id) +
               "\" lon=\"24.94\"/>\n";
    return map + body + "</osm>\n";
}

QByteArray road(const char *id, std::initializer_list<int> refs)
{
    QByteArray way = QByteArray(" <way id=\"") + id + "\">";
    for (int ref : refs)
        way += "<nd ref=\"" + QByteArray::number(ref) + "\"/>";
    return way + "<tag k=\"highway\" v=\"residential\"/></way>\n";
}

} // namespace

TEST(HostileMap, ElementsThatCannotBeKeptAreNamedWithIdTextLineAndReason)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    const struct
    {
        QByteArray body;
        std::string message;                        // the line the reader must write
        std::vector<std::vector<int64_t>> wayNodes; // what is kept of the ways, in order
    } cases[] = {
        {" <node id=\"9\" lat=\"1000\" lon=\"24.94\"/>\n" + road("10", {1, 9}),
         "Dropped node \"9\" (line 8): latitude 1000 is outside -90..90",
         {{1}}},
        {" <node id=\"9\" lat=\"60\" lon=\"360\"/>\n",
         "Dropped node \"9\" (line 8): longitude 360 is outside -180..180",
         {}},
        {" <node id=\"9\" lat=\"-90.000001\" lon=\"0\"/>\n",
         "Dropped node \"9\" (line 8): latitude -90.000001 is outside -90..90",
         {}},
        // A way that runs round a triangle and on again keeps the first round only.
        {road("7", {1, 2, 3, 1, 2, 3, 1}),
         "Trimmed way \"7\" (line 8): 3 node references from position 5 on dropped: they travel the segment 1-2 "
         "again",
         {{1, 2, 3, 1}}},
        {road("7", {1, 2, 1}), "Trimmed way \"7\" (line 8): 1 node references from position 3 on dropped", {{1, 2}}},
        {road("7", {1, 1, 2, 2, 3}),
         "Trimmed way \"7\" (line 8): 2 node references dropped that repeat the reference",
         {{1, 2, 3}}},
        {road("7", {4, 4, 4}), "Dropped way \"7\" (line 8): fewer than two distinct node references", {}},
        // Both ids fall back to 0, so the second way cannot be kept: it is named, not lost silently.
        {road("abc", {1, 2}) + road("xyz", {3, 4}),
         "Dropped way \"xyz\" (line 9): id 0 was taken by an earlier way",
         {{1, 2}}},
        {road("7", {1, 2}) + road("7", {3, 4}),
         "Dropped way \"7\" (line 9): id 7 was taken by an earlier way",
         {{1, 2}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        ASSERT_TRUE(writeAll(path, mapWith(c.body)));
        OSMData data;
        const Reading reading = readMap(data, path);
        EXPECT_TRUE(reading.complete);
        if (c.message.empty())
            EXPECT_EQ(reading.messages.find("OSMParser:     Dropped"), std::string::npos) << reading.messages;
        else
            EXPECT_NE(reading.messages.find("OSMParser:     " + c.message), std::string::npos) << reading.messages;
        std::vector<std::vector<int64_t>> ways;
        for (const Way *way : data.ways()->ways())
            ways.push_back(nodeIds(way));
        EXPECT_EQ(ways, c.wayNodes);
    }
}

TEST(HostileMap, AWayGoingRoundThreeNodesTenThousandTimesKeepsOneRound)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    QByteArray way = " <way id=\"7\">";
    for (int i = 0; i < 10000; ++i)
        way += "<nd ref=\"" + QByteArray::number(1 + i % 3) + "\"/>";
    ASSERT_TRUE(writeAll(path, mapWith(way + "<tag k=\"highway\" v=\"residential\"/></way>\n")));
    OSMData data;
    const Reading reading = readMap(data, path);
    EXPECT_NE(reading.messages.find("9996 node references from position 5 on dropped"), std::string::npos);
    ASSERT_EQ(data.ways()->size(), 1u);
    EXPECT_EQ(nodeIds(data.ways()->ways()[0]), (std::vector<int64_t>{1, 2, 3, 1}));
}
