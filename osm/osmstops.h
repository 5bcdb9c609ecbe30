#ifndef KOLVEX_OSM_OSMSTOPS_H
#define KOLVEX_OSM_OSMSTOPS_H

#include "osmstop.h"

#include <unordered_map>
#include <vector>

/// Stops of one kind in insertion order; owns them. Indexed by node, keeping insertion order per node.
class OSMStops
{
public:
    OSMStops() = default;
    OSMStops(const OSMStops &) = delete;
    OSMStops &operator=(const OSMStops &) = delete;
    ~OSMStops();

    const std::vector<OSMStop *> &stops() const { return list; }
    /// The first stop on `node`, null if none.
    OSMStop *findByNode(const Node *node) const;
    /// Every stop on `node`, in list order.
    std::vector<OSMStop *> stopsOnNode(const Node *node) const;
    /// The first stop with this name (byte-wise) on `node`, null if none.
    OSMStop *findByNameAndNode(const std::string &name, const Node *node) const;
    /// Erases the first occurrence of `stop` from the list and deletes it.
    void remove(OSMStop *stop);
    /// Takes ownership of `stop` and appends it.
    void add(OSMStop *stop);
    size_t size() const { return list.size(); }

private:
    std::vector<OSMStop *> list;
    std::unordered_map<const Node *, std::vector<OSMStop *>> byNode;
};

#endif
