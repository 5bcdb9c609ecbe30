// kolvex-headless run as a user runs it: its output and exit code.

#include <QProcess>
#include <QStringList>

#include "headlessrun.h"

#include <gtest/gtest.h>

namespace {} // namespace

TEST(HeadlessProgram, BadCommandLinesPrintTheUsageAndExitWithTwo)
{
    const QList<QStringList> badLines = {
        {"--speed", "3"}, {"--start", "25:00:00"}, {"--start", "noon"}, {"--seed", "-4"}, {"--seed"}, {"extra"},
    };
    for (const QStringList &arguments : badLines) {
        const HeadlessRun run = runHeadless(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("usage: kolvex-headless")) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

namespace {

QString summaryValue(const QString &out, const QString &label)
{
    for (const QString &line : out.split('\n'))
        if (line.trimmed().startsWith(label))
            return line.section(' ', -1);
    return QString();
}

} // namespace

TEST(HeadlessProgram, ARunIsTheSameWhateverTheThreadCount)
{
    const QString city = QStringLiteral(KOLVEX_SOURCE_DIR "/data/kesta_center_2014-04-15_compressed_edited.osm");
    const QString schedules = QStringLiteral(KOLVEX_SOURCE_DIR "/data/schedules.xml");
    QStringList hashes;
    for (const char *threads : {"1", "4"}) {
        const HeadlessRun run = runHeadless(
            {"--osm", city, "--schedules", schedules, "--steps", "3000", "--seed", "7", "--threads", threads});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        hashes << summaryValue(run.out, "state hash");
        ASSERT_FALSE(hashes.back().isEmpty()) << run.out.toStdString();
    }
    EXPECT_EQ(hashes[0], hashes[1]);
}
