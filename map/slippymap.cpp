#include "slippymap.h"

#include "maptiledownloader.h"
#include "osm/node.h"
#include "tiles/tilekey.h"
#include "tiles/tilemath.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

const QColor SlippyMap::BACKGROUND(232, 228, 220);

namespace {

constexpr double PPM_PROBE_METRES = 100.0;

} // namespace

SlippyMap::SlippyMap(QObject *parent, MapTileDownloader *tileSource)
    : QObject(parent), loadingTile(TILE_SIZE, TILE_SIZE), emptyTile(TILE_SIZE, TILE_SIZE),
      downloader(tileSource ? tileSource : new MapTileDownloader)
{
    loadingTile.fill(Qt::lightGray);
    {
        QPainter p(&loadingTile);
        p.setPen(Qt::darkGray);
        p.drawText(loadingTile.rect(), Qt::AlignCenter, QStringLiteral("Loading..."));
    }
    emptyTile.fill(BACKGROUND);
    computePixelsPerMetre();
    // Tile lists cross to the downloader's thread by value.
    qRegisterMetaType<std::vector<QPoint>>("std::vector<QPoint>");
    // By signature towards the downloader's thread, so that it reads nothing made here for the
    // connection.
    connect(this, SIGNAL(getTiles(std::vector<QPoint>, int)), downloader,
            SLOT(tilesRequired(std::vector<QPoint>, int)));
    connect(downloader, &MapTileDownloader::tileDownloaded, this, &SlippyMap::tileReceived);
    connect(this, SIGNAL(tileConfirmation(QPoint, int)), downloader, SLOT(tileConfirmed(QPoint, int)));
}

SlippyMap::~SlippyMap()
{
    delete downloader;
}

void SlippyMap::setCenter(const Location &center)
{
    latitude = center.lat;
    longitude = center.lon;
}

QPointF SlippyMap::coordinateToTile(double lat, double lon, int zoom)
{
    return tilemath::coordinateToTile(lat, lon, zoom);
}

double SlippyMap::tileXToLongitude(double x, int zoom)
{
    return tilemath::tileXToLongitude(x, zoom);
}

double SlippyMap::tileYToLatitude(double y, int zoom)
{
    return tilemath::tileYToLatitude(y, zoom);
}

QRect SlippyMap::tileBox(const QPoint &t) const
{
    return QRect((t.x() - m_tilesRect.left()) * TILE_SIZE + offset.x(),
                 (t.y() - m_tilesRect.top()) * TILE_SIZE + offset.y(), TILE_SIZE, TILE_SIZE);
}

bool SlippyMap::isTileInRange(const QPoint &t) const
{
    const int n = 1 << std::min(m_zoom, 30);
    return t.x() >= 0 && t.x() <= n - 1 && t.y() >= 0 && t.y() <= n - 1;
}

QPoint SlippyMap::coordinateToPixel(const Location &c) const
{
    const QPointF t = coordinateToTile(c.lat, c.lon, m_zoom);
    const int x =
        (int(t.x()) - m_tilesRect.left()) * TILE_SIZE + offset.x() + int((t.x() - std::floor(t.x())) * TILE_SIZE);
    const int y =
        (int(t.y()) - m_tilesRect.top()) * TILE_SIZE + offset.y() + int((t.y() - std::floor(t.y())) * TILE_SIZE);
    return QPoint(x, y);
}

QPointF SlippyMap::coordinateToPixelF(const Location &c) const
{
    const QPointF t = coordinateToTile(c.lat, c.lon, m_zoom);
    const double x =
        (t.x() - std::floor(t.x())) * TILE_SIZE + ((int(t.x()) - m_tilesRect.left()) * TILE_SIZE + offset.x());
    const double y =
        (t.y() - std::floor(t.y())) * TILE_SIZE + ((int(t.y()) - m_tilesRect.top()) * TILE_SIZE + offset.y());
    return QPointF(x, y);
}

Location SlippyMap::pixelToCoordinate(const QPointF &pixel) const
{
    const QPointF t = (pixel + origin) / TILE_SIZE;
    return Location(tileYToLatitude(t.y(), m_zoom), tileXToLongitude(t.x(), m_zoom));
}

bool SlippyMap::isTileExposed(const Location &c, const QRect &exposed) const
{
    const QPointF t = coordinateToTile(c.lat, c.lon, m_zoom);
    return tileBox(QPoint(int(t.x()), int(t.y()))).intersects(exposed);
}

void SlippyMap::computePixelsPerMetre()
{
    const Location c(latitude, longitude);
    const Location probe = geo::moveLocation(c, 0.0, PPM_PROBE_METRES);
    const QPointF a = coordinateToTile(c.lat, c.lon, m_zoom) * TILE_SIZE;
    const QPointF b = coordinateToTile(probe.lat, probe.lon, m_zoom) * TILE_SIZE;
    m_pixelsPerMetre = std::hypot(a.x() - b.x(), a.y() - b.y()) / PPM_PROBE_METRES;
}

