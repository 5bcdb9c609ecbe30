// Tests on the bundled Helsinki extract and the default map written from it.

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cmath>
#include <set>
#include <utility>

using namespace osmtest;

namespace {

const char *const RAW_EXTRACT = "helsinki_centre.osm";
const char *const DEFAULT_MAP = "kesta_center_2014-04-15_compressed_edited.osm";

/// Counts what a read of `path` must keep, written independently of the reader: every element is first
/// collected whole (attributes and a key to value map of its tags), then the acceptance rules are
/// applied to the collected element.
std::map<std::string, long long> countIndependently(const QString &path)
{
    static const QSet<QString> acceptedHighways = {
        QStringLiteral("motorway"),       QStringLiteral("trunk"),        QStringLiteral("trunk_link"),
        QStringLiteral("primary"),        QStringLiteral("primary_link"), QStringLiteral("secondary"),
        QStringLiteral("secondary_link"), QStringLiteral("tertiary"),     QStringLiteral("tertiary_link"),
        QStringLiteral("unclassified"),   QStringLiteral("residential"),  QStringLiteral("road")};
    static const QSet<QString> lineTypes = {QStringLiteral("tram"), QStringLiteral("bus"),
                                            QStringLiteral("trolleybus")};

    struct Element
    {
        QString kind;
        QXmlStreamAttributes attributes;
        QHash<QString, QString> tags;
        QStringList refs;
    };

    QSet<qlonglong> knownNodes;
    QSet<qlonglong> usedNodes;
    QSet<qlonglong> keptWays;
    QSet<qlonglong> keptRelations;
    std::set<std::pair<std::string, qlonglong>> busStops;
    std::set<std::pair<std::string, qlonglong>> tramStops;

    auto finish = [&](const Element &element) {
        bool ok = false;
        const qlonglong id = element.attributes.value(QLatin1String("id")).toLongLong(&ok);
        if (!ok)
            return;
        const QString name = element.tags.value(QStringLiteral("name"));
        if (element.kind == QLatin1String("node")) {
            knownNodes.insert(id);
            if (element.tags.value(QStringLiteral("highway")) == QLatin1String("bus_stop")) {
                busStops.emplace(name.toStdString(), id);
                usedNodes.insert(id);
            }
            if (element.tags.value(QStringLiteral("railway")) == QLatin1String("tram_stop")) {
                tramStops.emplace(name.toStdString(), id);
                usedNodes.insert(id);
            }
        } else if (element.kind == QLatin1String("way")) {
            const bool accepted = acceptedHighways.contains(element.tags.value(QStringLiteral("highway"))) ||
                                  element.tags.value(QStringLiteral("railway")) == QLatin1String("tram");
            if (!accepted || element.refs.size() < 2 || keptWays.contains(id))
                return;
            keptWays.insert(id);
            for (const QString &ref : element.refs)
                if (knownNodes.contains(ref.toLongLong()))
                    usedNodes.insert(ref.toLongLong());
        } else if (element.tags.value(QStringLiteral("type")) == QLatin1String("route") &&
                   lineTypes.contains(element.tags.value(QStringLiteral("route")))) {
            keptRelations.insert(id);
        }
    };

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader reader(&file);
    Element current;
    bool inside = false;
    while (!reader.atEnd()) {
        reader.readNext();
        const QString name = reader.name().toString();
        const bool top =
            name == QLatin1String("node") || name == QLatin1String("way") || name == QLatin1String("relation");
        if (reader.isStartElement() && top) {
            current = Element{name, reader.attributes(), {}, {}};
            inside = true;
        } else if (reader.isEndElement() && top && inside) {
            finish(current);
            inside = false;
        } else if (reader.isStartElement() && inside && name == QLatin1String("tag")) {
            current.tags.insert(reader.attributes().value(QLatin1String("k")).toString(),
                                reader.attributes().value(QLatin1String("v")).toString());
        } else if (reader.isStartElement() && inside && name == QLatin1String("nd")) {
            current.refs.append(reader.attributes().value(QLatin1String("ref")).toString());
        }
    }
    return {{"Way", keptWays.size()},
            {"Node", usedNodes.size()},
            {"Bus stop", static_cast<long long>(busStops.size())},
            {"Tram stop", static_cast<long long>(tramStops.size())},
            {"Route", keptRelations.size()}};
}

/// Both bundled files are read once for all tests of this file.
class BundledMapTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        raw = new OSMData;
        rawLines = new std::vector<std::string>(parseCapturing(bundled(RAW_EXTRACT), raw));
        compact = new OSMData;
        compactLines = new std::vector<std::string>(parseCapturing(bundled(DEFAULT_MAP), compact));
    }
    static void TearDownTestSuite()
    {
        delete raw;
        delete compact;
        delete rawLines;
        delete compactLines;
    }

    static OSMData *raw;
    static OSMData *compact;
    static std::vector<std::string> *rawLines;
    static std::vector<std::string> *compactLines;
};

