#include "tests/loopbacktileserver.h"

#include "map/maptiledownloader.h"
#include "map/slippymap.h"

#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const Location HELSINKI(60.1699, 24.9384);

/// A map on a tile directory of the test; its hosts are the loopback server.
struct MapRig
{
    LoopbackTileServer http;
    QTemporaryDir dir;
    SlippyMap map;

    MapRig() : map(nullptr, new MapTileDownloader(server(), TileStore(dir.path()), QString())) {}
    static TileServer server()
    {
        TileServer s;
        s.host = "tiles.test";
        return s;
    }
    void view(int w, int h, const Location &centre)
    {
        map.setViewWidth(w);
        map.setViewHeight(h);
        map.setCenter(centre);
        map.recomputeView();
    }
    void deliver(const QPoint &tile, int zoom)
    {
        QImage image(1, 1, QImage::Format_RGB32);
        image.fill(Qt::white);
        QMetaObject::invokeMethod(&map, "tileReceived", Qt::DirectConnection, Q_ARG(QPoint, tile), Q_ARG(int, zoom),
                                  Q_ARG(QImage, image));
    }
};

QColor tileColour(int x, int y, int zoom)
{
    return QColor(x % 256, y % 256, zoom * 10);
}

} // namespace

TEST(SlippyMap, PixelsAndPositionsRoundTripAtEveryViewZoom)
{
    MapRig rig;
    rig.view(1280, 800, HELSINKI);
    while (rig.map.zoom() > SlippyMap::MIN_VIEW_ZOOM)
        rig.map.zoomOut();
    for (int zoom = SlippyMap::MIN_VIEW_ZOOM; zoom <= SlippyMap::MAX_VIEW_ZOOM; ++zoom, rig.map.zoomIn()) {
        ASSERT_EQ(rig.map.zoom(), zoom);
        for (const QPointF pixel : {QPointF(0, 0), QPointF(639.5, 400.25), QPointF(1279, 799), QPointF(-50, 900)}) {
            const Location l = rig.map.pixelToCoordinate(pixel);
            const QPointF back = rig.map.coordinateToPixelF(l);
            EXPECT_NEAR(back.x(), pixel.x(), 1.0) << zoom;
            EXPECT_NEAR(back.y(), pixel.y(), 1.0) << zoom;
            const QPoint whole = rig.map.coordinateToPixel(l);
            EXPECT_LE(std::abs(whole.x() - pixel.x()), 1.0) << zoom;
            EXPECT_LE(std::abs(whole.y() - pixel.y()), 1.0) << zoom;
            const QPointF fast = rig.map.worldToPixel(worldPoint(l));
            EXPECT_NEAR(fast.x(), back.x(), 1e-3);
            EXPECT_NEAR(fast.y(), back.y(), 1e-3);
        }
        // The view centre lies in the middle of the widget.
        const QPointF centre = rig.map.coordinateToPixelF(HELSINKI);
        EXPECT_NEAR(centre.x(), 640, 1.0);
        EXPECT_NEAR(centre.y(), 400, 1.0);
    }
}

TEST(SlippyMap, PanningStopsAtTheEdgesOfTheProjection)
{
    MapRig rig;
    rig.view(600, 400, Location(85.0, 179.99));
    rig.map.panBy(QPoint(-100000, 100000));
    EXPECT_DOUBLE_EQ(rig.map.center().lon, 180.0);
    EXPECT_DOUBLE_EQ(rig.map.center().lat, 85.0511);
}

TEST(SlippyMap, PurgeKeepsTheTilesOfTheViewAndDropsOtherZoomLevels)
{
    MapRig rig;
    rig.view(1280, 800, HELSINKI);
    const QRect view = rig.map.tilesRect();
    for (int x = view.left(); x <= view.right(); ++x)
        for (int y = view.top(); y <= view.bottom(); ++y)
            rig.deliver(QPoint(x, y), rig.map.zoom());
    const int inView = rig.map.cachedTileCount();
    ASSERT_EQ(inView, view.width() * view.height());
    for (int i = 0; rig.map.cachedTileCount() < SlippyMap::PURGE_THRESHOLD - 2; ++i)
        rig.deliver(QPoint(i, 0), rig.map.zoom() - 1);
    EXPECT_EQ(rig.map.cachedTileCount(), SlippyMap::PURGE_THRESHOLD - 2); // 254: no purge yet
    rig.deliver(QPoint(view.left() + 100, view.top()), rig.map.zoom());   // far away, 255
    EXPECT_EQ(rig.map.cachedTileCount(), SlippyMap::PURGE_THRESHOLD - 1);
    rig.deliver(QPoint(view.left() - 2, view.top() - 2), rig.map.zoom()); // 256: purge
    EXPECT_EQ(rig.map.cachedTileCount(), inView + 1);                     // the view and the one within the margin
}

TEST(SlippyMap, PansAndZoomsOverATileDirectoryWithoutAnyRequest)
{
    MapRig rig;
    const TileStore store(rig.dir.path());
    for (int zoom = 15; zoom <= 17; ++zoom) {
        const QPointF t = SlippyMap::coordinateToTile(HELSINKI.lat, HELSINKI.lon, zoom);
        const int reach = 3 + 2 * (zoom - 14); // the view and the pan below, with a tile to spare
        for (int x = int(t.x()) - reach; x <= int(t.x()) + reach; ++x)
            for (int y = int(t.y()) - reach; y <= int(t.y()) + reach; ++y) {
                QImage tile(256, 256, QImage::Format_RGB32);
                tile.fill(tileColour(x, y, zoom));
                ASSERT_TRUE(tile.save(store.filePath(TileKey{x, y, zoom}), "PNG"));
            }
    }
    rig.view(1000, 700, HELSINKI);
    // Whether every tile of the view shows its own colour (not the placeholder).
    const auto everyTileDrawn = [&] {
        const QRect tiles = rig.map.tilesRect();
        QImage frame(1000, 700, QImage::Format_RGB32);
        QPainter painter(&frame);
        rig.map.renderTiles(&painter, frame.rect());
        painter.end();
        for (int x = tiles.left(); x <= tiles.right(); ++x)
            for (int y = tiles.top(); y <= tiles.bottom(); ++y) {
                const QRect box = rig.map.tileBox(QPoint(x, y)).intersected(frame.rect());
                if (!box.isEmpty() && frame.pixelColor(box.center()) != tileColour(x, y, rig.map.zoom()))
                    return false;
            }
        return true;
    };
    rig.map.zoomOut();
    EXPECT_TRUE(waitUntil(everyTileDrawn)) << rig.map.zoom();
    rig.map.panBy(QPoint(300, -200));
    EXPECT_TRUE(waitUntil(everyTileDrawn)) << rig.map.zoom();
    rig.map.zoomIn();
    rig.map.zoomIn();
    EXPECT_TRUE(waitUntil(everyTileDrawn)) << rig.map.zoom();
    EXPECT_TRUE(rig.http.requests().empty());
}
