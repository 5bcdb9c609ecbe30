#ifndef KOLVEX_TILES_TILESTORE_H
#define KOLVEX_TILES_TILESTORE_H

#include "tilekey.h"

#include <QByteArray>
#include <QString>

/// The tile directory: one PNG file per tile, named "zoom-x-y.png", all zoom levels together.
///
/// Only valid tile keys map to files, so every name is numeric and inside the directory; a tile is
/// written under a temporary name and renamed, so a partly written file never stands as a tile.
class TileStore
{
public:
    static constexpr const char *DEFAULT_DIRECTORY = "./data/map_tiles/";

    explicit TileStore(const QString &directory = QString::fromLatin1(DEFAULT_DIRECTORY));

    const QString &directory() const { return dir; }
    /// The file of `key` ("%1%2-%3-%4.png" with the directory, zoom, x and y).
    QString filePath(const TileKey &key) const;
    bool contains(const TileKey &key) const;
    /// Creates the directory (and its parents) if needed; false if it cannot be created.
    bool ensureDirectory() const;
    /// Writes `bytes` as the tile's file, replacing an existing one; false (nothing left behind)
    /// for an invalid key or a failed write.
    bool write(const TileKey &key, const QByteArray &bytes) const;

private:
    QString dir;
};

#endif
