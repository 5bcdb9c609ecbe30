#include "pbfreader.h"

#include "osmelementrecords.h"
#include "readerrules.h"

#include <osmium/io/pbf_input.hpp>
#include <osmium/io/reader.hpp>
#include <osmium/osm.hpp>
#include <osmium/thread/pool.hpp>

#include <QFile>
#include <QFileInfo>

#include <exception>
#include <iostream>
#include <new>
#include <string_view>

namespace {

const char *const PREFIX = "OSMParser: ";

/// PBF has no lines: an element is named by its kind and id.
readerrules::ElementOrigin originOf(const char *kind, const osmium::OSMObject &object)
{
    return readerrules::ElementOrigin{kind, std::to_string(object.id()), 0};
}

void readNode(const osmium::Node &osmNode, OSMData *data)
{
    const osmium::Location location = osmNode.location();
    if (!location) {
        readerrules::reportDropped(originOf("node", osmNode), "it has no position");
        return;
    }
    const Location position(location.lat_without_check(), location.lon_without_check());
    const std::string coordinateProblem = readerrules::coordinateProblem(position.lat, position.lon);
    if (!coordinateProblem.empty()) {
        readerrules::reportDropped(originOf("node", osmNode), coordinateProblem);
        return;
    }
    NodeRecord node;
    for (const osmium::Tag &tag : osmNode.tags())
        node.applyTag(std::string_view(tag.key()), std::string_view(tag.value()));
    node.store(data, osmNode.id(), position, originOf("node", osmNode));
}

void readWay(const osmium::Way &osmWay, OSMData *data)
{
    WayRecord way;
    for (const osmium::Tag &tag : osmWay.tags())
        way.applyTag(std::string_view(tag.key()), std::string_view(tag.value()));
    way.nodeRefs.reserve(osmWay.nodes().size());
    for (const osmium::NodeRef &ref : osmWay.nodes())
        way.nodeRefs.push_back(ref.ref());
    way.store(data, osmWay.id(), originOf("way", osmWay));
}

void readRelation(const osmium::Relation &osmRelation, OSMData *data)
{
    RelationRecord relation;
    for (const osmium::Tag &tag : osmRelation.tags())
        relation.applyTag(std::string_view(tag.key()), std::string_view(tag.value()));
    for (const osmium::RelationMember &member : osmRelation.members()) {
        const osmium::item_type type = member.type();
        relation.addMember(type == osmium::item_type::way    ? RelationRecord::MemberType::Way
                           : type == osmium::item_type::node ? RelationRecord::MemberType::Node
                                                             : RelationRecord::MemberType::Other,
                           member.ref(), std::string_view(member.role()));
    }
    relation.store(data, osmRelation.id(), originOf("relation", osmRelation));
}

} // namespace

bool PbfReader::read(const QString &path, OSMData *data, QString *problem)
{
    std::string failure;
    // The library reports damaged input by exceptions; none leaves this function.
    try {
        // A pool of this read's own, so that no decoding threads outlive it.
        osmium::thread::Pool pool;
        // An absolute path: the library takes "-" for standard input and "http:..." for a download.
        const std::string file = QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
        osmium::io::Reader reader(osmium::io::File(file, "pbf"), pool, osmium::io::read_meta::no);
        // Blocks come back in file order, so nodes are stored before the ways that use them.
        while (osmium::memory::Buffer buffer = reader.read()) {
            for (const osmium::OSMObject &object : buffer.select<osmium::OSMObject>()) {
                switch (object.type()) {
                case osmium::item_type::node:
                    readNode(static_cast<const osmium::Node &>(object), data);
                    break;
                case osmium::item_type::way:
                    readWay(static_cast<const osmium::Way &>(object), data);
                    break;
                case osmium::item_type::relation:
                    readRelation(static_cast<const osmium::Relation &>(object), data);
                    break;
                default:
                    break;
                }
            }
        }
        reader.close();
        return true;
    } catch (const std::bad_alloc &) {
        failure = readerrules::OUT_OF_MEMORY;
    } catch (const std::exception &error) {
        failure = std::string(error.what()) + " (the file is damaged or cut short)";
    } catch (...) {
        failure = "unknown error";
    }
    std::cerr << PREFIX << "Reading failed! " << path.toStdString() << ": " << failure << std::endl;
    if (problem)
        *problem = QStringLiteral("cannot read \"%1\": %2").arg(path, QString::fromStdString(failure));
    return false;
}