OSMData *BundledMapTest::raw = nullptr;
OSMData *BundledMapTest::compact = nullptr;
std::vector<std::string> *BundledMapTest::rawLines = nullptr;
std::vector<std::string> *BundledMapTest::compactLines = nullptr;

} // namespace

TEST_F(BundledMapTest, PrintedCountsAgreeWithAnIndependentCount)
{
    const std::map<std::string, long long> compactCounts = countLines(*compactLines);
    EXPECT_EQ(compactCounts, countIndependently(bundled(DEFAULT_MAP)));
    EXPECT_EQ(compactCounts.at("Way"), static_cast<long long>(compact->ways()->size()));
    EXPECT_EQ(countLines(*rawLines), countIndependently(bundled(RAW_EXTRACT)));
    // Figures of the extract: 757 accepted roads and 182 tram ways, 92 bus and 40 tram stop nodes,
    // 20 tram and 161 bus route relations.
    EXPECT_EQ(countLines(*rawLines),
              (std::map<std::string, long long>{
                  {"Way", 939}, {"Node", 2523}, {"Bus stop", 92}, {"Tram stop", 40}, {"Route", 181}}));
}

TEST_F(BundledMapTest, DefaultMapReadsBackToTheModelOfTheRawExtract)
{
    // A way that lost all but one node to the edge of the extract is kept by the raw read but cannot be
    // written as a way that reads back, so it is the one expected difference.
    size_t comparedWays = 0;
    std::set<int64_t> nodesOfComparedWays;
    for (const Way *way : raw->ways()->ways()) {
        if (way->nodes().size() < 2)
            continue;
        ++comparedWays;
        const Way *read = compact->ways()->findById(way->getId());
        ASSERT_NE(read, nullptr) << "way " << way->getId();
        EXPECT_EQ(nodeIds(read), nodeIds(way)) << "way " << way->getId();
        EXPECT_EQ(read->isHighway(), way->isHighway()) << "way " << way->getId();
        EXPECT_EQ(read->isTram(), way->isTram()) << "way " << way->getId();
        EXPECT_EQ(read->isOneway(), way->isOneway()) << "way " << way->getId();
        EXPECT_EQ(read->isLink(), way->isLink()) << "way " << way->getId();
        EXPECT_EQ(read->getRoadClass(), way->getRoadClass()) << "way " << way->getId();
        EXPECT_EQ(read->getLanesForward(), way->getLanesForward()) << "way " << way->getId();
        EXPECT_EQ(read->getLanesBackward(), way->getLanesBackward()) << "way " << way->getId();
        for (const Node *node : way->nodes())
            nodesOfComparedWays.insert(node->getId());
    }
    EXPECT_EQ(compact->ways()->size(), comparedWays);
    EXPECT_GT(comparedWays, 900u);

    // Nodes: those of the compared ways and the stop nodes, at the same place to 1e-7 degrees.
    std::set<int64_t> expectedNodes = nodesOfComparedWays;
    for (const OSMStops *stops : {raw->busStops(), raw->tramStops()})
        for (const OSMStop *stop : stops->stops())
            expectedNodes.insert(stop->getNode()->getId());
    std::set<int64_t> readNodes;
    for (const Node *node : compact->nodes()->nodes())
        readNodes.insert(node->getId());
    EXPECT_EQ(readNodes, expectedNodes);
    for (int64_t id : expectedNodes) {
        const Node *original = raw->nodes()->findById(id);
        const Node *read = compact->nodes()->findById(id);
        ASSERT_NE(original, nullptr);
        ASSERT_NE(read, nullptr) << "node " << id;
        EXPECT_NEAR(read->getLocation().lat, original->getLocation().lat, 1e-7) << "node " << id;
        EXPECT_NEAR(read->getLocation().lon, original->getLocation().lon, 1e-7) << "node " << id;
        EXPECT_EQ(read->isTrafficSignals(), original->isTrafficSignals()) << "node " << id;
    }

    for (const OSMStops *stops : {raw->busStops(), raw->tramStops()}) {
        const OSMStops *readStops = stops == raw->busStops() ? compact->busStops() : compact->tramStops();
        ASSERT_EQ(readStops->size(), stops->size());
        for (size_t i = 0; i < stops->size(); ++i) {
            EXPECT_EQ(readStops->stops()[i]->getName(), stops->stops()[i]->getName());
            EXPECT_EQ(readStops->stops()[i]->getNode()->getId(), stops->stops()[i]->getNode()->getId());
        }
    }

    ASSERT_EQ(compact->routeRelations()->size(), raw->routeRelations()->size());
    for (size_t i = 0; i < raw->routeRelations()->size(); ++i) {
        const OSMRouteRelation *a = raw->routeRelations()->relations()[i];
        const OSMRouteRelation *b = compact->routeRelations()->relations()[i];
        EXPECT_EQ(a->id, b->id);
        EXPECT_EQ(a->name, b->name) << "relation " << a->id;
        EXPECT_EQ(a->ref, b->ref) << "relation " << a->id;
        EXPECT_EQ(a->route, b->route) << "relation " << a->id;
        EXPECT_EQ(a->ways, b->ways) << "relation " << a->id;
        EXPECT_EQ(a->forwardWays, b->forwardWays) << "relation " << a->id;
        EXPECT_EQ(a->backwardWays, b->backwardWays) << "relation " << a->id;
        EXPECT_EQ(a->stopNodes, b->stopNodes) << "relation " << a->id;
    }
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
        const int nodeEnd = whole.indexOf("</node>", cut);
        const int name = whole.indexOf("<tag k=\"name\"", cut);
        if (name > 0 && name < nodeEnd)
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
        for (const Way *way : data.ways()->ways()) {
            const Way *full = raw->ways()->findById(way->getId());
            ASSERT_NE(full, nullptr) << context;
            EXPECT_EQ(nodeIds(way), nodeIds(full)) << context << ": way " << way->getId();
        }
        for (const OSMRouteRelation *relation : data.routeRelations()->relations()) {
            const OSMRouteRelation *full = raw->routeRelations()->findById(relation->id);
            ASSERT_NE(full, nullptr) << context;
            EXPECT_EQ(relation->ways, full->ways) << context << ": relation " << relation->id;
            EXPECT_EQ(relation->stopNodes, full->stopNodes) << context << ": relation " << relation->id;
        }
        for (const OSMStop *stop : data.busStops()->stops()) {
            const Node *fullNode = raw->nodes()->findById(stop->getNode()->getId());
            ASSERT_NE(fullNode, nullptr) << context;
            EXPECT_NE(raw->busStops()->findByNameAndNode(stop->getName(), fullNode), nullptr)
                << context << ": bus stop \"" << stop->getName() << "\" on node " << fullNode->getId();
        }
        EXPECT_LE(data.ways()->size(), raw->ways()->size()) << context;
        EXPECT_LE(data.routeRelations()->size(), raw->routeRelations()->size()) << context;
    }
}
