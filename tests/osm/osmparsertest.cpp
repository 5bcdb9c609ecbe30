#include "osm/osmparser.h"
#include "osm/osmdata.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

using namespace osmtest;

namespace {

bool contains(const std::vector<std::string> &lines, const std::string &line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::vector<std::string> countLinesText(size_t ways, size_t nodes, size_t busStops, size_t tramStops, size_t routes)
{
    return {"OSMParser:     Way count: " + std::to_string(ways), "OSMParser:     Node count: " + std::to_string(nodes),
            "OSMParser:     Bus stop count: " + std::to_string(busStops),
            "OSMParser:     Tram stop count: " + std::to_string(tramStops),
            "OSMParser:     Route count: " + std::to_string(routes)};
}

/// Every way, node, stop and relation of `part` is also in `whole`, with the same content: a cut-off
/// document may lose elements but must never store a changed one.
void expectContainedIn(const OSMData &part, const OSMData &whole, const std::string &context)
{
    for (const Node *node : part.nodes()->nodes()) {
        const Node *full = whole.nodes()->findById(node->getId());
        ASSERT_NE(full, nullptr) << context << ": node " << node->getId();
        EXPECT_EQ(node->getLocation(), full->getLocation()) << context << ": node " << node->getId();
        EXPECT_EQ(node->isTrafficSignals(), full->isTrafficSignals()) << context << ": node " << node->getId();
    }
    for (const Way *way : part.ways()->ways()) {
        const Way *full = whole.ways()->findById(way->getId());
        ASSERT_NE(full, nullptr) << context << ": way " << way->getId();
        EXPECT_EQ(nodeIds(way), nodeIds(full)) << context << ": way " << way->getId();
        EXPECT_EQ(way->isHighway(), full->isHighway()) << context << ": way " << way->getId();
        EXPECT_EQ(way->isTram(), full->isTram()) << context << ": way " << way->getId();
        EXPECT_EQ(way->isOneway(), full->isOneway()) << context << ": way " << way->getId();
        EXPECT_EQ(way->getLanesForward(), full->getLanesForward()) << context << ": way " << way->getId();
    }
    for (const OSMRouteRelation *relation : part.routeRelations()->relations()) {
        const OSMRouteRelation *full = whole.routeRelations()->findById(relation->id);
        ASSERT_NE(full, nullptr) << context << ": relation " << relation->id;
        EXPECT_EQ(relation->ways, full->ways) << context << ": relation " << relation->id;
        EXPECT_EQ(relation->forwardWays, full->forwardWays) << context << ": relation " << relation->id;
        EXPECT_EQ(relation->backwardWays, full->backwardWays) << context << ": relation " << relation->id;
        EXPECT_EQ(relation->stopNodes, full->stopNodes) << context << ": relation " << relation->id;
        EXPECT_EQ(relation->name, full->name) << context << ": relation " << relation->id;
        EXPECT_EQ(relation->ref, full->ref) << context << ": relation " << relation->id;
    }
    for (const OSMStops *stops : {part.busStops(), part.tramStops()}) {
        const OSMStops *fullStops = stops == part.busStops() ? whole.busStops() : whole.tramStops();
        for (const OSMStop *stop : stops->stops()) {
            const Node *fullNode = whole.nodes()->findById(stop->getNode()->getId());
            ASSERT_NE(fullNode, nullptr) << context;
            EXPECT_NE(fullStops->findByNameAndNode(stop->getName(), fullNode), nullptr)
                << context << ": stop " << stop->getName();
        }
    }
}

} // namespace

TEST(OSMParserFile, ReadsTheSmallExtractWithItsMessages)
{
    OSMData data;
    const QString path = fixture("n6w2r2.osm");
    const std::vector<std::string> lines = parseCapturing(path, &data);

    std::vector<std::string> expected = {"OSMParser: Opening file \"" + path.toStdString() + "\"...",
                                         "OSMParser: Opening Done", "OSMParser: Parsing...",
                                         "OSMParser:     Nodes shaked: 1", "OSMParser: File parse done!"};
    for (const std::string &line : countLinesText(2, 5, 1, 2, 1))
        expected.push_back(line);
    EXPECT_EQ(lines, expected);

    const Way *road = data.ways()->findById(10);
    ASSERT_NE(road, nullptr);
    EXPECT_EQ(nodeIds(road), (std::vector<int64_t>{1, 2, 3}));
    EXPECT_TRUE(road->isHighway());
    EXPECT_EQ(road->getRoadClass(), Residential);
    EXPECT_TRUE(data.nodes()->findById(2)->isTrafficSignals());
    EXPECT_FALSE(data.nodes()->findById(1)->isTrafficSignals());
    EXPECT_EQ(data.nodes()->findById(6), nullptr);
    EXPECT_DOUBLE_EQ(data.nodes()->findById(4)->getLocation().lat, 60.173);
    EXPECT_DOUBLE_EQ(data.nodes()->findById(4)->getLocation().lon, 24.943);

    // The stop node no way carries survives the shaking.
    ASSERT_NE(data.nodes()->findById(5), nullptr);
    EXPECT_EQ(data.tramStops()->findByNode(data.nodes()->findById(5))->getName(), "Hakaniemi");

    ASSERT_EQ(data.routeRelations()->size(), 1u);
    const OSMRouteRelation *route = data.routeRelations()->relations()[0];
    EXPECT_EQ(route->id, 20);
    EXPECT_EQ(route->ref, "3");
    EXPECT_EQ(route->name, "3 Kallio\u2013Eira");
    EXPECT_EQ(route->route, "tram");
    EXPECT_EQ(route->ways, std::vector<int64_t>{11});
    EXPECT_EQ(route->forwardWays, std::vector<int64_t>{10});
    EXPECT_EQ(route->stopNodes, std::vector<int64_t>{5});
}

TEST(OSMParserFile, ReadingTwiceAddsNothing)
{
    OSMData data;
    parseCapturing(fixture("n6w2r2.osm"), &data);
    const std::vector<std::string> lines = parseCapturing(fixture("n6w2r2.osm"), &data);
    EXPECT_TRUE(contains(lines, "OSMParser:     Nodes shaked: 1"));
    EXPECT_EQ(countLines(lines), (std::map<std::string, long long>{
                                     {"Way", 2}, {"Node", 5}, {"Bus stop", 1}, {"Tram stop", 2}, {"Route", 1}}));
}

TEST(OSMParserBadInput, MissingFileGivesOneMessageAndNoCounts)
{
    OSMData data;
    data.addNode(1, Location(1, 2)); // unused: it would go if the reader shook the nodes
    const QString path = fixture("no-such-file.osm");
    const std::vector<std::string> lines = parseCapturing(path, &data);
    EXPECT_EQ(lines, (std::vector<std::string>{"OSMParser: Opening file \"" + path.toStdString() + "\"...",
                                               "OSMParser: Opening failed! Filepath: " + path.toStdString()}));
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
        const QString path = dir.filePath(QStringLiteral("input.osm"));
        ASSERT_TRUE(writeAll(path, testCase.content));
        OSMData data;
        const std::vector<std::string> lines = parseCapturing(path, &data);
        ASSERT_EQ(lines.size(), 11u) << testCase.error;
        EXPECT_EQ(lines[3], testCase.error);
        EXPECT_EQ(lines[4], "OSMParser:     Nodes shaked: " + std::to_string(testCase.content.contains("node")));
        EXPECT_EQ(lines[5], "OSMParser: File parse done!");
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 6, lines.end()), countLinesText(0, 0, 0, 0, 0));
    }
}

