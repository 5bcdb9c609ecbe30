#include "tilestore.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

TileStore::TileStore(const QString &directory) : dir(directory)
{
    if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
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
