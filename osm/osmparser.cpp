#include "osmparser.h"

#include "decompressingdevice.h"
#include "mapassembly.h"
#include "markupbounddevice.h"
#include "osmdata.h"
#include "osmelementrecords.h"
#include "osmfileformat.h"
#include "pbfreader.h"
#include "readerrules.h"
#include "xmlplacement.h"

#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>

#include <charconv>
#include <cmath>
#include <new>
#include <vector>

namespace {

using osmtext::is;

std::string toStdString(const QStringRef &text)
{
    return osmtext::utf8(text);
}

/// One attribute looked up by `pick`; `value` points into the attributes passed to it, which must
/// outlive it.
struct Wanted
{
    Wanted(QLatin1String attributeName) : name(attributeName) {}

    QLatin1String name;
    QStringRef value;
    bool found = false;
};

/// Finds several attributes in one pass over an element's attributes (the first of a name wins).
template <size_t N> void pick(const QXmlStreamAttributes &attributes, Wanted (&wanted)[N])
{
    for (const QXmlStreamAttribute &attribute : attributes) {
        const QStringRef name = attribute.qualifiedName();
        for (Wanted &w : wanted) {
            if (!w.found && is(name, w.name)) {
                w.value = attribute.value();
                w.found = true;
                break;
            }
        }
    }
}

/// The key and value of a tag element; false unless it has both.
bool tagOf(const QXmlStreamAttributes &attributes, QStringRef &key, QStringRef &value)
{
    Wanted tag[] = {{QLatin1String("k")}, {QLatin1String("v")}};
    pick(attributes, tag);
    if (!tag[0].found || !tag[1].found)
        return false;
    key = tag[0].value;
    value = tag[1].value;
    return true;
}

/// Plain decimal text (an optional "-" and at most 18 digits, which cannot overflow) is converted here:
/// Qt's locale-aware conversion dominated the cost of the many ids of a city extract. Any other text goes
/// to Qt's conversion, so exactly the texts Qt accepts are accepted.
bool toInt64(const QStringRef &text, int64_t &value)
{
    const QChar *digit = text.constData();
    const QChar *const end = digit + text.size();
    const bool negative = digit != end && *digit == QLatin1Char('-');
    if (negative)
        ++digit;
    if (digit != end && end - digit <= 18) {
        int64_t magnitude = 0;
        for (; digit != end; ++digit) {
            const char16_t c = digit->unicode();
            if (c < u'0' || c > u'9')
                break;
            magnitude = magnitude * 10 + (c - u'0');
        }
        if (digit == end) {
            value = negative ? -magnitude : magnitude;
            return true;
        }
    }
    bool ok = false;
    const qlonglong parsed = text.toLongLong(&ok, 10);
    if (ok)
        value = parsed;
    return ok;
}

/// Coordinates written as plain decimals are converted with std::from_chars (correctly rounded, like
/// Qt's conversion, and independent of the locale); other texts go to Qt's conversion.
bool toDouble(const QStringRef &text, double &value)
{
    char buffer[32];
    const int length = text.size();
    bool plain = length > 0 && length < static_cast<int>(sizeof buffer);
    for (int i = 0; plain && i < length; ++i) {
        const char16_t c = text.at(i).unicode();
        plain = (c >= u'0' && c <= u'9') || c == u'.' || (c == u'-' && i == 0);
        buffer[i] = static_cast<char>(c);
    }
    if (plain) {
        const std::from_chars_result result = std::from_chars(buffer, buffer + length, value);
        if (result.ec == std::errc() && result.ptr == buffer + length)
            return true;
    }
    bool ok = false;
    value = text.toDouble(&ok);
    return ok;
}

/// A way id may be written as a decimal fraction and is truncated toward zero. Integer text is taken
/// exactly, because a double loses ids above 2^53; values outside the 64-bit range are rejected.
bool wayIdFromText(const QStringRef &text, int64_t &value)
{
    if (toInt64(text, value))
        return true;
    double parsed = 0;
    if (!toDouble(text, parsed) || !std::isfinite(parsed) || parsed >= 9223372036854775808.0 ||
        parsed < -9223372036854775808.0)
        return false;
    value = static_cast<int64_t>(parsed);
    return true;
}

/// A coordinate must be a finite number: NaN or infinity would poison every distance computed later.
bool coordinateFromText(const QStringRef &text, double &value)
{
    return toDouble(text, value) && std::isfinite(value);
}

/// Moves to the next child of the element being read, each child before having been read to its end; false
/// at the end of that element (`closed` is then set) or when the document ended or broke first.
bool nextChild(QXmlStreamReader &reader, bool &closed)
{
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement)
            return true;
        if (token == QXmlStreamReader::EndElement) {
            closed = true;
            return false;
        }
    }
    return false;
}

