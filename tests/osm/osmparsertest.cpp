#include "osm/osmparser.h"
#include "osm/osmdata.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <limits>

using namespace osmtest;

namespace {

bool contains(const std::vector<std::string> &lines, const std::string &line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace

TEST(OSMParserFile, ReadsTheSmallExtractWithItsMessagesAndAddsNothingOnASecondRead)
{
    OSMData data;
    const QString path = fixture("n6w2r2.osm");
    const std::vector<std::string> lines = parseCapturing(path, &data);
    EXPECT_EQ(countLines(lines), counts(2, 5, 1, 2, 1));
    EXPECT_TRUE(data.nodes()->findById(2)->isTrafficSignals());
    EXPECT_EQ(data.nodes()->findById(6), nullptr);
    EXPECT_EQ(data.nodes()->findById(4)->getLocation(), Location(60.173, 24.943)); // a self-closing element
    // The stop node no way carries survives the shaking.
    ASSERT_NE(data.nodes()->findById(5), nullptr);
    EXPECT_EQ(data.tramStops()->findByNode(data.nodes()->findById(5))->getName(), "Hakaniemi");

    EXPECT_EQ(countLines(parseCapturing(path, &data)), counts(2, 5, 1, 2, 1));
}

TEST(OSMParserBadInput, MissingFileGivesOneMessageAndNoCounts)
{
    OSMData data;
    data.addNode(1, Location(1, 2)); // unused: it would go if the reader shook the nodes
    EXPECT_TRUE(countLines(parseCapturing(fixture("no-such-file.osm"), &data)).empty());
    EXPECT_EQ(data.nodes()->size(), 1u);
}

TEST(OSMParserBadInput, EmptyAndNonXmlFilesReportTheXmlErrorThenShakeAndCount)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct
    {
        QByteArray content;
        std::string error;
    } cases[] = {
        {QByteArray(), "OSMParser: Premature end of document."},
        {QByteArray("just some words\n"), "OSMParser: Start tag expected."},
        {QByteArray("<osm><node id=\"1\" lat=\"1\" lon=\"2\"/></way></osm>"),
         "OSMParser: Opening and ending tag mismatch."},
    };
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.error);
        const QString path = dir.filePath(QStringLiteral("input.osm"));
        ASSERT_TRUE(writeAll(path, testCase.content));
        OSMData data;
        const std::vector<std::string> lines = parseCapturing(path, &data);
        EXPECT_TRUE(contains(lines, testCase.error));
        EXPECT_EQ(countLines(lines), counts(0, 0, 0, 0, 0));
    }
}

TEST(OSMParserBadInput, CutOffDocumentsNeverHangAndKeepOnlyCompleteElements)
{
    const QByteArray whole = readAll(fixture("n6w2r2.osm"));
    OSMData full;
    parseCapturing(fixture("n6w2r2.osm"), &full);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("cut.osm"));
    const int rootEnd = whole.indexOf("</osm>") + 6;
    size_t previousWays = 0;
    size_t previousNodes = 0;
    for (int length = 0; length < whole.size(); ++length) {
        ASSERT_TRUE(writeAll(path, whole.left(length)));
        OSMData data;
        const std::vector<std::string> lines = parseCapturing(path, &data);
        const std::string context = "cut at byte " + std::to_string(length);
        EXPECT_EQ(contains(lines, "OSMParser: Premature end of document."), length < rootEnd) << context;
        expectContainedIn(data, full, context);
        // Elements only ever appear as the document grows.
        EXPECT_GE(data.ways()->size(), previousWays) << context;
        EXPECT_GE(data.nodes()->size(), previousNodes) << context;
        previousWays = data.ways()->size();
        previousNodes = data.nodes()->size();
    }
    EXPECT_EQ(previousWays, 2u);
}

TEST(OSMParserBadInput, NumbersThatAreNotNumbersAndIdsAtTheEdgesOf64Bits)
{
    OSMData data;
    const std::vector<std::string> lines = parseCapturing(fixture("n9w7r3-bad-numbers.osm"), &data);
    const int64_t max = std::numeric_limits<int64_t>::max();
    const int64_t min = std::numeric_limits<int64_t>::min();
    // Each element dropped is named after the conversion message: kind, id text, line, reason.
    const std::string notInteger = "id is not a 64-bit integer";
    const std::string notRef = "ref is not a 64-bit integer (relation \"30\")";
    std::vector<std::string> expected;
    for (const auto &message : std::vector<std::pair<std::string, std::string>>{
             {"lat: north", "node \"2\" (line 4): latitude is not a finite number"},
             {"lon: ", "node \"3\" (line 5): longitude is not a finite number"},
             {"id: x4", "node \"x4\" (line 6): " + notInteger},
             {"lat: nan", "node \"5\" (line 7): latitude is not a finite number"},
             {"id: ", "node \"\" (line 8): " + notInteger},
             {"id: 9223372036854775808", "node \"9223372036854775808\" (line 11): " + notInteger},
             {"id: -9223372036854775809", "node \"-9223372036854775809\" (line 12): " + notInteger},
             {"id: abc", ""},
             {"id: 9223372036854775808", "way \"9223372036854775808\" (line 18): id 0 was taken by an earlier way"},
             {"", ""},
             {"relationId: r1", "relation \"r1\" (line 20): " + notInteger},
             {"memberRefId: zz", "member \"zz\" (line 22): " + notRef},
             {"memberRefId: 9223372036854775808", "member \"9223372036854775808\" (line 23): " + notRef}}) {
        if (message.first.empty())
            expected.push_back("addWay finding Node failed: fromId == 0");
        else
            expected.push_back("OSMParser: Conversion failed " + message.first);
        if (!message.second.empty())
            expected.push_back("OSMParser:     Dropped " + message.second);
    }
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end() - 7), expected);
    std::vector<int64_t> nodes;
    for (const Node *node : data.nodes()->nodes())
        nodes.push_back(node->getId());
    EXPECT_EQ(nodes, (std::vector<int64_t>{1, max, min}));
    EXPECT_DOUBLE_EQ(data.nodes()->findById(max)->getLocation().lat, 60.171);

    // Way ids written as fractions are truncated toward zero and whole numbers keep every digit; a bad id
    // falls back to 0 (so the next such way is a duplicate), a bad nd ref to the missing node 0.
    std::vector<std::pair<int64_t, std::vector<int64_t>>> ways;
    for (const Way *way : data.ways()->ways())
        ways.emplace_back(way->getId(), nodeIds(way));
    EXPECT_EQ(ways, (std::vector<std::pair<int64_t, std::vector<int64_t>>>{
                        {12, {1, max}}, {-12, {1, min}}, {max, {1, max}}, {min, {1, min}}, {0, {min, 1}}, {20, {1}}}));
    EXPECT_TRUE(data.ways()->findById(0)->isTram());

    ASSERT_EQ(data.routeRelations()->size(), 2u);
    const OSMRouteRelation *relation = data.routeRelations()->relations()[0];
    EXPECT_EQ(std::tie(relation->id, relation->ways, relation->stopNodes),
              std::make_tuple(30, std::vector<int64_t>{min}, std::vector<int64_t>{max}));
    EXPECT_EQ(data.routeRelations()->relations()[1]->id, max);
}

