#include "osm/osmparser.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <limits>

using namespace osmtest;

TEST(OSMParser, ReadsTheSmallExtractAndOnCutsOrBadFilesSaysWhatIsWrongAndKeepsOnlyCompleteElements)
{
    OSMData full;
    parseCapturing(fixture("n6w2r2.osm"), &full);
    EXPECT_EQ(std::make_tuple(full.ways()->size(), full.nodes()->size(), full.busStops()->size(),
                              full.tramStops()->size(), full.routeRelations()->size()),
              std::make_tuple(size_t(2), size_t(5), size_t(1), size_t(2), size_t(1)));
    EXPECT_TRUE(full.nodes()->findById(2)->isTrafficSignals());
    EXPECT_EQ(full.nodes()->findById(6), nullptr);
    EXPECT_EQ(full.nodes()->findById(4)->getLocation(), Location(60.173, 24.943)); // a self-closing element
    // The stop node no way carries survives the shaking.
    EXPECT_EQ(full.tramStops()->findByNode(full.nodes()->findById(5))->getName(), "Hakaniemi");
    OSMData twice;
    parseCapturing(fixture("n6w2r2.osm"), &twice);
    parseCapturing(fixture("n6w2r2.osm"), &twice);
    expectSameData(twice, full);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.osm"));
    for (const QByteArray &content : {QByteArray("missing"), QByteArray(), QByteArray("just some words\n"),
                                      QByteArray("<osm><node id=\"1\" lat=\"1\" lon=\"2\"/></way></osm>")}) {
        ASSERT_TRUE(writeAll(path, content));
        OSMData data;
        bool complete = true;
        parseCapturing(content == "missing" ? fixture("no-such-file.osm") : path, &data, &complete);
        EXPECT_FALSE(complete) << content.toStdString();
        EXPECT_EQ(data.nodes()->size(), 0u);
    }
    // Every cut of a whole document: elements only ever appear as the document grows, unchanged.
    const QByteArray whole = readAll(fixture("n6w2r2.osm"));
    const int rootEnd = whole.indexOf("</osm>") + 6;
    size_t previousWays = 0, previousNodes = 0;
    for (int length = 0; length < whole.size(); ++length) {
        ASSERT_TRUE(writeAll(path, whole.left(length)));
        OSMData data;
        const std::string said = parseCapturing(path, &data);
        const std::string context = "cut at byte " + std::to_string(length);
        EXPECT_EQ(said.find("Premature end of document") != std::string::npos, length < rootEnd) << context;
        expectContainedIn(data, full, context);
        EXPECT_GE(data.ways()->size(), previousWays) << context;
        EXPECT_GE(data.nodes()->size(), previousNodes) << context;
        previousWays = data.ways()->size();
        previousNodes = data.nodes()->size();
    }
    EXPECT_EQ(previousWays, 2u);
}

TEST(OSMParser, NumbersThatAreNotNumbersAndIdsAtTheEdgesOf64Bits)
{
    OSMData data;
    parseCapturing(fixture("n9w7r3-bad-numbers.osm"), &data);
    const int64_t max = std::numeric_limits<int64_t>::max(), min = std::numeric_limits<int64_t>::min();
    std::vector<int64_t> nodes;
    for (const Node *node : data.nodes()->nodes())
        nodes.push_back(node->getId());
    EXPECT_EQ(nodes, (std::vector<int64_t>{1, max, min}));
    // Way ids written as fractions are truncated toward zero and whole numbers keep every digit; a bad id
    // falls back to 0 (so the next such way is a duplicate), a bad nd ref to the missing node 0.
    std::vector<std::pair<int64_t, std::vector<int64_t>>> ways;
    for (const Way *way : data.ways()->ways())
        ways.emplace_back(way->getId(), nodeIds(way));
    EXPECT_EQ(ways, (std::vector<std::pair<int64_t, std::vector<int64_t>>>{
                        {12, {1, max}}, {-12, {1, min}}, {max, {1, max}}, {min, {1, min}}, {0, {min, 1}}, {20, {1}}}));
    ASSERT_EQ(data.routeRelations()->size(), 2u);
    const OSMRouteRelation *relation = data.routeRelations()->relations()[0];
    EXPECT_EQ(std::tie(relation->id, relation->ways, relation->stopNodes),
              std::make_tuple(30, std::vector<int64_t>{min}, std::vector<int64_t>{max}));
    EXPECT_EQ(data.routeRelations()->relations()[1]->id, max);
}