using readerrules::say;

/// Names the file memory ran out on; always false.
bool outOfMemory(const QString &path, QString *problem, Diagnostics &log)
{
    say(log, Severity::Error, "Reading failed! " + path.toStdString() + ": " + readerrules::OUT_OF_MEMORY);
    if (problem)
        *problem = QStringLiteral("cannot read \"%1\": %2").arg(path, QLatin1String(readerrules::OUT_OF_MEMORY));
    return false;
}

void writeCounts(const OSMData *data, Diagnostics &log)
{
    say(log, Severity::Progress, "    Way count: " + std::to_string(data->ways()->size()));
    say(log, Severity::Progress, "    Node count: " + std::to_string(data->nodes()->size()));
    say(log, Severity::Progress, "    Bus stop count: " + std::to_string(data->busStops()->size()));
    say(log, Severity::Progress, "    Tram stop count: " + std::to_string(data->tramStops()->size()));
    say(log, Severity::Progress, "    Route count: " + std::to_string(data->routeRelations()->size()));
}

/// The caller's diagnostics, or ones printed to standard error when the caller passes none.
class LogOrPrint
{
public:
    explicit LogOrPrint(Diagnostics *given) : log(given ? *given : own)
    {
        if (!given)
            own.setListener(Diagnostics::printToStandardError());
    }
    Diagnostics &operator*() { return log; }

private:
    Diagnostics own{0};
    Diagnostics &log;
};

} // namespace

const char *const OSMParser::FILE_FILTER =
    "OpenStreetMap extracts (*.osm *.osm.pbf *.pbf *.osm.gz *.osm.bz2);;All files (*)";

bool OSMParser::parseFile(const QString &path, OSMData *data, QString *problem, const XmlReadLimits &limits,
                          Diagnostics *diagnostics)
{
    LogOrPrint log(diagnostics);
    // Memory running out is an answer about this file, never the end of the program.
    try {
        return readFile(path, data, problem, limits, *log);
    } catch (const std::bad_alloc &) {
        return outOfMemory(path, problem, *log);
    }
}

