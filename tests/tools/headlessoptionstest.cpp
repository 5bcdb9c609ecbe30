#include "tools/headless/headlessoptions.h"

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

    HeadlessOptions options;
    ASSERT_TRUE(options.parse({"k", "--osm", "a.osm", "--schedules", "s.xml", "--start", "07:05:09", "--seed", "42",
                               "--feed", "3", "--fetch-tiles", "0-19"},
                              error));
    EXPECT_EQ(options.osmPath, "a.osm");
    EXPECT_EQ(options.schedulePath, "s.xml");
    EXPECT_EQ(options.start, QTime(7, 5, 9));
    EXPECT_EQ(options.seed, 42u);
    EXPECT_EQ(options.feed, 3);
    EXPECT_TRUE(options.fetchTiles);
    EXPECT_EQ(options.tileMinZoom, 0);
    EXPECT_EQ(options.tileMaxZoom, 19);

    const QStringList refused[] = {{"--start", "7:5"},         {"--seed", "x1"},        {"--osm"},
                                   {"--fetch-tiles", "18-12"}, {"--fetch-tiles", "12"}, {"--fetch-tiles", "0-20"},
                                   {"--fetch-tiles", "-1-3"},  {"--feed", "0"}};
    for (const QStringList &arguments : refused) {
        error.clear();
        EXPECT_FALSE(HeadlessOptions().parse(QStringList{"k"} + arguments, error)) << arguments.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
}
