#include "osmparser.h"

#include "osmdata.h"
#include "readerrules.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>

#include <charconv>
#include <cmath>
#include <iostream>
#include <vector>

namespace {

const char *const PREFIX = "OSMParser: ";

std::string toStdString(const QStringRef &text)
{
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

/// Exact, case-sensitive comparison of document text with a name. Inline, because it runs for every
/// attribute and tag of the extract and most comparisons fail on the length alone.
inline bool is(const QStringRef &text, QLatin1String name)
{
    if (text.size() != name.size())
        return false;
    const QChar *c = text.constData();
    for (int i = 0; i < name.size(); ++i)
        if (c[i].unicode() != static_cast<uchar>(name.data()[i]))
            return false;
    return true;
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

/// Lane count of a lanes:forward or lanes:backward tag: 0 unless a non-negative decimal integer.
int32_t lanesFromText(const QStringRef &text)
{
    bool ok = false;
    const int lanes = text.toInt(&ok, 10);
    return ok && lanes >= 0 ? lanes : 0;
}

/// Reads the next token; false when the document ended or broke before `endName` closed the element.
bool nextTokenWithin(QXmlStreamReader &reader, QLatin1String endName, bool &closed)
{
    const QXmlStreamReader::TokenType token = reader.readNext();
    if (token == QXmlStreamReader::EndElement && is(reader.name(), endName)) {
        closed = true;
        return false;
    }
    return !reader.atEnd() && !reader.hasError();
}

void writeCounts(const OSMData *data)
{
    std::cerr << PREFIX << "    Way count: " << data->ways()->size() << std::endl;
    std::cerr << PREFIX << "    Node count: " << data->nodes()->size() << std::endl;
    std::cerr << PREFIX << "    Bus stop count: " << data->busStops()->size() << std::endl;
    std::cerr << PREFIX << "    Tram stop count: " << data->tramStops()->size() << std::endl;
    std::cerr << PREFIX << "    Route count: " << data->routeRelations()->size() << std::endl;
}

} // namespace

bool OSMParser::parseFile(const QString &path, OSMData *data, QString *problem)
{
    std::cerr << PREFIX << "Opening file \"" << path.toStdString() << "\"..." << std::endl;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::cerr << PREFIX << "Opening failed! Filepath: " << path.toStdString() << std::endl;
        if (problem)
            *problem = QStringLiteral("cannot open \"%1\": %2").arg(path, file.errorString());
        return false;
    }
    std::cerr << PREFIX << "Opening Done" << std::endl;
    std::cerr << PREFIX << "Parsing..." << std::endl;

    QXmlStreamReader reader(&file);
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringRef name = reader.name();
        if (is(name, QLatin1String("node")))
            parseNode(reader, data);
        else if (is(name, QLatin1String("way")))
            parseWay(reader, data);
        else if (is(name, QLatin1String("relation")))
            parseRelation(reader, data);
    }
    const bool complete = !reader.hasError();
    if (!complete) {
        std::cerr << PREFIX << reader.errorString().toStdString() << std::endl;
        if (problem)
            *problem = QStringLiteral("XML error in \"%1\" at line %2, column %3: %4")
                           .arg(path)
                           .arg(reader.lineNumber())
                           .arg(reader.columnNumber() + 1) // Qt counts columns from 0
                           .arg(reader.errorString());
    }

    reader.clear();
    file.close();
    data->shakeNodes();
    std::cerr << PREFIX << "File parse done!" << std::endl;
    writeCounts(data);
    return complete;
}

