#include "pbfreader.h"

#include "mapassembly.h"
#include "memoryreserve.h"
#include "osmelementrecords.h"
#include "readerrules.h"

#include <osmium/io/pbf_input.hpp>
#include <osmium/io/reader.hpp>
#include <osmium/osm.hpp>
#include <osmium/thread/pool.hpp>

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <exception>
#include <new>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

/// PBF has no lines: an element is named by its kind and id.
readerrules::ElementOrigin originOf(const char *kind, const osmium::OSMObject &object)
{
    return readerrules::ElementOrigin{kind, std::to_string(object.id()), 0};
}

/// A way or relation of the first pass, kept until the nodes are read.
template <typename Record> struct Held
{
    int64_t id;
    Record record;
    readerrules::ElementOrigin origin;
};

/// What the first pass keeps: the wanted ways and relations in file order, and the ids of the nodes the
/// ways refer to, sorted.
struct FirstPass
{
    std::vector<Held<WayRecord>> ways;
    std::vector<Held<RelationRecord>> relations;
    std::vector<int64_t> usedNodes;

    void readWay(const osmium::Way &osmWay)
    {
        WayRecord way;
        for (const osmium::Tag &tag : osmWay.tags())
            way.applyTag(std::string_view(tag.key()), std::string_view(tag.value()));
        if (!way.wanted())
            return;
        way.nodeRefs.reserve(osmWay.nodes().size());
        for (const osmium::NodeRef &ref : osmWay.nodes())
            way.nodeRefs.push_back(ref.ref());
        usedNodes.insert(usedNodes.end(), way.nodeRefs.begin(), way.nodeRefs.end());
        ways.push_back(Held<WayRecord>{osmWay.id(), std::move(way), originOf("way", osmWay)});
    }

    void readRelation(const osmium::Relation &osmRelation)
    {
        RelationRecord relation;
        for (const osmium::Tag &tag : osmRelation.tags())
            relation.applyTag(std::string_view(tag.key()), std::string_view(tag.value()));
        if (!relation.wanted())
            return;
        for (const osmium::RelationMember &member : osmRelation.members()) {
            const osmium::item_type type = member.type();
            relation.addMember(type == osmium::item_type::way    ? RelationRecord::MemberType::Way
                               : type == osmium::item_type::node ? RelationRecord::MemberType::Node
                                                                 : RelationRecord::MemberType::Other,
                               member.ref(), std::string_view(member.role()));
        }
        relations.push_back(
            Held<RelationRecord>{osmRelation.id(), std::move(relation), originOf("relation", osmRelation)});
    }

    bool uses(int64_t nodeId) const { return std::binary_search(usedNodes.begin(), usedNodes.end(), nodeId); }
};

/// Every node is checked and named as the XML reader would; only those of kept ways and stops are held.
void readNode(const osmium::Node &osmNode, const FirstPass &first, MapAssembly &map)
{
    const osmium::Location location = osmNode.location();
    if (!location) {
        readerrules::reportDropped(map.diagnostics(), originOf("node", osmNode), "it has no position");
        return;
    }
    const Location position(location.lat_without_check(), location.lon_without_check());
    const std::string coordinateProblem = readerrules::coordinateProblem(position.lat, position.lon);
    if (!coordinateProblem.empty()) {
        readerrules::reportDropped(map.diagnostics(), originOf("node", osmNode), coordinateProblem);
        return;
    }
    NodeRecord node;
    for (const osmium::Tag &tag : osmNode.tags())
        node.applyTag(std::string_view(tag.key()), std::string_view(tag.value()));
    if (node.isStop() || first.uses(osmNode.id()))
        node.store(map, osmNode.id(), position, originOf("node", osmNode));
    else
        map.skipNode();
}

/// The decoded elements of a file ran past the bytes the network budget allows to read.
struct OverDecodedCap : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

