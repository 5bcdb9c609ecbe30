#include "osm/osmwriter.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <tuple>
#include <utility>

using namespace osmtest;

namespace {

using Tags = std::vector<std::pair<std::string, std::string>>;

std::vector<std::string> writeCapturing(OSMData *data, const QString &path)
{
    StderrCapture capture;
    OSMWriter::createOsm(data, path);
    return capture.lines();
}

/// The tags of every element with this name and id in a written file, in document order.
std::vector<Tags> tagsOf(const QString &path, const QString &element, int64_t id)
{
    std::vector<Tags> result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    QXmlStreamReader reader(&file);
    bool inside = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == element) {
            inside = reader.attributes().value(QLatin1String("id")).toLongLong() == id;
            if (inside)
                result.emplace_back();
        } else if (reader.isEndElement() && reader.name() == element) {
            inside = false;
        } else if (inside && reader.isStartElement() && reader.name() == QLatin1String("tag")) {
            result.back().emplace_back(reader.attributes().value(QLatin1String("k")).toString().toStdString(),
                                       reader.attributes().value(QLatin1String("v")).toString().toStdString());
        }
    }
    return result;
}

class OSMWriterTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
};

} // namespace

TEST_F(OSMWriterTest, SmallExtractMatchesTheGoldenFile)
{
    OSMData data;
    parseCapturing(fixture("n6w2r2.osm"), &data);
    const QString target = path("out.osm");
    // A longer file already there is truncated, not overwritten in part.
    ASSERT_TRUE(writeAll(target, QByteArray(200000, 'x')));
    const std::vector<std::string> lines = writeCapturing(&data, target);
    EXPECT_EQ(readAll(target), readAll(fixture("n6w2r2-written.osm")));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "OSMParser: Creating OSM file from osmData... (Filepath: " + target.toStdString() + ")",
                         "OSMParser:     writting bus stop nodes... 1",
                         "OSMParser:     writting tram stop nodes... 2",
                         "OSMParser:     writting regular nodes...5",
                         "OSMParser:     writting ways... 2",
                         "OSMParser:     writting routes... 1",
                         "OSMParser: Creating OMS file done!",
                     }));
}

TEST_F(OSMWriterTest, StopNodesAreWrittenOncePerStopAndReadBackToOneNode)
{
    OSMData data;
    Node *both = data.addNode(1, Location(60.1700001, 24.9400001));
    Node *onWay = data.addNode(2, Location(60.17, 24.95));
    data.addNode(3, Location(60.18, 24.95));
    data.addBusStop("Rautatieasema", both);
    data.addTramStop("Rautatieasema", both);
    data.addBusStop("Kolmikulma", onWay);
    data.addWay(10, {2, 3}, false, true, false, false, Secondary, 1, 1);
    const QString target = path("stops.osm");
    writeCapturing(&data, target);

    EXPECT_EQ(tagsOf(target, QStringLiteral("node"), 1),
              (std::vector<Tags>{{{"name", "Rautatieasema"}, {"highway", "bus_stop"}},
                                 {{"name", "Rautatieasema"}, {"railway", "tram_stop"}}}));
    EXPECT_EQ(tagsOf(target, QStringLiteral("node"), 2),
              (std::vector<Tags>{{{"name", "Kolmikulma"}, {"highway", "bus_stop"}}}));
    EXPECT_EQ(tagsOf(target, QStringLiteral("node"), 3), std::vector<Tags>{Tags{}});

    OSMData back;
    parseCapturing(target, &back);
    EXPECT_EQ(back.nodes()->size(), 3u);
    const Node *readBoth = back.nodes()->findById(1);
    ASSERT_NE(readBoth, nullptr);
    EXPECT_NEAR(readBoth->getLocation().lat, 60.1700001, 1e-9);
    EXPECT_NE(back.busStops()->findByNameAndNode("Rautatieasema", readBoth), nullptr);
    EXPECT_NE(back.tramStops()->findByNameAndNode("Rautatieasema", readBoth), nullptr);
    EXPECT_EQ(back.busStops()->size(), 2u);
    EXPECT_EQ(back.tramStops()->size(), 1u);
}

