#include "tiles/tilemath.h"
#include "tiles/tilekey.h"
#include "tiles/tilestore.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(TileMath, PositionToTileAndBackAtEveryZoom)
{
    const double places[][2] = {{60.1699, 24.9384}, {-33.86, 151.21}, {84.9, -179.9}, {-84.9, 179.9}, {0, 0}};
    for (int zoom = 0; zoom <= 19; ++zoom)
        for (const auto &p : places) {
            const QPointF t = tilemath::coordinateToTile(p[0], p[1], zoom);
            // A tenth of a pixel at any zoom level.
            EXPECT_NEAR(tilemath::tileYToLatitude(t.y(), zoom), p[0], 1e-9 + 0.1 / 256 * 180.0 / (1 << zoom));
            EXPECT_NEAR(tilemath::tileXToLongitude(t.x(), zoom), p[1], 1e-9);
        }
}

TEST(TileMath, RangesAreClampedAtThePolesAndTheAntimeridian)
{
    struct Case
    {
        double north, west, south, east;
        int zoom;
        QRect expected;
    } cases[] = {
        {90, -180, -90, 180, 2, QRect(QPoint(0, 0), QPoint(3, 3))},  // the whole world, poles beyond the scheme
        {10, 170, -10, 200, 3, QRect(QPoint(7, 3), QPoint(7, 4))},   // east past 180 stays in the last column
        {10, -200, -10, -170, 3, QRect(QPoint(0, 3), QPoint(0, 4))}, // west past −180 stays in the first
        {-10, 10, 10, -10, 1, QRect(QPoint(0, 0), QPoint(1, 1))},    // corners given the wrong way round
    };
    for (const Case &c : cases)
        EXPECT_EQ(tilemath::tileRange(c.north, c.west, c.south, c.east, c.zoom), c.expected) << c.zoom;
}

TEST(TileStore, OnlyThreeDecimalNumbersNameATileAndOnlyValidTilesAreWritten)
{
    const std::pair<const char *, bool> tags[] = {{"16-100-200", true}, {"16-100", false}, {"16-1-2-3", false},
                                                  {"16-../x-1", false}, {"", false},       {"16-1-2x", false}};
    for (const auto &tag : tags) {
        TileKey key{-1, -1, -1};
        EXPECT_EQ(tileKeyFromString(QString::fromLatin1(tag.first), key), tag.second) << tag.first;
        EXPECT_TRUE(!tag.second || key == (TileKey{100, 200, 16}));
    }
    QTemporaryDir dir;
    const TileStore store(dir.path() + "/tiles");
    EXPECT_EQ(store.filePath(TileKey{100, 200, 16}), dir.path() + "/tiles/16-100-200.png");
    for (const TileKey &k : {TileKey{-1, 0, 3}, TileKey{8, 0, 3}, TileKey{0, 8, 3}, TileKey{0, 0, 20}})
        EXPECT_FALSE(store.write(k, "x")) << k.x << " " << k.y << " " << k.zoom;
    EXPECT_FALSE(store.write(TileKey{1, 1, 3}, QByteArray()));
    EXPECT_TRUE(store.write(TileKey{1, 1, 3}, "tile"));
    EXPECT_TRUE(store.contains(TileKey{1, 1, 3}));
    EXPECT_EQ(QDir(dir.path() + "/tiles").entryList(QDir::Files), QStringList{"3-1-1.png"});
}

TEST(TileStore, TheWorkingFoldersTileDirectoryWhenItExistsOtherwiseTheUsersCache)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir working;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(working.path()));
    const QString cache = TileStore::defaultDirectory();
    EXPECT_TRUE(QDir::isAbsolutePath(cache) && cache.endsWith("/kolvex/map_tiles/")) << cache.toStdString();
    ASSERT_TRUE(QDir().mkpath("data/map_tiles"));
    EXPECT_EQ(TileStore::defaultDirectory(), "./data/map_tiles/");
    QDir::setCurrent(previous);
}
