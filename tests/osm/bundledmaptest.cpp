// Tests on the bundled Helsinki extract and the default map written from it.

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace osmtest;

namespace {

const char *const RAW_EXTRACT = "helsinki_centre.osm";
const char *const DEFAULT_MAP = "kesta_center_2014-04-15_compressed_edited.osm";

/// Both bundled files are read once for all tests of this file.
class BundledMapTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        rawLines = parseCapturing(bundled(RAW_EXTRACT), &raw);
        compactLines = parseCapturing(bundled(DEFAULT_MAP), &compact);
    }

    static OSMData raw;
    static OSMData compact;
    static std::vector<std::string> rawLines;
    static std::vector<std::string> compactLines;
};

OSMData BundledMapTest::raw;
OSMData BundledMapTest::compact;
std::vector<std::string> BundledMapTest::rawLines;
std::vector<std::string> BundledMapTest::compactLines;

} // namespace

TEST_F(BundledMapTest, PrintedCountsMatchTheExtract)
{
    // Figures of the extract counted apart from the reader (osmium, see data/README.md): 757 accepted
    // roads and 182 tram ways, 92 bus and 40 tram stop nodes, 20 tram and 161 bus route relations.
    EXPECT_EQ(countLines(rawLines), counts(939, 2523, 92, 40, 181));
    // The default map keeps every one of them but the 35 road or tram ways that the cut at the bounding
    // box left with fewer than two nodes.
    EXPECT_EQ(countLines(compactLines), counts(939 - 35, 2523, 92, 40, 181));
    EXPECT_EQ(countLines(compactLines),
              counts(compact.ways()->size(), compact.nodes()->size(), compact.busStops()->size(),
                     compact.tramStops()->size(), compact.routeRelations()->size()));
}

TEST_F(BundledMapTest, DefaultMapReadsBackToTheModelOfTheRawExtract)
{
    expectReadBackEqual(raw, compact);
    EXPECT_GT(compact.ways()->size(), 900u);
}

TEST_F(BundledMapTest, RawExtractCutInTwentyPlacesKeepsOnlyCompleteElements)
{
    const QByteArray whole = readAll(bundled(RAW_EXTRACT));
    ASSERT_GT(whole.size(), 1000000);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("cut.osm"));
    // Fifteen odd offsets spread over the file, and five cuts right after the bus_stop tag of a stop node
    // that has its name tag further on: a stop stored from such a cut-off node would lose its name.
    std::vector<int> lengths;
    for (int i = 0; i < 15; ++i)
        lengths.push_back(static_cast<int>((static_cast<long long>(whole.size()) * (2 * i + 1)) / 30) + 7 * i);
    const QByteArray busStopTag = "<tag k=\"highway\" v=\"bus_stop\"/>";
    for (int from = whole.indexOf(busStopTag); from > 0 && lengths.size() < 20;
         from = whole.indexOf(busStopTag, from + 1)) {
        const int cut = from + busStopTag.size();
        const int name = whole.indexOf("<tag k=\"name\"", cut);
        if (name > 0 && name < whole.indexOf("</node>", cut))
            lengths.push_back(cut);
    }
    ASSERT_EQ(lengths.size(), 20u);
    for (int length : lengths) {
        ASSERT_TRUE(writeAll(path, whole.left(length)));
        OSMData data;
        const std::vector<std::string> lines = parseCapturing(path, &data);
        const std::string context = "cut at byte " + std::to_string(length);
        ASSERT_GE(lines.size(), 10u) << context;
        EXPECT_EQ(lines[lines.size() - 8], "OSMParser: Premature end of document.") << context;
        expectContainedIn(data, raw, context);
    }
}
