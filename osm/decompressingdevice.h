#ifndef KOLVEX_OSM_DECOMPRESSINGDEVICE_H
#define KOLVEX_OSM_DECOMPRESSINGDEVICE_H

#include "osmfileformat.h"

#include <QIODevice>
#include <QString>

#include <memory>

/// A read-only sequential device giving the decompressed bytes of a gzip or bzip2 file, so that the XML
/// reader reads compressed extracts with its usual rules. A damaged or unreadable file ends the data early
/// and leaves the reason in failure().
class DecompressingDevice : public QIODevice
{
public:
    /// Opens `path` at once; `compression` is OSMFileFormat::Gzip or OSMFileFormat::Bzip2.
    DecompressingDevice(const QString &path, OSMFileFormat compression);
    ~DecompressingDevice() override;

    bool isSequential() const override { return true; }
    /// Why the data ended early; empty when it did not.
    QString failure() const { return why; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 maxSize) override;

private:
    struct Stream; // the decompressor and its pending output; the library stays in the .cpp
    std::unique_ptr<Stream> stream;
    QString why;
};

#endif