bool OSMParser::parseTramStopsDir(const QString &dirPath, OSMData *data)
{
    std::cerr << PREFIX << "Parsing Tram Stops Dir \"" << dirPath.toStdString() << "\":" << std::endl;
    const QDir dir(dirPath);
    bool complete = dir.exists();
    if (!complete)
        std::cerr << PREFIX << "Opening failed! Dirpath: " << dirPath.toStdString() << std::endl;
    const QStringList entries = dir.entryList(QStringList() << QStringLiteral("*.%1").arg(QLatin1String("osm")));
    for (const QString &entry : entries)
        complete = parseFile(QStringLiteral("%1/%2").arg(dirPath, entry), data) && complete;
    std::cerr << PREFIX << "Dir parse done!" << std::endl;
    writeCounts(data);
    return complete;
}

// A node, way or relation cut off by the end of the document or by an XML error is not stored:
// its tags or references may be incomplete. Every element dropped for a fault is named with its id
// text and line; elements the simulator has no use for (buildings, paths, other routes) are not.

namespace {

const char *const CUT_OFF = "the document ends or breaks inside it";

readerrules::ElementOrigin originOf(const char *kind, const QStringRef &idText, const QXmlStreamReader &reader)
{
    return readerrules::ElementOrigin{kind, toStdString(idText), reader.lineNumber()};
}

} // namespace

void OSMParser::parseNode(QXmlStreamReader &reader, OSMData *data)
{
    const QXmlStreamAttributes attributes = reader.attributes();
    Wanted wanted[] = {{QLatin1String("lat")}, {QLatin1String("lon")}, {QLatin1String("id")}};
    pick(attributes, wanted);
    const readerrules::ElementOrigin origin = originOf("node", wanted[2].value, reader);
    double lat = 0;
    double lon = 0;
    int64_t id = 0;
    if (!coordinateFromText(wanted[0].value, lat)) {
        std::cerr << PREFIX << "Conversion failed lat: " << toStdString(wanted[0].value) << std::endl;
        readerrules::reportDropped(origin, "latitude is not a finite number");
        return;
    }
    if (!coordinateFromText(wanted[1].value, lon)) {
        std::cerr << PREFIX << "Conversion failed lon: " << toStdString(wanted[1].value) << std::endl;
        readerrules::reportDropped(origin, "longitude is not a finite number");
        return;
    }
    if (!toInt64(wanted[2].value, id)) {
        std::cerr << PREFIX << "Conversion failed id: " << toStdString(wanted[2].value) << std::endl;
        readerrules::reportDropped(origin, "id is not a 64-bit integer");
        return;
    }
    const std::string coordinateProblem = readerrules::coordinateProblem(lat, lon);
    if (!coordinateProblem.empty()) {
        readerrules::reportDropped(origin, coordinateProblem);
        return;
    }

    std::string name;
    bool tramStop = false;
    bool busStop = false;
    bool trafficSignals = false;
    bool closed = false;
    while (nextTokenWithin(reader, QLatin1String("node"), closed)) {
        if (!reader.isStartElement() || !is(reader.name(), QLatin1String("tag")))
            continue;
        const QXmlStreamAttributes tagAttributes = reader.attributes();
        QStringRef key, value;
        if (!tagOf(tagAttributes, key, value))
            continue;
        if (is(key, QLatin1String("name")))
            name = toStdString(value);
        else if (is(key, QLatin1String("railway")) && is(value, QLatin1String("tram_stop")))
            tramStop = true;
        else if (is(key, QLatin1String("highway")) && is(value, QLatin1String("bus_stop")))
            busStop = true;
        else if (is(key, QLatin1String("highway")) && is(value, QLatin1String("traffic_signals")))
            trafficSignals = true;
    }
    if (!closed) {
        readerrules::reportDropped(origin, CUT_OFF);
        return;
    }
    // A node written again (as the writer does for a node that is both kinds of stop) adds its stops
    // to the node read first; only a different position is lost, and that is said.
    if (const Node *earlier = data->nodes()->findById(id)) {
        if (!(earlier->getLocation() == Location(lat, lon)))
            readerrules::reportTrimmed(origin, "position ignored: a node with this id was read before elsewhere");
    }

    Node *node = data->addNode(id, Location(lat, lon), trafficSignals);
    if (busStop)
        data->addBusStop(name, node);
    if (tramStop)
        data->addTramStop(name, node);
}

