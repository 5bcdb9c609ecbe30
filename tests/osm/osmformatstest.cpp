// The same map read from OSM XML, PBF and compressed XML, and damaged or misnamed files.

#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace osmtest;

TEST(OSMFormats, PbfAndCompressedXmlGiveWhatTheXmlGives)
{
    const std::pair<QString, QString> pairs[] = {
        {bundled("helsinki_centre.osm"), bundled("helsinki_centre.osm.pbf")},
        {fixture("n9-node-tag-rules.osm"), fixture("n9-node-tag-rules.osm.pbf")},
        {fixture("n4w20-way-tag-rules.osm"), fixture("n4w20-way-tag-rules.osm.pbf")},
        {fixture("n6w2r2.osm"), fixture("n6w2r2.osm.gz")},
        {fixture("n6w2r2.osm"), fixture("n6w2r2.osm.bz2")},
    };
    for (const auto &pair : pairs) {
        SCOPED_TRACE(pair.second.toStdString());
        OSMData fromXml, fromOther;
        bool xmlComplete = false, otherComplete = false;
        parseCapturing(pair.first, &fromXml, &xmlComplete);
        parseCapturing(pair.second, &fromOther, &otherComplete);
        ASSERT_TRUE(xmlComplete && otherComplete);
        expectSameData(fromXml, fromOther);
    }
}

TEST(OSMFormats, DamagedEmptyAndMisnamedFilesSayWhatIsWrongAndKeepOnlyWholeBlocks)
{
    QTemporaryDir dir;
    const QByteArray pbf = readAll(bundled("helsinki_centre.osm.pbf"));
    const QByteArray gzip = readAll(fixture("n6w2r2.osm.gz"));
    ASSERT_GT(pbf.size(), 600000);
    QByteArray flipped = pbf;
    flipped[pbf.size() / 2] = static_cast<char>(~flipped[pbf.size() / 2]);
    const struct
    {
        const char *name;
        QByteArray content;
        std::string message; ///< the start of the line that says what is wrong; empty if the file reads whole
    } cases[] = {
        {"empty.osm.pbf", QByteArray(), "OSMParser: Not an OSM PBF file (the file is empty): "},
        {"text.osm.pbf", "just some words\n", "OSMParser: Not an OSM PBF file (no PBF header at its start): "},
        {"header-cut.osm.pbf", pbf.left(40), "OSMParser: Reading failed! "},
        {"last-byte-missing.osm.pbf", pbf.left(pbf.size() - 1), "OSMParser: Reading failed! "},
        {"flipped.osm.pbf", flipped, "OSMParser: Reading failed! "},
        {"half.osm.gz", gzip.left(gzip.size() / 2), "OSMParser: Reading failed! "},
        // The content, not the name, decides the format.
        {"pbf-named.osm", readAll(fixture("n6w2r2.osm.pbf")), ""},
        {"xml-named.osm.pbf", readAll(fixture("n6w2r2.osm")), ""},
    };
    OSMData whole, small;
    parseCapturing(bundled("helsinki_centre.osm.pbf"), &whole);
    parseCapturing(fixture("n6w2r2.osm"), &small);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QLatin1String(c.name));
        ASSERT_TRUE(writeAll(path, c.content));
        OSMData data;
        bool complete = true;
        const std::string said = parseCapturing(path, &data, &complete);
        EXPECT_EQ(complete, c.message.empty());
        EXPECT_NE(said.find(c.message), std::string::npos) << said;
        if (c.message.empty())
            expectSameData(data, small);
        else
            expectContainedIn(data, QByteArray(c.name).endsWith(".gz") ? small : whole, c.name);
    }
}
