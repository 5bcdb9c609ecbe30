// kolvex-headless on the raw Helsinki extract as XML and as PBF, and on PBF files it cannot read.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include "headlessrun.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

/// A run's streams cut into lines.
struct HeadlessLines
{
    int exitCode;
    QStringList out;
    QStringList err;
};

HeadlessLines runHeadlessLines(const QStringList &arguments)
{
    const HeadlessRun run = runHeadless(arguments);
    return HeadlessLines{run.exitCode, run.out.split('\n'), run.err.split('\n')};
}

/// The lines that depend on the machine rather than on the run: timings and the file name.
QStringList withoutTimings(QStringList lines)
{
    static const QRegularExpression varying(
        QStringLiteral("^\\s*(preparation|steps|vehicle updates) \\.+ |^OSMParser: Opening file "));
    lines.erase(
        std::remove_if(lines.begin(), lines.end(), [](const QString &l) { return varying.match(l).hasMatch(); }),
        lines.end());
    return lines;
}

} // namespace

TEST(HeadlessFormats, TheRawExtractAsPbfGivesTheSameNetworkDiagnosticsAndStateAsXml)
{
    const QString schedules = QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml");
    HeadlessLines runs[2];
    int i = 0;
    for (const char *map : {"/data/helsinki_centre.osm", "/data/helsinki_centre.osm.pbf"}) {
        runs[i] = runHeadlessLines({"--osm", QStringLiteral(KOLVEX_SOURCE_DIR) + map, "--schedules", schedules,
                                    "--steps", "600", "--seed", "5"});
        ASSERT_EQ(runs[i].exitCode, 0) << runs[i].err.join('\n').toStdString();
        ++i;
    }
    EXPECT_EQ(withoutTimings(runs[1].out), withoutTimings(runs[0].out));
    EXPECT_EQ(withoutTimings(runs[1].err), withoutTimings(runs[0].err));
    EXPECT_TRUE(runs[1].out.filter(QRegularExpression("^\\s*cars \\.+ [1-9]")).size() == 1)
        << runs[1].out.join('\n').toStdString();
    EXPECT_EQ(runs[1].out.filter("state hash").size(), 1);
}

TEST(HeadlessFormats, PbfFilesThatCannotBeReadEndTheRunWithAnErrorNamingTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile whole(QStringLiteral(KOLVEX_SOURCE_DIR "/data/helsinki_centre.osm.pbf"));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray pbf = whole.readAll();
    const struct
    {
        const char *name;
        QByteArray content;
    } files[] = {{"empty.osm.pbf", QByteArray()}, {"cut.osm.pbf", pbf.left(pbf.size() / 3)}, {"text.pbf", "words"}};
    for (const auto &file : files) {
        const QString path = dir.filePath(QLatin1String(file.name));
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(file.content) == file.content.size());
        out.close();
        for (const QStringList &options : {QStringList{"--steps", "10"}, QStringList{"--write-osm", path + ".osm"}}) {
            const HeadlessLines run = runHeadlessLines(QStringList{"--osm", path} + options);
            EXPECT_NE(run.exitCode, 0) << file.name << ' ' << options.join(' ').toStdString();
            EXPECT_FALSE(run.err.filter(path).filter(QRegularExpression("failed|Not an OSM PBF")).isEmpty())
                << run.err.join('\n').toStdString();
        }
    }
}
