#include "osm/osmwriter.h"
#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace osmtest;

namespace {

std::vector<std::string> writeCapturing(OSMData *data, const QString &path)
{
    StderrCapture capture;
    OSMWriter::createOsm(data, path);
    return capture.lines();
}

/// The tags of every element with this name and id in a written file, in document order, each element's
/// tags as "k=v" joined by spaces.
std::vector<std::string> tagsOf(const QString &path, const char *element, int64_t id)
{
    const QRegularExpression elementPattern(
        QStringLiteral("<%1 id=\"%2\"[^>]*?(/>|>(.*?)</%1>)").arg(QLatin1String(element)).arg(id),
        QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpression tagPattern(QStringLiteral("<tag k=\"([^\"]*)\" v=\"([^\"]*)\"/>"));
    std::vector<std::string> result;
    for (auto elements = elementPattern.globalMatch(QString::fromUtf8(readAll(path))); elements.hasNext();) {
        std::string tags;
        for (auto found = tagPattern.globalMatch(elements.next().captured(2)); found.hasNext();) {
            const QRegularExpressionMatch tag = found.next();
            tags += (tags.empty() ? "" : " ") + tag.captured(1).toStdString() + "=" + tag.captured(2).toStdString();
        }
        result.push_back(tags);
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

TEST_F(OSMWriterTest, SmallExtractMatchesTheGoldenFileAndEmptyDataGivesAnEmptyOsmElement)
{
    OSMData data;
    const QString target = path("out.osm");
    writeCapturing(&data, target);
    EXPECT_EQ(readAll(target), QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm/>\n"));

    parseCapturing(fixture("n6w2r2.osm"), &data);
    // A longer file already there is truncated, not overwritten in part.
    ASSERT_TRUE(writeAll(target, QByteArray(200000, 'x')));
    writeCapturing(&data, target);
    EXPECT_EQ(readAll(target), readAll(fixture("n6w2r2-written.osm")));
}

TEST_F(OSMWriterTest, StopNodesAreWrittenOncePerStopAndEverythingReadsBack)
{
    OSMData data;
    Node *both = data.addNode(1, Location(60.1700001, 24.9400001), true);
    Node *onWay = data.addNode(2, Location(60.17, 24.95));
    data.addNode(3, Location(60.18, 24.95));
    data.addBusStop("Rautatieasema", both);
    data.addTramStop("Rautatieasema", both);
    data.addBusStop("Kolmikulma", onWay);
    data.addWay(10, {2, 3}, false, true, false, false, Secondary, 1, 1);
    const QString target = path("stops.osm");
    writeCapturing(&data, target);

    EXPECT_EQ(tagsOf(target, "node", 1),
              (std::vector<std::string>{"name=Rautatieasema highway=bus_stop highway=traffic_signals",
                                        "name=Rautatieasema railway=tram_stop highway=traffic_signals"}));
    EXPECT_EQ(tagsOf(target, "node", 2), std::vector<std::string>{"name=Kolmikulma highway=bus_stop"});
    EXPECT_EQ(tagsOf(target, "node", 3), std::vector<std::string>{""});

    // Written together with every tag rule of the reader, all reads back to the same model.
    for (const char *name : {"n4w20-way-tag-rules.osm", "n9-node-tag-rules.osm", "r8-relation-rules.osm"})
        parseCapturing(fixture(name), &data);
    writeCapturing(&data, target);
    OSMData back;
    parseCapturing(target, &back);
    expectReadBackEqual(data, back);
    EXPECT_TRUE(back.nodes()->findById(1)->isTrafficSignals());
}

TEST_F(OSMWriterTest, WayTagsFollowTheClassAndLaneRules)
{
    struct Case
    {
        bool highway, tram, oneway, link;
        RoadClass roadClass;
        int32_t forward, backward;
        const char *tags;
    };
    const Case cases[] = {
        {true, false, false, false, Primary, 1, 1, "highway=primary"},
        {true, false, true, false, Primary, 1, 0, "highway=primary oneway=yes"},
        {true, false, true, false, Primary, 2, 0, "highway=primary oneway=yes lanes=2"},
        {true, false, false, false, Primary, 2, 2, "highway=primary lanes=4"},
        {true, false, false, false, Primary, 2, 1, "highway=primary lanes=3 lanes:forward=2 lanes:backward=1"},
        {true, false, false, false, Primary, 1, 0, "highway=primary lanes:forward=1 lanes:backward=0"},
        {true, false, false, true, Tertiary, 1, 1, "highway=tertiary_link"},
        {true, false, false, false, Road, 1, 1, "highway=road"},
        {true, true, false, false, Primary, 1, 1, "highway=primary railway=tram"},
        // Tram-only ways always carry their directed lane counts, the only lane tags the reader takes.
        {false, true, false, false, Road, 0, 0, "railway=tram"},
        {false, true, false, false, Road, 1, 1, "railway=tram lanes:forward=1 lanes:backward=1"},
        {false, true, false, false, Road, 2, 2, "railway=tram lanes=4 lanes:forward=2 lanes:backward=2"},
        {false, true, true, false, Road, 0, 0, "railway=tram oneway=yes lanes=0"},
        {false, true, true, false, Road, 2, 0, "railway=tram oneway=yes lanes=2 lanes:forward=2 lanes:backward=0"},
    };
    OSMData data;
    data.addNode(1, Location(60.17, 24.94));
    data.addNode(2, Location(60.18, 24.95));
    int64_t id = 100;
    for (const Case &c : cases)
        data.addWay(id++, {1, 2}, c.tram, c.highway, c.oneway, c.link, c.roadClass, c.forward, c.backward);
    const QString target = path("lanes.osm");
    writeCapturing(&data, target);
    OSMData back;
    parseCapturing(target, &back);

    id = 100;
    for (const Case &c : cases) {
        SCOPED_TRACE("way " + std::to_string(id) + ": " + c.tags);
        EXPECT_EQ(tagsOf(target, "way", id), std::vector<std::string>{c.tags});
        const Way *read = back.ways()->findById(id);
        ASSERT_NE(read, nullptr);
        // Roads take their lanes from the direction on reading; everything else comes back as written.
        if (!c.highway || (c.forward == 1 && c.backward == (c.oneway ? 0 : 1))) {
            EXPECT_EQ(describe(read), describe(data.ways()->findById(id)));
        }
        ++id;
    }
}

TEST_F(OSMWriterTest, WayWithoutNodesIsReportedAndLeftOut)
{
    OSMData data;
    StderrCapture quiet;
    data.addWay(5, {91, 92}, false, true, false, false, Road, 1, 1);
    const QString target = path("empty-way.osm");
    writeCapturing(&data, target);
    EXPECT_FALSE(readAll(target).contains("<way"));
}

TEST_F(OSMWriterTest, UnopenablePathsCancelWithTheErrorAndWriteNothing)
{
    OSMData data;
    parseCapturing(fixture("n6w2r2.osm"), &data);
    ASSERT_TRUE(writeAll(path("plain-file"), "x"));
    for (const QString &target : {path("missing-dir/out.osm"), path("plain-file/out.osm"), dir.path()})
        EXPECT_EQ(writeCapturing(&data, target).size(), 2u) << target.toStdString(); // the start and the error
    EXPECT_FALSE(QFileInfo::exists(path("missing-dir")));
    EXPECT_EQ(readAll(path("plain-file")), "x");
}

TEST_F(OSMWriterTest, DefaultPathIsRelativeToTheWorkingDirectory)
{
    OSMData data;
    parseCapturing(fixture("n6w2r2.osm"), &data);
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("dataOSM/comp")));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    {
        StderrCapture quiet;
        OSMWriter::createOsm(&data);
    }
    QDir::setCurrent(previous);
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
    EXPECT_NE(lines[lines.size() - 2].find("ERROR"), std::string::npos) << lines[lines.size() - 2];
}