bool OSMParser::readFile(const QString &path, OSMData *data, QString *problem, const XmlReadLimits &limits,
                         Diagnostics &log)
{
    say(log, Severity::Progress, "Opening file \"" + path.toStdString() + "\"...");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        say(log, Severity::Error, "Opening failed! Filepath: " + path.toStdString());
        if (problem)
            *problem = QStringLiteral("cannot open \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    say(log, Severity::Progress, "Opening Done");
    say(log, Severity::Progress, "Parsing...");

    // The content decides the format (text mode would drop the carriage returns of binary data); the name
    // only decides whether unrecognised content is an error.
    const OSMFileFormat format = osmFileFormatOf(file);
    MapAssembly map(data, log);
    const bool namedPbf = path.endsWith(QLatin1String(".pbf"), Qt::CaseInsensitive);
    bool complete = true;
    if (format == OSMFileFormat::Pbf) {
        file.close();
        complete = PbfReader::read(path, map, problem, limits.maxDocumentBytes);
    } else if (namedPbf && (format == OSMFileFormat::Empty || format == OSMFileFormat::Unknown)) {
        const char *const what = format == OSMFileFormat::Empty ? "the file is empty" : "no PBF header at its start";
        say(log, Severity::Error, std::string("Not an OSM PBF file (") + what + "): " + path.toStdString());
        if (problem)
            *problem = QStringLiteral("\"%1\" is not an OSM PBF file: %2").arg(path, QLatin1String(what));
        return false;
    } else if (format == OSMFileFormat::Gzip || format == OSMFileFormat::Bzip2) {
        file.close();
        DecompressingDevice device(path, format);
        complete = readXmlGuarded(&device, path, map, problem, limits);
        if (!device.failure().isEmpty()) {
            say(log, Severity::Error, "Reading failed! " + path.toStdString() + ": " + device.failure().toStdString());
            if (problem)
                *problem = QStringLiteral("cannot read \"%1\": %2").arg(path, device.failure());
            complete = false;
        }
    } else {
        if (namedPbf)
            say(log, Severity::Warning, "\"" + path.toStdString() + "\" holds XML, not PBF: reading it as XML");
        file.setTextModeEnabled(true);
        complete = readXmlGuarded(&file, path, map, problem, limits);
        file.close();
    }

    const size_t unused = map.finish();
    say(log, Severity::Progress, "    Nodes shaked: " + std::to_string(unused));
    say(log, Severity::Progress, "File parse done!");
    writeCounts(data, log);
    return complete;
}

bool OSMParser::readXmlGuarded(QIODevice *device, const QString &path, MapAssembly &map, QString *problem,
                               const XmlReadLimits &limits)
{
    try {
        return readXml(device, path, map, problem, limits);
    } catch (const std::bad_alloc &) {
        return outOfMemory(path, problem, map.diagnostics());
    }
}

bool OSMParser::parseXml(QIODevice *device, const QString &path, OSMData *data, QString *problem,
                         const XmlReadLimits &limits, Diagnostics *diagnostics)
{
    LogOrPrint log(diagnostics);
    try {
        MapAssembly map(data, *log);
        const bool complete = readXml(device, path, map, problem, limits);
        map.finish();
        return complete;
    } catch (const std::bad_alloc &) {
        return outOfMemory(path, problem, *log);
    }
}

bool OSMParser::readXml(QIODevice *device, const QString &path, MapAssembly &map, QString *problem,
                        const XmlReadLimits &limits)
{
    MarkupBoundDevice bounded(device, limits.maxMarkupBytes, limits.maxDocumentBytes);
    QXmlStreamReader reader(&bounded);
    // The root element comes after any declaration, doctype or comment.
    while (!reader.atEnd() && reader.readNext() != QXmlStreamReader::StartElement)
        continue;
    if (!reader.atEnd() && !is(reader.name(), QLatin1String("osm"))) {
        const QString root = reader.qualifiedName().toString();
        say(map.diagnostics(), Severity::Error, "Not an OSM map: the root element is <" + root.toStdString() + ">",
            reader.lineNumber(), reader.columnNumber() + 1);
        if (problem)
            *problem = QStringLiteral("\"%1\" is not an OSM map: its root element is <%2>, not <osm>").arg(path, root);
        return false;
    }
    XmlPlacement placement(map.diagnostics());
    bool closed = false;
    while (nextChild(reader, closed)) {
        const QStringRef name = reader.name();
        if (is(name, QLatin1String("node")))
            parseNode(reader, map, placement, limits);
        else if (is(name, QLatin1String("way")))
            parseWay(reader, map, placement, limits);
        else if (is(name, QLatin1String("relation")))
            parseRelation(reader, map, placement, limits);
        else
            placement.skip(reader, QLatin1String("osm"));
    }
    placement.reportRest();
    while (!reader.atEnd()) // whatever follows the root is an error, or nothing
        reader.readNext();
    if (bounded.overCap() || bounded.overDocumentCap()) {
        const QString what =
            bounded.overCap()
                ? QStringLiteral("at line %1 a tag with its attributes runs past %2 bytes, the most one may take (a "
                                 "value too long, or not an OSM map)")
                      .arg(reader.lineNumber())
                      .arg(limits.maxMarkupBytes)
                : QStringLiteral("the map runs past %1 bytes of XML at line %2, the most the network budget allows "
                                 "to read")
                      .arg(limits.maxDocumentBytes)
                      .arg(reader.lineNumber());
        say(map.diagnostics(), Severity::Error, "Reading failed! " + path.toStdString() + ": " + what.toStdString(),
            reader.lineNumber());
        if (problem)
            *problem = QStringLiteral("cannot read \"%1\": %2").arg(path, what);
        return false;
    }
    if (!reader.hasError())
        return true;
    say(map.diagnostics(), Severity::Error, reader.errorString().toStdString(), reader.lineNumber(),
        reader.columnNumber() + 1);
    if (problem)
        *problem = QStringLiteral("XML error in \"%1\" at line %2, column %3: %4")
                       .arg(path)
                       .arg(reader.lineNumber())
                       .arg(reader.columnNumber() + 1) // Qt counts columns from 0
                       .arg(reader.errorString());
    return false;
}

// A node, way or relation cut off by the end of the document or by an XML error is not stored:
// its tags or references may be incomplete. Every element dropped for a fault is named with its id
// text and line; elements the simulator has no use for (buildings, paths, other routes) are not.

namespace {

const char *const CUT_OFF = "the document ends or breaks inside it";

/// Whether the element that started at character `start`, now at one of its children, has grown past the
/// cap. If so it is named as dropped and read to its end from that child on, keeping nothing.
bool droppedForSize(QXmlStreamReader &reader, qint64 start, const XmlReadLimits &limits,
                    const readerrules::ElementOrigin &origin, XmlPlacement &placement, QLatin1String element)
{
    if (reader.characterOffset() - start <= limits.maxElementChars)
        return false;
    readerrules::reportDropped(placement.diagnostics(), origin,
                               "it runs past " + std::to_string(limits.maxElementChars) +
                                   " characters, the most one element may take");
    bool closed = false;
    do
        placement.skip(reader, element);
    while (nextChild(reader, closed));
    return true;
}

readerrules::ElementOrigin originOf(const char *kind, const QStringRef &idText, const QXmlStreamReader &reader)
{
    return readerrules::ElementOrigin{kind, toStdString(idText), reader.lineNumber()};
}

/// Why a node with these attribute texts cannot be kept, empty when it can; sets `lat`, `lon` and `id`.
std::string nodeProblem(const QStringRef &latText, const QStringRef &lonText, const QStringRef &idText, double &lat,
                        double &lon, int64_t &id, Diagnostics &log)
{
    if (!coordinateFromText(latText, lat)) {
        say(log, Severity::Warning, "Conversion failed lat: " + toStdString(latText));
        return "latitude is not a finite number";
    }
    if (!coordinateFromText(lonText, lon)) {
        say(log, Severity::Warning, "Conversion failed lon: " + toStdString(lonText));
        return "longitude is not a finite number";
    }
    if (!toInt64(idText, id)) {
        say(log, Severity::Warning, "Conversion failed id: " + toStdString(idText));
        return "id is not a 64-bit integer";
    }
    return readerrules::coordinateProblem(lat, lon);
}

} // namespace

void OSMParser::parseNode(QXmlStreamReader &reader, MapAssembly &map, XmlPlacement &placement,
                          const XmlReadLimits &limits)
{
    const qint64 start = reader.characterOffset();
    const QXmlStreamAttributes attributes = reader.attributes();
    Wanted wanted[] = {{QLatin1String("lat")}, {QLatin1String("lon")}, {QLatin1String("id")}};
    pick(attributes, wanted);
    const readerrules::ElementOrigin origin = originOf("node", wanted[2].value, reader);
    double lat = 0;
    double lon = 0;
    int64_t id = 0;
    const std::string problem =
        nodeProblem(wanted[0].value, wanted[1].value, wanted[2].value, lat, lon, id, map.diagnostics());
    if (!problem.empty()) {
        readerrules::reportDropped(map.diagnostics(), origin, problem);
        placement.finish(reader, QLatin1String("node"));
        return;
    }

    NodeRecord node;
    bool closed = false;
    while (nextChild(reader, closed)) {
        if (droppedForSize(reader, start, limits, origin, placement, QLatin1String("node")))
            return;
        if (!is(reader.name(), QLatin1String("tag"))) {
            placement.skip(reader, QLatin1String("node"));
            continue;
        }
        const QXmlStreamAttributes tagAttributes = reader.attributes();
        QStringRef key, value;
        if (tagOf(tagAttributes, key, value))
            node.applyTag(key, value);
        placement.finish(reader, QLatin1String("tag"));
    }
    if (!closed) {
        readerrules::reportDropped(map.diagnostics(), origin, CUT_OFF);
        return;
    }
    node.store(map, id, Location(lat, lon), origin);
}

void OSMParser::parseWay(QXmlStreamReader &reader, MapAssembly &map, XmlPlacement &placement,
                         const XmlReadLimits &limits)
{
    const qint64 start = reader.characterOffset();
    int64_t id = 0;
    readerrules::ElementOrigin origin;
    {
        const QXmlStreamAttributes attributes = reader.attributes();
        Wanted wanted[] = {{QLatin1String("id")}};
        pick(attributes, wanted);
        origin = originOf("way", wanted[0].value, reader);
        if (!wayIdFromText(wanted[0].value, id)) {
            say(map.diagnostics(), Severity::Warning, "Conversion failed id: " + toStdString(wanted[0].value));
            id = 0;
        }
    }

    WayRecord way;
    bool closed = false;
    while (nextChild(reader, closed)) {
        if (droppedForSize(reader, start, limits, origin, placement, QLatin1String("way")))
            return;
        const QStringRef element = reader.name();
        const bool nd = is(element, QLatin1String("nd"));
        if (!nd && !is(element, QLatin1String("tag"))) {
            placement.skip(reader, QLatin1String("way"));
            continue;
        }
        const QXmlStreamAttributes attributes = reader.attributes();
        if (nd) {
            Wanted ref[] = {{QLatin1String("ref")}};
            pick(attributes, ref);
            if (ref[0].found) {
                int64_t nodeId = 0;
                if (!toInt64(ref[0].value, nodeId))
                    nodeId = 0;
                way.nodeRefs.push_back(nodeId);
            }
        } else {
            QStringRef key, value;
            if (tagOf(attributes, key, value))
                way.applyTag(key, value);
        }
        placement.finish(reader, nd ? QLatin1String("nd") : QLatin1String("tag"));
    }
    if (!way.wanted())
        return; // not a road or tram track: of no use to the simulator
    if (!closed) {
        readerrules::reportDropped(map.diagnostics(), origin, CUT_OFF);
        return;
    }
    way.store(map, id, origin);
}

namespace {

/// Adds the member the reader stands on to `relation`; a member without type or ref, of a type other than
/// node, way and relation, or whose ref is not a number is named and dropped.
void readMember(const QXmlStreamReader &reader, RelationRecord &relation, const std::string &relationId,
                Diagnostics &log)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    Wanted wanted[] = {{QLatin1String("type")}, {QLatin1String("ref")}, {QLatin1String("role")}};
    pick(attributes, wanted);
    const QStringRef &type = wanted[0].value;
    const readerrules::ElementOrigin origin = originOf("member", wanted[1].value, reader);
    const std::string ofRelation = " (relation \"" + relationId + "\")";
    if (!wanted[0].found || !wanted[1].found) {
        readerrules::reportDropped(log, origin,
                                   std::string(wanted[0].found ? "it has no ref" : "it has no type") + ofRelation);
        return;
    }
    int64_t memberId = 0;
    if (!toInt64(wanted[1].value, memberId)) {
        say(log, Severity::Warning, "Conversion failed memberRefId: " + toStdString(wanted[1].value));
        readerrules::reportDropped(log, origin, "ref is not a 64-bit integer" + ofRelation);
        return;
    }
    if (is(type, QLatin1String("way")))
        relation.addMember(RelationRecord::MemberType::Way, memberId, wanted[2].value);
    else if (is(type, QLatin1String("node")))
        relation.addMember(RelationRecord::MemberType::Node, memberId, wanted[2].value);
    else if (!is(type, QLatin1String("relation"))) // a relation member is of no use, but in its place
        readerrules::reportDropped(log, origin, "unknown type \"" + toStdString(type) + "\"" + ofRelation);
}

} // namespace

