#ifndef KOLVEX_TILES_TILEKEY_H
#define KOLVEX_TILES_TILEKEY_H

#include <QString>
#include <QStringList>

#include <cstdint>

/// One map tile: column, row and zoom level of the Web-Mercator tile scheme.
struct TileKey
{
    int32_t x = 0;
    int32_t y = 0;
    int32_t zoom = 0;

    bool operator==(const TileKey &o) const { return x == o.x && y == o.y && zoom == o.zoom; }
    bool operator!=(const TileKey &o) const { return !(*this == o); }
};

/// Zoom levels for which tiles exist, are cached and are requested.
constexpr int32_t TILE_MIN_ZOOM = 0;
constexpr int32_t TILE_MAX_ZOOM = 19;
/// Width and height of one tile in pixels.
constexpr int32_t TILE_SIZE = 256;

/// Whether the key names a tile of the scheme: zoom 0..19, column and row within 0..2^zoom − 1.
inline bool isValidTile(const TileKey &k)
{
    if (k.zoom < TILE_MIN_ZOOM || k.zoom > TILE_MAX_ZOOM)
        return false;
    const int32_t n = int32_t(1) << k.zoom;
    return k.x >= 0 && k.x < n && k.y >= 0 && k.y < n;
}

/// "zoom-x-y", the tag that travels with a request, e.g. 16-100-200.
inline QString tileKeyString(const TileKey &k)
{
    return QStringLiteral("%1-%2-%3").arg(k.zoom).arg(k.x).arg(k.y);
}

/// Reads a tag made by tileKeyString; false (key unchanged) unless it is three decimal numbers.
inline bool tileKeyFromString(const QString &tag, TileKey &key)
{
    const QStringList parts = tag.split(QLatin1Char('-'));
    if (parts.size() != 3)
        return false;
    bool ok[3] = {false, false, false};
    const TileKey k{parts[1].toInt(&ok[1], 10), parts[2].toInt(&ok[2], 10), parts[0].toInt(&ok[0], 10)};
    if (!ok[0] || !ok[1] || !ok[2])
        return false;
    key = k;
    return true;
}

#endif
