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
    /// The tile directory beside the bundled data in the working directory (a source tree).
    static constexpr const char *WORKING_DIRECTORY = "./data/map_tiles/";

    explicit TileStore(const QString &directory = defaultDirectory());

    /// The tile directory of both programs: WORKING_DIRECTORY when that folder exists (or no cache
    /// directory is known), otherwise "map_tiles/" in userCacheDirectory().
    static QString defaultDirectory();
    /// Kolvex's folder in the user's cache directory ("~/.cache/kolvex/" on Linux): one for the
    /// window and the console tool, whose application names differ. Empty when the platform knows
    /// no cache directory.
    static QString userCacheDirectory();

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
