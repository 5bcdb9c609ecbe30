#include "expatreader.h"

#include "xmlfaultwording.h"

#include <QIODevice>
#include <QTextCodec>
#include <QTextDecoder>

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace {

constexpr int CHUNK_BYTES = 64 * 1024;
/// Separates the namespace, local name and prefix of a name expat reports; no name holds it.
constexpr char NAME_SEPARATOR = '\n';

/// The local name in a name as expat reports it: "uri\nlocal\nprefix", "uri\nlocal" or "local".
std::string_view localName(const char *name)
{
    std::string_view text(name);
    const size_t first = text.find(NAME_SEPARATOR);
    if (first == std::string_view::npos)
        return text;
    text.remove_prefix(first + 1);
    return text.substr(0, text.find(NAME_SEPARATOR));
}

/// Characters in UTF-8 `bytes` as UTF-16 units: a four-byte sequence is a surrogate pair.
int64_t utf16Units(const unsigned char *bytes, size_t count)
{
    int64_t units = 0;
    size_t i = 0;
    // Eight bytes at a time while they are ASCII, which nearly all markup is.
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if ((word & 0x8080808080808080u) == 0) {
            units += 8;
            continue;
        }
        for (size_t j = i; j < i + 8; ++j)
            units += ((bytes[j] & 0xC0) != 0x80) + (bytes[j] >= 0xF0);
    }
    for (; i < count; ++i)
        units += ((bytes[i] & 0xC0) != 0x80) + (bytes[i] >= 0xF0);
    return units;
}

/// What UTF-8 `bytes` without "\r" hold for positions: their characters as UTF-16 units, their
/// "\n" line breaks, and the units after the last break (all of them when there is none).
struct LineCount
{
    int64_t units = 0;
    int64_t breaks = 0;
    int64_t unitsAfterBreak = 0;
};

/// `LineCount` in one pass, eight bytes at a time while they are ASCII: positions are counted up to
/// every start tag, and those lie a few dozen bytes apart.
LineCount countLines(const unsigned char *bytes, size_t count)
{
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the words are read as little-endian");
    LineCount c;
    const auto addByte = [&c](unsigned char b) {
        const int64_t units = ((b & 0xC0) != 0x80) + (b >= 0xF0);
        c.units += units;
        c.unitsAfterBreak = b == '\n' ? 0 : c.unitsAfterBreak + units;
        c.breaks += b == '\n';
    };
    constexpr uint64_t HIGH_BITS = 0x8080808080808080u;
    constexpr uint64_t LOW_BITS = 0x7F7F7F7F7F7F7F7Fu;
    constexpr uint64_t LINE_FEEDS = 0x0A0A0A0A0A0A0A0Au;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + i, 8);
        if (word & HIGH_BITS) {
            for (size_t j = i; j < i + 8; ++j)
                addByte(bytes[j]);
            continue;
        }
        // The high bit of each byte that is "\n" (exact for ASCII bytes); the last byte in memory
        // is the highest of the word.
        const uint64_t other = word ^ LINE_FEEDS;
        const uint64_t breaks = ~(((other & LOW_BITS) + LOW_BITS) | other) & HIGH_BITS;
        c.units += 8;
        if (breaks) {
            c.breaks += __builtin_popcountll(breaks);
            c.unitsAfterBreak = 7 - ((63 - __builtin_clzll(breaks)) >> 3);
        } else {
            c.unitsAfterBreak += 8;
        }
    }
    for (; i < count; ++i)
        addByte(bytes[i]);
    return c;
}

} // namespace

void ExpatReader::ParserFree::operator()(XML_ParserStruct *parser) const
{
    XML_ParserFree(parser);
}

ExpatReader::ExpatReader(QIODevice *device, XmlElementEvents &events) : device(device), events(events) {}

ExpatReader::~ExpatReader() = default;

void ExpatReader::createParser(const char *encoding)
{
    parser.reset(XML_ParserCreateNS(encoding, NAME_SEPARATOR));
    if (!parser)
        throw std::bad_alloc();
    XML_SetReturnNSTriplet(parser.get(), 1);
    XML_SetUserData(parser.get(), this);
    XML_SetElementHandler(parser.get(), &ExpatReader::onStart, &ExpatReader::onEnd);
    XML_SetXmlDeclHandler(parser.get(), &ExpatReader::onDeclaration);
    XML_SetUnknownEncodingHandler(
        parser.get(),
        [](void *self, const XML_Char *name, XML_Encoding *info) { return onUnknownEncoding(self, name, info); }, this);
#if XML_MAJOR_VERSION > 2 || (XML_MAJOR_VERSION == 2 && XML_MINOR_VERSION >= 6)
    // Positions are counted over the chunk being parsed: each token must be parsed as soon as it is whole.
    XML_SetReparseDeferralEnabled(parser.get(), XML_FALSE);
#endif
    chunkStart = countedBytes = countedCharacters = 0;
    end = Position();
    depth = 0;
    rootClosed = false;
    pendingCarriageReturn = false;
}

