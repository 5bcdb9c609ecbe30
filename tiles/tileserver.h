#ifndef KOLVEX_TILES_TILESERVER_H
#define KOLVEX_TILES_TILESERVER_H

#include "tilekey.h"

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QStringList>

class QNetworkReply;

/// Where tiles come from and how politely they are asked for.
///
/// The server is reached under three host names: "a", "b" and "c" followed by a dot and `host`
/// (`host` may end with ":port"). `host` comes from the environment variable KOLVEX_TILE_HOST,
/// else DEFAULT_HOST.
struct TileServer
{
    static constexpr const char *DEFAULT_HOST = "tile.openstreetmap.org";
    static constexpr const char *HOST_VARIABLE = "KOLVEX_TILE_HOST";
    static constexpr const char *USER_AGENT = "Kolvex";

    QString host = QString::fromLatin1(DEFAULT_HOST);
    QStringList prefixes{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    int timeoutMs = 20000;         ///< a reply not complete by then is aborted
    qint64 maxBytes = 1024 * 1024; ///< a body larger than this is aborted; real tiles are a few kB
    int retryDelayMs = 60000;      ///< a tile that failed is not asked for again before this

    /// The setting of this process: KOLVEX_TILE_HOST when set and not blank.
    static TileServer fromEnvironment();

    /// "http://prefix.host/zoom/x/y.png"
    QString tileUrl(const QString &prefix, const TileKey &key) const;
    /// GET request for the tile with the "User-Agent" header, following redirects that do not
    /// lower security (http to https), with the tile's tag attached.
    QNetworkRequest request(const QString &prefix, const TileKey &key) const;
    /// Aborts `reply` once it runs past the time limit or its body past the size limit.
    void guard(QNetworkReply *reply) const;

    /// The tile tag attached by `request`; false when the reply carries none or a malformed one.
    static bool keyOfReply(const QNetworkReply *reply, TileKey &key);
    /// The host prefix `request` was issued for (from the original request, not a redirect target).
    static QString prefixOfReply(const QNetworkReply *reply);
    /// Whether `body` starts like a PNG or JPEG image.
    static bool looksLikeImage(const QByteArray &body);
    /// Empty when the finished `reply` carries a whole image body in `body`; else why not.
    QString readTile(QNetworkReply *reply, QByteArray &body) const;
};

#endif
