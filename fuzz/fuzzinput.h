#ifndef KOLVEX_FUZZ_FUZZINPUT_H
#define KOLVEX_FUZZ_FUZZINPUT_H

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>

/// The readers work on files: each input is written to a file of this process first, in memory
/// (/dev/shm) where there is such a place. Returns the path, empty if it cannot be written.
inline QString writeFuzzInput(const char *name, const uint8_t *bytes, size_t size)
{
    static const QString path =
        (QDir(QStringLiteral("/dev/shm")).exists() ? QDir(QStringLiteral("/dev/shm")) : QDir::temp())
            .filePath(
                QStringLiteral("kolvex-fuzz-%1-%2").arg(QLatin1String(name)).arg(QCoreApplication::applicationPid()));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char *>(bytes), qint64(size)) != qint64(size))
        return QString();
    return path;
}

#endif
