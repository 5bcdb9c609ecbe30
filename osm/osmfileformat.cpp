#include "osmfileformat.h"

#include <QByteArray>
#include <QIODevice>

namespace {

/// A PBF file opens with the 4-byte big-endian size of a BlobHeader, whose first field is the block
/// type: tag 0x0A, length 9, "OSMHeader".
bool startsWithPbfHeader(const QByteArray &head)
{
    static const QByteArray type = QByteArrayLiteral("\x0A\x09OSMHeader");
    if (head.size() < 4 + type.size() || head.mid(4, type.size()) != type)
        return false;
    const unsigned headerSize = (static_cast<unsigned char>(head[0]) << 24) |
                                (static_cast<unsigned char>(head[1]) << 16) |
                                (static_cast<unsigned char>(head[2]) << 8) | static_cast<unsigned char>(head[3]);
    return headerSize >= static_cast<unsigned>(type.size()) && headerSize <= 64 * 1024;
}

bool startsWithMarkup(const QByteArray &head)
{
    if (head.startsWith("\xEF\xBB\xBF"))
        return true;
    // Byte order marks and the first character of UTF-16 markup.
    if (head.startsWith("\xFE\xFF") || head.startsWith("\xFF\xFE") || head.startsWith(QByteArray("<\0", 2)) ||
        head.startsWith(QByteArray("\0<", 2)))
        return true;
    for (const char c : head) {
        if (c == '<')
            return true;
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return false;
}

} // namespace

OSMFileFormat osmFileFormatOf(QIODevice &device)
{
    const QByteArray head = device.peek(64);
    if (head.isEmpty())
        return OSMFileFormat::Empty;
    if (startsWithPbfHeader(head))
        return OSMFileFormat::Pbf;
    if (head.startsWith("\x1F\x8B"))
        return OSMFileFormat::Gzip;
    if (head.startsWith("BZh"))
        return OSMFileFormat::Bzip2;
    return startsWithMarkup(head) ? OSMFileFormat::Xml : OSMFileFormat::Unknown;
}