void OSMParser::parseWay(QXmlStreamReader &reader, OSMData *data)
{
    // Tested in this order; the _link values of trunk to tertiary set isLink.
    static const struct
    {
        QLatin1String value;
        bool link;
    } acceptedHighways[] = {
        {QLatin1String("motorway"), false},      {QLatin1String("trunk"), false},
        {QLatin1String("trunk_link"), true},     {QLatin1String("primary"), false},
        {QLatin1String("primary_link"), true},   {QLatin1String("secondary"), false},
        {QLatin1String("secondary_link"), true}, {QLatin1String("tertiary"), false},
        {QLatin1String("tertiary_link"), true},  {QLatin1String("unclassified"), false},
        {QLatin1String("residential"), false},   {QLatin1String("road"), false},
    };

    int64_t id = 0;
    readerrules::ElementOrigin origin;
    {
        const QXmlStreamAttributes attributes = reader.attributes();
        Wanted wanted[] = {{QLatin1String("id")}};
        pick(attributes, wanted);
        origin = originOf("way", wanted[0].value, reader);
        if (!wayIdFromText(wanted[0].value, id)) {
            std::cerr << PREFIX << "Conversion failed id: " << toStdString(wanted[0].value) << std::endl;
            id = 0;
        }
    }

    bool isHighway = false;
    bool isTram = false;
    bool isOneway = false;
    bool isLink = false;
    RoadClass roadClass = Road;
    int32_t lanesForward = 0;
    int32_t lanesBackward = 0;
    std::vector<int64_t> nodeRefs;
    bool closed = false;
    while (nextTokenWithin(reader, QLatin1String("way"), closed)) {
        if (!reader.isStartElement())
            continue;
        const QStringRef element = reader.name();
        const bool nd = is(element, QLatin1String("nd"));
        if (!nd && !is(element, QLatin1String("tag")))
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (nd) {
            Wanted ref[] = {{QLatin1String("ref")}};
            pick(attributes, ref);
            if (!ref[0].found)
                continue;
            int64_t nodeId = 0;
            if (!toInt64(ref[0].value, nodeId))
                nodeId = 0;
            nodeRefs.push_back(nodeId);
            continue;
        }
        QStringRef key, value;
        if (!tagOf(attributes, key, value))
            continue;
        if (is(key, QLatin1String("highway"))) {
            for (const auto &accepted : acceptedHighways) {
                if (is(value, accepted.value)) {
                    isHighway = true;
                    isLink = accepted.link;
                    roadClass = roadClassFromString(std::string(accepted.value.data(), accepted.value.size()));
                    break;
                }
            }
        } else if (is(key, QLatin1String("railway"))) {
            if (is(value, QLatin1String("tram")))
                isTram = true;
        } else if (is(key, QLatin1String("oneway"))) {
            if (is(value, QLatin1String("yes")))
                isOneway = true;
        } else if (is(key, QLatin1String("lanes:forward"))) {
            lanesForward = lanesFromText(value);
        } else if (is(key, QLatin1String("lanes:backward"))) {
            lanesBackward = lanesFromText(value);
        }
    }
    if (!isHighway && !isTram)
        return; // not a road or tram track: of no use to the simulator
    if (!closed) {
        readerrules::reportDropped(origin, CUT_OFF);
        return;
    }
    const std::string repeats = readerrules::dropRepeats(nodeRefs);
    if (!repeats.empty())
        readerrules::reportTrimmed(origin, repeats);
    if (nodeRefs.size() < 2) {
        readerrules::reportDropped(origin, "fewer than two distinct node references");
        return;
    }
    if (data->ways()->findById(id)) {
        readerrules::reportDropped(origin, "id " + std::to_string(id) + " was taken by an earlier way");
        return;
    }

    if (isHighway) {
        // Road lanes come from the direction only; lane tags count for tram-only ways.
        lanesForward = 1;
        lanesBackward = isOneway ? 0 : 1;
        data->addWay(id, nodeRefs, isTram, isHighway, isOneway, isLink, roadClass, lanesForward, lanesBackward);
    } else if (isTram) {
        data->addWay(id, nodeRefs, isTram, isHighway, isOneway, isLink, roadClass, lanesForward, lanesBackward);
    }
}

