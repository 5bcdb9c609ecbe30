// The XML of a map as a document: its faults named where they are and in the words the reader has always
// used, the encodings it is written in, positions far into the document, names with namespaces.

#include "osm/expatreader.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>

#include <zlib.h>

#include <new>

using namespace osmtest;

namespace {

const QByteArray NODE = "<node id=\"1\" lat=\"60.1\" lon=\"24.9\"/>";

} // namespace

TEST(XmlDocument, FaultsAreNamedWithLineColumnAndTheWordingOfBefore)
{
    const struct
    {
        QByteArray content;
        QString said; // after "XML error in "path" at "
    } cases[] = {
        {"<osm>\n" + NODE + "</way></osm>", "line 2, column 43: Opening and ending tag mismatch."},
        {"<osm>\n<node id=\"1\" id=\"2\" lat=\"1\" lon=\"2\"/></osm>", "line 2, column 38: Attribute 'id' redefined."},
        {"<osm>\n<node id=\"1\" lat=\"&nbsp;\" lon=\"2\"/></osm>", "line 2, column 25: Entity 'nbsp' not declared."},
        {"<osm>\n</osm>\n<x/>", "line 3, column 5: Extra content at end of document."},
        {"<osm>\n" + NODE + "\n<way id=\"3\"><nd ref=", "line 3, column 21: Premature end of document."},
        {"<osm>\n<node id=1 lat=\"1\" lon=\"2\"/></osm>", "line 2, column 11: Expected ''' or '\"', but got '[0-9]'."},
        {"<osm>\n<node id=\"1\" lat=\"1\" lon=\"2\" / ></osm>", "line 2, column 32: Expected '>', but got ' '."},
        {"<osm>\n<x:node id=\"1\" lat=\"1\" lon=\"2\"/></osm>", "line 2, column 33: Namespace prefix 'x' not declared"},
        {"<?xml version=\"1.1\"?>\n<osm/>", "line 1, column 22: Unsupported XML version."},
        {"<?xml version=\"1.0\" encoding=\"foo\"?>\n<osm/>", "line 1, column 37: Encoding foo is unsupported"},
        {"just some words\n", "line 1, column 2: Start tag expected."},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.content.toStdString());
        ASSERT_TRUE(writeAll(path, c.content));
        OSMData data;
        QString problem;
        Diagnostics quiet;
        EXPECT_FALSE(OSMParser::parseFile(path, &data, &problem, XmlReadLimits(), &quiet));
        EXPECT_EQ(problem, "XML error in \"" + path + "\" at " + c.said);
    }
}

TEST(XmlDocument, EncodingsQtKnowsAreReadAndNamesKeepTheirLetters)
{
    const QString map = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>\n<osm><node id=\"1\" lat=\"60.1\" "
                                       "lon=\"24.9\"><tag k=\"highway\" v=\"bus_stop\"/><tag k=\"name\" "
                                       "v=\"K\u00e4pyl\u00e4\"/></node></osm>\n");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    for (const char *encoding : {"UTF-8", "ISO-8859-1", "windows-1252", "ISO-8859-15", "UTF-16LE", "UTF-16BE"}) {
        SCOPED_TRACE(encoding);
        QTextCodec *codec = QTextCodec::codecForName(encoding);
        ASSERT_NE(codec, nullptr);
        const bool sixteen = QByteArray(encoding).startsWith("UTF-16");
        ASSERT_TRUE(writeAll(path, codec->fromUnicode(map.arg(sixteen ? "UTF-16" : encoding))));
        OSMData data;
        bool complete = false;
        const std::string said = parseCapturing(path, &data, &complete);
        EXPECT_TRUE(complete) << said;
        EXPECT_EQ(stopsOf(data.busStops()), (std::vector<std::pair<int64_t, std::string>>{{1, "K\u00e4pyl\u00e4"}}));
    }
}