/// Calls `visit` for every object of the kinds in `entities`, in file order, adding the bytes of the decoded
/// elements to `decoded`. Throws std::bad_alloc when memory ran out, also in the decoding threads, and
/// OverDecodedCap when `decoded` passes `maxDecoded`.
template <typename Visit>
void readAll(const std::string &file, osmium::osm_entity_bits::type entities, int64_t &decoded, int64_t maxDecoded,
             Visit visit)
{
    // Room for the largest block the library decodes, declared first so that it outlives the decoding
    // threads: they may still allocate while they are stopped.
    MemoryReserve reserve(osmium::io::detail::max_uncompressed_blob_size);
    // A pool of this read's own, so that no decoding threads outlive it.
    osmium::thread::Pool pool;
    osmium::io::Reader reader(osmium::io::File(file, "pbf"), entities, pool, osmium::io::read_meta::no);
    while (osmium::memory::Buffer buffer = reader.read()) {
        if (reserve.spent())
            throw std::bad_alloc();
        decoded += static_cast<int64_t>(buffer.committed());
        if (decoded > maxDecoded)
            throw OverDecodedCap("the map runs past " + std::to_string(maxDecoded) +
                                 " bytes of decoded elements, the most the network budget allows to read");
        for (const osmium::OSMObject &object : buffer.select<osmium::OSMObject>())
            visit(object);
    }
    reader.close();
    if (reserve.spent())
        throw std::bad_alloc();
}

} // namespace

namespace {

/// Runs one pass of reading; what went wrong, empty when nothing did. The library reports damaged
/// input by exceptions; none leaves this function.
template <typename Pass> std::string attempt(Pass pass)
{
    try {
        pass();
        return std::string();
    } catch (const std::bad_alloc &) {
        return readerrules::OUT_OF_MEMORY;
    } catch (const OverDecodedCap &cap) {
        return cap.what();
    } catch (const std::system_error &error) {
        // A decoding thread that cannot start lacks the memory for its stack.
        if (error.code() == std::errc::resource_unavailable_try_again)
            return readerrules::OUT_OF_MEMORY;
        return std::string(error.what()) + " (the file is damaged or cut short)";
    } catch (const std::exception &error) {
        return std::string(error.what()) + " (the file is damaged or cut short)";
    } catch (...) {
        return "unknown error";
    }
}

} // namespace

bool PbfReader::read(const QString &path, MapAssembly &map, QString *problem, int64_t maxDecodedBytes)
{
    // An absolute path: the library takes "-" for standard input and "http:..." for a download.
    const std::string file = QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
    // Two passes, so that nodes no kept way uses (buildings, paths, ...) are never held: ways and relations
    // first, then the nodes. What is said comes in the order of a file sorted by kind. Both passes read up to
    // any damage, so that what a single pass would keep before it stays.
    FirstPass first;
    int64_t decoded = 0;
    std::string failure = attempt([&] {
        readAll(file, osmium::osm_entity_bits::way | osmium::osm_entity_bits::relation, decoded, maxDecodedBytes,
                [&first](const osmium::OSMObject &object) {
                    if (object.type() == osmium::item_type::way)
                        first.readWay(static_cast<const osmium::Way &>(object));
                    else if (object.type() == osmium::item_type::relation)
                        first.readRelation(static_cast<const osmium::Relation &>(object));
                });
    });
    const std::string nodeFailure = attempt([&] {
        std::sort(first.usedNodes.begin(), first.usedNodes.end());
        first.usedNodes.erase(std::unique(first.usedNodes.begin(), first.usedNodes.end()), first.usedNodes.end());
        readAll(file, osmium::osm_entity_bits::node, decoded, maxDecodedBytes,
                [&first, &map](const osmium::OSMObject &object) {
                    if (object.type() == osmium::item_type::node)
                        readNode(static_cast<const osmium::Node &>(object), first, map);
                });
    });
    std::vector<int64_t>().swap(first.usedNodes);
    const std::string storeFailure = attempt([&] {
        for (Held<WayRecord> &way : first.ways)
            way.record.store(map, way.id, way.origin);
        for (const Held<RelationRecord> &relation : first.relations)
            relation.record.store(map, relation.id, relation.origin);
    });
    for (const std::string &later : {nodeFailure, storeFailure})
        if (failure.empty())
            failure = later;
    if (failure.empty())
        return true;
    readerrules::say(map.diagnostics(), Severity::Error, "Reading failed! " + path.toStdString() + ": " + failure);
    if (problem)
        *problem = QStringLiteral("cannot read \"%1\": %2").arg(path, QString::fromStdString(failure));
    return false;
}
