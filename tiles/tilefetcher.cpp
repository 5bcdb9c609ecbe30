#include "tilefetcher.h"

#include "tilemath.h"

#include "report/diagnostics.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {

const char *const COMPONENT = "TileFetcher";

} // namespace

TileFetcher::TileFetcher(const TileServer &server, const TileStore &store) : server(server), store(store) {}

std::vector<TileKey> TileFetcher::tilesOfBox(double north, double west, double south, double east, int minZoom,
                                             int maxZoom)
{
    std::vector<TileKey> keys;
    for (int zoom = std::max(minZoom, TILE_MIN_ZOOM); zoom <= std::min(maxZoom, TILE_MAX_ZOOM); ++zoom) {
        const QRect range = tilemath::tileRange(north, west, south, east, zoom);
        for (int x = range.left(); x <= range.right(); ++x)
            for (int y = range.top(); y <= range.bottom(); ++y)
                keys.push_back(TileKey{x, y, zoom});
    }
    return keys;
}

std::vector<TileKey> TileFetcher::missing(const std::vector<TileKey> &keys) const
{
    std::vector<TileKey> out;
    for (const TileKey &key : keys)
        if (isValidTile(key) && !store.contains(key))
            out.push_back(key);
    return out;
}

TileFetcher::Result TileFetcher::fetch(const std::vector<TileKey> &keys, Diagnostics &diagnostics)
{
    Result result;
    QNetworkAccessManager manager;
    int failuresInARow = 0;
    int turn = 0;
    for (const TileKey &key : keys) {
        if (!isValidTile(key))
            continue;
        if (store.contains(key)) {
            ++result.present;
            continue;
        }
        const QString prefix = server.prefixes.value(turn++ % std::max(1, int(server.prefixes.size())));
        const QString error = fetchOne(manager, prefix, key);
        if (error.isEmpty()) {
            ++result.fetched;
            failuresInARow = 0;
            continue;
        }
        ++result.failed;
        diagnostics.add(Severity::Warning, COMPONENT,
                        server.tileUrl(prefix, key).toStdString() + ": " + error.toStdString());
        if (++failuresInARow >= MAX_FAILURES_IN_A_ROW) {
            result.gaveUp = true;
            diagnostics.add(Severity::Error, COMPONENT,
                            std::to_string(failuresInARow) + " failures in a row, giving up");
            break;
        }
    }
    return result;
}

QString TileFetcher::fetchOne(QNetworkAccessManager &manager, const QString &prefix, const TileKey &key)
{
    QNetworkReply *reply = manager.get(server.request(prefix, key));
    server.guard(reply);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (reply->isRunning())
        loop.exec();
    QByteArray body;
    QString error = server.readTile(reply, body);
    if (error.isEmpty() && !store.write(key, body))
        error = QStringLiteral("cannot write %1").arg(store.filePath(key));
    delete reply;
    return error;
}