TEST(OSMParserBadInput, CutOffDocumentsNeverHangAndKeepOnlyCompleteElements)
{
    const QByteArray whole = readAll(fixture("n6w2r2.osm"));
    ASSERT_FALSE(whole.isEmpty());
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
        ASSERT_GE(lines.size(), 10u) << context;
        EXPECT_EQ(lines[lines.size() - 6], "OSMParser: File parse done!") << context;
        if (length < rootEnd) {
            EXPECT_EQ(lines[lines.size() - 8], "OSMParser: Premature end of document.") << context;
        }
        expectContainedIn(data, full, context);
        // Elements only ever appear as the document grows.
        EXPECT_GE(data.ways()->size(), previousWays) << context;
        EXPECT_GE(data.nodes()->size(), previousNodes) << context;
        previousWays = data.ways()->size();
        previousNodes = data.nodes()->size();
        if (length >= rootEnd) {
            EXPECT_EQ(data.ways()->size(), 2u) << context;
            EXPECT_EQ(data.routeRelations()->size(), 1u) << context;
        }
    }
}

TEST(OSMParserBadInput, CutInsideAnElementDropsThatElement)
{
    const QByteArray whole = readAll(fixture("n6w2r2.osm"));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("cut.osm"));
    const struct
    {
        const char *cutBefore;
        size_t ways;
        size_t tramStops;
        size_t relations;
    } cases[] = {
        {"<tag k=\"railway\" v=\"tram_stop\"/>\n </node>\n <node id=\"4\"", 0, 0, 0}, // inside node 3
        {"<nd ref=\"3\"/>\n  <tag k=\"highway\"", 0, 2, 0},                           // inside way 10
        {"<tag k=\"oneway\"", 1, 2, 0},                                               // inside way 11
        {"<tag k=\"name\" v=\"3 Kallio", 2, 2, 0},                                    // inside relation 20
    };
    for (const auto &testCase : cases) {
        const int at = whole.indexOf(testCase.cutBefore);
        ASSERT_GT(at, 0) << testCase.cutBefore;
        ASSERT_TRUE(writeAll(path, whole.left(at)));
        OSMData data;
        parseCapturing(path, &data);
        EXPECT_EQ(data.ways()->size(), testCase.ways) << testCase.cutBefore;
        EXPECT_EQ(data.tramStops()->size(), testCase.tramStops) << testCase.cutBefore;
        EXPECT_EQ(data.routeRelations()->size(), testCase.relations) << testCase.cutBefore;
    }
}