TEST_F(OSMWriterTest, TrafficSignalsOfAStopNodeSurviveReadingBack)
{
    OSMData data;
    Node *node = data.addNode(1, Location(60.17, 24.94), true);
    data.addTramStop("Simonkatu", node);
    const QString target = path("signals.osm");
    writeCapturing(&data, target);
    OSMData back;
    parseCapturing(target, &back);
    ASSERT_NE(back.nodes()->findById(1), nullptr);
    EXPECT_TRUE(back.nodes()->findById(1)->isTrafficSignals());
    EXPECT_EQ(back.tramStops()->size(), 1u);
}

TEST_F(OSMWriterTest, WayTagsFollowTheLaneRules)
{
    struct Case
    {
        bool highway, tram, oneway;
        int32_t forward, backward;
        Tags tags;
    };
    const Case cases[] = {
        {true, false, false, 1, 1, {{"highway", "primary"}}},
        {true, false, true, 1, 0, {{"highway", "primary"}, {"oneway", "yes"}}},
        {true, false, true, 2, 0, {{"highway", "primary"}, {"oneway", "yes"}, {"lanes", "2"}}},
        {true, false, false, 2, 2, {{"highway", "primary"}, {"lanes", "4"}}},
        {true,
         false,
         false,
         2,
         1,
         {{"highway", "primary"}, {"lanes", "3"}, {"lanes:forward", "2"}, {"lanes:backward", "1"}}},
        {true, false, false, 1, 0, {{"highway", "primary"}, {"lanes:forward", "1"}, {"lanes:backward", "0"}}},
        {true, true, false, 1, 1, {{"highway", "primary"}, {"railway", "tram"}}},
        // Tram-only ways always carry their directed lane counts, the only lane tags the reader takes.
        {false, true, false, 0, 0, {{"railway", "tram"}}},
        {false, true, false, 1, 1, {{"railway", "tram"}, {"lanes:forward", "1"}, {"lanes:backward", "1"}}},
        {false,
         true,
         false,
         2,
         2,
         {{"railway", "tram"}, {"lanes", "4"}, {"lanes:forward", "2"}, {"lanes:backward", "2"}}},
        {false, true, true, 0, 0, {{"railway", "tram"}, {"oneway", "yes"}, {"lanes", "0"}}},
        {false,
         true,
         true,
         2,
         0,
         {{"railway", "tram"}, {"oneway", "yes"}, {"lanes", "2"}, {"lanes:forward", "2"}, {"lanes:backward", "0"}}},
    };
    OSMData data;
    data.addNode(1, Location(60.17, 24.94));
    data.addNode(2, Location(60.18, 24.95));
    int64_t id = 100;
    for (const Case &c : cases)
        data.addWay(id++, {1, 2}, c.tram, c.highway, c.oneway, false, Primary, c.forward, c.backward);
    const QString target = path("lanes.osm");
    writeCapturing(&data, target);
    OSMData back;
    parseCapturing(target, &back);

    id = 100;
    for (const Case &c : cases) {
        EXPECT_EQ(tagsOf(target, QStringLiteral("way"), id), std::vector<Tags>{c.tags}) << "way " << id;
        const Way *original = data.ways()->findById(id);
        const Way *read = back.ways()->findById(id);
        ASSERT_NE(read, nullptr) << "way " << id;
        // Roads get their lanes from the direction on reading; everything else must come back as written.
        if (!c.highway || (c.forward == 1 && c.backward == (c.oneway ? 0 : 1))) {
            EXPECT_EQ(read->getLanesForward(), original->getLanesForward()) << "way " << id;
            EXPECT_EQ(read->getLanesBackward(), original->getLanesBackward()) << "way " << id;
        }
        EXPECT_EQ(read->isOneway(), c.oneway) << "way " << id;
        EXPECT_EQ(read->isTram(), c.tram) << "way " << id;
        EXPECT_EQ(read->isHighway(), c.highway) << "way " << id;
        ++id;
    }
}

