// kolvex-headless on inputs that are broken, hostile or no inputs at all: a run either prepares and
// steps with a message naming what was dropped, or exits non-zero with a message naming the file.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include "headlessrun.h"

#include <gtest/gtest.h>

namespace {

QString hostile(const char *name)
{
    return QStringLiteral(KOLVEX_TEST_DATA_DIR "/hostile/") + QLatin1String(name);
}

const QString schedules = QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml");
const QString city = QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm");

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

TEST(HostileInputs, EveryHostileMapRunsWithItsFaultNamedOrIsRefused)
{
    const struct
    {
        const char *file;
        int exitCode;
        QStringList messages; // on standard error
    } cases[] = {
        {"lat1000-way.osm", 0, {"Dropped node \"2\" (line 4): latitude 1000 is outside -90..90"}},
        {"lon360-tram-way.osm",
         1,
         {"Dropped node \"2\" (line 3): longitude 360 is outside -180..180",
          "kolvex-headless: map: XML error in \"" + hostile("lon360-tram-way.osm") +
              "\" at line 9, column 8: Premature end of document."}},
        {"star-100-ways-one-node.osm",
         1,
         {"kolvex-headless: map \"" + hostile("star-100-ways-one-node.osm") +
          "\" refused: node 1 joins 100 way ends (at most 16)"}},
        {"two-ways-bad-ids.osm", 0, {"Dropped way \"xyz\" (line 8): id 0 was taken by an earlier way"}},
    };
    QStringList covered;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        covered << QLatin1String(c.file);
        const HeadlessRun run = runHeadless({"--osm", hostile(c.file), "--schedules", schedules, "--steps", "100"});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err.toStdString();
        for (const QString &message : c.messages)
            EXPECT_TRUE(run.err.contains(message)) << message.toStdString() << "\n" << run.err.toStdString();
        EXPECT_EQ(run.out.contains("steps ............. 100 in"), c.exitCode == 0) << run.out.toStdString();
    }
    covered.sort();
    EXPECT_EQ(QDir(hostile("")).entryList({"*.osm"}, QDir::Files, QDir::Name), covered);
}

TEST(HostileInputs, AnInputThatCannotBeReadEndsTheRunWithOneNamingTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString missing = dir.filePath(QStringLiteral("missing.xml"));
    const QString empty = dir.filePath(QStringLiteral("empty.xml"));
    const QString png = dir.filePath(QStringLiteral("picture.png"));
    ASSERT_TRUE(writeFile(empty, QByteArray()));
    ASSERT_TRUE(writeFile(png, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)));
    const struct
    {
        QString map;
        QString schedules;
        QString message;
    } cases[] = {
        {missing, schedules, "kolvex-headless: map: cannot open \"" + missing + "\""},
        {dir.path(), schedules, "kolvex-headless: map: cannot open \"" + dir.path() + "\""},
        {empty, schedules, "kolvex-headless: map: XML error in \"" + empty + "\" at line 1, column 1: "},
        {png, schedules, "kolvex-headless: map: XML error in \"" + png + "\" at line 1, column "},
        {city, missing, "kolvex-headless: schedules: cannot open \"" + missing + "\""},
        {city, empty, "kolvex-headless: schedules: XML error in \"" + empty + "\" at line 1, column 1: "},
        {city, png, "kolvex-headless: schedules: XML error in \"" + png + "\" at line 1, column "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE((c.map + " " + c.schedules).toStdString());
        const HeadlessRun run = runHeadless({"--osm", c.map, "--schedules", c.schedules, "--steps", "10"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains("Summary:"));
    }
    const HeadlessRun write = runHeadless({"--osm", missing, "--write-osm", dir.filePath(QStringLiteral("out.osm"))});
    EXPECT_EQ(write.exitCode, 1);
    EXPECT_TRUE(write.err.contains("kolvex-headless: map: cannot open \"" + missing + "\"")) << write.err.toStdString();
}

TEST(HostileInputs, ABudgetGivenOnTheCommandLineRefusesTheBundledCity)
{
    const HeadlessRun run =
        runHeadless({"--osm", city, "--schedules", schedules, "--max-network-cells", "1000", "--steps", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("refused: the network needs about ")) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("cells (at most 1000)")) << run.err.toStdString();
}
