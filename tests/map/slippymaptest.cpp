#include "tests/loopbacktileserver.h"

#include "map/maptiledownloader.h"
#include "map/slippymap.h"
#include "osm/node.h"

#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

QColor tileColour(int x, int y, int zoom)
{
    return QColor(x % 256, y % 256, zoom * 10);
}

} // namespace

TEST(SlippyMap, PansAndZoomsOverATileDirectoryDrawingEveryTileWhereItBelongsWithoutAnyRequest)
{
    const Location helsinki(60.1699, 24.9384);
    LoopbackTileServer http;
    QTemporaryDir dir;
    const TileStore store(dir.path());
    for (int zoom = 15; zoom <= 17; ++zoom) {
        const QPointF t = SlippyMap::coordinateToTile(helsinki.lat, helsinki.lon, zoom);
        const int reach = 3 + 2 * (zoom - 14); // the view and the pan below, with a tile to spare
        for (int x = int(t.x()) - reach; x <= int(t.x()) + reach; ++x)
            for (int y = int(t.y()) - reach; y <= int(t.y()) + reach; ++y) {
                QImage tile(256, 256, QImage::Format_RGB32);
                tile.fill(tileColour(x, y, zoom));
                ASSERT_TRUE(tile.save(store.filePath(TileKey{x, y, zoom}), "PNG"));
            }
    }
    TileServer server;
    server.host = "tiles.test";
    SlippyMap map(nullptr, new MapTileDownloader(server, store, QString()));
    map.setViewWidth(1000);
    map.setViewHeight(700);
    map.setCenter(helsinki);
    map.recomputeView();
    // Whether every tile of the view shows its own colour (not the placeholder).
    const auto everyTileDrawn = [&] {
        const QRect tiles = map.tilesRect();
        QImage frame(1000, 700, QImage::Format_RGB32);
        QPainter painter(&frame);
        map.renderTiles(&painter, frame.rect());
        painter.end();
        for (int x = tiles.left(); x <= tiles.right(); ++x)
            for (int y = tiles.top(); y <= tiles.bottom(); ++y) {
                const QRect box = map.tileBox(QPoint(x, y)).intersected(frame.rect());
                if (!box.isEmpty() && frame.pixelColor(box.center()) != tileColour(x, y, map.zoom()))
                    return false;
            }
        return true;
    };
    map.zoomOut();
    EXPECT_TRUE(waitUntil(everyTileDrawn)) << map.zoom();
    map.panBy(QPoint(300, -200));
    EXPECT_TRUE(waitUntil(everyTileDrawn)) << map.zoom();
    map.zoomIn();
    map.zoomIn();
    EXPECT_TRUE(waitUntil(everyTileDrawn)) << map.zoom();
    EXPECT_TRUE(http.requests().empty());
    // The view centre lies in the middle of the widget.
    const QPointF centre = map.coordinateToPixelF(map.center());
    EXPECT_NEAR(centre.x(), 500, 1.0);
    EXPECT_NEAR(centre.y(), 350, 1.0);
}

TEST(SlippyMap, ThePixelsPerMetreFollowTheLatitudeTheViewIsCentredOn)
{
    LoopbackTileServer http;
    QTemporaryDir dir;
    TileServer server;
    server.host = "tiles.test";
    SlippyMap map(nullptr, new MapTileDownloader(server, TileStore(dir.path()), QString()));
    // A map far north of where a new view starts: its vehicles and pens are drawn to its own scale.
    Node a(1, Location(69.65, 18.95)), b(2, Location(69.66, 18.97));
    map.centerOnNodes({&a, &b});
    const Location c = map.center();
    const QPointF p = map.coordinateToPixelF(c), q = map.coordinateToPixelF(geo::moveLocation(c, 90.0, 100.0));
    EXPECT_NEAR(map.pixelsPerMetre(), std::hypot(q.x() - p.x(), q.y() - p.y()) / 100.0, 1e-3 * map.pixelsPerMetre());
}