TEST_F(OSMWriterTest, HighwayNamesKeepClassAndLink)
{
    OSMData data;
    data.addNode(1, Location(60.17, 24.94));
    data.addNode(2, Location(60.18, 24.95));
    data.addWay(1, {1, 2}, false, true, false, true, Tertiary, 1, 1);
    data.addWay(2, {1, 2}, false, true, false, false, Road, 1, 1);
    const QString target = path("links.osm");
    writeCapturing(&data, target);
    EXPECT_EQ(tagsOf(target, QStringLiteral("way"), 1), (std::vector<Tags>{{{"highway", "tertiary_link"}}}));
    EXPECT_EQ(tagsOf(target, QStringLiteral("way"), 2), (std::vector<Tags>{{{"highway", "road"}}}));
    OSMData back;
    parseCapturing(target, &back);
    EXPECT_TRUE(back.ways()->findById(1)->isLink());
    EXPECT_EQ(back.ways()->findById(1)->getRoadClass(), Tertiary);
}

TEST_F(OSMWriterTest, WayWithoutNodesIsReportedAndLeftOut)
{
    OSMData data;
    StderrCapture quiet;
    data.addWay(5, {91, 92}, false, true, false, false, Road, 1, 1);
    const QString target = path("empty-way.osm");
    const std::vector<std::string> lines = writeCapturing(&data, target);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "OSMParser: oops something is NULL | continue;"), lines.end());
    EXPECT_FALSE(readAll(target).contains("<way"));
}

TEST_F(OSMWriterTest, EmptyDataGivesAnEmptyOsmElementAndZeroCounts)
{
    OSMData data;
    const QString target = path("empty.osm");
    const std::vector<std::string> lines = writeCapturing(&data, target);
    EXPECT_EQ(readAll(target), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm/>\n"));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "OSMParser: Creating OSM file from osmData... (Filepath: " + target.toStdString() + ")",
                         "OSMParser:     writting bus stop nodes... 0",
                         "OSMParser:     writting tram stop nodes... 0",
                         "OSMParser:     writting regular nodes...0",
                         "OSMParser:     writting ways... 0",
                         "OSMParser:     writting routes... 0",
                         "OSMParser: Creating OMS file done!",
                     }));
}

TEST_F(OSMWriterTest, UnopenablePathsCancelWithTheErrorAndWriteNothing)
{
    OSMData data;
    parseCapturing(fixture("n6w2r2.osm"), &data);
    ASSERT_TRUE(writeAll(path("plain-file"), "x"));
    const QString targets[] = {path("missing-dir/out.osm"), path("plain-file/out.osm"), dir.path()};
    for (const QString &target : targets) {
        const std::vector<std::string> lines = writeCapturing(&data, target);
        EXPECT_EQ(lines, (std::vector<std::string>{
                             "OSMParser: Creating OSM file from osmData... (Filepath: " + target.toStdString() + ")",
                             "OSMParser: ERROR: could not open \"" + target.toStdString() +
                                 "\" for writting! Canceling createOsm()",
                         }));
    }
    EXPECT_FALSE(QFileInfo::exists(path("missing-dir/out.osm")));
    EXPECT_FALSE(QFileInfo::exists(path("missing-dir")));
}

TEST_F(OSMWriterTest, DefaultPathIsRelativeToTheWorkingDirectory)
{
    OSMData data;
    parseCapturing(fixture("n6w2r2.osm"), &data);
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));

    StderrCapture withoutDirectory;
    OSMWriter::createOsm(&data);
    const std::vector<std::string> failed = withoutDirectory.lines();

    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("dataOSM/comp")));
    StderrCapture withDirectory;
    OSMWriter::createOsm(&data);
    const std::vector<std::string> written = withDirectory.lines();
    QDir::setCurrent(previous);

    ASSERT_EQ(failed.size(), 2u);
    EXPECT_EQ(failed[0], "OSMParser: Creating OSM file from osmData... (Filepath: ./dataOSM/comp/compressed.osm)");
    EXPECT_EQ(failed[1], "OSMParser: ERROR: could not open \"./dataOSM/comp/compressed.osm\" for writting! "
                         "Canceling createOsm()");
    EXPECT_EQ(written.back(), "OSMParser: Creating OMS file done!");
    EXPECT_EQ(readAll(path("dataOSM/comp/compressed.osm")), readAll(fixture("n6w2r2-written.osm")));
}