TEST(OSMParserBadInput, NumbersThatAreNotNumbersAndIdsAtTheEdgesOf64Bits)
{
    OSMData data;
    const std::vector<std::string> lines = parseCapturing(fixture("n9w7r3-bad-numbers.osm"), &data);
    const int64_t max = std::numeric_limits<int64_t>::max();
    const int64_t min = std::numeric_limits<int64_t>::min();

    const std::vector<std::string> messages(lines.begin() + 3, lines.end() - 7);
    EXPECT_EQ(messages, (std::vector<std::string>{
                            "OSMParser: Conversion failed lat: north",
                            "OSMParser: Conversion failed lon: ",
                            "OSMParser: Conversion failed id: x4",
                            "OSMParser: Conversion failed lat: nan",
                            "OSMParser: Conversion failed id: ",
                            "OSMParser: Conversion failed id: 9223372036854775808",
                            "OSMParser: Conversion failed id: -9223372036854775809",
                            "OSMParser: Conversion failed id: abc",
                            "OSMParser: Conversion failed id: 9223372036854775808",
                            "addWay finding Node failed: fromId == 0",
                            "OSMParser: Conversion failed relationId: r1",
                            "OSMParser: Conversion failed memberRefId: zz",
                            "OSMParser: Conversion failed memberRefId: 9223372036854775808",
                        }));

    EXPECT_EQ(data.nodes()->size(), 3u);
    ASSERT_NE(data.nodes()->findById(max), nullptr);
    ASSERT_NE(data.nodes()->findById(min), nullptr);
    EXPECT_DOUBLE_EQ(data.nodes()->findById(max)->getLocation().lat, 60.171);

    // Way ids written as fractions are truncated toward zero; whole numbers keep every digit.
    ASSERT_NE(data.ways()->findById(12), nullptr);
    EXPECT_EQ(nodeIds(data.ways()->findById(12)), (std::vector<int64_t>{1, max}));
    ASSERT_NE(data.ways()->findById(-12), nullptr);
    ASSERT_NE(data.ways()->findById(max), nullptr);
    EXPECT_TRUE(data.ways()->findById(max)->isHighway());
    ASSERT_NE(data.ways()->findById(min), nullptr);
    // A way with a bad id is kept as way 0; the later way that also fell back to 0 is a duplicate.
    ASSERT_EQ(data.ways()->getAllById(0).size(), 1u);
    EXPECT_TRUE(data.ways()->findById(0)->isTram());
    EXPECT_EQ(nodeIds(data.ways()->findById(0)), (std::vector<int64_t>{min, 1}));
    // An nd whose ref is not a number refers to node 0, which is missing.
    ASSERT_NE(data.ways()->findById(20), nullptr);
    EXPECT_EQ(nodeIds(data.ways()->findById(20)), std::vector<int64_t>{1});
    EXPECT_EQ(data.ways()->size(), 6u);

    ASSERT_EQ(data.routeRelations()->size(), 2u);
    const OSMRouteRelation *relation = data.routeRelations()->findById(30);
    ASSERT_NE(relation, nullptr);
    EXPECT_EQ(relation->ways, std::vector<int64_t>{min});
    EXPECT_EQ(relation->stopNodes, std::vector<int64_t>{max});
    EXPECT_NE(data.routeRelations()->findById(max), nullptr);
}

