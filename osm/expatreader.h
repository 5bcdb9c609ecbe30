#ifndef KOLVEX_OSM_EXPATREADER_H
#define KOLVEX_OSM_EXPATREADER_H

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

class QIODevice;
class QTextDecoder;

/// What a document's elements are told to, in document order.
class XmlElementEvents
{
public:
    virtual ~XmlElementEvents() = default;
    /// An element starts; `name` is its local name (without a namespace prefix). `attributes` holds pairs
    /// of name and value, ended by a null name; both are UTF-8 and live until the call returns. An attribute
    /// of no namespace is named as written; one with a prefix is named "uri\nlocal\nprefix", so it never
    /// equals a plain name.
    virtual void startElement(std::string_view name, const char **attributes) = 0;
    virtual void endElement() = 0;
};

/// Streaming XML reader built on expat: reads a device in chunks of 64 KB, so that memory stays bounded by
/// the largest piece of markup, and tells `events` about each element. Positions are given as the
/// diagnostics of the map reader have always named them: the line from 1 and the characters (UTF-16 units)
/// before the position on its line, just after the start tag an event is about; an error is named with the
/// wording the map reader has always used for the common faults (a cut-off document is a "Premature end of
/// document."). Documents in UTF-8, US-ASCII and ISO-8859-1 are read directly, those in UTF-16 or any other
/// encoding Qt knows are translated to UTF-8 first. A std::bad_alloc thrown by the device or by `events` leaves
/// read() as it was thrown; memory running out inside expat is thrown as std::bad_alloc too.
class ExpatReader
{
public:
    /// Reads from `device`, which must be open and outlive this reader, as `events` must.
    ExpatReader(QIODevice *device, XmlElementEvents &events);
    ~ExpatReader();
    ExpatReader(const ExpatReader &) = delete;
    ExpatReader &operator=(const ExpatReader &) = delete;

    /// Reads the document to its end; false after an XML error or stop().
    bool read();
    /// Ends read() after the event being told; called from inside an event.
    void stop();

    bool hasError() const { return !error.isEmpty(); }
    QString errorString() const { return error; }
    /// Inside startElement: the position just after its start tag. After read(): where an error was found,
    /// or where the data ended.
    int64_t lineNumber() const;
    int64_t columnNumber() const;
    /// Inside startElement: characters read up to the end of its start tag.
    int64_t characterOffset() const { return countedCharacters; }
    /// Inside startElement: the element's name as written, with its prefix.
    std::string qualifiedName() const;

private:
    struct Position
    {
        int64_t line = 1;
        int64_t column = 0;
    };
    struct ParserFree
    {
        void operator()(struct XML_ParserStruct *parser) const;
    };

    void createParser(const char *encoding);
    bool feed(const char *data, int length, bool final);
    bool translateFrom(const QByteArray &encodingName);
    int fill(QByteArray &buffer);
    void countCharactersTo(int64_t byte);
    void recordError(int code);
    std::string_view unparsed() const;

    static void onStart(void *self, const char *name, const char **attributes);
    static void onEnd(void *self, const char *name);
    static void onDeclaration(void *self, const char *version, const char *encoding, int standalone);
    static int onUnknownEncoding(void *self, const char *name, void *info);

    QIODevice *device;
    XmlElementEvents &events;
    std::unique_ptr<struct XML_ParserStruct, ParserFree> parser;
    std::unique_ptr<QTextDecoder> decoder; ///< set when the document is translated to UTF-8
    QByteArray chunk;                      ///< what expat was given last, in UTF-8 when translated
    int64_t chunkStart = 0;                ///< byte of the document (as given to expat) where it starts
    int64_t countedBytes = 0;              ///< characters are counted up to this byte ...
    int64_t countedCharacters = 0;         ///< ... and are this many
    QByteArray unknownEncoding;            ///< the encoding expat did not know, named by the document
    std::exception_ptr thrown;             ///< what an event threw, passed on once expat has returned
    QString error;
    Position end;                       ///< where the bytes counted end: the position told
    bool pendingCarriageReturn = false; ///< the bytes counted end in "\r"
    const char *currentName = nullptr;  ///< of the element being started, as expat names it
    bool fromUtf16 = false;             ///< the document is in UTF-16, told by its first bytes
    bool rootClosed = false;
    int64_t depth = 0;
};

#endif
