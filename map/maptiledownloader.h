#ifndef KOLVEX_MAP_MAPTILEDOWNLOADER_H
#define KOLVEX_MAP_MAPTILEDOWNLOADER_H

#include "engine/threadend.h"
#include "report/diagnostics.h"
#include "tiles/tilekey.h"
#include "tiles/tileserver.h"
#include "tiles/tilestore.h"

#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPoint>

#include <memory>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QThread;

/// Serves the tiles the map asks for: from the tile directory when the file is there, otherwise
/// over HTTP with at most one outstanding request per host prefix; downloaded tiles are written
/// to the tile directory.
///
/// Lives in a thread of its own, created and started by the constructor; every slot runs there.
/// The map reaches it only through queued connections (by signature: the worker finds its slots
/// through its own meta-object) and deletes it from its own thread (the
/// destructor stops and joins the worker thread). A tile handed to the map stays on the
/// awaiting-confirmation list until the map confirms it, so it is never delivered twice.
class MapTileDownloader : public QObject
{
    Q_OBJECT
public:
    /// `httpCacheDirectory`: where server responses are cached; empty for no response cache.
    explicit MapTileDownloader(const TileServer &server = TileServer::fromEnvironment(),
                               const TileStore &store = TileStore(),
                               const QString &httpCacheDirectory = defaultCache());
    ~MapTileDownloader() override;

    /// "http/" in Kolvex's folder of the user's cache directory; empty if there is none.
    static QString defaultCache();

signals:
    /// A tile is ready (decoded; the map turns it into a pixmap in its own thread).
    void tileDownloaded(QPoint tilePoint, int zoom, QImage downloadedTile);

private slots:
    // Reached only from the map, through the queued connections it makes.
    friend class SlippyMap;
    void handleNetworkData(QNetworkReply *reply);
    /// The latest list of missing tiles; a non-empty list replaces what was still queued.
    void tilesRequired(std::vector<QPoint> reqTiles, int zoom);
    void tileConfirmed(QPoint tile, int zoom);
    /// Deletes the network objects, which belong to this thread.
    void dropManager();

private:
    void start();
    void processQueue();
    bool loadFromDisk(const TileKey &key);
    void downloadTile(const QString &prefix, const TileKey &key);
    void saveToDisk(const TileKey &key, const QByteArray &body, const QImage &image) const;
    /// Whether a recent failure of `key` keeps it from being asked for again yet.
    bool isResting(const TileKey &key) const;
    void noteFailure(const TileKey &key, const QString &why);

    TileServer server;
    TileStore store;
    QString httpCacheDirectory;
    QHash<QString, bool> busy;
    QNetworkAccessManager *manager = nullptr;
    std::vector<TileKey> required;
    std::vector<TileKey> queue;
    std::vector<TileKey> awaitingConfirmation;
    std::vector<TileKey> inFlight;
    /// Failed tiles and when they failed (milliseconds of `clock`).
    std::vector<std::pair<TileKey, qint64>> failures;
    QElapsedTimer clock;
    /// What went wrong with the tiles, printed to standard error as it is recorded; used in the
    /// downloader's thread only.
    Diagnostics diagnostics;
    bool unavailableLogged = false;
    QThread *thread;
    std::unique_ptr<ThreadEnd> threadEnd;
};

#endif