void SlippyMap::recomputeView()
{
    // The scale depends on the latitude: it changes when the view centres elsewhere, not only on zoom.
    computePixelsPerMetre();
    if (width <= 0 || height <= 0)
        return;
    const QPointF t = coordinateToTile(latitude, longitude, m_zoom);
    const int xp = int(width / 2 - (t.x() - std::floor(t.x())) * TILE_SIZE);
    const int yp = int(height / 2 - (t.y() - std::floor(t.y())) * TILE_SIZE);
    const int xa = (xp + TILE_SIZE - 1) / TILE_SIZE;
    const int ya = (yp + TILE_SIZE - 1) / TILE_SIZE;
    m_tilesRect.setLeft(int(t.x()) - xa);
    m_tilesRect.setTop(int(t.y()) - ya);
    offset = QPoint(xp - xa * TILE_SIZE, yp - ya * TILE_SIZE);
    m_tilesRect.setRight(int(t.x()) + (width - xp - 1) / TILE_SIZE);
    m_tilesRect.setBottom(int(t.y()) + (height - yp - 1) / TILE_SIZE);
    scale = std::ldexp(1.0, m_zoom);
    origin = QPointF(m_tilesRect.left() * TILE_SIZE - offset.x(), m_tilesRect.top() * TILE_SIZE - offset.y());
    ++m_revision;
    if (m_zoom < ZOOM_LEVELS)
        requestMissingTiles();
    emit updated(QRect(0, 0, width, height));
}

void SlippyMap::requestMissingTiles()
{
    std::vector<QPoint> list;
    const QHash<QPoint, QPixmap> &cache = tileCache[m_zoom];
    // Column by column, one column and one row beyond the view.
    for (int i = 0; i <= m_tilesRect.right() - m_tilesRect.left() + 1; ++i)
        for (int j = 0; j <= m_tilesRect.bottom() - m_tilesRect.top() + 1; ++j) {
            const QPoint t(m_tilesRect.left() + i, m_tilesRect.top() + j);
            if (!cache.contains(t) && isTileInRange(t))
                list.push_back(t);
        }
    emit getTiles(list, m_zoom);
}

void SlippyMap::renderTiles(QPainter *painter, const QRect &exposed) const
{
    for (int i = 0; i <= m_tilesRect.right() - m_tilesRect.left() + 1; ++i)
        for (int j = 0; j <= m_tilesRect.bottom() - m_tilesRect.top() + 1; ++j) {
            const QPoint t(m_tilesRect.left() + i, m_tilesRect.top() + j);
            const QRect box = tileBox(t);
            if (!isTileInRange(t) || m_zoom >= ZOOM_LEVELS) {
                painter->drawPixmap(box, emptyTile, emptyTile.rect());
                continue;
            }
            if (!box.intersects(exposed))
                continue;
            const auto it = tileCache[m_zoom].constFind(t);
            const QPixmap &tile = it != tileCache[m_zoom].constEnd() ? *it : loadingTile;
            painter->drawPixmap(box, tile, tile.rect());
        }
}

void SlippyMap::panBy(const QPoint &delta)
{
    QPointF t = coordinateToTile(latitude, longitude, m_zoom);
    t -= QPointF(delta) / TILE_SIZE;
    longitude = std::clamp(tileXToLongitude(t.x(), m_zoom), -tilemath::MAX_LONGITUDE, tilemath::MAX_LONGITUDE);
    latitude = std::clamp(tileYToLatitude(t.y(), m_zoom), -tilemath::MAX_LATITUDE, tilemath::MAX_LATITUDE);
    recomputeView();
}

void SlippyMap::zoomIn()
{
    if (m_zoom >= MAX_VIEW_ZOOM)
        return;
    ++m_zoom;
    recomputeView();
}

void SlippyMap::zoomOut()
{
    if (m_zoom <= MIN_VIEW_ZOOM)
        return;
    --m_zoom;
    recomputeView();
}

void SlippyMap::centerOnNodes(const std::vector<Node *> &nodes)
{
    if (nodes.empty())
        return;
    double minLat = 9999.9, minLon = 9999.9, maxLat = -9999.9, maxLon = -9999.9;
    for (const Node *node : nodes) {
        const Location &l = node->getLocation();
        minLat = std::min(minLat, l.lat);
        maxLat = std::max(maxLat, l.lat);
        minLon = std::min(minLon, l.lon);
        maxLon = std::max(maxLon, l.lon);
    }
    latitude = (maxLat + minLat) * 0.5;
    longitude = (minLon + maxLon) * 0.5;
    recomputeView();
}

void SlippyMap::tileReceived(QPoint tilePoint, int zoom, QImage downloadedTile)
{
    if (zoom < 0 || zoom >= ZOOM_LEVELS || downloadedTile.isNull())
        return;
    tileCache[zoom].insert(tilePoint, QPixmap::fromImage(downloadedTile));
    if (zoom == m_zoom)
        ++m_revision;
    emit updated(tileBox(tilePoint));
    emit tileConfirmation(tilePoint, zoom);
    purgeIfLarge();
}

void SlippyMap::dropDistantTiles()
{
    const QRect keep(QPoint(m_tilesRect.left() - PURGE_MARGIN, m_tilesRect.top() - PURGE_MARGIN),
                     QPoint(m_tilesRect.right() + PURGE_MARGIN, m_tilesRect.bottom() + PURGE_MARGIN));
    for (int level = 0; level < ZOOM_LEVELS; ++level) {
        if (level != m_zoom) {
            tileCache[level].clear();
            continue;
        }
        for (auto it = tileCache[level].begin(); it != tileCache[level].end();) {
            if (keep.contains(it.key()))
                ++it;
            else
                it = tileCache[level].erase(it);
        }
    }
}

void SlippyMap::purgeIfLarge()
{
    if (cachedTileCount() >= PURGE_THRESHOLD)
        dropDistantTiles();
}

int SlippyMap::cachedTileCount() const
{
    int count = 0;
    for (const auto &level : tileCache)
        count += level.size();
    return count;
}

void SlippyMap::prepareRenderData(const SimulationData *data, const BindingData *bindings)
{
    lists.prepare(data, bindings);
    ++m_revision;
}
