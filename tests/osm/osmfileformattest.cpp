// The map format told apart by the first bytes of a file, whatever its name.

#include "osm/osmfileformat.h"

#include <gtest/gtest.h>

#include <QBuffer>

TEST(OSMFileFormat, FirstBytesDecideAndNothingIsConsumed)
{
    const QByteArray pbfHeader("\0\0\0\x0d\x0a\x09OSMHeader", 15);
    const struct
    {
        const char *what;
        QByteArray head;
        OSMFileFormat format;
    } cases[] = {
        {"markup", "<?xml version='1.0'?><osm/>", OSMFileFormat::Xml},
        {"blanks before markup", " \t\r\n<osm/>", OSMFileFormat::Xml},
        {"UTF-8 byte order mark", "\xEF\xBB\xBF<osm/>", OSMFileFormat::Xml},
        {"UTF-16 big-endian mark", QByteArray("\xFE\xFF\0<\0o", 6), OSMFileFormat::Xml},
        {"UTF-16 little-endian mark", QByteArray("\xFF\xFE<\0o\0", 6), OSMFileFormat::Xml},
        {"UTF-16 big-endian without mark", QByteArray("\0<\0o", 4), OSMFileFormat::Xml},
        {"UTF-16 little-endian without mark", QByteArray("<\0o\0", 4), OSMFileFormat::Xml},
        {"words", "just some words", OSMFileFormat::Unknown},
        {"PBF header block", pbfHeader, OSMFileFormat::Pbf},
        {"gzip", "\x1f\x8b\x08\x00", OSMFileFormat::Gzip},
        {"bzip2", "BZh91AY&SY", OSMFileFormat::Bzip2},
        {"nothing", QByteArray(), OSMFileFormat::Empty},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray bytes = c.head;
        QBuffer device(&bytes);
        ASSERT_TRUE(device.open(QIODevice::ReadOnly));
        EXPECT_EQ(osmFileFormatOf(device), c.format);
        EXPECT_EQ(device.pos(), 0);
    }
}