TEST_F(OSMWriterTest, AFailingWriteIsReported)
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "no /dev/full on this system";
    OSMData data;
    parseCapturing(fixture("n6w2r2.osm"), &data);
    const std::vector<std::string> lines = writeCapturing(&data, QStringLiteral("/dev/full"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2].rfind("OSMParser: ERROR: writing \"/dev/full\" failed", 0), 0u)
        << lines[lines.size() - 2];
}

TEST_F(OSMWriterTest, WrittenFileReadsBackToTheSameModel)
{
    OSMData data;
    parseCapturing(fixture("n4w20-way-tag-rules.osm"), &data);
    parseCapturing(fixture("n9-node-tag-rules.osm"), &data);
    parseCapturing(fixture("r8-relation-rules.osm"), &data);
    const QString target = path("all.osm");
    writeCapturing(&data, target);
    OSMData back;
    parseCapturing(target, &back);

    size_t expectedWays = 0;
    for (const Way *way : data.ways()->ways()) {
        if (way->nodes().size() < 2)
            continue; // a way cut down to fewer than two nodes cannot be read as a way
        ++expectedWays;
        const Way *read = back.ways()->findById(way->getId());
        ASSERT_NE(read, nullptr) << way->getId();
        EXPECT_EQ(nodeIds(read), nodeIds(way));
        EXPECT_EQ(read->isHighway(), way->isHighway()) << way->getId();
        EXPECT_EQ(read->isTram(), way->isTram()) << way->getId();
        EXPECT_EQ(read->isOneway(), way->isOneway()) << way->getId();
        EXPECT_EQ(read->isLink(), way->isLink()) << way->getId();
        EXPECT_EQ(read->getRoadClass(), way->getRoadClass()) << way->getId();
        EXPECT_EQ(read->getLanesForward(), way->getLanesForward()) << way->getId();
        EXPECT_EQ(read->getLanesBackward(), way->getLanesBackward()) << way->getId();
    }
    EXPECT_EQ(back.ways()->size(), expectedWays);
    ASSERT_EQ(back.nodes()->size(), data.nodes()->size());
    for (const Node *node : data.nodes()->nodes()) {
        const Node *read = back.nodes()->findById(node->getId());
        ASSERT_NE(read, nullptr) << node->getId();
        EXPECT_EQ(read->getLocation(), node->getLocation()) << node->getId();
        EXPECT_EQ(read->isTrafficSignals(), node->isTrafficSignals()) << node->getId();
    }
    ASSERT_EQ(back.busStops()->size(), data.busStops()->size());
    for (size_t i = 0; i < data.busStops()->size(); ++i) {
        EXPECT_EQ(back.busStops()->stops()[i]->getName(), data.busStops()->stops()[i]->getName());
        EXPECT_EQ(back.busStops()->stops()[i]->getNode()->getId(), data.busStops()->stops()[i]->getNode()->getId());
    }
    ASSERT_EQ(back.tramStops()->size(), data.tramStops()->size());
    ASSERT_EQ(back.routeRelations()->size(), data.routeRelations()->size());
    for (size_t i = 0; i < data.routeRelations()->size(); ++i) {
        const OSMRouteRelation *a = data.routeRelations()->relations()[i];
        const OSMRouteRelation *b = back.routeRelations()->relations()[i];
        EXPECT_EQ(std::tie(a->id, a->name, a->ref, a->route, a->ways, a->forwardWays, a->backwardWays, a->stopNodes),
                  std::tie(b->id, b->name, b->ref, b->route, b->ways, b->forwardWays, b->backwardWays, b->stopNodes));
    }
}
