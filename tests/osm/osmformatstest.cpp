// The same map read from OSM XML, PBF and compressed XML, and damaged or misnamed PBF files.

#include "osm/osmdata.h"
#include "osm/osmparser.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <regex>

using namespace osmtest;

namespace {

struct Reading
{
    bool complete;
    std::vector<std::string> lines; ///< without the first, which names the file, and without XML line numbers
};

Reading read(const QString &path, OSMData *data)
{
    StderrCapture capture;
    const bool complete = OSMParser::parseFile(path, data);
    std::vector<std::string> lines = capture.lines();
    if (!lines.empty())
        lines.erase(lines.begin());
    static const std::regex lineNumber(" \\(line [0-9]+\\)");
    for (std::string &line : lines)
        line = std::regex_replace(line, lineNumber, "");
    return {complete, lines};
}

/// Every node, way, stop and relation in the same order with the same content.
void expectSameData(const OSMData &expected, const OSMData &actual)
{
    ASSERT_EQ(actual.nodes()->size(), expected.nodes()->size());
    for (size_t i = 0; i < expected.nodes()->size(); ++i) {
        const Node *e = expected.nodes()->nodes()[i];
        const Node *a = actual.nodes()->nodes()[i];
        EXPECT_EQ(std::make_tuple(a->getId(), a->getLocation().lat, a->getLocation().lon, a->isTrafficSignals()),
                  std::make_tuple(e->getId(), e->getLocation().lat, e->getLocation().lon, e->isTrafficSignals()));
    }
    ASSERT_EQ(actual.ways()->size(), expected.ways()->size());
    for (size_t i = 0; i < expected.ways()->size(); ++i)
        EXPECT_EQ(std::make_pair(actual.ways()->ways()[i]->getId(), wayContent(actual.ways()->ways()[i])),
                  std::make_pair(expected.ways()->ways()[i]->getId(), wayContent(expected.ways()->ways()[i])));
    EXPECT_EQ(stopsOf(actual.busStops()), stopsOf(expected.busStops()));
    EXPECT_EQ(stopsOf(actual.tramStops()), stopsOf(expected.tramStops()));
    ASSERT_EQ(actual.routeRelations()->size(), expected.routeRelations()->size());
    for (size_t i = 0; i < expected.routeRelations()->size(); ++i)
        EXPECT_EQ(relationContent(actual.routeRelations()->relations()[i]),
                  relationContent(expected.routeRelations()->relations()[i]));
}

} // namespace

TEST(OSMFormats, PbfAndCompressedXmlGiveWhatTheXmlGivesWithTheSameMessages)
{
    const struct
    {
        QString xml;
        QString other;
    } pairs[] = {
        {bundled("helsinki_centre.osm"), bundled("helsinki_centre.osm.pbf")},
        {fixture("n6w2r2.osm"), fixture("n6w2r2.osm.pbf")},
        {fixture("n9-node-tag-rules.osm"), fixture("n9-node-tag-rules.osm.pbf")},
        {fixture("n4w20-way-tag-rules.osm"), fixture("n4w20-way-tag-rules.osm.pbf")},
        {fixture("n6w2r2.osm"), fixture("n6w2r2.osm.gz")},
        {fixture("n6w2r2.osm"), fixture("n6w2r2.osm.bz2")},
    };
    for (const auto &pair : pairs) {
        SCOPED_TRACE(pair.other.toStdString());
        OSMData fromXml, fromOther;
        const Reading xml = read(pair.xml, &fromXml);
        const Reading other = read(pair.other, &fromOther);
        ASSERT_TRUE(xml.complete && other.complete);
        EXPECT_EQ(other.lines, xml.lines); // missing-node messages, shaking and counts alike
        expectSameData(fromXml, fromOther);
    }
}

TEST(OSMFormats, DamagedEmptyAndMisnamedFilesSayWhatIsWrongAndKeepOnlyWholeBlocks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray pbf = readAll(bundled("helsinki_centre.osm.pbf"));
    const QByteArray gzip = readAll(fixture("n6w2r2.osm.gz"));
    ASSERT_GT(pbf.size(), 600000);
    QByteArray flipped = pbf;
    flipped[pbf.size() / 2] = static_cast<char>(~flipped[pbf.size() / 2]);

    const struct
    {
        const char *name;
        QByteArray content;
        std::string message; ///< the start of the line that says what is wrong
        bool counted;        ///< whether shaking and counts follow
    } cases[] = {
        {"empty.osm.pbf", QByteArray(), "OSMParser: Not an OSM PBF file (the file is empty): ", false},
        {"text.osm.pbf", "just some words\n", "OSMParser: Not an OSM PBF file (no PBF header at its start): ", false},
        {"header-cut.osm.pbf", pbf.left(40), "OSMParser: Reading failed! ", true},
        {"half.osm.pbf", pbf.left(pbf.size() / 2), "OSMParser: Reading failed! ", true},
        {"last-byte-missing.osm.pbf", pbf.left(pbf.size() - 1), "OSMParser: Reading failed! ", true},
        {"flipped.osm.pbf", flipped, "OSMParser: Reading failed! ", true},
        {"half.osm.gz", gzip.left(gzip.size() / 2), "OSMParser: Reading failed! ", true},
    };
    OSMData whole;
    read(bundled("helsinki_centre.osm.pbf"), &whole);
    for (const auto &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        const QString path = dir.filePath(QLatin1String(testCase.name));
        ASSERT_TRUE(writeAll(path, testCase.content));
        OSMData data;
        const Reading reading = read(path, &data);
        EXPECT_FALSE(reading.complete);
        const auto said = std::find_if(reading.lines.begin(), reading.lines.end(), [&](const std::string &line) {
            return line.rfind(testCase.message, 0) == 0 && line.find(path.toStdString()) != std::string::npos;
        });
        EXPECT_NE(said, reading.lines.end()) << testing::PrintToString(reading.lines);
        EXPECT_EQ(countLines(reading.lines).size(), testCase.counted ? 5u : 0u);
        if (QByteArray(testCase.name).endsWith(".pbf"))
            expectContainedIn(data, whole, testCase.name);
    }
}

TEST(OSMFormats, ContentNotNameDecidesTheFormat)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pbfNamedOsm = dir.filePath(QStringLiteral("city.osm"));
    const QString xmlNamedPbf = dir.filePath(QStringLiteral("city.osm.pbf"));
    ASSERT_TRUE(writeAll(pbfNamedOsm, readAll(fixture("n6w2r2.osm.pbf"))));
    ASSERT_TRUE(writeAll(xmlNamedPbf, readAll(fixture("n6w2r2.osm"))));
    for (const QString &path : {pbfNamedOsm, xmlNamedPbf}) {
        OSMData data;
        EXPECT_TRUE(read(path, &data).complete) << path.toStdString();
        EXPECT_EQ(std::make_pair(data.ways()->size(), data.routeRelations()->size()),
                  std::make_pair(size_t(2), size_t(1)));
    }
}
