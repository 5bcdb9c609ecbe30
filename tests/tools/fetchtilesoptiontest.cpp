#include "tools/headless/headlessoptions.h"

#include <gtest/gtest.h>

TEST(HeadlessOptions, FetchTilesTakesAZoomRangeWithinTheTileLevels)
{
    const struct
    {
        const char *range;
        bool ok;
        int minZoom, maxZoom;
    } cases[] = {{"12-18", true, 12, 18}, {"0-19", true, 0, 19}, {"15-15", true, 15, 15}, {"18-12", false, 0, 0},
                 {"12", false, 0, 0},     {"0-20", false, 0, 0}, {"-1-3", false, 0, 0},   {"a-b", false, 0, 0}};
    for (const auto &c : cases) {
        HeadlessOptions options;
        QString error;
        EXPECT_EQ(options.parse({"kolvex-headless", "--fetch-tiles", c.range}, error), c.ok) << c.range;
        if (c.ok) {
            EXPECT_TRUE(options.fetchTiles);
            EXPECT_EQ(options.tileMinZoom, c.minZoom);
            EXPECT_EQ(options.tileMaxZoom, c.maxZoom);
        } else {
            EXPECT_TRUE(error.contains("zoom range")) << error.toStdString();
        }
    }
}