TEST(OSMParser, WayTagRules)
{
    OSMData data;
    parseCapturing(fixture("n4w20-way-tag-rules.osm"), &data);
    const OSMWays &ways = *data.ways();
    const std::vector<std::string> expected = {"101 highway residential 1/1", "102 highway oneway residential 1/0",
                                               "103 tram road 2/2",           "104 tram road 0/0",
                                               "107 tram road 0/0",           "108 highway primary 1/1",
                                               "109 highway primary 1/1",     "111 highway link primary 1/1",
                                               "112 highway link trunk 1/1",  "113 highway residential 1/1",
                                               "114 tram road 0/0",           "117 highway unclassified 1/1",
                                               "118 tram road 0/0",           "119 highway road 1/1",
                                               "120 highway trunk 1/1"};
    std::vector<std::string> read;
    for (const Way *way : ways.ways())
        read.push_back(std::to_string(way->getId()) + " " + describe(way));
    EXPECT_EQ(read, expected);
    // The repeated id 101 did not replace the first way.
    EXPECT_EQ(nodeIds(ways.findById(101)), (std::vector<int64_t>{1, 2}));
    EXPECT_TRUE(ways.findById(120)->nodes().empty()); // its nodes are all missing
}

TEST(OSMParser, NodeTagRulesStopsAndShaking)
{
    OSMData data;
    parseCapturing(fixture("n9-node-tag-rules.osm"), &data);
    for (int64_t gone : {2, 3, 7})
        EXPECT_EQ(data.nodes()->findById(gone), nullptr) << "node " << gone;
    EXPECT_DOUBLE_EQ(data.nodes()->findById(4)->getLocation().lat, 60.173);
    EXPECT_EQ(stopsOf(data.busStops()), (std::vector<std::pair<int64_t, std::string>>{
                                            {1, "Rautatieasema"}, {4, "Kolmikulma"}, {6, ""}, {8, "Kolmikulma"}}));
    EXPECT_EQ(stopsOf(data.tramStops()), (std::vector<std::pair<int64_t, std::string>>{{1, "Rautatieasema"}, {5, ""}}));
    EXPECT_TRUE(data.nodes()->findById(9)->isTrafficSignals());
}

TEST(OSMParser, RelationMembersTagsAndAcceptance)
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
}

TEST(OSMParser, ADocumentThatIsNotAMapIsRefusedAndWhatIsOutOfPlaceOrOfNoKnownTypeIsNamed)
{
    const QByteArray nodes =
        "<node id=\"1\" lat=\"60.17\" lon=\"24.94\"/><node id=\"2\" lat=\"60.18\" lon=\"24.94\"/>\n";
    const QByteArray road = "<way id=\"10\"><nd ref=\"1\"/><nd ref=\"2\"/><tag k=\"highway\" v=\"primary\"/></way>\n";
    const struct
    {
        QByteArray content;
        bool complete;
        std::string said; // in the problem or on standard error; empty: nothing is named
        size_t ways;
    } cases[] = {
        {"<foo><osm>" + nodes + road + "</osm></foo>", false, "its root element is <foo>, not <osm>", 0},
        {"<osm>\n" + nodes +
             "<way id=\"10\"><nd ref=\"1\"/><tag k=\"highway\" v=\"primary\"/><x><nd ref=\"2\"/></x>"
             "</way>\n</osm>",
         true, "Ignored <nd> (line 3) inside <x>", 0},
        {"<osm>\n" + nodes + road +
             "<relation id=\"5\"><member type=\"foo\" ref=\"10\"/><member ref=\"10\"/><member type=\"way\"/>"
             "<tag k=\"type\" v=\"route\"/><tag k=\"route\" v=\"bus\"/></relation></osm>",
         true,
         "Dropped member \"10\" (line 4): unknown type \"foo\" (relation \"5\")\n"
         "OSMParser:     Dropped member \"10\" (line 4): it has no type (relation \"5\")\n"
         "OSMParser:     Dropped member \"\" (line 4): it has no ref (relation \"5\")\n",
         1},
        // Elements of no known name are tolerated anywhere, and so is a missing version.
        {"<osm generator=\"newer\"><bounds/><meta><x/></meta>" + nodes +
             "<way id=\"10\"><nd ref=\"1\"/><center/><nd ref=\"2\"/><tag k=\"highway\" v=\"primary\"/></way>"
             "<relation id=\"5\"><member type=\"relation\" ref=\"6\"/><x/></relation>"
             "<changeset id=\"3\"><tag k=\"comment\" v=\"fine\"/></changeset></osm>",
         true, "", 1},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.osm"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        ASSERT_TRUE(writeAll(path, c.content));
        OSMData data;
        QString problem;
        Diagnostics diagnostics;
        EXPECT_EQ(OSMParser::parseFile(path, &data, &problem, XmlReadLimits(), &diagnostics), c.complete);
        const std::string said = problem.toStdString() + printed(diagnostics);
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        if (c.said.empty()) {
            EXPECT_EQ(said.find("    Ignored"), std::string::npos) << said;
            EXPECT_EQ(said.find("    Dropped"), std::string::npos) << said;
        }
        EXPECT_EQ(problem.contains(path), !c.complete);
        EXPECT_EQ(data.ways()->size(), c.ways);
    }
}
