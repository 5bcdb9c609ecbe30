#include "xmlmapreader.h"

#include "mapassembly.h"
#include "osmnumbertext.h"

#include <cstring>
#include <utility>

namespace {

using readerrules::say;

const char *const CUT_OFF = "the document ends or breaks inside it";

/// The value of the first attribute named `name`, and whether there is one.
struct Wanted
{
    Wanted(const char *attributeName) : name(attributeName) {}

    const char *name;
    std::string_view value;
    bool found = false;
};

/// Finds several attributes in one pass over an element's attributes (the first of a name wins).
template <size_t N> void pick(const char **attributes, Wanted (&wanted)[N])
{
    for (; *attributes; attributes += 2) {
        for (Wanted &w : wanted) {
            if (!w.found && std::strcmp(attributes[0], w.name) == 0) {
                w.value = attributes[1];
                w.found = true;
                break;
            }
        }
    }
}

/// The key and value of a tag element; false unless it has both.
bool tagOf(const char **attributes, std::string_view &key, std::string_view &value)
{
    Wanted tag[] = {{"k"}, {"v"}};
    pick(attributes, tag);
    key = tag[0].value;
    value = tag[1].value;
    return tag[0].found && tag[1].found;
}

/// The text of the element's first "id" attribute; empty if it has none.
std::string_view idOf(const char **attributes)
{
    Wanted wanted[] = {{"id"}};
    pick(attributes, wanted);
    return wanted[0].value;
}

/// Why a node with these attribute texts cannot be kept, empty when it can; sets `location` and `id`.
std::string nodeProblem(std::string_view latText, std::string_view lonText, std::string_view idText, Location &location,
                        int64_t &id, Diagnostics &log)
{
    if (!osmnumbertext::coordinate(latText, location.lat)) {
        say(log, Severity::Warning, "Conversion failed lat: " + std::string(latText));
        return "latitude is not a finite number";
    }
    if (!osmnumbertext::coordinate(lonText, location.lon)) {
        say(log, Severity::Warning, "Conversion failed lon: " + std::string(lonText));
        return "longitude is not a finite number";
    }
    if (!osmnumbertext::toInt64(idText, id)) {
        say(log, Severity::Warning, "Conversion failed id: " + std::string(idText));
        return "id is not a 64-bit integer";
    }
    return readerrules::coordinateProblem(location.lat, location.lon);
}

/// Adds the member element to `relation`; a member without type or ref, of a type other than node, way and
/// relation, or whose ref is not a number is named and dropped.
void readMember(const char **attributes, int64_t line, RelationRecord &relation, const std::string &relationId,
                Diagnostics &log)
{
    Wanted wanted[] = {{"type"}, {"ref"}, {"role"}};
    pick(attributes, wanted);
    const readerrules::ElementOrigin origin{"member", std::string(wanted[1].value), line};
    const std::string_view type = wanted[0].value;
    const std::string ofRelation = " (relation \"" + relationId + "\")";
    if (!wanted[0].found || !wanted[1].found) {
        readerrules::reportDropped(log, origin,
                                   std::string(wanted[0].found ? "it has no ref" : "it has no type") + ofRelation);
        return;
    }
    int64_t memberId = 0;
    if (!osmnumbertext::toInt64(wanted[1].value, memberId)) {
        say(log, Severity::Warning, "Conversion failed memberRefId: " + std::string(wanted[1].value));
        readerrules::reportDropped(log, origin, "ref is not a 64-bit integer" + ofRelation);
        return;
    }
    if (type == "way")
        relation.addMember(RelationRecord::MemberType::Way, memberId, wanted[2].value);
    else if (type == "node")
        relation.addMember(RelationRecord::MemberType::Node, memberId, wanted[2].value);
    else if (type != "relation") // a relation member is of no use, but in its place
        readerrules::reportDropped(log, origin, "unknown type \"" + std::string(type) + "\"" + ofRelation);
}

} // namespace

XmlMapReader::XmlMapReader(QIODevice *device, MapAssembly &map, const XmlReadLimits &limits)
    : map(map), limits(limits), reader(device, *this), placement(map.diagnostics())
{}

bool XmlMapReader::read(const QString &path, QString *problem)
{
    reader.read();
    if (notAMap) {
        say(map.diagnostics(), Severity::Error, "Not an OSM map: the root element is <" + rootName + ">", rootLine,
            rootColumn);
        if (problem)
            *problem = QStringLiteral("\"%1\" is not an OSM map: its root element is <%2>, not <osm>")
                           .arg(path, QString::fromStdString(rootName));
        return false;
    }
    if (depth >= 2)
        closeTop(false);
    placement.reportRest();
    return true;
}