TEST(XmlDocument, LinesAndSizesAreCountedInCharactersAcrossTheWholeDocument)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    // Far past the first chunk of the document, behind lines of several bytes a character.
    QByteArray far = "<osm>\n<!--";
    for (int line = 0; line < 3000; ++line)
        far += QString(40, QChar(0x00e4)).toUtf8() + "\n";
    far += "-->\n<node id=\"9\"\n lat=\"1000\" lon=\"24.94\"/>\n</osm>\n";
    ASSERT_TRUE(writeAll(path, far));
    OSMData data;
    const std::string said = parseCapturing(path, &data);
    EXPECT_NE(said.find("Dropped node \"9\" (line 3004): latitude 1000 is outside -90..90"), std::string::npos) << said;

    // An element's size is its characters: a name of 100 two-byte letters takes 100, not 200.
    const QByteArray name = QString(100, QChar(0x00e4)).toUtf8();
    ASSERT_TRUE(writeAll(path, "<osm>\n<node id=\"1\" lat=\"60.1\" lon=\"24.9\"><tag k=\"name\" v=\"" + name +
                                   "\"/><tag k=\"highway\" v=\"bus_stop\"/></node>\n</osm>\n"));
    XmlReadLimits limits;
    for (const int64_t cap : {160, 150}) {
        limits.maxElementChars = cap;
        OSMData capped;
        const std::string told = parseCapturing(path, &capped, nullptr, limits);
        EXPECT_EQ(capped.busStops()->size(), cap == 160 ? 1u : 0u) << told;
    }
}

TEST(XmlDocument, ElementsAreTakenByTheirLocalNameAndPrefixedAttributesAreNotTheirs)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    ASSERT_TRUE(writeAll(path, "<osm xmlns:x=\"urn:x\">\n<x:node id=\"1\" x:lat=\"0\" lat=\"60.1\" lon=\"24.9\">"
                               "<tag k=\"highway\" v=\"bus_stop\"/></x:node>\n</osm>\n"));
    OSMData data;
    bool complete = false;
    parseCapturing(path, &data, &complete);
    EXPECT_TRUE(complete);
    ASSERT_NE(data.nodes()->findById(1), nullptr);
    EXPECT_EQ(data.nodes()->findById(1)->getLocation(), Location(60.1, 24.9));
}

namespace {

/// Counts the elements started and throws std::bad_alloc at the `failAt`th, as a full memory would.
class FailingEvents : public XmlElementEvents
{
public:
    explicit FailingEvents(int failAt) : failAt(failAt) {}
    void startElement(std::string_view, const char **) override
    {
        if (++started == failAt)
            throw std::bad_alloc();
    }
    void endElement() override {}
    int started = 0;

private:
    int failAt;
};

/// A gzip file of a map of `nodes` nodes whose root element is `root`.
QByteArray gzipMap(const QString &path, const char *root, int nodes)
{
    QByteArray map = QByteArray("<") + root + ">\n";
    for (int id = 1; id <= nodes; ++id)
        map += "<node id=\"" + QByteArray::number(id) + "\" lat=\"60.1\" lon=\"24.9\"/>\n";
    map += QByteArray("</") + root + ">\n";
    gzFile file = gzopen(QFile::encodeName(path).constData(), "wb1");
    gzwrite(file, map.constData(), unsigned(map.size()));
    gzclose(file);
    return map;
}

} // namespace

TEST(XmlDocument, MemoryRunningOutInsideAnElementLeavesTheReaderAsItWasThrown)
{
    // Thrown through expat's own code, 64 KB into the document, the failure must still reach the caller.
    QByteArray map = "<osm>";
    for (int i = 0; i < 5000; ++i)
        map += "<node id=\"1\" lat=\"60.1\" lon=\"24.9\"/>";
    map += "</osm>";
    QBuffer buffer(&map);
    buffer.open(QIODevice::ReadOnly);
    FailingEvents events(4000);
    ExpatReader reader(&buffer, events);
    EXPECT_THROW(reader.read(), std::bad_alloc);
    EXPECT_EQ(events.started, 4000);
}

TEST(XmlDocument, ACompressedMapReadsAsItsTextAndOneRefusedEarlyEndsAtOnce)
{
    // Megabytes of text: more than the decompression runs ahead of the reader.
    QTemporaryDir dir;
    const QString gz = dir.filePath(QStringLiteral("map.osm.gz")), plain = dir.filePath(QStringLiteral("map.osm"));
    ASSERT_TRUE(writeAll(plain, gzipMap(gz, "osm", 150000)));
    OSMData fromGzip, fromText;
    const std::string saidGzip = parseCapturing(gz, &fromGzip), saidText = parseCapturing(plain, &fromText);
    EXPECT_NE(saidGzip.find("Nodes shaked: 150000"), std::string::npos) << saidGzip;
    EXPECT_EQ(saidGzip.substr(saidGzip.find("Parsing")), saidText.substr(saidText.find("Parsing")));

    gzipMap(gz, "foo", 150000);
    OSMData none;
    QString problem;
    Diagnostics quiet;
    EXPECT_FALSE(OSMParser::parseFile(gz, &none, &problem, XmlReadLimits(), &quiet));
    EXPECT_TRUE(problem.contains("its root element is <foo>")) << problem.toStdString();
}