void OSMParser::parseRelation(QXmlStreamReader &reader, MapAssembly &map, XmlPlacement &placement,
                              const XmlReadLimits &limits)
{
    const qint64 start = reader.characterOffset();
    int64_t id = 0;
    readerrules::ElementOrigin origin;
    {
        const QXmlStreamAttributes attributes = reader.attributes();
        Wanted wanted[] = {{QLatin1String("id")}};
        pick(attributes, wanted);
        origin = originOf("relation", wanted[0].value, reader);
        if (!toInt64(wanted[0].value, id)) {
            say(map.diagnostics(), Severity::Warning, "Conversion failed relationId: " + toStdString(wanted[0].value));
            readerrules::reportDropped(map.diagnostics(), origin, "id is not a 64-bit integer");
            placement.finish(reader, QLatin1String("relation"));
            return;
        }
    }

    RelationRecord relation;
    bool closed = false;
    while (nextChild(reader, closed)) {
        if (droppedForSize(reader, start, limits, origin, placement, QLatin1String("relation")))
            return;
        const QStringRef element = reader.name();
        const bool member = is(element, QLatin1String("member"));
        if (!member && !is(element, QLatin1String("tag"))) {
            placement.skip(reader, QLatin1String("relation"));
            continue;
        }
        if (member) {
            readMember(reader, relation, origin.idText, map.diagnostics());
        } else {
            const QXmlStreamAttributes attributes = reader.attributes();
            QStringRef key, value;
            if (tagOf(attributes, key, value))
                relation.applyTag(key, value);
        }
        placement.finish(reader, member ? QLatin1String("member") : QLatin1String("tag"));
    }
    if (!relation.wanted())
        return; // not a line the simulator runs
    if (!closed) {
        readerrules::reportDropped(map.diagnostics(), origin, CUT_OFF);
        return;
    }
    relation.store(map, id, origin);
}