readerrules::ElementOrigin XmlMapReader::originOf(const char *kind, std::string_view idText) const
{
    return readerrules::ElementOrigin{kind, std::string(idText), reader.lineNumber()};
}

void XmlMapReader::startElement(std::string_view name, const char **attributes)
{
    ++depth;
    if (openNames.size() < depth)
        openNames.resize(depth);
    openNames[depth - 1].assign(name.data(), name.size());
    if (depth == 1) {
        // The root element comes after any declaration, doctype or comment.
        if (name != "osm") {
            notAMap = true;
            rootName = reader.qualifiedName();
            rootLine = reader.lineNumber();
            rootColumn = reader.columnNumber() + 1;
            reader.stop();
        }
        return;
    }
    if (depth == 3 && (open == Open::Node || open == Open::Way || open == Open::Relation) &&
        reader.characterOffset() - start > limits.maxElementChars) {
        readerrules::reportDropped(map.diagnostics(), origin,
                                   "it runs past " + std::to_string(limits.maxElementChars) +
                                       " characters, the most one element may take");
        open = Open::Dropped;
    }
    placement.check(name, openNames[depth - 2], reader.lineNumber(), reader.columnNumber() + 1);
    if (depth == 2)
        startTop(name, attributes);
    else if (depth == 3)
        startChild(name, attributes);
}

void XmlMapReader::endElement()
{
    if (depth == 2)
        closeTop(true);
    --depth;
}

void XmlMapReader::startTop(std::string_view name, const char **attributes)
{
    if (name == "node") {
        Wanted wanted[] = {{"lat"}, {"lon"}, {"id"}};
        pick(attributes, wanted);
        origin = originOf("node", wanted[2].value);
        const std::string problem =
            nodeProblem(wanted[0].value, wanted[1].value, wanted[2].value, location, id, map.diagnostics());
        if (!problem.empty()) {
            readerrules::reportDropped(map.diagnostics(), origin, problem);
            open = Open::Dropped;
            return;
        }
        node = NodeRecord();
        open = Open::Node;
    } else if (name == "way") {
        const std::string_view idText = idOf(attributes);
        origin = originOf("way", idText);
        if (!osmnumbertext::wayId(idText, id)) {
            say(map.diagnostics(), Severity::Warning, "Conversion failed id: " + std::string(idText));
            id = 0;
        }
        way = WayRecord();
        open = Open::Way;
    } else if (name == "relation") {
        const std::string_view idText = idOf(attributes);
        origin = originOf("relation", idText);
        if (!osmnumbertext::toInt64(idText, id)) {
            say(map.diagnostics(), Severity::Warning, "Conversion failed relationId: " + std::string(idText));
            readerrules::reportDropped(map.diagnostics(), origin, "id is not a 64-bit integer");
            open = Open::Dropped;
            return;
        }
        relation = RelationRecord();
        open = Open::Relation;
    } else {
        open = Open::None;
        return;
    }
    start = reader.characterOffset();
}

void XmlMapReader::startChild(std::string_view name, const char **attributes)
{
    std::string_view key, value;
    switch (open) {
    case Open::Node:
        if (name == "tag" && tagOf(attributes, key, value))
            node.applyTag(key, value);
        break;
    case Open::Way:
        if (name == "nd") {
            Wanted ref[] = {{"ref"}};
            pick(attributes, ref);
            if (ref[0].found) {
                int64_t nodeId = 0;
                if (!osmnumbertext::toInt64(ref[0].value, nodeId))
                    nodeId = 0;
                way.nodeRefs.push_back(nodeId);
            }
        } else if (name == "tag" && tagOf(attributes, key, value)) {
            way.applyTag(key, value);
        }
        break;
    case Open::Relation:
        if (name == "member")
            readMember(attributes, reader.lineNumber(), relation, origin.idText, map.diagnostics());
        else if (name == "tag" && tagOf(attributes, key, value))
            relation.applyTag(key, value);
        break;
    case Open::None:
    case Open::Dropped:
        break;
    }
}

void XmlMapReader::closeTop(bool closed)
{
    const Open was = std::exchange(open, Open::None);
    if ((was == Open::Way && !way.wanted()) || (was == Open::Relation && !relation.wanted()))
        return; // of no use to the simulator
    if (was == Open::None || was == Open::Dropped)
        return;
    if (!closed) {
        readerrules::reportDropped(map.diagnostics(), origin, CUT_OFF);
        return;
    }
    if (was == Open::Node)
        node.store(map, id, location, origin);
    else if (was == Open::Way)
        way.store(map, id, origin);
    else
        relation.store(map, id, origin);
}
