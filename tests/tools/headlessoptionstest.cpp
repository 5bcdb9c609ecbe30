#include "tools/headless/headlessoptions.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

TEST(HeadlessOptions, DefaultsValuesAndZoomRangesAreTakenAndMalformedOnesRefused)
{
    HeadlessOptions defaults;
    QString error;
    ASSERT_TRUE(defaults.parse({"kolvex-headless"}, error));
    EXPECT_EQ(defaults.osmPath, "./data/kesta_center_2014-04-15_compressed_edited.osm");
    EXPECT_EQ(defaults.schedulePath, "./data/schedules.xml");
    EXPECT_EQ(defaults.start, QTime(14, 0, 0));
    EXPECT_FALSE(defaults.fetchTiles);
    EXPECT_EQ(defaults.maxCars, 667);
    EXPECT_FALSE(defaults.bbox);

    HeadlessOptions options;
    ASSERT_TRUE(
        options.parse({"k", "--osm", "a.osm", "--schedules", "s.xml", "--start", "07:05:09", "--seed", "42", "--feed",
                       "3", "--max-cars", "10000", "--bbox", "-0.2,51.5,-0.1,51.53", "--fetch-tiles", "0-19"},
                      error));
    EXPECT_EQ(options.osmPath, "a.osm");
    EXPECT_EQ(options.schedulePath, "s.xml");
    EXPECT_EQ(options.start, QTime(7, 5, 9));
    EXPECT_EQ(options.seed, 42u);
    EXPECT_EQ(options.feed, 3);
    EXPECT_EQ(options.maxCars, 10000);
    ASSERT_TRUE(options.bbox);
    EXPECT_EQ(options.bbox->toText(), "-0.2,51.5,-0.1,51.53"); // a value may start with a minus sign
    EXPECT_TRUE(options.fetchTiles);
    EXPECT_EQ(options.tileMinZoom, 0);
    EXPECT_EQ(options.tileMaxZoom, 19);

    const QStringList refused[] = {{"--start", "7:5"},
                                   {"--seed", "x1"},
                                   {"--osm"},
                                   {"--fetch-tiles", "18-12"},
                                   {"--fetch-tiles", "12"},
                                   {"--fetch-tiles", "0-20"},
                                   {"--fetch-tiles", "-1-3"},
                                   {"--feed", "0"},
                                   {"--max-cars", "-1"},
                                   {"--max-cars", "many"},
                                   {"--bbox", "0,51,1"},
                                   {"--bbox", "1,51,0,52"},
                                   {"--bbox", "0,89,1,90.5"},
                                   {"--bogus"},
                                   {"-x"},
                                   {"stray"},
                                   {"--steps", "1", "--", "x"}};
    for (const QStringList &arguments : refused) {
        error.clear();
        EXPECT_FALSE(HeadlessOptions().parse(QStringList{"k"} + arguments, error)) << arguments.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(HeadlessOptions, TheReadmeShowsTheProgramsSynopsisAndTheHelpDescribesEachOfItsOptionsOnce)
{
    QFile readme(QStringLiteral(KOLVEX_SOURCE_DIR "/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly));
    // The fenced block that starts with the program's first form, without the list's indent.
    const QRegularExpression block(R"(\n( *)```\n\1(kolvex-headless \[.*?)\n\1```)",
                                   QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = block.match(QString::fromUtf8(readme.readAll()));
    ASSERT_TRUE(m.hasMatch()) << "no synopsis block in the README";
    QStringList lines = m.captured(2).split('\n');
    for (int i = 1; i < lines.size(); ++i)
        lines[i].remove(0, m.captured(1).size());
    EXPECT_EQ(lines.join('\n'), HeadlessOptions::synopsis()) << "the README's synopsis should read:\n"
                                                             << HeadlessOptions::synopsis().toStdString();

    const QString help = HeadlessOptions::helpText();
    QRegularExpressionMatchIterator options =
        QRegularExpression(QStringLiteral("--[a-z-]+")).globalMatch(HeadlessOptions::synopsis() + " --help --version");
    while (options.hasNext()) {
        const QString option = options.next().captured(0);
        const QRegularExpression described(QStringLiteral("^  (-[a-z], )?%1 ").arg(option),
                                           QRegularExpression::MultilineOption);
        EXPECT_EQ(help.count(described), 1) << option.toStdString();
    }
    HeadlessOptions asked;
    QString error;
    EXPECT_TRUE(asked.parse({"k", "--help"}, error) && asked.helpRequested && !asked.versionRequested);
    EXPECT_FALSE(asked.parse({"k", "-h", "--bogus"}, error));
    EXPECT_TRUE(asked.helpRequested) << "help is given even beside a fault";
}

TEST(HeadlessOptions, EveryDetectorCountsAndDetectorsNeedTheirFile)
{
    HeadlessOptions options;
    QString error;
    ASSERT_TRUE(options.parse({"k", "--detector", "60.1,24.9", "--detector", "-33.5,151.25,25", "--detector-csv",
                               "d.csv", "--detector-every", "4"},
                              error))
        << error.toStdString();
    ASSERT_EQ(options.detectors.size(), 2u);
    EXPECT_EQ(options.detectors[0].point, Location(60.1, 24.9));
    EXPECT_EQ(options.detectors[0].radiusM, 10.0);
    EXPECT_EQ(options.detectors[1].point, Location(-33.5, 151.25));
    EXPECT_EQ(options.detectors[1].radiusM, 25.0);
    EXPECT_EQ(options.detectorCsvPath, "d.csv");
    EXPECT_EQ(options.detectorEvery, 4);

    const QStringList refused[] = {{"--detector", "60.1", "--detector-csv", "d.csv"},
                                   {"--detector", "91,0", "--detector-csv", "d.csv"},
                                   {"--detector", "60,24,0", "--detector-csv", "d.csv"},
                                   {"--detector", "60,24,x", "--detector-csv", "d.csv"},
                                   {"--detector", "60,24"},
                                   {"--detector-csv", "d.csv"},
                                   {"--detector", "60,24", "--detector-csv", "d.csv", "--detector-every", "0"}};
    for (const QStringList &arguments : refused) {
        error.clear();
        EXPECT_FALSE(HeadlessOptions().parse(QStringList{"k"} + arguments, error)) << arguments.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}