TEST(OSMParserWays, TagRules)
{
    OSMData data;
    const std::vector<std::string> lines = parseCapturing(fixture("n4w20-way-tag-rules.osm"), &data);
    const OSMWays &ways = *data.ways();

    struct Expected
    {
        int64_t id;
        bool highway, tram, oneway, link;
        RoadClass roadClass;
        int32_t forward, backward;
    };
    const Expected expected[] = {
        {101, true, false, false, false, Residential, 1, 1}, {102, true, false, true, false, Residential, 1, 0},
        {103, false, true, false, false, Road, 2, 2},        {104, false, true, false, false, Road, 0, 0},
        {107, false, true, false, false, Road, 0, 0},        {108, true, false, false, false, Primary, 1, 1},
        {109, true, false, false, false, Primary, 1, 1},     {111, true, false, false, true, Primary, 1, 1},
        {112, true, false, false, true, Trunk, 1, 1},        {113, true, false, false, false, Residential, 1, 1},
        {114, false, true, false, false, Road, 0, 0},        {117, true, false, false, false, Unclassified, 1, 1},
        {118, false, true, false, false, Road, 0, 0},        {119, true, false, false, false, Road, 1, 1},
        {120, true, false, false, false, Trunk, 1, 1},
    };
    ASSERT_EQ(ways.size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const Expected &e = expected[i];
        const Way *way = ways.ways()[i];
        EXPECT_EQ(way->getId(), e.id);
        EXPECT_EQ(way->isHighway(), e.highway) << e.id;
        EXPECT_EQ(way->isTram(), e.tram) << e.id;
        EXPECT_EQ(way->isOneway(), e.oneway) << e.id;
        EXPECT_EQ(way->isLink(), e.link) << e.id;
        EXPECT_EQ(way->getRoadClass(), e.roadClass) << e.id;
        EXPECT_EQ(way->getLanesForward(), e.forward) << e.id;
        EXPECT_EQ(way->getLanesBackward(), e.backward) << e.id;
    }
    // The repeated id 101 did not replace the first way.
    EXPECT_EQ(nodeIds(ways.findById(101)), (std::vector<int64_t>{1, 2}));
    EXPECT_EQ(nodeIds(ways.findById(117)), (std::vector<int64_t>{1, 4}));
    // A way whose nodes are all missing stays without nodes, one message per reference.
    EXPECT_TRUE(ways.findById(120)->nodes().empty());
    EXPECT_TRUE(contains(lines, "addWay finding Node failed: fromId == 900"));
    EXPECT_TRUE(contains(lines, "addWay finding Node failed: fromId == 901"));
}

