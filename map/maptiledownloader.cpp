#include "maptiledownloader.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QThread>

#include <algorithm>

namespace {

bool contains(const std::vector<TileKey> &list, const TileKey &key)
{
    return std::find(list.begin(), list.end(), key) != list.end();
}

void removeFirst(std::vector<TileKey> &list, const TileKey &key)
{
    const auto it = std::find(list.begin(), list.end(), key);
    if (it != list.end())
        list.erase(it);
}

QImage decode(const QByteArray &body)
{
    QBuffer buffer;
    buffer.setData(body);
    QImageReader reader(&buffer);
    // A tile is 256 × 256; refuse to allocate for an image that claims to be huge.
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > 4 * TILE_SIZE || size.height() > 4 * TILE_SIZE))
        return QImage();
    return reader.read();
}

} // namespace

MapTileDownloader::MapTileDownloader(const TileServer &server, const TileStore &store,
                                     const QString &httpCacheDirectory)
    : server(server), store(store), httpCacheDirectory(httpCacheDirectory)
{
    for (const QString &prefix : server.prefixes)
        busy.insert(prefix, false);
    diagnostics.setListener(Diagnostics::printToStandardError());
    clock.start();
    thread = new QThread;
    threadEnd = std::make_unique<ThreadEnd>(thread);
    moveToThread(thread);
    // The network objects are created in the worker thread, where they are used.
    connect(thread, &QThread::started, this, &MapTileDownloader::start);
    thread->start(QThread::InheritPriority);
}

MapTileDownloader::~MapTileDownloader()
{
    // The manager and its replies belong to the worker thread and go there, before it stops.
    if (thread->isRunning())
        QMetaObject::invokeMethod(this, "dropManager", Qt::BlockingQueuedConnection);
    threadEnd->quitAndWait();
    delete thread;
}

void MapTileDownloader::dropManager()
{
    delete manager;
    manager = nullptr;
}

QString MapTileDownloader::defaultCache()
{
    const QString cache = TileStore::userCacheDirectory();
    return cache.isEmpty() ? QString() : cache + QStringLiteral("http/");
}

void MapTileDownloader::start()
{
    manager = new QNetworkAccessManager;
    if (!httpCacheDirectory.isEmpty()) {
        auto *cache = new QNetworkDiskCache(manager);
        cache->setCacheDirectory(httpCacheDirectory);
        manager->setCache(cache);
    }
    connect(manager, &QNetworkAccessManager::finished, this, &MapTileDownloader::handleNetworkData);
    // Requests that arrived before the thread was running.
    processQueue();
}

void MapTileDownloader::tilesRequired(std::vector<QPoint> reqTiles, int zoom)
{
    required.clear();
    for (const QPoint &p : reqTiles)
        required.push_back(TileKey{p.x(), p.y(), zoom});
    processQueue();
}

void MapTileDownloader::tileConfirmed(QPoint tile, int zoom)
{
    removeFirst(awaitingConfirmation, TileKey{tile.x(), tile.y(), zoom});
}

void MapTileDownloader::processQueue()
{
    if (!required.empty()) {
        queue = required;
        required.clear();
    }
    if (!manager)
        return;
    size_t front = 0;
    while (front < queue.size()) {
        const TileKey k = queue[front];
        if (!isValidTile(k) || contains(awaitingConfirmation, k) || contains(inFlight, k) || isResting(k) ||
            loadFromDisk(k)) {
            ++front;
            continue;
        }
        const auto freePrefix = std::find_if(server.prefixes.begin(), server.prefixes.end(),
                                             [this](const QString &prefix) { return !busy.value(prefix); });
        if (freePrefix == server.prefixes.end())
            break; // k waits at the front for the next finished reply
        inFlight.push_back(k);
        downloadTile(*freePrefix, k);
        ++front;
    }
    queue.erase(queue.begin(), queue.begin() + front);
}

bool MapTileDownloader::loadFromDisk(const TileKey &key)
{
    if (!store.contains(key))
        return false;
    QImage image;
    if (!image.load(store.filePath(key), "PNG"))
        return false;
    emit tileDownloaded(QPoint(key.x, key.y), key.zoom, image);
    awaitingConfirmation.push_back(key);
    return true;
}

void MapTileDownloader::downloadTile(const QString &prefix, const TileKey &key)
{
    QNetworkReply *reply = manager->get(server.request(prefix, key));
    server.guard(reply);
    busy[prefix] = true;
}

void MapTileDownloader::handleNetworkData(QNetworkReply *reply)
{
    const QString prefix = TileServer::prefixOfReply(reply);
    if (busy.contains(prefix))
        busy[prefix] = false;
    TileKey key;
    // A reply without our tag, or for a tile that is not in flight, is nobody's tile.
    if (TileServer::keyOfReply(reply, key) && contains(inFlight, key)) {
        removeFirst(inFlight, key);
        QByteArray body;
        QString error = server.readTile(reply, body);
        QImage image;
        if (error.isEmpty()) {
            image = decode(body);
            if (image.isNull())
                error = QStringLiteral("body does not decode as an image");
        }
        if (error.isEmpty()) {
            saveToDisk(key, body, image);
            emit tileDownloaded(QPoint(key.x, key.y), key.zoom, image);
            awaitingConfirmation.push_back(key);
        } else {
            noteFailure(key, QStringLiteral("%1: %2").arg(reply->request().url().toString(), error));
        }
    }
    reply->deleteLater();
    processQueue();
}

void MapTileDownloader::saveToDisk(const TileKey &key, const QByteArray &body, const QImage &image) const
{
    // A readable file stays; an unreadable one (it was not loaded from disk) is replaced.
    if (store.contains(key) && !QImageReader(store.filePath(key), "PNG").size().isEmpty())
        return;
    static const QByteArray pngSignature("\x89PNG", 4);
    if (body.startsWith(pngSignature)) {
        store.write(key, body);
        return;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.save(&buffer, "PNG"))
        store.write(key, png);
}

bool MapTileDownloader::isResting(const TileKey &key) const
{
    const qint64 now = clock.elapsed();
    for (const auto &failure : failures)
        if (failure.first == key)
            return now - failure.second < server.retryDelayMs;
    return false;
}

void MapTileDownloader::noteFailure(const TileKey &key, const QString &why)
{
    const qint64 now = clock.elapsed();
    // Forget failures old enough to be retried, so the list stays as small as the trouble.
    failures.erase(
        std::remove_if(failures.begin(), failures.end(),
                       [&](const auto &f) { return f.first == key || now - f.second >= server.retryDelayMs; }),
        failures.end());
    failures.emplace_back(key, now);
    if (!unavailableLogged) {
        unavailableLogged = true;
        diagnostics.add(Severity::Warning, "MapTileDownloader",
                        "tiles unavailable (" + why.toStdString() + "); the map shows the tiles of " +
                            store.directory().toStdString() + " and placeholders");
    }
}