TEST(OSMParserWays, TagRules)
{
    OSMData data;
    parseCapturing(fixture("n4w20-way-tag-rules.osm"), &data);
    const OSMWays &ways = *data.ways();
    const std::pair<int64_t, const char *> expected[] = {
        {101, "highway residential 1/1"}, {102, "highway oneway residential 1/0"},
        {103, "tram road 2/2"},           {104, "tram road 0/0"},
        {107, "tram road 0/0"},           {108, "highway primary 1/1"},
        {109, "highway primary 1/1"},     {111, "highway link primary 1/1"},
        {112, "highway link trunk 1/1"},  {113, "highway residential 1/1"},
        {114, "tram road 0/0"},           {117, "highway unclassified 1/1"},
        {118, "tram road 0/0"},           {119, "highway road 1/1"},
        {120, "highway trunk 1/1"},
    };
    ASSERT_EQ(ways.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(ways.ways()[i]->getId(), expected[i].first);
        EXPECT_EQ(describe(ways.ways()[i]), expected[i].second) << "way " << expected[i].first;
    }
    // The repeated id 101 did not replace the first way.
    EXPECT_EQ(nodeIds(ways.findById(101)), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(nodeIds(ways.findById(117)), (std::vector<int64_t>{1, 4}));
    EXPECT_TRUE(ways.findById(120)->nodes().empty()); // its nodes are all missing
}

TEST(OSMParserNodes, TagRulesStopsAndShaking)
{
    OSMData data;
    parseCapturing(fixture("n9-node-tag-rules.osm"), &data);
    for (int64_t gone : {2, 3, 7})
        EXPECT_EQ(data.nodes()->findById(gone), nullptr) << "node " << gone;

    EXPECT_DOUBLE_EQ(data.nodes()->findById(4)->getLocation().lat, 60.173);
    EXPECT_EQ(stopsOf(data.busStops()), (std::vector<std::pair<int64_t, std::string>>{
                                            {1, "Rautatieasema"}, {4, "Kolmikulma"}, {6, ""}, {8, "Kolmikulma"}}));
    EXPECT_EQ(stopsOf(data.tramStops()), (std::vector<std::pair<int64_t, std::string>>{{1, "Rautatieasema"}, {5, ""}}));
    // On a node with both tags the bus stop is created first.
    EXPECT_LT(data.busStops()->stops()[0]->getId(), data.tramStops()->stops()[0]->getId());
    EXPECT_TRUE(data.nodes()->findById(9)->isTrafficSignals());
}

TEST(OSMParserRelations, MembersTagsAndAcceptance)
{
    OSMData data;
    parseCapturing(fixture("r8-relation-rules.osm"), &data);
    std::vector<int64_t> ids;
    for (const OSMRouteRelation *relation : data.routeRelations()->relations())
        ids.push_back(relation->id);
    EXPECT_EQ(ids, (std::vector<int64_t>{1, 3, 5, 6}));

    using Ids = std::vector<int64_t>;
    EXPECT_EQ(relationContent(data.routeRelations()->findById(1)),
              std::make_tuple(1, "6T L\u00e4nsiterminaali\u2013Arabia", "6T", "tram", Ids{11, 14, 15}, Ids{12}, Ids{13},
                              Ids{21, 22, 23}));
    EXPECT_EQ(data.routeRelations()->findById(3)->route, "trolleybus");
    EXPECT_EQ(data.routeRelations()->findById(5)->route, "tram");
    EXPECT_EQ(relationContent(data.routeRelations()->findById(6)),
              std::make_tuple(6, "", "55", "bus", Ids{}, Ids{}, Ids{}, Ids{}));
}

TEST(OSMParserDirectory, ReadsEveryOsmFileInNameOrderAndSurvivesAMissingDirectory)
{
    OSMData data;
    {
        StderrCapture quiet;
        OSMParser::parseTramStopsDir(fixture("stopsdir"), &data);
        OSMParser::parseTramStopsDir(fixture("no-such-dir"), &data);
    }
    EXPECT_EQ(data.tramStops()->size(), 1u); // the same stop in both files
    EXPECT_EQ(data.busStops()->size(), 1u);
    EXPECT_EQ(data.nodes()->size(), 2u);
}
