// Maps a careless or hostile writer could produce: positions off the globe, ways that travel their
// own segments again, ids that are not numbers or taken, tags and elements of any size, and maps too
// large for the memory there is.

#include "osm/markupbounddevice.h"
#include "osm/memoryreserve.h"
#include "osmtestsupport.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QIODevice>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <new>

using namespace osmtest;

namespace {

/// Five nodes near Helsinki on lines 3 to 7, then `body` from line 8 on.
QByteArray mapWith(const QByteArray &body)
{
    QByteArray map = "<?xml version=\"1.0\"?>\n<osm>\n";
    for (int id = 1; id <= 5; ++id)
        map += " <node id=\"" + QByteArray::number(id) + "\" lat=\"60.17" + QByteArray::number(id) +
               "\" lon=\"24.94\"/>\n";
    return map + body + "</osm>\n";
}

/// Hands out its bytes a few at a time, as a pipe or a decompressor may.
class TrickleDevice : public QIODevice
{
public:
    TrickleDevice(const QByteArray &bytes, qint64 step) : bytes(bytes), step(step) { open(ReadOnly | Unbuffered); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 count = std::min({maxSize, step, qint64(bytes.size()) - at});
        std::memcpy(data, bytes.constData() + at, size_t(std::max<qint64>(count, 0)));
        at += std::max<qint64>(count, 0);
        return count > 0 ? count : -1;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray bytes;
    qint64 step;
    qint64 at = 0;
};

QByteArray road(const char *id, const std::vector<int> &refs)
{
    QByteArray way = QByteArray(" <way id=\"") + id + "\">";
    for (int ref : refs)
        way += "<nd ref=\"" + QByteArray::number(ref) + "\"/>";
    return way + "<tag k=\"highway\" v=\"residential\"/></way>\n";
}

} // namespace

TEST(HostileMap, ElementsThatCannotBeKeptAreNamedWithIdLineAndReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    std::vector<int> tenThousand;
    for (int i = 0; i < 10000; ++i)
        tenThousand.push_back(1 + i % 3);
    const struct
    {
        QByteArray body;
        std::string message;                        // the line the reader must write
        std::vector<std::vector<int64_t>> wayNodes; // what is kept of the ways, in order
    } cases[] = {
        {" <node id=\"9\" lat=\"1000\" lon=\"24.94\"/>\n" + road("10", {1, 9}),
         "Dropped node \"9\" (line 8): latitude 1000 is outside -90..90",
         {{1}}},
        {" <node id=\"9\" lat=\"60\" lon=\"360\"/>\n",
         "Dropped node \"9\" (line 8): longitude 360 is outside -180..180",
         {}},
        // A way that runs round a triangle and on again keeps the first round only.
        {road("7", {1, 2, 3, 1, 2, 3, 1}),
         "Trimmed way \"7\" (line 8): 3 node references from position 5 on dropped: they travel the segment 1-2 "
         "again",
         {{1, 2, 3, 1}}},
        {road("7", tenThousand), "9996 node references from position 5 on dropped", {{1, 2, 3, 1}}},
        {road("7", {1, 1, 2, 2, 3}),
         "Trimmed way \"7\" (line 8): 2 node references dropped that repeat the reference",
         {{1, 2, 3}}},
        {road("7", {4, 4, 4}), "Dropped way \"7\" (line 8): fewer than two distinct node references", {}},
        // Both ids fall back to 0, so the second way cannot be kept: it is named, not lost silently.
        {road("abc", {1, 2}) + road("xyz", {3, 4}),
         "Dropped way \"xyz\" (line 9): id 0 was taken by an earlier way",
         {{1, 2}}},
        {road("7", {1, 2}) + road("7", {3, 4}),
         "Dropped way \"7\" (line 9): id 7 was taken by an earlier way",
         {{1, 2}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        ASSERT_TRUE(writeAll(path, mapWith(c.body)));
        OSMData data;
        bool complete = false;
        const std::string said = parseCapturing(path, &data, &complete);
        EXPECT_TRUE(complete);
        EXPECT_NE(said.find(c.message), std::string::npos) << said;
        std::vector<std::vector<int64_t>> ways;
        for (const Way *way : data.ways()->ways())
            ways.push_back(nodeIds(way));
        EXPECT_EQ(ways, c.wayNodes);
    }
}

TEST(HostileMap, APieceOfMarkupOverTheCapEndsTheReadingNamingTheLineAndKeepsWhatCameBefore)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    XmlReadLimits limits;
    limits.maxMarkupBytes = 200;
    // From "<tag" to the "<" of "</way>": 20 bytes and the value.
    for (const int valueBytes : {180, 181}) {
        SCOPED_TRACE(valueBytes);
        const QByteArray noted = " <way id=\"8\"><nd ref=\"3\"/><nd ref=\"4\"/><tag k=\"highway\" v=\"primary\"/>"
                                 "<tag k=\"note\" v=\"" +
                                 QByteArray(valueBytes, 'a') + "\"/></way>\n";
        ASSERT_TRUE(writeAll(path, mapWith(road("7", {1, 2}) + noted)));
        OSMData data;
        QString problem;
        StderrCapture capture;
        const bool whole = OSMParser::parseFile(path, &data, &problem, limits);
        EXPECT_EQ(whole, valueBytes == 180) << problem.toStdString();
        EXPECT_EQ(data.ways()->size(), valueBytes == 180 ? 2u : 1u);
        const QString said = "cannot read \"" + path +
                             "\": at line 9 a tag with its attributes runs past 200 bytes, the most one may take (a "
                             "value too long, or not an OSM map)";
        EXPECT_EQ(problem, whole ? QString() : said);
    }
    // The cap holds on what a compressed file unpacks to, which may be a thousand times its size.
    limits.maxMarkupBytes = 40;
    OSMData data;
    QString problem;
    StderrCapture capture;
    EXPECT_FALSE(OSMParser::parseFile(fixture("n6w2r2.osm.gz"), &data, &problem, limits));
    EXPECT_TRUE(problem.contains("runs past 40 bytes")) << problem.toStdString();
}

TEST(HostileMap, TextPastTheCapIsNeverPassedOnEvenToAReaderThatAsksAgain)
{
    QBuffer source;
    // More than the device reads at once, so that asking again would find more text.
    source.setData("<a>" + QByteArray(50, 'x') + "</a>" + QByteArray(100000, 'y'));
    source.open(QIODevice::ReadOnly);
    MarkupBoundDevice bounded(&source, 20, int64_t(1) << 30);
    const QByteArray passed = bounded.readAll();
    EXPECT_TRUE(bounded.overCap());
    EXPECT_EQ(passed, "<a>" + QByteArray(17, 'x')); // 20 bytes from the "<"
    char byte;
    EXPECT_LE(bounded.read(&byte, 1), 0);

    // Read a few bytes at a time, a piece is measured across the reads: one of exactly the cap
    // passes, and one a byte longer is cut at the cap, wherever the reads happen to end.
    const QByteArray text = "<a>" + QByteArray(16, 'x') + '<' + QByteArray(19, 'y') + '<' + QByteArray(20, 'z');
    for (const qint64 step : {1, 2, 3, 5, 7, 8, 13, 64}) {
        SCOPED_TRACE(step);
        TrickleDevice trickle(text, step);
        MarkupBoundDevice cut(&trickle, 20, int64_t(1) << 30);
        EXPECT_EQ(cut.readAll(), text.left(text.size() - 1));
        EXPECT_TRUE(cut.overCap());
    }
}

TEST(HostileMap, AMapPastTheTextItsNetworkBudgetAllowsEndsTheReadingNamingTheFile)
{
    // n6w2r2.osm.gz unpacks to the bytes of n6w2r2.osm: a cap of exactly those reads it whole.
    const int64_t unpacked = readAll(fixture("n6w2r2.osm")).size();
    for (const int64_t cap : {unpacked, unpacked - 1}) {
        SCOPED_TRACE(cap);
        XmlReadLimits limits;
        limits.maxDocumentBytes = cap;
        OSMData data;
        QString problem;
        StderrCapture capture;
        const bool whole = OSMParser::parseFile(fixture("n6w2r2.osm.gz"), &data, &problem, limits);
        EXPECT_EQ(whole, cap == unpacked);
        EXPECT_EQ(problem.startsWith("cannot read \"" + fixture("n6w2r2.osm.gz") + "\": the map runs past " +
                                     QString::number(cap) + " bytes of XML"),
                  !whole)
            << problem.toStdString();
    }
    // Of a PBF file the decoded elements count: 200,000 nodes take megabytes.
    XmlReadLimits limits;
    limits.maxDocumentBytes = 1000000;
    OSMData data;
    QString problem;
    Diagnostics quiet;
    EXPECT_FALSE(OSMParser::parseFile(fixture("n200000w1-unused-nodes.osm.pbf"), &data, &problem, limits, &quiet));
    EXPECT_TRUE(problem.contains("runs past 1000000 bytes of decoded elements")) << problem.toStdString();
    EXPECT_EQ(XmlReadLimits::forNetworkCells(1000).maxDocumentBytes,
              1000 * XmlReadLimits::DOCUMENT_BYTES_PER_NETWORK_CELL);
}

TEST(HostileMap, NodesNoWayUsesCostNothingAndIdsOutOfOrderReadAsInOrder)
{
    // 200,000 nodes of which a road uses three: the stand-in for a file of millions that no way uses.
    OSMData pbf;
    const std::string said = parseCapturing(fixture("n200000w1-unused-nodes.osm.pbf"), &pbf);
    EXPECT_EQ(std::make_pair(pbf.nodes()->size(), pbf.ways()->size()), std::make_pair(size_t(3), size_t(1)));
    EXPECT_NE(said.find("Nodes shaked: 199997"), std::string::npos) << said;

    // Ids out of order, a repeated id at another place, a stop no way uses, a node read after the way
    // that names it, which the way therefore lacks.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    ASSERT_TRUE(writeAll(path, "<osm>\n"
                               " <node id=\"9\" lat=\"60.1\" lon=\"24.9\"/>\n"
                               " <node id=\"3\" lat=\"60.2\" lon=\"24.9\"/>\n"
                               " <node id=\"7\" lat=\"60.3\" lon=\"24.9\"><tag k=\"highway\" v=\"bus_stop\"/></node>\n"
                               " <node id=\"5\" lat=\"60.4\" lon=\"24.9\"/>\n"
                               " <node id=\"3\" lat=\"60.5\" lon=\"24.9\"/>\n" +
                                   road("1", {3, 9, 11}) + " <node id=\"11\" lat=\"60.6\" lon=\"24.9\"/>\n</osm>\n"));
    OSMData xml;
    const std::string told = parseCapturing(path, &xml);
    std::vector<int64_t> nodes;
    for (const Node *node : xml.nodes()->nodes())
        nodes.push_back(node->getId());
    EXPECT_EQ(nodes, (std::vector<int64_t>{9, 3, 7}));
    EXPECT_EQ(xml.nodes()->findById(3)->getLocation(), Location(60.2, 24.9));
    ASSERT_EQ(xml.ways()->size(), 1u);
    EXPECT_EQ(nodeIds(xml.ways()->ways().front()), (std::vector<int64_t>{3, 9}));
    EXPECT_EQ(stopsOf(xml.busStops()), (std::vector<std::pair<int64_t, std::string>>{{7, ""}}));
    for (const char *line : {"Trimmed node \"3\" (line 6): position ignored",
                             "addWay finding Node failed: fromId == 11", "Nodes shaked: 2"})
        EXPECT_NE(told.find(line), std::string::npos) << line << "\n" << told;
}