int ExpatReader::fill(QByteArray &buffer)
{
    buffer.resize(CHUNK_BYTES);
    int got = 0;
    while (got < CHUNK_BYTES) {
        const qint64 count = device->read(buffer.data() + got, CHUNK_BYTES - got);
        if (count <= 0)
            break;
        got += static_cast<int>(count);
    }
    buffer.resize(got);
    return got;
}

bool ExpatReader::read()
{
    QByteArray raw;
    bool atEnd = fill(raw) < CHUNK_BYTES;
    const auto startsWith = [&raw](const char *bytes, int count) {
        return raw.size() >= count && std::memcmp(raw.constData(), bytes, size_t(count)) == 0;
    };
    // UTF-16 is translated too, so that every position is counted over UTF-8.
    if (startsWith("\xFE\xFF", 2) || startsWith("\xFF\xFE", 2))
        translateFrom("UTF-16");
    else if (startsWith("\0<\0?", 4))
        translateFrom("UTF-16BE");
    else if (startsWith("<\0?\0", 4))
        translateFrom("UTF-16LE");
    else
        createParser(nullptr);
    fromUtf16 = decoder != nullptr;
    for (;;) {
        if (chunkStart == 0 && !decoder && startsWith("\xEF\xBB\xBF", 3))
            countedCharacters = -1; // a byte order mark is no character of the document
        if (decoder)
            chunk = decoder->toUnicode(raw).toUtf8();
        else
            chunk.swap(raw); // the next chunk is read into the other buffer, not copied
        if (!feed(chunk.constData(), chunk.size(), atEnd)) {
            if (unknownEncoding.isEmpty() || chunkStart != 0 || decoder)
                return false;
            raw.swap(chunk); // the first chunk again, translated
            if (!translateFrom(unknownEncoding))
                return false;
            unknownEncoding.clear();
            continue;
        }
        if (atEnd)
            return true;
        countCharactersTo(chunkStart + chunk.size());
        chunkStart += chunk.size();
        atEnd = fill(raw) < CHUNK_BYTES;
    }
}

bool ExpatReader::translateFrom(const QByteArray &encodingName)
{
    QTextCodec *const codec = QTextCodec::codecForName(encodingName);
    if (!codec)
        return false;
    decoder.reset(codec->makeDecoder());
    createParser("UTF-8"); // overrides what the declaration names
    return true;
}

void ExpatReader::stop()
{
    XML_StopParser(parser.get(), XML_FALSE);
}

bool ExpatReader::feed(const char *data, int length, bool final)
{
    const XML_Status status = XML_Parse(parser.get(), data, length, final ? XML_TRUE : XML_FALSE);
    if (thrown)
        std::rethrow_exception(std::exchange(thrown, nullptr));
    if (status != XML_STATUS_ERROR)
        return true;
    const XML_Error code = XML_GetErrorCode(parser.get());
    if (code == XML_ERROR_ABORTED)
        return false;
    if (code == XML_ERROR_NO_MEMORY)
        throw std::bad_alloc();
    if (code == XML_ERROR_UNKNOWN_ENCODING && !unknownEncoding.isEmpty() && chunkStart == 0 && !decoder &&
        QTextCodec::codecForName(unknownEncoding))
        return false; // read() starts again, translating
    recordError(code);
    return false;
}

void ExpatReader::countCharactersTo(int64_t byte)
{
    if (byte <= countedBytes)
        return;
    const auto *const bytes = reinterpret_cast<const unsigned char *>(chunk.constData());
    const size_t from = size_t(std::max<int64_t>(0, countedBytes - chunkStart));
    const size_t to = size_t(std::min<int64_t>(chunk.size(), byte - chunkStart));
    if (to > from && !pendingCarriageReturn && !std::memchr(bytes + from, '\r', to - from)) {
        const LineCount c = countLines(bytes + from, to - from);
        end.line += c.breaks;
        end.column = c.breaks ? c.unitsAfterBreak : end.column + c.units;
        countedCharacters += c.units;
    } else if (to > from) {
        const int64_t units = utf16Units(bytes + from, to - from);
        // Lines end at "\n", "\r\n" or a lone "\r", as in any XML reader.
        const unsigned char *lastBreak = nullptr;
        for (size_t i = from; i < to; ++i) {
            if (bytes[i] == '\n') {
                if (!(i > from ? bytes[i - 1] == '\r' : pendingCarriageReturn))
                    ++end.line;
                lastBreak = bytes + i;
            } else if (bytes[i] == '\r') {
                ++end.line;
                lastBreak = bytes + i;
            }
        }
        pendingCarriageReturn = bytes[to - 1] == '\r';
        end.column = lastBreak ? utf16Units(lastBreak + 1, size_t(bytes + to - lastBreak - 1)) : end.column + units;
        countedCharacters += units;
    }
    countedBytes = byte;
}

