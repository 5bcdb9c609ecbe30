#include "tilestore.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

TileStore::TileStore(const QString &directory) : dir(directory)
{
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
}

QString TileStore::defaultDirectory()
{
    const QString cache = userCacheDirectory();
    if (QFileInfo(QLatin1String(WORKING_DIRECTORY)).isDir() || cache.isEmpty())
        return QLatin1String(WORKING_DIRECTORY);
    return cache + QStringLiteral("map_tiles/");
}

QString TileStore::userCacheDirectory()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/kolvex/");
}

QString TileStore::filePath(const TileKey &key) const
{
    return QStringLiteral("%1%2-%3-%4.png").arg(dir).arg(key.zoom).arg(key.x).arg(key.y);
}

bool TileStore::contains(const TileKey &key) const
{
    return isValidTile(key) && QFileInfo(filePath(key)).isFile();
}

bool TileStore::ensureDirectory() const
{
    return QDir().mkpath(dir.isEmpty() ? QStringLiteral(".") : dir);
}

bool TileStore::write(const TileKey &key, const QByteArray &bytes) const
{
    if (!isValidTile(key) || bytes.isEmpty() || !ensureDirectory())
        return false;
    QSaveFile file(filePath(key));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
