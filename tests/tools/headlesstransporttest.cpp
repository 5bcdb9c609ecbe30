// Public transport of the bundled city seen through kolvex-headless, as a user runs it.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include "headlessrun.h"

#include <gtest/gtest.h>

namespace {

const QString MAP = QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm");
const QString SCHEDULES = QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml");

} // namespace

TEST(HeadlessTransport, TheBundledTimetableIsTheOneDraftedFromTheBundledMap)
{
    QTemporaryDir dir;
    const QString drafted = dir.filePath(QStringLiteral("schedules.xml"));
    const HeadlessRun run = runHeadless({"--osm", MAP, "--schedules", SCHEDULES, "--draft-schedules", drafted});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("lines written ..... 114 (every 15 min)")) << run.out.toStdString();
    QFile a(drafted), b(SCHEDULES);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_TRUE(a.readAll() == b.readAll()) << "redraft with the command in data/README.md";

    EXPECT_EQ(runHeadless({"--osm", MAP, "--draft-schedules", dir.filePath("missing/x.xml")}).exitCode, 1);
}

TEST(HeadlessTransport, BusesAndTramsRunToTheTimetableAlikeOnAnyThreadCount)
{
    const QStringList common = {"--osm", MAP, "--schedules", SCHEDULES, "--start", "14:00:00", "--steps", "2400"};
    const HeadlessRun one = runHeadless(common + QStringList{"--threads", "1"});
    const HeadlessRun two = runHeadless(common + QStringList{"--threads", "2"});
    ASSERT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_EQ(one.figure("lines created"), 114) << one.out.toStdString();
    EXPECT_EQ(one.figure("lines left out"), 0);
    EXPECT_EQ(one.figure("stops with cells"), 36) << "tram platforms";
    EXPECT_GT(one.figure("trips under way"), 0);
    EXPECT_GT(one.figure("trips started"), 20);
    EXPECT_GT(one.figure("trips finished"), 10);
    EXPECT_GT(one.figure("stop arrivals"), 50);
    EXPECT_TRUE(one.err.contains("    generate tram | name ")) << "trams leave their platforms";
    EXPECT_EQ(one.out.mid(one.out.indexOf("state hash")), two.out.mid(two.out.indexOf("state hash")));
}

TEST(HeadlessTransport, TimetableSharingNoLineWithTheMapRunsCarsAlone)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("other.xml")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<schedules><line name=\"Z9\" type=\"bus\"><times><m>840</m></times><route>"
               "<stop name=\"Hakaniemi\" t_rel=\"0\" t_abs=\"0\"/><stop name=\"Kaisaniemenpuisto\" t_rel=\"2\" "
               "t_abs=\"2\"/></route></line></schedules>");
    file.close();
    const HeadlessRun run = runHeadless({"--osm", MAP, "--schedules", file.fileName(), "--steps", "400"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("LineCreator:     line Z9 (bus) left out: no route of that name and type"))
        << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("LineCreator: No line created")) << run.err.toStdString();
    EXPECT_EQ(run.figure("lines created"), 0);
    EXPECT_EQ(run.figure("trips started"), 0);
    EXPECT_GT(run.figure("cars"), 0);
}
