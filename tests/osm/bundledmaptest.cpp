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