TEST(OSMParserNodes, TagRulesStopsAndShaking)
{
    OSMData data;
    const std::vector<std::string> lines = parseCapturing(fixture("n9-node-tag-rules.osm"), &data);
    EXPECT_TRUE(contains(lines, "OSMParser:     Nodes shaked: 3"));
    EXPECT_EQ(data.nodes()->findById(2), nullptr);
    EXPECT_EQ(data.nodes()->findById(3), nullptr);
    EXPECT_EQ(data.nodes()->findById(7), nullptr);

    const Node *both = data.nodes()->findById(1);
    ASSERT_NE(both, nullptr);
    const OSMStop *bus = data.busStops()->findByNode(both);
    const OSMStop *tram = data.tramStops()->findByNode(both);
    ASSERT_NE(bus, nullptr);
    ASSERT_NE(tram, nullptr);
    EXPECT_EQ(bus->getName(), "Rautatieasema");
    EXPECT_EQ(bus->getKind(), BusStop);
    EXPECT_EQ(tram->getKind(), TramStop);
    EXPECT_LT(bus->getId(), tram->getId());

    const Node *renamed = data.nodes()->findById(4);
    ASSERT_NE(renamed, nullptr);
    EXPECT_DOUBLE_EQ(renamed->getLocation().lat, 60.173);
    EXPECT_EQ(data.busStops()->findByNode(renamed)->getName(), "Kolmikulma");
    EXPECT_EQ(data.tramStops()->findByNode(data.nodes()->findById(5))->getName(), "");
    EXPECT_EQ(data.busStops()->findByNode(data.nodes()->findById(6))->getName(), "");
    EXPECT_EQ(data.busStops()->findByNode(data.nodes()->findById(8))->getName(), "Kolmikulma");

    std::vector<int64_t> busStopNodes;
    for (const OSMStop *stop : data.busStops()->stops())
        busStopNodes.push_back(stop->getNode()->getId());
    EXPECT_EQ(busStopNodes, (std::vector<int64_t>{1, 4, 6, 8}));
    EXPECT_EQ(data.tramStops()->size(), 2u);
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

    const OSMRouteRelation *tram = data.routeRelations()->findById(1);
    EXPECT_EQ(tram->ways, (std::vector<int64_t>{11, 14, 15}));
    EXPECT_EQ(tram->forwardWays, std::vector<int64_t>{12});
    EXPECT_EQ(tram->backwardWays, std::vector<int64_t>{13});
    EXPECT_EQ(tram->stopNodes, (std::vector<int64_t>{21, 22, 23}));
    EXPECT_EQ(tram->ref, "6T");
    EXPECT_EQ(tram->name, "6T L\u00e4nsiterminaali\u2013Arabia");
    EXPECT_EQ(tram->route, "tram");

    EXPECT_EQ(data.routeRelations()->findById(3)->route, "trolleybus");
    EXPECT_EQ(data.routeRelations()->findById(5)->route, "tram");
    const OSMRouteRelation *empty = data.routeRelations()->findById(6);
    EXPECT_TRUE(empty->ways.empty() && empty->forwardWays.empty() && empty->backwardWays.empty() &&
                empty->stopNodes.empty());
    EXPECT_EQ(empty->ref, "55");
    EXPECT_EQ(empty->name, "");
}

TEST(OSMParserElements, SelfClosingElementsAndElementEntryPoints)
{
    // The element readers start on the start element and stop after its end element.
    const QByteArray xml = "<osm><node id=\"7\" lat=\"1.5\" lon=\"2.5\"/><way id=\"8\"><nd ref=\"7\"/><nd ref=\"7\"/>"
                           "<tag k=\"railway\" v=\"tram\"/></way><relation id=\"9\"><tag k=\"type\" v=\"route\"/>"
                           "<tag k=\"route\" v=\"bus\"/></relation></osm>";
    QXmlStreamReader reader(xml);
    OSMData data;
    reader.readNextStartElement(); // osm
    reader.readNextStartElement();
    OSMParser::parseNode(reader, &data);
    EXPECT_TRUE(reader.isEndElement());
    EXPECT_EQ(reader.name(), QLatin1String("node"));
    reader.readNextStartElement();
    OSMParser::parseWay(reader, &data);
    EXPECT_EQ(reader.name(), QLatin1String("way"));
    reader.readNextStartElement();
    OSMParser::parseRelation(reader, &data);
    EXPECT_EQ(reader.name(), QLatin1String("relation"));
    ASSERT_NE(data.nodes()->findById(7), nullptr);
    EXPECT_EQ(data.nodes()->findById(7)->getLocation(), Location(1.5, 2.5));
    ASSERT_NE(data.ways()->findById(8), nullptr);
    EXPECT_EQ(nodeIds(data.ways()->findById(8)), (std::vector<int64_t>{7, 7}));
    EXPECT_NE(data.routeRelations()->findById(9), nullptr);
}

