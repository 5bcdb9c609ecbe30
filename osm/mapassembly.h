#ifndef KOLVEX_OSM_MAPASSEMBLY_H
#define KOLVEX_OSM_MAPASSEMBLY_H

#include "container/blockvector.h"
#include "geo/geodesy.h"
#include "osm/readerrules.h"
#include "osm/way.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class Node;
class OSMData;

/// What a map reader has taken from one file before it goes into an OSMData. Every node read is held
/// in a compact table (its id and position, 24 bytes) rather than as a Node, and only the nodes that a
/// kept way or a stop uses become Nodes when the reading ends: a file full of buildings or of nodes no
/// road uses costs a few bytes per node. Elements are checked and named as they arrive, so that what is
/// said and what is kept are as if each element went into the OSMData at once: a way sees exactly the
/// nodes read before it.
class MapAssembly
{
public:
    /// Fills `data` and records what is said in `log`; both must outlive this assembly. What `data`
    /// already holds counts as read before.
    MapAssembly(OSMData *data, Diagnostics &log) : data(data), log(log) {}
    MapAssembly(const MapAssembly &) = delete;
    MapAssembly &operator=(const MapAssembly &) = delete;

    /// A node and its stops. A node whose id was read before is kept as it was and gains the stops; a
    /// different position is named as ignored.
    void addNode(int64_t id, const Location &location, bool trafficSignals, bool busStop, bool tramStop,
                 const std::string &name, const readerrules::ElementOrigin &origin);

    /// The flags, class and lanes of a way, as the conversion takes them.
    struct WayShape
    {
        bool isHighway = false;
        bool isTram = false;
        bool isOneway = false;
        bool isLink = false;
        RoadClass roadClass = Road;
        int32_t lanesForward = 0;
        int32_t lanesBackward = 0;
    };
    /// A node a reader left out unread because nothing it keeps uses it; counted with the unused ones.
    void skipNode() { ++skipped; }
    /// A way whose references were checked; one whose id was taken is named and dropped. References to
    /// nodes not read so far are named and left out of the way.
    void addWay(int64_t id, const WayShape &shape, const std::vector<int64_t> &nodeRefs,
                const readerrules::ElementOrigin &origin);
    /// Whether a way with this id was read before (in this file or in the data).
    bool hasWay(int64_t id) const;

    OSMData *model() const { return data; }
    Diagnostics &diagnostics() const { return log; }

    /// Puts the nodes that kept ways and stops use, in the order they were read, then the stops, then the
    /// ways into the data, and returns how many nodes read or skipped were left out as unused.
    size_t finish();

private:
    /// Where a node read lives: in the table, or already in the data.
    struct NodeSlot
    {
        Node *existing = nullptr;
        size_t row = 0;
    };
    struct Row
    {
        int64_t id;
        double lat;
        double lon;
    };
    enum RowFlag : uint8_t { TrafficSignals = 1, Used = 2 };
    struct PendingStop
    {
        bool bus;
        std::string name;
        NodeSlot node;
    };
    struct PendingWay
    {
        int64_t id;
        WayShape shape;
        std::vector<NodeSlot> nodes;
    };

    /// The node read with this id, false if none.
    bool find(int64_t id, NodeSlot &slot) const;
    bool findRow(int64_t id, size_t &row) const;
    void markUsed(const NodeSlot &slot);

    OSMData *data;
    Diagnostics &log;
    // A file may hold millions of nodes no way uses: the table grows without copying itself.
    BlockVector<Row> rows;
    BlockVector<uint8_t> rowFlags;
    /// Files are written in ascending id order, in which the table is searched by bisection; the first id
    /// out of order switches to a hash index of every row.
    bool ascending = true;
    std::unordered_map<int64_t, size_t> rowById;
    std::vector<PendingStop> stops;
    std::vector<PendingWay> ways;
    std::unordered_set<int64_t> wayIds;
    size_t skipped = 0;
};

#endif
