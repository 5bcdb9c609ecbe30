#include "expatreader.h"

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

bool isNameEnd(char c)
{
    return c == '>' || c == '/' || c == '=' || c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

/// The names of the attributes in the start tag at the front of `tag`, in order.
std::vector<std::string_view> attributeNames(std::string_view tag)
{
    std::vector<std::string_view> names;
    size_t i = 1;
    while (i < tag.size() && !isNameEnd(tag[i]))
        ++i;
    while (i < tag.size() && tag[i] != '>') {
        if (isNameEnd(tag[i])) {
            ++i;
            continue;
        }
        const size_t start = i;
        while (i < tag.size() && !isNameEnd(tag[i]))
            ++i;
        names.push_back(tag.substr(start, i - start));
        while (i < tag.size() && tag[i] != '"' && tag[i] != '\'' && tag[i] != '>')
            ++i;
        if (i < tag.size() && tag[i] != '>') {
            const size_t close = tag.find(tag[i], i + 1);
            i = close == std::string_view::npos ? tag.size() : close + 1;
        }
    }
    return names;
}

/// The prefix of the first name in the start tag at the front of `tag` that has one, other than xmlns.
std::string_view firstPrefix(std::string_view tag)
{
    size_t end = 1;
    while (end < tag.size() && !isNameEnd(tag[end]))
        ++end;
    std::vector<std::string_view> names{tag.substr(1, end - 1)};
    for (std::string_view name : attributeNames(tag))
        names.push_back(name);
    for (std::string_view name : names) {
        const size_t colon = name.find(':');
        if (colon != std::string_view::npos && name.substr(0, colon) != "xmlns")
            return name.substr(0, colon);
    }
    return {};
}

QString text(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), static_cast<int>(bytes.size()));
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
    for (;;) {
        chunk = decoder ? decoder->toUnicode(raw).toUtf8() : raw;
        if (chunkStart == 0 && startsWith("\xEF\xBB\xBF", 3) && !decoder)
            countedCharacters = -1; // a byte order mark is no character of the document
        if (!feed(chunk.constData(), chunk.size(), atEnd)) {
            if (unknownEncoding.isEmpty() || chunkStart != 0 || decoder || !translateFrom(unknownEncoding))
                return false;
            unknownEncoding.clear();
            continue; // the first chunk again, translated
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
    if (to > from) {
        const int64_t units = utf16Units(bytes + from, to - from);
        // Lines end at "\n", "\r\n" or a lone "\r", as in any XML reader.
        const unsigned char *lastBreak = nullptr;
        if (!std::memchr(bytes + from, '\r', to - from) && !pendingCarriageReturn) {
            const unsigned char *scan = bytes + from;
            while (const void *found = std::memchr(scan, '\n', size_t(bytes + to - scan))) {
                ++end.line;
                lastBreak = static_cast<const unsigned char *>(found);
                scan = lastBreak + 1;
            }
        } else {
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

QString ExpatReader::unexpected(unsigned char found) const
{
    // What was expected follows from the byte before, inside a tag; a control character is not shown.
    QString got = QString(QChar(found));
    if ((found | 0x20) >= 'a' && (found | 0x20) <= 'z')
        got = QStringLiteral("[a-zA-Z]");
    else if (found >= '0' && found <= '9')
        got = QStringLiteral("[0-9]");
    int offset = 0;
    const char *const buffer = XML_GetInputContext(parser.get(), &offset, nullptr);
    switch (buffer && offset > 0 ? buffer[offset - 1] : '\0') {
    case '&':
        return QStringLiteral("Expected '#' or '[a-zA-Z]', but got '%1'.").arg(got);
    case '=':
        return QStringLiteral("Expected ''' or '\"', but got '%1'.").arg(got);
    case '/':
        return QStringLiteral("Expected '>', but got '%1'.").arg(got);
    case '"':
    case '\'':
        return QStringLiteral("Expected '>' or '/', but got '%1'.").arg(got);
    default:
        return QStringLiteral("Unexpected '%1'.").arg(found < 0x20 ? QString() : QString(QChar(found)));
    }
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
    const int64_t at = XML_GetCurrentByteIndex(parser.get());
    const std::string_view rest = unparsed();
    const bool counted = at >= countedBytes && at <= chunkStart + chunk.size();
    if (counted) {
        countCharactersTo(at);
    } else {
        end.line = int64_t(XML_GetCurrentLineNumber(parser.get()));
        end.column = int64_t(XML_GetCurrentColumnNumber(parser.get()));
    }
    const auto columnsOf = [](std::string_view bytes) {
        return utf16Units(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
    };
    // Past the end of the tag or declaration the error is in, as far as it was read.
    const auto pastTag = [&](std::string_view close) {
        const size_t found = rest.find(close);
        end.column += columnsOf(rest.substr(0, found == std::string_view::npos ? rest.size() : found + close.size()));
    };
    const unsigned char first = rest.empty() ? 0 : static_cast<unsigned char>(rest.front());
    switch (code) {
    case XML_ERROR_NO_ELEMENTS:
    case XML_ERROR_UNCLOSED_TOKEN:
    case XML_ERROR_PARTIAL_CHAR:
    case XML_ERROR_UNCLOSED_CDATA_SECTION:
        countCharactersTo(chunkStart + chunk.size());
        error = QStringLiteral("Premature end of document.");
        return;
    case XML_ERROR_TAG_MISMATCH:
        pastTag(">");
        error = QStringLiteral("Opening and ending tag mismatch.");
        return;
    case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
        if (first == '<')
            pastTag(">");
        else
            ++end.column;
        error = QStringLiteral("Extra content at end of document.");
        return;
    case XML_ERROR_UNDEFINED_ENTITY: {
        const size_t ampersand = rest.find('&');
        const size_t semicolon = rest.find(';', ampersand);
        if (ampersand != std::string_view::npos && semicolon != std::string_view::npos) {
            end.column += columnsOf(rest.substr(0, semicolon + 1));
            error = QStringLiteral("Entity '%1' not declared.")
                        .arg(text(rest.substr(ampersand + 1, semicolon - ampersand - 1)));
            return;
        }
        break;
    }
    case XML_ERROR_UNBOUND_PREFIX:
        error = QStringLiteral("Namespace prefix '%1' not declared").arg(text(firstPrefix(rest)));
        pastTag(">");
        return;
    case XML_ERROR_DUPLICATE_ATTRIBUTE: {
        // expat stands on the second of the two
        size_t nameEnd = 0;
        while (nameEnd < rest.size() && !isNameEnd(rest[nameEnd]))
            ++nameEnd;
        error = QStringLiteral("Attribute '%1' redefined.").arg(text(rest.substr(0, nameEnd)));
        pastTag(">");
        return;
    }
    case XML_ERROR_UNKNOWN_ENCODING:
    case XML_ERROR_INCORRECT_ENCODING:
        if (!unknownEncoding.isEmpty()) {
            error = QStringLiteral("Encoding %1 is unsupported").arg(QString::fromLatin1(unknownEncoding));
            pastTag("?>");
            return;
        }
        break;
    case XML_ERROR_MISPLACED_XML_PI:
        error = QStringLiteral("XML declaration not at start of document.");
        pastTag("?>");
        return;
    case XML_ERROR_SYNTAX:
        if (depth == 0 && !rootClosed) {
            ++end.column;
            error = QStringLiteral("Start tag expected.");
            return;
        }
        break;
    case XML_ERROR_INVALID_TOKEN:
        ++end.column;
        if (rootClosed)
            error = QStringLiteral("Extra content at end of document.");
        else if (first >= 0x80)
            error = QStringLiteral("Encountered incorrectly encoded content.");
        else if (first != 0)
            error = unexpected(first);
        else
            break;
        return;
    default:
        break;
    }
    // Any other fault in expat's words, written as a sentence like the others.
    error = QString::fromLatin1(XML_ErrorString(static_cast<XML_Error>(code)));
    if (!error.isEmpty())
        error[0] = error[0].toUpper();
    error += QLatin1Char('.');
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

void ExpatReader::onDeclaration(void *self, const char *version, const char *, int)
{
    // Like the encodings, the versions are those the map reader has always read: only XML 1.0.
    auto *const reader = static_cast<ExpatReader *>(self);
    if (!version || std::strcmp(version, "1.0") == 0)
        return;
    reader->countCharactersTo(XML_GetCurrentByteIndex(reader->parser.get()) +
                              XML_GetCurrentByteCount(reader->parser.get()));
    reader->error = QStringLiteral("Unsupported XML version.");
    XML_StopParser(reader->parser.get(), XML_FALSE);
}

int ExpatReader::onUnknownEncoding(void *self, const char *name, void *)
{
    static_cast<ExpatReader *>(self)->unknownEncoding = name;
    return XML_STATUS_ERROR;
}