TEST(HostileMap, AnElementOverTheCapIsDroppedAndNamedAndReadingGoesOn)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("map.osm"));
    std::vector<int> hundred;
    for (int i = 0; i < 100; ++i)
        hundred.push_back(1 + i % 2);
    QByteArray route = " <relation id=\"30\">";
    for (int i = 0; i < 40; ++i)
        route += "<member type=\"way\" ref=\"8\" role=\"\"/>";
    route += "<tag k=\"type\" v=\"route\"/><tag k=\"route\" v=\"bus\"/></relation>\n";
    ASSERT_TRUE(writeAll(path, mapWith(road("7", hundred) + road("8", {3, 4}) + route)));
    XmlReadLimits limits;
    limits.maxElementChars = 1000; // the way of 100 nodes takes some 1,300 characters
    OSMData data;
    bool whole = false;
    const std::string said = parseCapturing(path, &data, &whole, limits);
    EXPECT_TRUE(whole);
    EXPECT_NE(said.find("Dropped way \"7\" (line 8): it runs past 1000 characters, the most one element may take"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("Dropped relation \"30\" (line 10): it runs past 1000"), std::string::npos) << said;
    Diagnostics diagnostics;
    OSMData again;
    OSMParser::parseFile(path, &again, nullptr, limits, &diagnostics);
    const auto dropped = std::find_if(diagnostics.all().begin(), diagnostics.all().end(),
                                      [](const Diagnostic &d) { return d.elementId == 7; });
    ASSERT_NE(dropped, diagnostics.all().end());
    EXPECT_EQ(std::make_tuple(dropped->severity, dropped->component, dropped->line),
              std::make_tuple(Severity::Warning, std::string("OSMParser"), int64_t(8)));
    ASSERT_EQ(data.ways()->size(), 1u);
    EXPECT_EQ(nodeIds(data.ways()->ways().front()), (std::vector<int64_t>{3, 4}));
    EXPECT_EQ(data.routeRelations()->size(), 0u);
}