void OSMParser::parseRelation(QXmlStreamReader &reader, OSMData *data)
{
    int64_t id = 0;
    readerrules::ElementOrigin origin;
    {
        const QXmlStreamAttributes attributes = reader.attributes();
        Wanted wanted[] = {{QLatin1String("id")}};
        pick(attributes, wanted);
        origin = originOf("relation", wanted[0].value, reader);
        if (!toInt64(wanted[0].value, id)) {
            std::cerr << PREFIX << "Conversion failed relationId: " << toStdString(wanted[0].value) << std::endl;
            readerrules::reportDropped(origin, "id is not a 64-bit integer");
            return;
        }
    }

    std::string name;
    std::string ref;
    std::string route;
    bool isRoute = false;
    std::vector<int64_t> ways;
    std::vector<int64_t> forwardWays;
    std::vector<int64_t> backwardWays;
    std::vector<int64_t> stopNodes;
    bool closed = false;
    while (nextTokenWithin(reader, QLatin1String("relation"), closed)) {
        if (!reader.isStartElement())
            continue;
        const QStringRef element = reader.name();
        const bool member = is(element, QLatin1String("member"));
        if (!member && !is(element, QLatin1String("tag")))
            continue;
        const QXmlStreamAttributes attributes = reader.attributes();
        if (member) {
            Wanted wanted[] = {{QLatin1String("type")}, {QLatin1String("ref")}, {QLatin1String("role")}};
            pick(attributes, wanted);
            if (!wanted[0].found || !wanted[1].found)
                continue;
            int64_t memberId = 0;
            if (!toInt64(wanted[1].value, memberId)) {
                std::cerr << PREFIX << "Conversion failed memberRefId: " << toStdString(wanted[1].value) << std::endl;
                readerrules::reportDropped(originOf("member", wanted[1].value, reader),
                                           "ref is not a 64-bit integer (relation \"" + origin.idText + "\")");
                continue;
            }
            const QStringRef &type = wanted[0].value;
            const QStringRef &role = wanted[2].value;
            if (is(type, QLatin1String("way"))) {
                if (is(role, QLatin1String("forward")))
                    forwardWays.push_back(memberId);
                else if (is(role, QLatin1String("backward")))
                    backwardWays.push_back(memberId);
                else
                    ways.push_back(memberId);
            } else if (is(type, QLatin1String("node"))) {
                stopNodes.push_back(memberId);
            }
            continue;
        }
        QStringRef key, value;
        if (!tagOf(attributes, key, value))
            continue;
        if (is(key, QLatin1String("type"))) {
            if (is(value, QLatin1String("route")))
                isRoute = true;
        } else if (is(key, QLatin1String("route"))) {
            route = toStdString(value);
        } else if (is(key, QLatin1String("name"))) {
            name = toStdString(value);
        } else if (is(key, QLatin1String("ref"))) {
            ref = toStdString(value);
        }
    }
    if (!isRoute || (route != "tram" && route != "bus" && route != "trolleybus"))
        return; // not a line the simulator runs
    if (!closed) {
        readerrules::reportDropped(origin, CUT_OFF);
        return;
    }
    if (data->routeRelations()->findById(id)) {
        readerrules::reportDropped(origin, "a relation with this id was read before");
        return;
    }
    data->addRouteRelation(id, name, ref, route, ways, forwardWays, backwardWays, stopNodes);
}
