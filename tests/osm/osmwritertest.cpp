#include "osm/osmwriter.h"
#include "osmtestsupport.h"

#include "report/diagnostics.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QTemporaryDir>

using namespace osmtest;

namespace {

bool write(OSMData *data, const QString &path, Diagnostics &&diagnostics = Diagnostics())
{
    return OSMWriter::createOsm(data, path, diagnostics);
}

} // namespace

TEST(OSMWriter, SmallExtractMatchesTheGoldenFileWithoutAnError)
{
    QTemporaryDir dir;
    OSMData data;
    parseCapturing(fixture("n6w2r2.osm"), &data);
    // A longer file already there is truncated, not overwritten in part.
    const QString target = dir.filePath(QStringLiteral("out.osm"));
    ASSERT_TRUE(writeAll(target, QByteArray(200000, 'x')));
    Diagnostics diagnostics;
    EXPECT_TRUE(OSMWriter::createOsm(&data, target, diagnostics));
    EXPECT_EQ(diagnostics.count(Severity::Progress), diagnostics.all().size()) << "nothing but progress";
    EXPECT_EQ(readAll(target), readAll(fixture("n6w2r2-written.osm")));
}

TEST(OSMWriter, EverythingReadsBack)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("stops.osm"));
    OSMData data;
    // A bus and a tram stop on one signalled node, written together with every tag rule of the
    // reader: all reads back to the same model, the ways of at least two nodes, their nodes and
    // those of the stops.
    Node *both = data.addNode(1, Location(60.1700001, 24.9400001), true);
    data.addBusStop("Rautatieasema", both);
    data.addTramStop("Rautatieasema", both);
    for (const char *name : {"n4w20-way-tag-rules.osm", "n9-node-tag-rules.osm", "r8-relation-rules.osm"})
        parseCapturing(fixture(name), &data);
    data.addWay(900, {1, 2}, false, true, false, true, Tertiary, 1, 1); // a class the fixtures lack
    ASSERT_TRUE(write(&data, target));
    OSMData back;
    parseCapturing(target, &back);
    expectContainedIn(back, data, "read back");
    size_t ways = 0;
    for (const Way *way : data.ways()->ways())
        ways += way->nodes().size() >= 2;
    EXPECT_EQ(std::make_pair(back.ways()->size(), back.routeRelations()->size()),
              std::make_pair(ways, data.routeRelations()->size()));
    EXPECT_EQ(stopsOf(back.busStops()), stopsOf(data.busStops()));
    EXPECT_EQ(stopsOf(back.tramStops()), stopsOf(data.tramStops()));
    EXPECT_TRUE(back.nodes()->findById(1)->isTrafficSignals());
}

TEST(OSMWriter, UnopenableOrFailingTargetsAreReportedAndWriteNothing)
{
    QTemporaryDir dir;
    OSMData data;
    parseCapturing(fixture("n6w2r2.osm"), &data);
    ASSERT_TRUE(writeAll(dir.filePath(QStringLiteral("plain-file")), "x"));
    std::vector<QString> targets = {dir.filePath(QStringLiteral("missing-dir/out.osm")),
                                    dir.filePath(QStringLiteral("plain-file/out.osm")), dir.path()};
    if (QFileInfo::exists(QStringLiteral("/dev/full")))
        targets.push_back(QStringLiteral("/dev/full"));
    for (const QString &target : targets) {
        Diagnostics diagnostics;
        EXPECT_FALSE(OSMWriter::createOsm(&data, target, diagnostics)) << target.toStdString();
        ASSERT_EQ(diagnostics.count(Severity::Error), 1u) << target.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("missing-dir"))));
    EXPECT_EQ(readAll(dir.filePath(QStringLiteral("plain-file"))), "x");
}
