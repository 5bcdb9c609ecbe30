#ifndef KOLVEX_TILES_TILEFETCHER_H
#define KOLVEX_TILES_TILEFETCHER_H

#include "tileserver.h"
#include "tilestore.h"

#include <QRect>

#include <vector>

class Diagnostics;
class QNetworkAccessManager;

/// Fills a tile directory ahead of time, one request at a time, for use without network.
///
/// Runs in the calling thread and blocks it (with a local event loop) until every tile has been
/// tried or the server has failed too often in a row.
class TileFetcher
{
public:
    struct Result
    {
        int present = 0; ///< already in the directory, not asked for
        int fetched = 0;
        int failed = 0;
        bool gaveUp = false; ///< stopped after too many failures in a row
    };

    /// Requests that fail one after another before the fetcher stops asking.
    static constexpr int MAX_FAILURES_IN_A_ROW = 5;

    TileFetcher(const TileServer &server, const TileStore &store);

    /// The tiles covering the box from (north, west) to (south, east) at zoom levels
    /// minZoom..maxZoom, column by column per level.
    static std::vector<TileKey> tilesOfBox(double north, double west, double south, double east, int minZoom,
                                           int maxZoom);
    /// The keys whose files are missing from the store.
    std::vector<TileKey> missing(const std::vector<TileKey> &keys) const;
    /// Fetches every key missing from the store; each failure is recorded in `diagnostics`.
    Result fetch(const std::vector<TileKey> &keys, Diagnostics &diagnostics);

private:
    /// One GET; empty error text when the tile was written.
    QString fetchOne(QNetworkAccessManager &manager, const QString &prefix, const TileKey &key);

    TileServer server;
    TileStore store;
};

#endif
