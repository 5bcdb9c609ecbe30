#include "tools/headless/headlessoptions.h"

#include <gtest/gtest.h>

TEST(HeadlessOptions, DefaultsAreTheStartDialogsPresets)
{
    HeadlessOptions options;
    QString error;
    ASSERT_TRUE(options.parse({"kolvex-headless"}, error));
    EXPECT_EQ(options.osmPath, "./data/kesta_center_2014-04-15_compressed_edited.osm");
    EXPECT_EQ(options.schedulePath, "./data/schedules.xml");
    EXPECT_EQ(options.start, QTime(14, 0, 0));
}

TEST(HeadlessOptions, ValuesAreTakenAndMalformedOnesRefused)
{
    HeadlessOptions options;
    QString error;
    ASSERT_TRUE(
        options.parse({"k", "--osm", "a.osm", "--schedules", "s.xml", "--start", "07:05:09", "--seed", "42"}, error));
    EXPECT_EQ(options.osmPath, "a.osm");
    EXPECT_EQ(options.schedulePath, "s.xml");
    EXPECT_EQ(options.start, QTime(7, 5, 9));
    EXPECT_EQ(options.seed, 42u);

    EXPECT_FALSE(options.parse({"k", "--start", "7:5"}, error));
    EXPECT_TRUE(error.contains("7:5"));
    EXPECT_FALSE(options.parse({"k", "--seed", "x1"}, error));
    EXPECT_FALSE(options.parse({"k", "--osm"}, error));
    EXPECT_TRUE(error.contains("--osm"));
}
