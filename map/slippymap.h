#ifndef KOLVEX_MAP_SLIPPYMAP_H
#define KOLVEX_MAP_SLIPPYMAP_H

#include "geo/geodesy.h"
#include "renderlists.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QRect>

#include <vector>

class BindingData;
class MapTileDownloader;
class Node;
class QPainter;
struct SimulationData;

/// Hash of a tile index for the tile cache.
inline uint qHash(const QPoint &p, uint seed = 0)
{
    return (uint(p.x()) * 17u ^ uint(p.y())) ^ seed;
}

/// The model behind the map widget: the view (centre, zoom level, size), the Web-Mercator
/// projection of 256-pixel tiles between positions and widget pixels, the tile cache with its
/// purge, and the network geometry the layers paint.
///
/// Lives in the GUI thread. Owns its MapTileDownloader (which runs in its own thread) and talks to
/// it only through queued connections: missing tiles go out with getTiles, tiles come back to
/// tileReceived and are confirmed with tileConfirmation.
class SlippyMap : public QObject
{
    Q_OBJECT
public:
    static constexpr int MIN_VIEW_ZOOM = 9;
    static constexpr int MAX_VIEW_ZOOM = 23;
    static constexpr int ZOOM_LEVELS = 20; ///< levels 0..19 have tiles
    static constexpr int PURGE_THRESHOLD = 256;
    static constexpr int PURGE_MARGIN = 2;
    static const QColor BACKGROUND;

    /// `downloader`: the tile source to own; null for one on the default server and tile directory.
    explicit SlippyMap(QObject *parent = nullptr, MapTileDownloader *downloader = nullptr);
    ~SlippyMap() override;

    void setViewWidth(int w) { width = w; }
    void setViewHeight(int h) { height = h; }
    /// Stores the view centre; takes effect at the next recomputeView.
    void setCenter(const Location &center);
    Location center() const { return Location(latitude, longitude); }
    int viewWidth() const { return width; }
    int viewHeight() const { return height; }

    /// Recomputes the tiles of the view, asks for the missing ones and repaints the whole view.
    void recomputeView();
    /// Draws the tiles of the view that meet `exposed`; placeholders for those not yet loaded.
    void renderTiles(QPainter *painter, const QRect &exposed) const;
    /// Moves the content by `delta` widget pixels (positive x moves it right).
    void panBy(const QPoint &delta);
    /// Centres the view on the bounding box of `nodes`; nothing for an empty list.
    void centerOnNodes(const std::vector<Node *> &nodes);
    /// Drops the tiles of other zoom levels and those more than two tiles outside the view.
    void dropDistantTiles();
    void purgeIfLarge();
    int cachedTileCount() const;
    /// Collects the static network geometry of a data set, replacing that of the previous one.
    void prepareRenderData(const SimulationData *data, const BindingData *bindings);
    const RenderLists &renderLists() const { return lists; }

    static QPointF coordinateToTile(double lat, double lon, int zoom);
    static double tileXToLongitude(double x, int zoom);
    static double tileYToLatitude(double y, int zoom);
    QRect tileBox(const QPoint &tile) const;
    bool isTileInRange(const QPoint &tile) const;
    QPoint coordinateToPixel(const Location &c) const;
    QPointF coordinateToPixelF(const Location &c) const;
    /// The widget pixel of a world pixel at zoom 0 (see worldPoint); equals coordinateToPixelF.
    QPointF worldToPixel(const QPointF &world) const { return world * scale - origin; }
    /// The location at a widget pixel.
    Location pixelToCoordinate(const QPointF &pixel) const;
    /// Whether the 256-pixel box of the tile that holds `c` meets `exposed`.
    bool isTileExposed(const Location &c, const QRect &exposed) const;

    int zoom() const { return m_zoom; }
    double pixelsPerMetre() const { return m_pixelsPerMetre; }
    QRect tilesRect() const { return m_tilesRect; }
    /// Increases whenever the view or the drawn tiles change, so painted layers know when to redo.
    quint64 revision() const { return m_revision; }
    MapTileDownloader *tileDownloader() const { return downloader; }

signals:
    void updated(QRect rect);
    void getTiles(std::vector<QPoint> tiles, int zoom);
    void tileConfirmation(QPoint tile, int zoom);

public slots:
    void zoomIn();
    void zoomOut();

private slots:
    void tileReceived(QPoint tilePoint, int zoom, QImage downloadedTile);

private:
    void computePixelsPerMetre();
    void requestMissingTiles();

    QPoint offset;
    QRect m_tilesRect;
    QPixmap loadingTile;
    QPixmap emptyTile;
    QHash<QPoint, QPixmap> tileCache[ZOOM_LEVELS];
    double m_pixelsPerMetre = 0.0;
    int m_zoom = 16;
    int width = 600;
    int height = 400;
    double latitude = 49.19891;
    double longitude = 16.60823;
    MapTileDownloader *downloader;
    RenderLists lists;
    double scale = 1.0; ///< 2^zoom
    QPointF origin;     ///< world pixel at the zoom, minus this, gives the widget pixel
    quint64 m_revision = 0;
};

#endif