TEST(OSMParserDirectory, ReadsEveryOsmFileInNameOrder)
{
    OSMData data;
    const QString dirPath = fixture("stopsdir");
    StderrCapture capture;
    OSMParser::parseTramStopsDir(dirPath, &data);
    const std::vector<std::string> lines = capture.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "OSMParser: Parsing Tram Stops Dir \"" + dirPath.toStdString() + "\":");
    std::vector<std::string> opened;
    for (const std::string &line : lines)
        if (line.rfind("OSMParser: Opening file ", 0) == 0)
            opened.push_back(line);
    EXPECT_EQ(opened, (std::vector<std::string>{
                          "OSMParser: Opening file \"" + dirPath.toStdString() + "/a-n1-tram-stop.osm\"...",
                          "OSMParser: Opening file \"" + dirPath.toStdString() + "/b-n2-tram-stop-bus-stop.osm\"...",
                      }));
    std::vector<std::string> tail(lines.end() - 6, lines.end());
    std::vector<std::string> expectedTail = {"OSMParser: Dir parse done!"};
    for (const std::string &line : countLinesText(0, 2, 1, 1, 0))
        expectedTail.push_back(line);
    EXPECT_EQ(tail, expectedTail);
}

TEST(OSMParserDirectory, MissingDirectorySaysSoAndReadsNothing)
{
    OSMData data;
    StderrCapture capture;
    OSMParser::parseTramStopsDir(fixture("no-such-dir"), &data);
    const std::vector<std::string> lines = capture.lines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], "OSMParser: Opening failed! Dirpath: " + fixture("no-such-dir").toStdString());
    EXPECT_EQ(lines[2], "OSMParser: Dir parse done!");
}

TEST(OSMParserBadInput, NumberTextsAreAcceptedExactlyAsQtConvertsThem)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("numbers.osm"));
    const char *const texts[] = {"60.1643249",
                                 "-0",
                                 "007",
                                 "+5",
                                 " 5",
                                 "5 ",
                                 "1.",
                                 ".5",
                                 "-.5",
                                 "1e2",
                                 "1.2.3",
                                 "-",
                                 "",
                                 "0x10",
                                 "1,5",
                                 "--1",
                                 "999999999999999999",
                                 "1000000000000000000",
                                 "-9223372036854775808",
                                 "inf"};
    for (const char *text : texts) {
        const QString value = QString::fromLatin1(text);
        // One node with the text as its latitude, one with it as its id; both on a way so they stay.
        const QString document =
            QStringLiteral("<osm><node id=\"1\" lat=\"%1\" lon=\"0\"/>"
                           "<node id=\"%1\" lat=\"0\" lon=\"0\"/><node id=\"2\" lat=\"0\" lon=\"0\"/>"
                           "<way id=\"3\"><nd ref=\"1\"/><nd ref=\"%1\"/><nd ref=\"2\"/>"
                           "<tag k=\"railway\" v=\"tram\"/></way></osm>")
                .arg(value);
        ASSERT_TRUE(writeAll(path, document.toUtf8()));
        OSMData data;
        parseCapturing(path, &data);

        bool latOk = false;
        const double lat = value.toDouble(&latOk);
        const Node *byLat = data.nodes()->findById(1);
        if (latOk && std::isfinite(lat)) {
            ASSERT_NE(byLat, nullptr) << "lat \"" << text << "\"";
            EXPECT_EQ(byLat->getLocation().lat, lat) << "lat \"" << text << "\"";
        } else if (byLat) {
            // Only the id text itself can have produced node 1 then.
            EXPECT_EQ(value.toLongLong(), 1) << "lat \"" << text << "\"";
        }

        bool idOk = false;
        const qlonglong id = value.toLongLong(&idOk);
        if (idOk && id != 1 && id != 2) {
            EXPECT_NE(data.nodes()->findById(id), nullptr) << "id \"" << text << "\"";
        }
        const size_t expectedNodes = 1 + (idOk && id != 1 && id != 2) + (latOk && std::isfinite(lat));
        EXPECT_EQ(data.nodes()->size(), expectedNodes) << "\"" << text << "\"";
    }
}
