// Maps a careless or hostile writer could produce: positions off the globe, ways that travel their
// own segments again, ids that are not numbers or taken.

#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace osmtest;

namespace {

/// Five nodes near Helsinki on lines 3 to 7, then `body` from line 8 on.
QByteArray mapWith(const QByteArray &body)
{
    QByteArray map = "<?xml version=\"1.0\"?>\n<osm>\n";
    for (int id = 1; id <= 5; ++id)
        map += " <node id=\"" + QByteArray::number(id) + "\" lat=\"60.17" + QByteArray::number(id) +
               "\" lon=\"24.94\"/>\n";
    return map + body + "</osm>\n";
}

QByteArray road(const char *id, const std::vector<int> &refs)
{
    QByteArray way = QByteArray(" <way id=\"") + id + "\">";
    for (int ref : refs)
        way += "<nd ref=\"" + QByteArray::number(ref) + "\"/>";
    return way + "<tag k=\"highway\" v=\"residential\"/></way>\n";
}

} // namespace

TEST(HostileMap, ElementsThatCannotBeKeptAreNamedWithIdLineAndReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    std::vector<int> tenThousand;
    for (int i = 0; i < 10000; ++i)
        tenThousand.push_back(1 + i % 3);
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
        // A way that runs round a triangle and on again keeps the first round only.
        {road("7", {1, 2, 3, 1, 2, 3, 1}),
         "Trimmed way \"7\" (line 8): 3 node references from position 5 on dropped: they travel the segment 1-2 "
         "again",
         {{1, 2, 3, 1}}},
        {road("7", tenThousand), "9996 node references from position 5 on dropped", {{1, 2, 3, 1}}},
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
        SCOPED_TRACE(c.message);
        ASSERT_TRUE(writeAll(path, mapWith(c.body)));
        OSMData data;
        bool complete = false;
        const std::string said = parseCapturing(path, &data, &complete);
        EXPECT_TRUE(complete);
        EXPECT_NE(said.find(c.message), std::string::npos) << said;
        std::vector<std::vector<int64_t>> ways;
        for (const Way *way : data.ways()->ways())
            ways.push_back(nodeIds(way));
        EXPECT_EQ(ways, c.wayNodes);
    }
}