namespace {

/// Gives the start of a map, then runs out of memory as reading a map too large for the machine would.
class ExhaustingDevice : public QIODevice
{
public:
    ExhaustingDevice() { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (given)
            throw std::bad_alloc();
        const QByteArray start = "<osm><node id=\"1\" lat=\"60.17\" lon=\"24.94\"/>";
        given = true;
        const qint64 count = std::min<qint64>(maxSize, start.size());
        std::memcpy(data, start.constData(), size_t(count));
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    bool given = false;
};

} // namespace

TEST(HostileMap, MemoryRunningOutWhileReadingIsAnErrorNamingTheFileNotTheEndOfTheProgram)
{
    ExhaustingDevice device;
    OSMData data;
    QString problem;
    StderrCapture capture;
    EXPECT_FALSE(OSMParser::parseXml(&device, QStringLiteral("big.osm"), &data, &problem));
    EXPECT_EQ(problem, "cannot read \"big.osm\": out of memory: the map needs more than this machine has");
}

TEST(HostileMap, AnAllocationThatWouldFailSpendsTheReserveOfTheReadingInstead)
{
    const std::new_handler before = std::get_new_handler();
    {
        MemoryReserve first(1 << 20);
        MemoryReserve second(1 << 20);
        EXPECT_NE(std::get_new_handler(), before);
        EXPECT_TRUE(MemoryReserve::spendOne());
        EXPECT_TRUE(MemoryReserve::spendOne());
        EXPECT_TRUE(first.spent() && second.spent());
        EXPECT_FALSE(MemoryReserve::spendOne()); // nothing left: the allocation fails as it would have
    }
    EXPECT_EQ(std::get_new_handler(), before);
}