int64_t ExpatReader::lineNumber() const
{
    return end.line;
}

int64_t ExpatReader::columnNumber() const
{
    return end.column;
}

std::string ExpatReader::qualifiedName() const
{
    const std::string_view local = localName(currentName);
    const std::string_view written(currentName);
    const size_t prefix = written.rfind(NAME_SEPARATOR);
    if (prefix == std::string_view::npos || written.find(NAME_SEPARATOR) == prefix)
        return std::string(local);
    return std::string(written.substr(prefix + 1)) + ':' + std::string(local);
}

std::string_view ExpatReader::unparsed() const
{
    int offset = 0;
    int size = 0;
    const char *const buffer = XML_GetInputContext(parser.get(), &offset, &size);
    if (!buffer || offset > size)
        return {};
    return std::string_view(buffer + offset, size_t(size - offset));
}

void ExpatReader::recordError(int code)
{
    XmlFaultSite site;
    site.code = code;
    site.rest = unparsed();
    int offset = 0;
    const char *const buffer = XML_GetInputContext(parser.get(), &offset, nullptr);
    site.before = buffer && offset > 0 ? buffer[offset - 1] : '\0';
    site.beforeRoot = depth == 0 && !rootClosed;
    site.afterRoot = rootClosed;
    site.unknownEncoding = unknownEncoding;
    const XmlFaultWording fault = wordXmlFault(site);
    error = fault.text;

    const int64_t at = XML_GetCurrentByteIndex(parser.get());
    if (fault.atDataEnd) {
        countCharactersTo(chunkStart + chunk.size());
    } else if (at >= countedBytes && at <= chunkStart + chunk.size()) {
        countCharactersTo(at);
        const std::string_view past = site.rest.substr(0, fault.pastBytes);
        end.column += utf16Units(reinterpret_cast<const unsigned char *>(past.data()), past.size());
        end.column += fault.extraColumns;
    } else { // a token begun in an earlier chunk: expat's own count
        end.line = int64_t(XML_GetCurrentLineNumber(parser.get()));
        end.column = int64_t(XML_GetCurrentColumnNumber(parser.get())) + fault.extraColumns;
    }
}

void ExpatReader::onStart(void *self, const char *name, const char **attributes)
{
    auto *const reader = static_cast<ExpatReader *>(self);
    try {
        ++reader->depth;
        reader->currentName = name;
        reader->countCharactersTo(XML_GetCurrentByteIndex(reader->parser.get()) +
                                  XML_GetCurrentByteCount(reader->parser.get()));
        reader->events.startElement(localName(name), attributes);
    } catch (...) {
        reader->thrown = std::current_exception();
        XML_StopParser(reader->parser.get(), XML_FALSE);
    }
}

void ExpatReader::onEnd(void *self, const char *)
{
    auto *const reader = static_cast<ExpatReader *>(self);
    try {
        if (--reader->depth == 0)
            reader->rootClosed = true;
        reader->events.endElement();
    } catch (...) {
        reader->thrown = std::current_exception();
        XML_StopParser(reader->parser.get(), XML_FALSE);
    }
}

void ExpatReader::onDeclaration(void *self, const char *version, const char *encoding, int)
{
    // The versions and encodings are those the map reader has always read: XML 1.0 only, and a document
    // in UTF-16 must not name another encoding.
    auto *const reader = static_cast<ExpatReader *>(self);
    QString fault;
    if (version && std::strcmp(version, "1.0") != 0) {
        fault = QStringLiteral("Unsupported XML version.");
    } else if (reader->fromUtf16 && encoding) {
        const QTextCodec *const named = QTextCodec::codecForName(encoding);
        const int mib = named ? named->mibEnum() : 0;
        if (!named)
            fault = QStringLiteral("Encoding %1 is unsupported").arg(QString::fromUtf8(encoding));
        else if (mib != 1013 && mib != 1014 && mib != 1015) // UTF-16BE, UTF-16LE, UTF-16
            fault = QStringLiteral("Encountered incorrectly encoded content.");
    }
    if (fault.isEmpty())
        return;
    reader->countCharactersTo(XML_GetCurrentByteIndex(reader->parser.get()) +
                              XML_GetCurrentByteCount(reader->parser.get()));
    reader->error = fault;
    XML_StopParser(reader->parser.get(), XML_FALSE);
}

int ExpatReader::onUnknownEncoding(void *self, const char *name, void *)
{
    static_cast<ExpatReader *>(self)->unknownEncoding = name;
    return XML_STATUS_ERROR;
}
